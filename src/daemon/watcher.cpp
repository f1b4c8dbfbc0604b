#include "daemon/watcher.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "daemon/keeper.h"
#include "engine/verdicts.h"
#include "services/autosavethread.h"
#include "services/globalunit.h"

namespace watch {

namespace {
double unixnow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}
}  // namespace

Watcher::Watcher(ExciterConfig config, MetricsBoard& board, std::size_t index, Keeping keeping)
    : config_(std::move(config)), board_(board), index_(index), keeping_(std::move(keeping)) {
    const std::string& historyfolder = keeping_.historyfolder;
    secondtimer_.ontimer = [this] { second(); };
    reconnecttimer_.ontimer = [this] {
        reconnecttimer_.setenabled(false);
        ++figures_.reconnects;
        publish();
        connect();
    };
    link_.settings.autosave = !historyfolder.empty();
    if (!historyfolder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(historyfolder, ec);
        history_ = std::make_unique<tautosavethread>();
        history_->setfolder(historyfolder);
        history_->start();
    }
}

Watcher::~Watcher() {
    link_.disconnect();
    platform::finishworker(history_, std::chrono::milliseconds(2000));
}

void Watcher::start() {
    link_.reset();
    secondtimer_.setenabled(true);
    publish();
    connect();
}

void Watcher::connect() {
    if (!link_.connect(config_.address, config_.port)) retrylater();
}

void Watcher::retrylater() {
    if (reconnecttimer_.enabled()) return;  // an error and the close that follows it: one retry
    reconnecttimer_.setinterval(backoff_ * 1000);
    reconnecttimer_.setenabled(true);
    backoff_ = std::min(backoff_ * 2, kMaxBackoffSeconds);
}

// Once a second: the next task when the link is up and idle, a capture before a status block.
void Watcher::second() {
    ++seconds_;
    if (!figures_.up || task_ != Task::None) return;
    if (lastcapture_ < 0 || seconds_ - lastcapture_ >= config_.captureevery)
        begin(Task::Capture);
    else if (laststatus_ < 0 || seconds_ - laststatus_ >= config_.statusevery)
        begin(Task::Status);
}

// The link requests a capture (or a status block) while a window of that kind is open.
void Watcher::begin(Task task) {
    task_ = task;
    link_.windowopened(task == Task::Capture ? exciter::WindowKind::Spectrum
                                             : exciter::WindowKind::ImdSnr);
}

void Watcher::finish() {
    if (task_ == Task::Capture) lastcapture_ = seconds_;
    if (task_ == Task::Status) laststatus_ = seconds_;
    task_ = Task::None;
    // Closing stops the reply time-out too: the wait until the next task is not a fault.
    link_.windowclosed();
    publish();
}

void Watcher::publish() {
    board_.publish(index_, figures_);
}

void Watcher::showdata(const std::uint8_t* block) {
    ++figures_.captures;
    const verdicts::Judgement j = verdicts::judge(block, 0);
    if (j.locked) {
        figures_.takemeasurement(j, unixnow());
    } else {
        ++figures_.refused;
    }
    keepcapture(0, j);
    if (task_ == Task::Capture) finish();
}

void Watcher::shownosignal() {
    ++figures_.captures;
    ++figures_.refused;
    keepcapture(1, verdicts::Judgement{});
    if (task_ == Task::Capture) finish();
}

void Watcher::keepcapture(int result, const verdicts::Judgement& j) {
    if (!keeping_.recordings) return;
    const bool due = keeping_.keepevery > 0 && figures_.captures % keeping_.keepevery == 0;
    if (j.pass() && j.merdb >= keeping_.merthreshold && !due) return;
    records::Facts f;
    f.datetime = utcnow();
    f.recorder = "korvin-monitor";
    f.exciter = config_.name;
    f.address = config_.address + ":" + std::to_string(config_.port);
    f.hasstatus = figures_.hasstatus;
    std::copy(link_.statusblock(), link_.statusblock() + 4, f.status.begin());
    f.measured = true;
    f.engineresult = result;
    f.judgement = j;
    std::string error;
    if (!keeping_.recordings->keep(link_.buffers().capturearea, f, error))
        log(exciter::LogKind::Text, "recording not kept: " + error, nullptr, 0);
}

void Watcher::showstatus(const std::uint8_t* status) {
    figures_.hasstatus = true;
    figures_.snrdb = status[1] / 2.0;
    figures_.imdlowerdb = status[2] / 2.0;
    figures_.imdupperdb = status[3] / 2.0;
    if (task_ == Task::Status)
        finish();
    else
        publish();
}

// The link gave up after its retries: the task is over, the next one comes when due.
void Watcher::closewindow() {
    if (task_ != Task::None) finish();
}

void Watcher::linkchanged(exciter::LinkEvent event, const std::string&) {
    using exciter::LinkEvent;
    if (event == LinkEvent::Connecting) return;
    if (event == LinkEvent::Connected) {
        figures_.up = true;
        backoff_ = 1;
        publish();
        return;
    }
    figures_.up = false;
    if (task_ != Task::None) {
        task_ = Task::None;
        link_.windowclosed();
    }
    publish();
    retrylater();
}

void Watcher::log(exciter::LogKind kind, const std::string& text, const std::uint8_t*,
                  std::size_t) {
    if (kind != exciter::LogKind::Text) return;
    const std::string line = config_.name + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void Watcher::autosave(const std::uint8_t* status) {
    postautosave(history_.get(), kMsgStatus, status, 4);
}

void Watcher::frameerror(int code) {
    if (code >= 1 && code <= static_cast<int>(kFrameErrorKinds.size()))
        ++figures_.frameerrors[static_cast<std::size_t>(code - 1)];
    publish();
}

void Watcher::timedout(bool) {
    ++figures_.timeouts;
    publish();
}

}  // namespace watch

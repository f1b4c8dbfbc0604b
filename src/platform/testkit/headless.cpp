#include "platform/testkit/headless.h"

#include <algorithm>
#include <ctime>

#include "platform/form.h"

namespace platform {

void HeadlessDesktop::errorbox(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        errorboxes_.push_back(text);
    }
    if (onerrorbox) onerrorbox(text);
}

std::vector<std::string> HeadlessDesktop::errorboxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errorboxes_;
}

Answer HeadlessDesktop::question(const std::string& text) {
    questions.push_back(text);
    if (answers.empty()) return Answer::Cancel;
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

bool HeadlessDesktop::savedialog(SaveDialog& dlg) {
    savedialogs.push_back(dlg);
    if (savechoices.empty()) return false;
    dlg.filename = savechoices.front();
    savechoices.pop_front();
    const auto slash = dlg.filename.rfind('/');
    dlg.folder = slash == std::string::npos ? std::string() : dlg.filename.substr(0, slash + 1);
    return true;
}

bool HeadlessDesktop::folderdialog(std::string& folder) {
    if (folderchoices.empty()) return false;
    folder = folderchoices.front();
    folderchoices.pop_front();
    return true;
}

LocalTime HeadlessDesktop::localtime() {
    if (!clock) return start;
    return LocalTime::fromdatetime(start.todatetime() + clock->now() / 86400000.0);
}

bool HeadlessDesktop::openurl(const std::string& url) {
    openedurls.push_back(url);
    return openurlresult;
}

HeadlessBackend::HeadlessBackend() {
    desk.clock = &clock;
    clock.onidle = [this] { processevents(); };
    setbackend(this);
}

HeadlessBackend::~HeadlessBackend() {
    processevents();
    setbackend(nullptr);
}

std::unique_ptr<ClientSocket> HeadlessBackend::createsocket() {
    auto s = std::make_unique<ScriptedSocket>();
    sockets.push_back(s.get());
    return s;
}

void HeadlessBackend::showmodal(Form& f) {
    modalstack.push_back(&f);
    modalshown.push_back(f.name());
}

void HeadlessBackend::show(Form&) {}

void HeadlessBackend::closed(Form& f) {
    modalstack.erase(std::remove(modalstack.begin(), modalstack.end(), &f), modalstack.end());
}

void HeadlessBackend::post(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(deferredmutex_);
    deferred_.push_back(std::move(fn));
    pending_.store(true, std::memory_order_release);
}

void HeadlessBackend::processevents() {
    // A call posted while this returns early is run by the next processevents, as if it had
    // been posted just after this one.
    if (!pending_.load(std::memory_order_acquire)) return;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(deferredmutex_);
            if (deferred_.empty()) {
                pending_.store(false, std::memory_order_relaxed);
                return;
            }
            fn = std::move(deferred_.front());
            deferred_.pop_front();
        }
        fn();
    }
}

}  // namespace platform

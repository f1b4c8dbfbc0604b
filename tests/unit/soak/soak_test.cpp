// Ten minutes of virtual time of the whole client: the main window connected to the stand-in
// exciter's protocol core (real 8-VSB captures and status frames), the measurement windows
// opened in turn so the engine runs on every capture, and the log and auto-save threads busy.
// Heap, file descriptors and threads must be the same at minute 10 as at minute 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "options.h"
#include "processfigures.h"
#include "services/globalunit.h"
#include "session.h"
#include "source.h"
#include "support/mainformfixture.h"
#include "vsbsignal.h"
#include "windows/windowfactory.h"

namespace {

using korvin::test::MainFormTest;
using korvin::test::ProcessFigures;
using korvin::test::processfigures;

constexpr std::int64_t kStep = 10;          // the client's tick
constexpr std::int64_t kSlot = 24000;       // each window stays open this long
constexpr std::int64_t kRound = 5 * kSlot;  // all five windows once: two minutes
constexpr long long kHeapSlack = 4 * 1024;

struct Counts {
    long long captures = 0;  // results shown in a window
    long long statuses = 0;  // status blocks shown (each also goes to the auto-save thread)
    long long served = 0;    // captures the exciter completed
};

// A real measurement window that counts what it is given.
class CountingWindow : public MeasureWindow {
  public:
    CountingWindow(std::unique_ptr<MeasureWindow> inner, Counts& counts)
        : inner_(std::move(inner)), counts_(counts) {}
    void showdata(const std::uint8_t* b) override {
        inner_->showdata(b);
        if (b) ++counts_.captures;
    }
    void showstatus(const std::uint8_t* s) override {
        inner_->showstatus(s);
        if (s) ++counts_.statuses;
    }
    platform::Form& form() override { return inner_->form(); }

  private:
    std::unique_ptr<MeasureWindow> inner_;
    Counts& counts_;
};

// The exciter's protocol core answering everything the client sends, at once.
class Exciter {
  public:
    explicit Exciter(Counts& counts)
        : generator_(1, vsb::Impairments{}),
          session_(
              sim::Options{},
              [this](std::uint8_t* bytes, std::size_t n) { generator_.capture(bytes, n / 4); },
              sim::status_figures(generator_),
              [&counts](const std::string& line) {
                  if (line.rfind("DONE capture=", 0) == 0) ++counts.served;
              }) {}

    void serve(platform::ScriptedSocket& sock) {
        // Each delivery may make the client send its acknowledgement: loop until it is quiet.
        while (!sock.sent.empty()) {
            const auto frames = std::move(sock.sent);
            sock.sent.clear();
            for (const auto& f : frames)
                for (const sim::Chunk& c : session_.receive(f)) sock.deliver(c.bytes);
        }
    }

  private:
    vsb::Generator generator_;
    sim::Session session_;
};

std::string readfile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long long countlines(const std::string& text) {
    return static_cast<long long>(std::count(text.begin(), text.end(), '\n'));
}

class Soak : public MainFormTest {
  protected:
    void SetUp() override {
        MainFormTest::SetUp();
        start();
        main->windowfactory = [this](exciter::WindowKind kind,
                                     Tmainform& m) -> std::unique_ptr<MeasureWindow> {
            return std::make_unique<CountingWindow>(createmeasurewindow(kind, m), counts);
        };
        // Every frame sent and received goes to the log too, every status to the history.
        main->link().settings.logtraffic = true;
        main->link().settings.autosave = true;
        main->settings().autosavecfg.path = folder().string() + "/";
        main->autosavefolderchanged(false);
        connect();
    }

    // Runs the client until `until`, switching windows at every slot boundary (`until` included).
    void runto(std::int64_t until) {
        while (backend.clock.now() < until) {
            backend.clock.advance(kStep);
            exciter.serve(*sock);
            if (backend.clock.now() % kSlot == 0) openslot();
        }
    }
    void openslot() {
        if (main->openwindow()) main->openwindow()->form().close();
        backend.processevents();
        const auto kind = static_cast<std::size_t>(backend.clock.now() / kSlot % 5);
        main->measurebuttons()[kind]->click();
        ASSERT_NE(main->openwindow(), nullptr);
    }

    // Waits until both worker threads have handled everything posted so far, so that no block
    // is in flight when the figures are taken. The threads only show progress in their files.
    void settle() {
        const std::string mark = "soak mark " + std::to_string(++marks_);
        main->postlog(kMsgText, mark);
        waitfor([&] {
            const std::string log = readfile(logfile());
            return log.size() >= mark.size() + 2 &&
                   log.compare(log.size() - mark.size() - 2, std::string::npos, mark + "\r\n") == 0;
        });
        waitfor([&] { return countlines(readfile(imdfile())) == counts.statuses; });
    }
    static void waitfor(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "worker thread stalled";
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    std::filesystem::path logfile() const { return folder() / "log2024-03-07.txt"; }
    std::filesystem::path imdfile() const { return folder() / "imd_snr_2024_03_07.txt"; }

    Counts counts;
    Exciter exciter{counts};

  private:
    int marks_ = 0;
};

TEST_F(Soak, TenMinutesOfCapturesLeaveHeapDescriptorsAndThreadsFlat) {
    openslot();
    runto(kRound);
    settle();
    const ProcessFigures two = processfigures();
    const Counts attwo = counts;

    runto(5 * kRound);
    settle();
    const ProcessFigures ten = processfigures();
    const long long loglines = countlines(readfile(logfile()));

    std::printf("soak: minute 2: heap %lld B, %d fds, %d threads; %lld captures, %lld statuses\n",
                two.heap, two.fds, two.threads, attwo.captures, attwo.statuses);
    std::printf(
        "soak: minute 10: heap %lld B, %d fds, %d threads; %lld captures, %lld statuses, "
        "%lld log lines\n",
        ten.heap, ten.fds, ten.threads, counts.captures, counts.statuses, loglines);
    RecordProperty("captures", std::to_string(counts.captures));
    RecordProperty("loglines", std::to_string(loglines));
    RecordProperty("heap_growth", std::to_string(ten.heap - two.heap));

    // Every capture the exciter completed was measured and shown; windows 1..4 capture every
    // two seconds for 96 s of each round.
    EXPECT_EQ(counts.captures, counts.served);
    EXPECT_GE(counts.captures, 5 * 4 * 11);
    EXPECT_GT(counts.statuses, counts.captures);
    EXPECT_TRUE(backend.desk.errorboxes().empty());
    EXPECT_LE(ten.heap - two.heap, kHeapSlack);
    EXPECT_EQ(ten.fds, two.fds);
    EXPECT_EQ(ten.threads, two.threads);
    // A sanitizer may run a thread of its own besides these.
    EXPECT_GE(ten.threads, 3) << "the user-interface, log and auto-save threads";
}

}  // namespace

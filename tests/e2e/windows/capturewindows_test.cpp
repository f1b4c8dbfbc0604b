// Every measurement window of the real program against exciter-sim: opened from the main
// window, fed by several complete captures (or status blocks), closed back; the exchange on
// the wire checked frame by frame, and the log and sample dumps checked line by line.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "support/e2ecase.h"

namespace {

using korvin::test::E2eCase;
using korvin::test::kBusyMs;
using korvin::test::kCaptureRequestLine;
using korvin::test::kConnected;
using korvin::test::kDisconnected;
using korvin::test::kReread;
using korvin::test::kStatusRequestLine;
using korvin::test::logtexts;
using Clock = std::chrono::steady_clock;

struct Window {
    const char* button;
    const char* form;
    const char* opened;  // the main window's log text
};

const Window kCaptureWindows[] = {
    {"btmbtn_ste", "TForm_ste", "Open Constellation Window!"},
    {"btmbtn_eye", "TForm_eye", "Open Eye-diagram Window!"},
    {"btmbtn_amp", "TForm_amp", "Open Amplitude Flatness and Group Delay Window!"},
    {"btmbtn_spe", "TForm_spec", "Open Spectrum Window!"},
};
const char* const kMeasureButtons[] = {"btmbtn_ste", "btmbtn_eye", "btmbtn_amp",
                                       "btmbtn_spe", "btmbtn_snr", "btmbtn_qua"};

// Waits for `n` record lines equal to `line` (with a line starting `then` after each), from
// index `from` on; the moment each `line` was seen. Fewer stamps on time-out.
std::vector<Clock::time_point> waitexchanges(korvin::test::SimProcess& sim, std::size_t from,
                                             const std::string& line, const std::string& then,
                                             int n) {
    std::vector<Clock::time_point> stamps;
    for (int i = 0; i < n; ++i) {
        const auto req =
            sim.waitfor([&](const std::string& l) { return l == line; }, kBusyMs, from);
        if (!req) break;
        stamps.push_back(Clock::now());
        const auto done = sim.waitfor([&](const std::string& l) { return l.starts_with(then); },
                                      kBusyMs, *req + 1);
        if (!done) break;
        from = *done + 1;
    }
    return stamps;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void expectunlocked(E2eCase& c) {
    for (const char* b : kMeasureButtons) EXPECT_EQ(c.enabled(b), "enabled=1") << b;
    EXPECT_EQ(c.enabled("btn_disconnect"), "enabled=1");
    EXPECT_EQ(c.enabled("btn_connect"), "enabled=0");
}

TEST(CaptureWindows, EachWindowGetsPacedCapturesWithExactAcknowledgements) {
    E2eCase c("every", {"--snr", "30"});
    ASSERT_TRUE(c.start({}, E2eCase::config(c.folder(), {.savecomm = true})));
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    auto& sim = c.sim();
    bool closebox = false;
    for (const auto& w : kCaptureWindows) {
        SCOPED_TRACE(w.form);
        const std::size_t from = sim.lines().size();
        ASSERT_TRUE(c.openwindow(w.button, w.form));
        EXPECT_EQ(c.enabled("btn_disconnect"), "enabled=0");
        EXPECT_EQ(c.enabled(w.button), "enabled=0");
        const auto stamps = waitexchanges(sim, from, kCaptureRequestLine, "DONE capture=", 3);
        ASSERT_EQ(stamps.size(), 3u);
        // A capture request waits until the pace count has moved on twice since the last one:
        // never sooner than a hundred 10 ms ticks.
        for (std::size_t i = 1; i < stamps.size(); ++i)
            EXPECT_GT(seconds(stamps[i] - stamps[i - 1]), 0.7) << "capture " << i;
        EXPECT_EQ(app.command(std::string("state ") + w.form + " lbl_snr", kBusyMs),
                  "ok enabled=1 visible=1 caption=30.0dB");
        // Closed alternately by its own button and by the title bar's close box.
        const std::string close = closebox ? std::string("close ") + w.form
                                           : std::string("click ") + w.form + " btn_close";
        closebox = !closebox;
        EXPECT_EQ(app.command(close, kBusyMs), "ok");
        EXPECT_EQ(app.reply(kBusyMs), "ok");  // the opening click returns once the window has gone
        expectunlocked(c);
    }

    const std::size_t from = sim.lines().size();
    ASSERT_TRUE(c.openwindow("btmbtn_snr", "TForm_snr"));
    const auto stamps = waitexchanges(sim, from, kStatusRequestLine, "TX 14 ", 10);
    ASSERT_EQ(stamps.size(), 10u);
    // One status request per pace count: ten of them span at least eight full counts.
    EXPECT_GT(seconds(stamps.back() - stamps.front()), 6.0);
    EXPECT_EQ(app.command("state TForm_snr lbl_snr"), "ok enabled=1 visible=1 caption=30.0dB");
    EXPECT_EQ(app.command("click TForm_snr btn_close"), "ok");
    EXPECT_EQ(app.reply(), "ok");
    expectunlocked(c);

    EXPECT_EQ(app.command("click mainform btn_disconnect"), "ok");
    EXPECT_TRUE(app.waitfor("status mainform", "ok " + kDisconnected));
    EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
    EXPECT_EQ(app.waitexit(20000), 0);
    sim.stop();

    const auto e = korvin::test::walkexchange(sim.lines());
    EXPECT_TRUE(e.problems.empty()) << e.problems.front();
    EXPECT_GE(e.capturerequests, 12);
    EXPECT_GE(e.acks, 12 * 32);
    // A window closed mid-capture leaves that capture's last packet unacknowledged.
    EXPECT_LE(e.packets - e.acks, e.abandoned);
    EXPECT_LE(e.abandoned, 4);
    EXPECT_GE(e.statusframes, 10);

    const auto log = logtexts(app.loglines());
    EXPECT_EQ(korvin::test::countof(log, "Send Frame Successful!"),
              static_cast<std::size_t>(e.clientframes));
    EXPECT_GE(korvin::test::countof(log, "Receive Frame Successful!"),
              static_cast<std::size_t>(e.answeredframes));
    std::vector<std::string> events;
    for (const auto& l : log)
        if (!l.ends_with(" Frame Successful!") && l != kReread) events.push_back(l);
    std::vector<std::string> want = {"Initialized successfully!", kConnected};
    for (const auto& w : kCaptureWindows) want.push_back(w.opened);
    want.push_back("Open SNR&IMD Window!");
    want.push_back(kDisconnected);
    EXPECT_EQ(events, want);
}

// A dump line: two signed 16-bit values.
bool dumpline(const std::string& l) {
    static const std::regex pair("-?[0-9]{1,5} -?[0-9]{1,5}");
    return std::regex_match(l, pair);
}

TEST(SuperMode, EveryCaptureIsDumpedToTheLogAsTwoHalves) {
    E2eCase c("super");
    ASSERT_TRUE(c.start({"super"}));
    EXPECT_EQ(c.enabled("btmbtn_eye"), "enabled=0");  // unlike debug mode
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    ASSERT_TRUE(c.openwindow("btmbtn_eye", "TForm_eye"));
    ASSERT_EQ(waitexchanges(c.sim(), 0, kCaptureRequestLine, "DONE capture=", 2).size(), 2u);
    EXPECT_EQ(app.command("close TForm_eye", kBusyMs), "ok");
    EXPECT_EQ(app.reply(kBusyMs), "ok");
    EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
    EXPECT_EQ(app.waitexit(20000), 0);
    c.sim().stop();
    int done = 0;
    for (const auto& l : c.sim().lines()) done += l.starts_with("DONE capture=");

    // Each capture: "Receive complex:", 4096 pairs, a bare stamp, 4096 pairs.
    const auto log = logtexts(app.loglines());
    int dumps = 0;
    bool anynonzero = false;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i] != "Receive complex:") continue;
        ++dumps;
        SCOPED_TRACE("capture dump " + std::to_string(dumps));
        std::size_t j = i + 1;
        for (int half = 0; half < 2; ++half) {
            std::size_t lines = 0;
            for (; j < log.size() && dumpline(log[j]); ++j, ++lines) anynonzero |= log[j] != "0 0";
            EXPECT_EQ(lines, 4096u) << "half " << half;
            if (half == 0) {
                ASSERT_LT(j, log.size());
                EXPECT_EQ(log[j++], "");  // the second half's header: the stamp alone
            }
        }
        i = j - 1;
    }
    EXPECT_GE(done, 2);
    EXPECT_EQ(dumps, done);
    EXPECT_TRUE(anynonzero);
}

}  // namespace

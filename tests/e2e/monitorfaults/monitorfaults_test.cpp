// korvin-monitor against misbehaving exciters: one daemon watches a well-behaved exciter-sim and,
// beside it, one exciter-sim per fault, all at once (status every second, a capture every two).
// Over three stretches of the run the daemon stays up, the well-behaved exciter's captures keep
// their pace, each faulty exciter's counters move as its fault implies and the others stay
// still, and the daemon's memory does not grow. A SIGTERM ends it cleanly at the end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/monitorprocess.h"
#include "support/procstat.h"
#include "support/simprocess.h"

namespace {

using namespace korvin::test;
using Clock = std::chrono::steady_clock;

constexpr int kCaptureEvery = 2;  // seconds
constexpr int kStretches = 3;
constexpr int kCapturesPerStretch = 5;
// Growth allowed after the first stretch, once every fault has shown itself: the sanitizer's
// allocator settles there (the Release build's memory does not move at all).
constexpr long kRssGrowthKb = 8 * 1024;

// The counters looked at: the daemon's own, then the frame errors by kind.
const std::vector<std::string> kCounters = {"captures", "timeouts", "reconnects", "id",
                                            "header",   "length",   "index",      "data",
                                            "sum",      "tail",     "pointer"};

struct Mode {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::string> rising;  // move in every stretch
    std::vector<std::string> free;    // timing decides; every other counter stays at 0
};

// Replies are counted from the start of each simulator, status frames among them: a fault
// every 40 replies comes about once per capture, and the retry after it completes.
const std::vector<Mode> kModes = {
    {"clean", {}, {"captures"}, {}},
    {"badsum", {"--bad-sum", "every:20"}, {"captures", "sum"}, {}},
    {"badtail", {"--bad-tail", "every:20"}, {"captures", "tail"}, {}},
    // The frame says one byte more than comes: held until the time-out, then a wrong sum.
    {"badlength", {"--bad-length", "every:40"}, {"captures", "timeouts", "sum"}, {}},
    {"skip", {"--skip", "every:40"}, {"captures", "timeouts"}, {}},
    {"repeat", {"--repeat", "every:40"}, {"captures", "timeouts"}, {}},
    {"drop", {"--drop", "every:40"}, {"captures", "timeouts"}, {}},
    {"garbage", {"--garbage", "every:40"}, {"captures", "timeouts", "id"}, {}},
    {"split", {"--split", "every:2", "--split-gap", "40"}, {"captures"}, {}},
    // A late reply may share a read with the retry's first one: any frame error may follow.
    {"late",
     {"--delay", "2500", "--delay-on", "every:40"},
     {"captures", "timeouts"},
     {"id", "header", "length", "index", "data", "sum", "tail", "pointer"}},
    {"closing", {"--close-after", "3"}, {"reconnects"}, {}},
    {"silent", {"--silent"}, {"timeouts"}, {}},
};

std::string series(const std::string& exciter, const std::string& counter) {
    const std::string label = "{exciter=\"" + exciter + "\"";
    if (counter == "captures" || counter == "timeouts" || counter == "reconnects")
        return "korvin_" + counter + "_total" + label + "}";
    return "korvin_frame_errors_total" + label + ",kind=\"" + counter + "\"}";
}

using Figures = std::map<std::string, std::map<std::string, double>>;  // exciter, counter

// Every mode's counters from one scrape; empty when the scrape failed or lacked one.
Figures read(const MonitorProcess& mon) {
    const std::string text = mon.scrape();
    Figures f;
    for (const Mode& m : kModes) {
        for (const std::string& c : kCounters) {
            const auto v = sample(text, series(m.name, c));
            if (!v) return {};
            f[m.name][c] = *v;
        }
    }
    return f;
}

// Scrapes until the clean exciter has `least` captures; the last figures, or empty at the
// deadline or when the daemon has gone.
Figures waitcaptures(MonitorProcess& mon, double least, Clock::duration within) {
    const auto end = Clock::now() + within;
    for (;;) {
        Figures f = read(mon);
        if (!f.empty() && f["clean"]["captures"] >= least) return f;
        if (Clock::now() > end || !mon.alive()) return {};
        ::usleep(100 * 1000);
    }
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// The daemon under AddressSanitizer keeps freed memory aside only briefly, so its resident
// memory shows what it holds rather than the sanitizer's quarantine.
std::string asanoptions() {
    const char* own = std::getenv("ASAN_OPTIONS");
    return std::string("ASAN_OPTIONS=") + (own ? std::string(own) + ":" : "") +
           "quarantine_size_mb=4";
}

TEST(MonitorFaults, DaemonOutlivesEveryFaultAndCountsIt) {
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<WatchedExciter> exciters;
    for (const Mode& m : kModes) {
        std::vector<std::string> args{"--record", "/dev/null"};
        args.insert(args.end(), m.args.begin(), m.args.end());
        sims.push_back(std::make_unique<SimProcess>(args));
        ASSERT_TRUE(sims.back()->started()) << m.name;
        exciters.push_back({m.name, sims.back()->port(), 1, kCaptureEvery});
    }
    const auto folder = std::filesystem::temp_directory_path() /
                        ("korvin-monitorfaults-" + std::to_string(::getpid()));
    MonitorProcess mon(folder, exciters, {asanoptions()});
    ASSERT_TRUE(mon.started());
    // Warm-up: the engine prepares its transforms with the first capture.
    Figures last = waitcaptures(mon, 2, std::chrono::seconds(60));
    ASSERT_FALSE(last.empty()) << "no second capture from the clean exciter";
    long rss0 = 0, rssmax = 0;

    for (int s = 1; s <= kStretches; ++s) {
        const auto t0 = Clock::now();
        const double want = last["clean"]["captures"] + kCapturesPerStretch;
        // Twice the configured pace at worst, for a sanitizer build on a loaded machine.
        Figures now = waitcaptures(mon, want, std::chrono::seconds(2 * kCaptureEvery * 6));
        ASSERT_FALSE(now.empty()) << "stretch " << s << ": the clean exciter fell behind, or the "
                                  << "daemon stopped answering (alive: " << mon.alive() << ")";
        // Captures come no faster than configured (one extra for where the stretch began).
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        EXPECT_GE(seconds,
                  kCaptureEvery * (now["clean"]["captures"] - last["clean"]["captures"] - 2))
            << "stretch " << s;
        for (const Mode& m : kModes) {
            for (const std::string& c : m.rising) {
                EXPECT_GT(now[m.name][c], last[m.name][c])
                    << m.name << ": " << c << " did not move in stretch " << s;
            }
            for (const std::string& c : kCounters) {
                if (!contains(m.rising, c) && !contains(m.free, c)) {
                    EXPECT_EQ(now[m.name][c], 0) << m.name << ": " << c;
                }
            }
        }
        rssmax = std::max(rssmax, rsskb(mon.pid()));
        if (s == 1) rss0 = rssmax;
        last = now;
    }
    EXPECT_LE(rssmax - rss0, kRssGrowthKb) << "resident memory from " << rss0 << " kB";
    EXPECT_EQ(mon.stop(), 0) << "no clean stop on SIGTERM";
    if (::testing::Test::HasFailure()) {
        const auto lines = mon.lines();
        const std::size_t from = lines.size() > 200 ? lines.size() - 200 : 0;
        std::cerr << "--- the daemon's last lines\n";
        for (std::size_t i = from; i < lines.size(); ++i) std::cerr << lines[i] << "\n";
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

}  // namespace

// korvin-monitor at work: the real daemon watching 1 and then 50 exciter-sim processes on
// loopback, a status block and a capture every 10 s from each. After a warm-up (every exciter
// has had two captures) the daemon's processor use and resident memory are taken over a window
// of steady state, then GET /metrics is timed. Counters:
//   cpu_percent         the daemon's processor time over the window, percent of one core
//   sims_cpu_percent    the simulators' together, for scale on a small machine
//   rss_mb              the daemon's VmRSS at the end of the window
//   rss_kb_per_exciter  (rss_mb with N exciters - with 1) / (N - 1); with 1, the whole daemon
//   scrape_ms           median of 200 GET /metrics round trips over a fresh connection each
//   metrics_kb          size of the exposition
//   captures_per_s      captures the daemon took in the window, all exciters together
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/monitorprocess.h"
#include "support/procstat.h"
#include "support/simprocess.h"

namespace {

using namespace korvin::test;
using Clock = std::chrono::steady_clock;

constexpr int kEvery = 10;  // seconds between status blocks and between captures

long rsskbone = 0;  // the daemon's memory with one exciter, for the per-exciter increment

// Exciter i is called "xI". (Names appended, not "x" + std::to_string(): GCC 12's -Wrestrict
// misreads that in Release builds.)
std::string name(int i) {
    return std::string("x").append(std::to_string(i));
}

std::string series(int i) {
    return std::string("korvin_captures_total{exciter=\"").append(name(i)).append("\"}");
}

// Captures of every exciter together; -1 when an exciter has fewer than `least`.
double captures(const MonitorProcess& mon, int n, double least) {
    const std::string text = mon.scrape();
    double total = 0;
    for (int i = 0; i < n; ++i) {
        const auto v = sample(text, series(i));
        if (!v || *v < least) return -1;
        total += *v;
    }
    return total;
}

long simticks(const std::vector<std::unique_ptr<SimProcess>>& sims) {
    long total = 0;
    for (const auto& s : sims) total += std::max(0L, cputicks(s->pid()));
    return total;
}

double medianscrape(const MonitorProcess& mon, std::size_t& bytes) {
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const auto t0 = Clock::now();
        bytes = mon.scrape().size();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::nth_element(ms.begin(), ms.begin() + 100, ms.end());
    return ms[100];
}

void BM_MonitorExciters(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int window = n == 1 ? 20 : 60;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<WatchedExciter> exciters;
    for (int i = 0; i < n; ++i) {
        sims.push_back(
            std::make_unique<SimProcess>(std::vector<std::string>{"--record", "/dev/null"}));
        if (!sims.back()->started()) {
            state.SkipWithError("exciter-sim did not start");
            return;
        }
        exciters.push_back({name(i), sims.back()->port(), kEvery, kEvery});
    }
    const auto folder = std::filesystem::temp_directory_path() /
                        std::string("korvin-bench-monitor-").append(std::to_string(::getpid()));
    MonitorProcess mon(folder, exciters);
    if (!mon.started()) {
        state.SkipWithError("korvin-monitor did not start");
        return;
    }
    // Warm-up: the engine has prepared, every link is up and has taken two captures.
    const auto deadline = Clock::now() + std::chrono::seconds(4 * kEvery);
    while (captures(mon, n, 2) < 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double before = captures(mon, n, 2);
    if (before < 0) {
        state.SkipWithError("not every exciter had two captures after the warm-up");
        return;
    }
    const long ticks = cputicks(mon.pid()), sim = simticks(sims);
    for (auto _ : state)
        std::this_thread::sleep_for(std::chrono::seconds(window));  // steady state is measured
    const double hz = static_cast<double>(::sysconf(_SC_CLK_TCK));
    state.counters["cpu_percent"] = 100.0 * (cputicks(mon.pid()) - ticks) / hz / window;
    state.counters["sims_cpu_percent"] = 100.0 * (simticks(sims) - sim) / hz / window;
    const long rss = rsskb(mon.pid());
    state.counters["rss_mb"] = rss / 1024.0;
    if (n == 1) rsskbone = rss;
    // Every run reports every counter (the CSV report needs them all): with one exciter, the
    // whole daemon is that exciter's share.
    state.counters["rss_kb_per_exciter"] = n > 1 && rsskbone > 0
                                               ? static_cast<double>(rss - rsskbone) / (n - 1)
                                               : static_cast<double>(rss);
    state.counters["captures_per_s"] = (captures(mon, n, 0) - before) / window;
    std::size_t bytes = 0;
    state.counters["scrape_ms"] = medianscrape(mon, bytes);
    state.counters["metrics_kb"] = static_cast<double>(bytes) / 1024.0;
    mon.stop();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
// The one-exciter run comes first: the fifty-exciter run takes its memory as the base.
BENCHMARK(BM_MonitorExciters)->Arg(1)->Arg(50)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

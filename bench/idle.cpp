// Processor use of the idle client: the real program, offscreen, with its main window open and
// nothing to do (no link), then connected to exciter-sim with no measurement window open.
// Reported as the counter cpu_percent (of one core) over a 20-second window.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/e2ecase.h"
#include "support/procstat.h"

namespace {

using korvin::test::cputicks;
using korvin::test::KorvinProcess;

double idlepercent(KorvinProcess& app, int seconds) {
    const long before = cputicks(app.pid());
    std::this_thread::sleep_for(
        std::chrono::seconds(seconds));  // the quantity measured is idleness
    const long after = cputicks(app.pid());
    return 100.0 * static_cast<double>(after - before) /
           static_cast<double>(::sysconf(_SC_CLK_TCK)) / seconds;
}

void BM_IdleCpu(benchmark::State& state) {
    const bool linked = state.range(0) != 0;
    korvin::test::E2eCase run("bench-idle");
    if (!run.start()) {
        state.SkipWithError("the program did not start");
        return;
    }
    if (linked && !run.connect()) {
        state.SkipWithError("no connection to exciter-sim");
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // start-up work settles
    double percent = 0;
    for (auto _ : state) percent = idlepercent(run.app(), 20);
    run.app().command("menu mainform mniExit1");
    run.app().waitexit();
    state.counters["cpu_percent"] = percent;
}
BENCHMARK(BM_IdleCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

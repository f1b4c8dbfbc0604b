// The log's two costs: what one entry costs the user-interface thread (postlog), and how many
// entries per second the log thread writes with a flush after every line.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/testkit/headless.h"
#include "services/globalunit.h"
#include "services/logthread.h"

namespace {

// A headless desktop whose executable folder is a fresh temporary folder.
class LogBench {
  public:
    LogBench() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "korvin-bench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        folder_ = tmpl + "/";
        backend_.desk.exefolder_ = folder_;
    }
    ~LogBench() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    // Starts a thread on an empty log file.
    std::unique_ptr<TlogThread> newthread() {
        std::error_code ec;
        std::filesystem::remove(folder_ + "log2024-03-07.txt", ec);
        auto t = std::make_unique<TlogThread>();
        t->start();
        return t;
    }

  private:
    platform::HeadlessBackend backend_;
    std::string folder_;
};

const std::string kText = "Successfully connected with server!";

void BM_postlog_text(benchmark::State& state) {
    LogBench bench;
    auto thread = bench.newthread();
    std::size_t posted = 0;
    for (auto _ : state) {
        postlog(thread.get(), kMsgText, kText, nullptr, 0);
        // Keep the queue and the file bounded: let the thread write what it has, outside the
        // timing, and carry on with a fresh one.
        if (++posted % 16384 == 0) {
            state.PauseTiming();
            thread.reset();
            thread = bench.newthread();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(posted));
}
BENCHMARK(BM_postlog_text);

// From the first post until the thread has written and flushed every entry.
void BM_logthread_text_throughput(benchmark::State& state) {
    LogBench bench;
    const auto entries = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        auto thread = bench.newthread();
        for (std::size_t i = 0; i < entries; ++i)
            postlog(thread.get(), kMsgText, kText, nullptr, 0);
        thread->stop();
        state.PauseTiming();
        thread.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * entries));
}
BENCHMARK(BM_logthread_text_throughput)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Capture halves as the super mode posts them: 4096 dump lines each.
void BM_logthread_dump_throughput(benchmark::State& state) {
    LogBench bench;
    std::vector<std::uint8_t> half(16384);
    for (std::size_t i = 0; i < half.size(); ++i) half[i] = static_cast<std::uint8_t>(i * 37);
    const int halves = 32;
    for (auto _ : state) {
        auto thread = bench.newthread();
        for (int i = 0; i < halves; ++i)
            postlog(thread.get(), i % 2 ? kMsgDumpSecond : kMsgDumpFirst, "", half.data(),
                    half.size());
        thread->stop();
        state.PauseTiming();
        thread.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * halves * 4097);  // lines written
}
BENCHMARK(BM_logthread_dump_throughput)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

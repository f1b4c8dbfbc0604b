// korvin-analyze on a folder of 1,000 recordings: the wall time per recording of the whole
// program (start, reading, measuring, printing), beside the engine's own share measured in
// process through the same Analyser, and the reading of the recordings alone.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analyze/analysis.h"
#include "records/sigmf.h"
#include "support/analyzeprocess.h"
#include "vsbsignal.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRecordings = 1000;
constexpr int kGenerators = 20;  // each gives consecutive captures of one continuous signal

// The folder, made once: twenty signals of their own seed and impairments (noise from 24 to
// 43 dB, ripple, group-delay ripple, shoulders, carrier and timing offsets), fifty captures each.
class Folder {
  public:
    Folder()
        : path_(fs::temp_directory_path() /
                ("korvin-bench-analyze-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_ / "recordings");
        std::vector<std::uint8_t> words(records::kDataBytes);
        records::Facts facts;
        facts.recorder = "bench_analyze";
        facts.datetime = "2026-12-10T03:00:00.000Z";
        for (int g = 0; g < kGenerators; ++g) {
            vsb::Impairments imp;
            imp.snrdb = 24 + g;
            imp.rippledb = 0.05 * (g % 5);
            imp.gdripplens = 10.0 * (g % 7);
            imp.nonlinearity = g % 4 == 3 ? 0.03 : 0.0;
            imp.carrieroffsethz = 1e3 * (g - 10);
            imp.timingoffset = 0.05 * g;
            vsb::Generator generator(1000 + g, imp);
            for (int k = 0; k < kRecordings / kGenerators; ++k) {
                generator.capture(words.data(), records::kSamples);
                char name[32];
                std::snprintf(name, sizeof name, "r%02d-%03d", g, k);
                std::string error;
                records::writerecording((path_ / "recordings" / name).string(), words.data(), facts,
                                        error);
            }
        }
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path recordings() const { return path_ / "recordings"; }
    const fs::path& scratch() const { return path_; }

  private:
    fs::path path_;
};

Folder& folder() {
    static Folder f;
    return f;
}

std::vector<std::string> recordingfiles() {
    std::vector<std::string> files;
    for (const auto& in : analyze::expandinputs({folder().recordings().string()}))
        files.push_back(in.path);
    return files;
}

void perrecording(benchmark::State& state) {
    state.counters["per_recording"] = benchmark::Counter(
        kRecordings, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

double childcpuseconds() {
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// The program as a user runs it: `korvin-analyze FOLDER`, its lines written to a file. Its own
// processor time per recording beside the wall time: on a busy machine the two part.
void BM_analyzefolder(benchmark::State& state) {
    const std::string in = folder().recordings().string();
    double cpu = 0;
    for (auto _ : state) {
        const double before = childcpuseconds();
        const auto run = korvin::test::runanalyze({in}, folder().scratch());
        cpu += childcpuseconds() - before;
        if (run.exitcode != 0 && run.exitcode != 1) state.SkipWithError("korvin-analyze failed");
    }
    perrecording(state);
    state.counters["cpu_per_recording"] =
        benchmark::Counter(cpu / kRecordings, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_analyzefolder)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading and checking the recordings alone (metadata JSON and data), no engine.
void BM_readrecordings(benchmark::State& state) {
    const auto files = recordingfiles();
    records::Recording r;
    std::string error;
    for (auto _ : state)
        for (const auto& f : files) benchmark::DoNotOptimize(records::readrecording(f, r, error));
    perrecording(state);
}
BENCHMARK(BM_readrecordings)->Unit(benchmark::kMillisecond)->UseRealTime();

// The engine and the verdicts on the same 1,000 captures, already in memory.
void BM_engineonrecordings(benchmark::State& state) {
    std::vector<records::Recording> all;
    std::string error;
    for (const auto& f : recordingfiles()) {
        all.emplace_back();
        records::readrecording(f, all.back(), error);
    }
    analyze::Analyser analyser;
    analyze::Outcome out;
    analyser.measure(all.front(), out);  // plans the transforms, once
    for (auto _ : state)
        for (const auto& r : all) {
            analyser.measure(r, out);
            benchmark::DoNotOptimize(out.facts.judgement.merdb);
        }
    perrecording(state);
}
BENCHMARK(BM_engineonrecordings)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// Time per capture of the measurement engine on a realistic 8-VSB capture, and of the
// conversion of the raw capture into the engine's sample block.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "dllexport.h"
#include "engine/buffers.h"
#include "resultlayout.h"
#include "vsbsignal.h"

namespace {

// A capture with everything the engine has to undo: noise, carrier offset and phase, timing,
// and a channel with amplitude and group-delay ripple.
std::vector<std::int32_t> make_sample_block() {
    vsb::Impairments imp;
    imp.snr_db = 30;
    imp.ripple_db = 0.5;
    imp.gd_ripple_ns = 50;
    imp.carrier_offset_hz = 20e3;
    imp.carrier_phase = 1.0;
    imp.timing_offset = 0.3;
    vsb::Generator generator(42, imp);
    std::vector<std::uint8_t> words(4 * vsb::kCaptureSamples);
    generator.capture(words.data(), vsb::kCaptureSamples);
    std::vector<std::int32_t> block(resultlayout::kSampleCount);
    splitsamples(words.data(), block.data());
    return block;
}

void BM_monitormain(benchmark::State& state) {
    const auto samples = make_sample_block();
    std::vector<std::uint8_t> results(resultlayout::kBlockSize);
    monitormain(samples.data(), results.data(), 2000.0, 0, 0);  // plans and tapers, once
    for (auto _ : state) {
        const auto rc = monitormain(samples.data(), results.data(), 2000.0, 0, 0);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_monitormain)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly();

// 32 KB of little-endian words into 16,384 integers, as after every complete capture.
void BM_splitsamples(benchmark::State& state) {
    static MeasureBuffers buffers;
    std::uint32_t seed = 7;
    fillsimulated(buffers.capturearea, seed);
    for (auto _ : state) {
        splitsamples(buffers.capturearea, buffers.sampleblock);
        benchmark::DoNotOptimize(buffers.sampleblock);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_splitsamples)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

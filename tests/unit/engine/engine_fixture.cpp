#include "engine_fixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dllexport.h"
#include "engine/buffers.h"
#include "engine/verdicts.h"

namespace enginetest {

namespace rl = resultlayout;

std::vector<std::int32_t> captureblock(vsb::Generator& generator) {
    std::vector<std::uint8_t> words(4 * vsb::kCaptureSamples);
    generator.capture(words.data(), vsb::kCaptureSamples);
    std::vector<std::int32_t> block(rl::kSampleCount);
    splitsamples(words.data(), block.data());
    return block;
}

std::vector<std::int32_t> captureblock(const std::vector<double>& iq) {
    std::vector<std::int32_t> block(rl::kSampleCount);
    constexpr std::size_t half = vsb::kCaptureSamples / 2;
    auto word = [](double v) { return std::int32_t(std::clamp(std::round(v), -32768.0, 32767.0)); };
    for (std::size_t k = 0; k < vsb::kCaptureSamples; ++k) {
        const std::size_t base = k < half ? k : k + half;
        block[base] = word(iq[2 * k]);
        block[base + half] = word(iq[2 * k + 1]);
    }
    return block;
}

std::vector<std::int32_t> withtone(vsb::Generator& generator, double fhz, double dbc) {
    std::vector<double> iq(2 * vsb::kCaptureSamples);
    generator.capture(iq.data(), vsb::kCaptureSamples);
    double power = 0;
    for (double v : iq) power += v * v;
    const double amplitude = std::sqrt(power / vsb::kCaptureSamples * std::pow(10.0, dbc / 10));
    const double w = 2 * std::numbers::pi * fhz / vsb::kSymbolRate;
    for (std::size_t n = 0; n < vsb::kCaptureSamples; ++n) {
        iq[2 * n] += amplitude * std::cos(w * double(n) + 0.3);
        iq[2 * n + 1] += amplitude * std::sin(w * double(n) + 0.3);
    }
    return captureblock(iq);
}

Result runmonitor(const std::vector<std::int32_t>& samples) {
    Result r;
    r.status = monitormain(samples.data(), r.block.data(), 2000.0, 0, 0);
    return r;
}

Result measure(const vsb::Impairments& imp, std::uint64_t seed, int skip) {
    vsb::Generator generator(seed, imp);
    for (int i = 0; i < skip; ++i) captureblock(generator);
    return runmonitor(captureblock(generator));
}

std::vector<double> levelmeans(const Result& r) {
    std::vector<double> sum(8, 0.0), count(8, 0.0);
    for (std::size_t i = 0; i < rl::kConstellationPoints; ++i) {
        const double x = rl::constellationx(r.data(), i);
        const auto level = static_cast<std::size_t>(std::clamp(std::floor((x + 8) / 2), 0.0, 7.0));
        sum[level] += x;
        count[level] += 1;
    }
    for (std::size_t l = 0; l < 8; ++l) sum[l] = count[l] > 0 ? sum[l] / count[l] : NAN;
    return sum;
}

namespace {

double injected(const vsb::Impairments& imp, double fmhz, bool group) {
    const double x = fmhz / 6.0;
    if (group) return imp.gdripplens / 2 * std::sin(2 * std::numbers::pi * imp.gdripplecycles * x);
    return imp.tiltdb * x +
           imp.rippledb / 2 * std::sin(2 * std::numbers::pi * imp.ripplecycles * x);
}

}  // namespace

double responsermserror(const Result& r, const vsb::Impairments& imp, bool group) {
    std::vector<double> diff;
    for (std::size_t i = 0; i < rl::kResponsePoints; ++i) {
        const double f = rl::responsex(i);
        if (std::abs(f) > 2.7) continue;
        const double measured = group ? rl::grouperror(r.data(), i) : rl::freqerror(r.data(), i);
        diff.push_back(measured - injected(imp, f, group));
    }
    double mean = 0;
    for (double d : diff) mean += d;
    mean /= double(diff.size());
    double sq = 0;
    for (double d : diff) sq += (d - mean) * (d - mean);
    return std::sqrt(sq / double(diff.size()));
}

double worstmaskmargin(const Result& r) {
    return -verdicts::maskmargin(r.data());  // the windows' own mask, seen from the other side
}

bool allfinite(const Result& r) {
    auto finite = [&](std::size_t offset, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            if (!std::isfinite(rl::read(r.data(), offset + 8 * i))) return false;
        return true;
    };
    return finite(rl::kConstellationOffset, 2 * rl::kConstellationPoints) &&
           finite(rl::kEyeOffset, rl::kEyeTraces * rl::kEyePointsPerTrace) &&
           finite(rl::kSpectrumOffset, rl::kSpectrumPoints) &&
           finite(rl::kFreqErrorOffset, rl::kResponsePoints) &&
           finite(rl::kGroupErrorOffset, rl::kResponsePoints) &&
           finite(rl::kFiguresOffset, rl::kFigureCount) &&
           finite(rl::kDiagnosticsOffset, rl::kDiagnosticCount);
}

bool enginelocked(const Result& r) {
    return rl::haslockarea(r.data()) && rl::locked(r.data());
}

}  // namespace enginetest

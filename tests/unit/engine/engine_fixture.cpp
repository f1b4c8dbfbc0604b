#include "engine_fixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dllexport.h"
#include "engine/buffers.h"

namespace enginetest {

namespace rl = resultlayout;

std::vector<std::int32_t> sample_block(vsb::Generator& generator) {
    std::vector<std::uint8_t> words(4 * vsb::kCaptureSamples);
    generator.capture(words.data(), vsb::kCaptureSamples);
    std::vector<std::int32_t> block(rl::kSampleCount);
    splitsamples(words.data(), block.data());
    return block;
}

std::vector<std::int32_t> sample_block(const std::vector<double>& iq) {
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

std::vector<std::int32_t> with_tone(vsb::Generator& generator, double f_hz, double dbc) {
    std::vector<double> iq(2 * vsb::kCaptureSamples);
    generator.capture(iq.data(), vsb::kCaptureSamples);
    double power = 0;
    for (double v : iq) power += v * v;
    const double amplitude = std::sqrt(power / vsb::kCaptureSamples * std::pow(10.0, dbc / 10));
    const double w = 2 * std::numbers::pi * f_hz / vsb::kSymbolRate;
    for (std::size_t n = 0; n < vsb::kCaptureSamples; ++n) {
        iq[2 * n] += amplitude * std::cos(w * double(n) + 0.3);
        iq[2 * n + 1] += amplitude * std::sin(w * double(n) + 0.3);
    }
    return sample_block(iq);
}

Result run_engine(const std::vector<std::int32_t>& samples) {
    Result r;
    r.status = monitormain(samples.data(), r.block.data(), 2000.0, 0, 0);
    return r;
}

Result measure(const vsb::Impairments& imp, std::uint64_t seed, int skip) {
    vsb::Generator generator(seed, imp);
    for (int i = 0; i < skip; ++i) sample_block(generator);
    return run_engine(sample_block(generator));
}

std::vector<double> level_means(const Result& r) {
    std::vector<double> sum(8, 0.0), count(8, 0.0);
    for (std::size_t i = 0; i < rl::kConstellationPoints; ++i) {
        const double x = rl::constellation_x(r.data(), i);
        const auto level = static_cast<std::size_t>(std::clamp(std::floor((x + 8) / 2), 0.0, 7.0));
        sum[level] += x;
        count[level] += 1;
    }
    for (std::size_t l = 0; l < 8; ++l) sum[l] = count[l] > 0 ? sum[l] / count[l] : NAN;
    return sum;
}

namespace {

double injected(const vsb::Impairments& imp, double f_mhz, bool group) {
    const double x = f_mhz / 6.0;
    if (group)
        return imp.gd_ripple_ns / 2 * std::sin(2 * std::numbers::pi * imp.gd_ripple_cycles * x);
    return imp.tilt_db * x +
           imp.ripple_db / 2 * std::sin(2 * std::numbers::pi * imp.ripple_cycles * x);
}

}  // namespace

double response_rms_error(const Result& r, const vsb::Impairments& imp, bool group) {
    std::vector<double> diff;
    for (std::size_t i = 0; i < rl::kResponsePoints; ++i) {
        const double f = rl::response_x(i);
        if (std::abs(f) > 2.7) continue;
        const double measured = group ? rl::group_error(r.data(), i) : rl::freq_error(r.data(), i);
        diff.push_back(measured - injected(imp, f, group));
    }
    double mean = 0;
    for (double d : diff) mean += d;
    mean /= double(diff.size());
    double sq = 0;
    for (double d : diff) sq += (d - mean) * (d - mean);
    return std::sqrt(sq / double(diff.size()));
}

double worst_mask_margin(const Result& r) {
    double worst = -1e9;
    for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i) {
        const double f = double(i) * 5.38 * 2 / 4096 - 5.38;
        double limit;
        if (f < -3.5)
            limit = 11.56 * f - 6.54;
        else if (f > -3.5 && f < -3)
            limit = -47;
        else if (f > 3 && f < 3.5)
            limit = -47;
        else if (f >= 3.5 && f < 6)
            limit = -11.56 * f - 6.54;
        else
            continue;
        worst = std::max(worst, rl::spectrum(r.data(), i) - limit);
    }
    return worst;
}

bool all_finite(const Result& r) {
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

bool engine_locked(const Result& r) {
    return rl::haslockarea(r.data()) && rl::locked(r.data());
}

}  // namespace enginetest

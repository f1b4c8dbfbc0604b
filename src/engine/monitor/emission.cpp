#include "emission.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "fft.h"
#include "resultlayout.h"
#include "vsbmodel.h"

namespace monitor {

namespace rl = resultlayout;

namespace {

constexpr double kEdgeMHz = 3.0006;       // the channel's edge
constexpr double kWindowMHz = 0.5;        // the mask's reference bandwidth
constexpr double kStepMHz = 0.01;         // between window centres
constexpr double kSpanMHz = 5.38;         // the spectrum's points lie over +-span
constexpr long kSpurNear = 4;             // bins of a line's own
constexpr long kSpurFar = 80;             // bins around it that set its surroundings
constexpr double kSpurOverMedian = 31.6;  // 15 dB out of its surroundings
constexpr double kSpurMinDbc = -75.0;
constexpr std::size_t kPaprRank = 8;  // 0.1 % of 8192 samples

// The emission mask (dB in 500 kHz relative to the channel's power) at f MHz outside the
// channel: -47 dB to 3.5 MHz from the centre, then falling 11.56 dB a MHz.
double masklimit(double f) {
    const double a = std::abs(f);
    return a < 3.5 ? -47.0 : -11.56 * a - 6.54;
}

std::size_t wrap(long m) {
    return std::size_t((m % long(kN) + long(kN)) % long(kN));
}

}  // namespace

Emission::Emission() : ideal_(rl::kCcdfPoints), power_(kN) {
    found_.reserve(rl::kMaxSpurs + 1);
    // An ideal capture from the model: random levels with the pilot through the VSB pulse, on a
    // fixed seed, sixteen captures long so the curve is smooth down to 1e-4.
    constexpr int kCaptures = 16;
    std::mt19937_64 rng(8);
    CBuffer symbols(kN), spectrum(kN), signal(kN);
    const Fft fft;
    const auto& pulse = pulsegrid();
    std::vector<double> counts(rl::kCcdfPoints, 0.0);
    for (int c = 0; c < kCaptures; ++c) {
        for (std::size_t n = 0; n < kN; ++n)
            symbols[n] = (double(2 * int(rng() >> 61) - 7) + kPilotLevel) * rotation(n);
        fft.forward(symbols, spectrum);
        for (std::size_t k = 0; k < kN; ++k) spectrum[k] *= pulse.amplitude[k];
        fft.inverse(spectrum, signal);
        double mean = 0;
        for (const auto& v : signal) mean += std::norm(v);
        mean /= double(kN);
        for (const auto& v : signal) {
            const double db = 10 * std::log10(std::norm(v) / mean);
            for (std::size_t i = 0; i < rl::kCcdfPoints && db > rl::ccdfx(i); ++i) counts[i] += 1;
        }
    }
    for (std::size_t i = 0; i < rl::kCcdfPoints; ++i)
        ideal_[i] = counts[i] / (double(kCaptures) * double(kN));
}

void Emission::measure(const double* spectrumdb, const CBuffer& capture, const CBuffer& samples,
                       std::uint8_t* results) {
    integratedmask(spectrumdb, results);
    spurs(capture, results);
    ccdf(samples, results);
}

// The power in each 500 kHz window, from the narrow levels (each stands for its share of the
// reference bandwidth), against the mask at the window's centre.
void Emission::integratedmask(const double* spectrumdb, std::uint8_t* results) const {
    const double pointmhz = 2 * kSpanMHz / double(rl::kSpectrumPoints - 1);
    double worst = INFINITY, where = 0;
    for (int side = -1; side <= 1; side += 2) {
        for (double c = kEdgeMHz + kWindowMHz / 2; c + kWindowMHz / 2 <= kSpanMHz; c += kStepMHz) {
            const double centre = side * c;
            double power = 0;
            for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i) {
                if (std::abs(rl::spectrumx(i) - centre) > kWindowMHz / 2) continue;
                power += std::pow(10.0, spectrumdb[i] / 10) * pointmhz / kWindowMHz;
            }
            const double room = masklimit(centre) - 10 * std::log10(std::max(power, 1e-30));
            if (room < worst) worst = room, where = centre;
        }
    }
    rl::writemeasure(results, rl::MaskIntegratedPass, worst >= 0 ? 1.0 : 0.0);
    rl::writemeasure(results, rl::MaskIntegratedMarginDb, worst);
    rl::writemeasure(results, rl::MaskIntegratedWorstMHz, where);
}

// Lines standing 20 dB out of the spectrum around them (not the pilot), strongest first.
void Emission::spurs(const CBuffer& capture, std::uint8_t* results) {
    found_.clear();
    auto power = [&](long bin) { return std::norm(capture[wrap(bin)]); };
    const long pilot = std::lround(kPilotHz / kBinHz);
    const long half = long(kN / 2);
    std::array<double, 2 * (kSpurFar - kSpurNear)> around;
    const double total = double(kN) * double(kN);  // the capture has unit power
    for (long b = -half; b < half; ++b) {          // the spectrum is circular: its ends meet
        if (std::labs(b - pilot) <= kSpurNear) continue;
        const double p = power(b);
        if (!(p > power(b - 1) && p >= power(b + 1))) continue;
        std::size_t n = 0;
        for (long d = kSpurNear; d < kSpurFar; ++d)
            around[n++] = power(b - d), around[n++] = power(b + d);
        std::nth_element(around.begin(), around.begin() + long(n / 2), around.end());
        const double line = power(b - 1) + p + power(b + 1);
        if (!(line > kSpurOverMedian * 3 * around[n / 2])) continue;
        const double dbc = 10 * std::log10(line / total);
        if (dbc < kSpurMinDbc) continue;
        const double mhz = (double(b) + (power(b + 1) - power(b - 1)) / line) * kBinHz / 1e6;
        found_.emplace_back(dbc, mhz);
        std::sort(found_.rbegin(), found_.rend());
        if (found_.size() > rl::kMaxSpurs) found_.pop_back();
    }
    for (std::size_t i = 0; i < rl::kMaxSpurs; ++i) {
        const bool valid = i < found_.size();
        rl::write(results, rl::kSpursOffset + 16 * i, valid ? found_[i].second : 0.0);
        rl::write(results, rl::kSpursOffset + 16 * i + 8, valid ? found_[i].first : 0.0);
    }
    rl::writemeasure(results, rl::SpurCount, double(found_.size()));
}

void Emission::ccdf(const CBuffer& samples, std::uint8_t* results) {
    double mean = 0;
    for (std::size_t n = 0; n < kN; ++n) mean += power_[n] = std::norm(samples[n]);
    mean /= double(kN);
    std::sort(power_.begin(), power_.end());
    for (std::size_t i = 0; i < rl::kCcdfPoints; ++i) {
        const double threshold = mean * std::pow(10.0, rl::ccdfx(i) / 10);
        const auto above = power_.end() - std::upper_bound(power_.begin(), power_.end(), threshold);
        rl::write(results, rl::kCcdfOffset + 8 * i, double(above) / double(kN));
        rl::write(results, rl::kCcdfIdealOffset + 8 * i, ideal_[i]);
    }
    const double papr = power_[kN - 1 - kPaprRank] / std::max(mean, 1e-300);
    rl::writemeasure(results, rl::PaprDb, 10 * std::log10(std::max(papr, 1e-30)));
}

}  // namespace monitor

#include "ccdf.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "vsbmodel.h"

namespace monitor {

namespace {

// |v|^2 written out: std::norm goes through a library call for the modulus.
double power(const Complex& v) {
    return v.real() * v.real() + v.imag() * v.imag();
}

// The ideal curve: captures of random symbols, each sampled at its own phase of the symbol clock
// (a capture may be taken at any), its powers over its own mean like a real capture's. Each
// sample is counted once for every level its own symbol could have taken, the rest of the
// signal kept: that averages out the largest part of the scatter, leaving about 1e-4 where
// the curve is near 0.4, 1 % of the curve where it is near 1e-4.
constexpr std::size_t kIdealCaptures = 512;
constexpr std::uint64_t kIdealSeed = 0x8f5b;
constexpr std::size_t kFineCellsPerUnit = 256;
constexpr std::size_t kFineCells = 16 * kFineCellsPerUnit;

}  // namespace

Ccdf::Ccdf(const Fft& fft) {
    for (std::size_t i = 0; i < kPoints; ++i)
        thresholds_[i] = std::pow(10.0, resultlayout::ccdfx(i) / 10);
    thresholds_[kPoints] = INFINITY;
    for (std::size_t c = 0; c < kCells; ++c) {
        const double lower = double(c) / double(kCellsPerUnit);
        firstbelow_[c] = std::size_t(
            std::lower_bound(thresholds_.begin(), thresholds_.end(), lower) - thresholds_.begin());
    }
    makeideal(fft);
}

double Ccdf::measure(const CBuffer& x) {
    double sums[4] = {};  // four chains of additions rather than one long one
    for (std::size_t n = 0; n < x.size(); ++n) sums[n % 4] += power(x[n]);
    const double total = sums[0] + sums[1] + sums[2] + sums[3];
    const double scale = double(x.size()) / std::max(total, 1e-300);
    std::array<std::size_t, kPoints + 1> counts{};  // by how many thresholds a power exceeds
    peaks_.fill(0.0);
    for (const auto& v : x) {
        const double p = power(v) * scale;
        ++counts[below(p)];
        if (p > peaks_.back()) {  // kept largest first
            std::size_t i = kPeaks - 1;
            for (; i > 0 && peaks_[i - 1] < p; --i) peaks_[i] = peaks_[i - 1];
            peaks_[i] = p;
        }
    }
    std::size_t above = 0;
    for (std::size_t i = kPoints; i-- > 0;) {
        above += counts[i + 1];
        curve_[i] = double(above) / double(x.size());
    }
    return 10 * std::log10(std::max(peaks_.back(), 1e-30));
}

void Ccdf::makeideal(const Fft& fft) {
    std::mt19937_64 random(kIdealSeed);
    CBuffer symbols(kN), spectrum(kN), ramp(kN), signal(kN);
    std::vector<double> levels(kN);
    std::vector<std::uint64_t> cells(kFineCells + 1);  // the last: everything above
    const auto& pulse = pulsegrid();
    for (std::size_t c = 0; c < kIdealCaptures; ++c) {
        std::uint64_t bits = 0;
        for (std::size_t n = 0; n < kN; ++n, bits >>= 3) {
            if (n % 21 == 0) bits = random();
            levels[n] = 2 * double(bits & 7) - 7;
            symbols[n] = (levels[n] + kPilotLevel) * rotation(n);
        }
        fft.forward(symbols, spectrum);
        delayramp((double(c) + 0.5) / double(kIdealCaptures), ramp);
        Complex own = 0;  // a symbol's gain into the sample at its own instant
        for (std::size_t k = 0; k < kN; ++k) {
            spectrum[k] = mul(spectrum[k], ramp[k]) * pulse.amplitude[k];
            own += ramp[k] * pulse.amplitude[k];
        }
        fft.inverse(spectrum, signal);
        double sum = 0;  // the capture's powers are counted over their own mean
        for (const auto& v : signal) sum += power(v);
        const double scale = double(kFineCellsPerUnit) * double(kN) / sum;
        const double g2 = power(own) * scale;
        for (std::size_t n = 0; n < kN; ++n) {
            const Complex g = own * rotation(n);
            const Complex rest = signal[n] - levels[n] * g;
            const double r2 = power(rest) * scale;
            const double cross = 2 * (rest.real() * g.real() + rest.imag() * g.imag()) * scale;
            for (double a = -7; a <= 7; a += 2) {
                const double p = std::max(r2 + a * (cross + a * g2), 0.0);  // |rest + a g|^2
                ++cells[std::min(static_cast<std::size_t>(p), kFineCells)];
            }
        }
    }
    // Each threshold reads the cells above it and the part of its own cell above it.
    const double total = double(kIdealCaptures * kN * 8);
    std::vector<double> above(kFineCells + 2, 0.0);
    for (std::size_t i = kFineCells + 1; i-- > 0;) above[i] = above[i + 1] + double(cells[i]);
    for (std::size_t i = 0; i < kPoints; ++i) {
        const double t = thresholds_[i] * double(kFineCellsPerUnit);
        const auto cell = static_cast<std::size_t>(t);
        ideal_[i] = (above[cell + 1] + (double(cell + 1) - t) * double(cells[cell])) / total;
    }
}

}  // namespace monitor

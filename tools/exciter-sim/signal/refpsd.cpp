#include "refpsd.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "fftfilter.h"
#include "vsbsignal.h"

namespace vsb::detail {

namespace {

constexpr std::size_t kBlock = 1 << 15;
constexpr std::size_t kBlocks = 8;
constexpr double kBin = kSymbolRate / kBlock;
constexpr double kEdge = kSymbolRate / 4 * (1 + kRollOff);  // where the VSB spectrum ends
constexpr double kReferenceBandwidth = 500e3;
// Averaging in dB keeps the steep shoulders unbiased; the mean of the log of an average of
// kBlocks periodograms lies ln(8) - digamma(8) nepers below the log of the mean: 0.277 dB.
constexpr double kLogBiasDb = 0.2771;

std::vector<double> blackmanharris(std::size_t n) {
    std::vector<double> w(n);
    const double a[4] = {0.35875, 0.48829, 0.14128, 0.01168};
    for (std::size_t i = 0; i < n; ++i) {
        const double x = 2 * std::numbers::pi * double(i) / double(n);
        w[i] = a[0] - a[1] * std::cos(x) + a[2] * std::cos(2 * x) - a[3] * std::cos(3 * x);
    }
    return w;
}

// Power per bin, channel-centred (index 0 at -Fs/2).
std::vector<double> averagedperiodogram(const ReferencePsd::Producer& produce) {
    std::vector<Complex> in(kBlock), out(kBlock);
    std::vector<double> iq(2 * kBlock), power(kBlock, 0.0);
    const auto window = blackmanharris(kBlock);
    double wsum = 0;
    for (double w : window) wsum += w * w;
    void* plan = makeplan(kBlock, in.data(), out.data(), true);
    for (std::size_t b = 0; b < kBlocks; ++b) {
        produce(iq.data(), kBlock);
        for (std::size_t i = 0; i < kBlock; ++i)
            in[i] = Complex(iq[2 * i], iq[2 * i + 1]) * window[i];
        executeplan(plan, in.data(), out.data());
        for (std::size_t k = 0; k < kBlock; ++k)
            power[(k + kBlock / 2) % kBlock] += std::norm(out[k]) / (wsum * kBlocks);
    }
    destroyplan(plan);
    return power;
}

double frequency(std::size_t i) {
    return (double(i) - double(kBlock / 2)) * kBin;
}

// Smoothing half-width in bins: narrow next to the channel edges, up to 150 kHz elsewhere.
std::size_t halfwidth(double f) {
    const double distance = std::abs(std::abs(f) - kEdge);
    return static_cast<std::size_t>(std::clamp(0.1 * distance, 2e3, 150e3) / kBin);
}

}  // namespace

ReferencePsd::ReferencePsd(const Producer& produce) {
    const auto power = averagedperiodogram(produce);
    double channel = 0;
    for (std::size_t i = 0; i < kBlock; ++i)
        if (std::abs(frequency(i)) <= kEdge) channel += power[i];
    const double scale = kReferenceBandwidth / (std::max(channel, 1e-300) * kBin);
    std::vector<double> level(kBlock);
    for (std::size_t i = 0; i < kBlock; ++i)
        level[i] = 10 * std::log10(std::max(power[i] * scale, 1e-30)) + kLogBiasDb;
    db_.resize(kBlock);
    for (std::size_t i = 0; i < kBlock; ++i) {
        const std::size_t h = halfwidth(frequency(i));
        const std::size_t lo = i > h ? i - h : 0;
        const std::size_t hi = std::min(kBlock, i + h + 1);
        double sum = 0;
        for (std::size_t j = lo; j < hi; ++j) sum += level[j];
        db_[i] = sum / double(hi - lo);
    }
}

double ReferencePsd::at(double fhz) const {
    if (db_.empty()) return -300.0;
    const double x = std::clamp(fhz / kBin + double(kBlock / 2), 0.0, double(kBlock - 1));
    const auto i = std::min(static_cast<std::size_t>(x), kBlock - 2);
    const double t = x - double(i);
    return db_[i] * (1 - t) + db_[i + 1] * t;
}

}  // namespace vsb::detail

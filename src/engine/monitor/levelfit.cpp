#include "levelfit.h"

#include <algorithm>
#include <cmath>

namespace monitor {

namespace {

constexpr double kRange = 12.0;  // the histogram covers -12 .. 12
constexpr double kFinestBin = 0.005;
constexpr std::size_t kMaxBins = std::size_t(2 * kRange / kFinestBin);
constexpr int kMaxIterations = 100;
constexpr double kTolerance = 1e-5;  // relative change of the noise that ends the iteration

double level(int i) {
    return 2.0 * i - 7.0;
}  // i = 0 .. 7

// Weighted sums for the M step.
struct Moments {
    double w = 0, l = 0, ll = 0, v = 0, lv = 0, vv = 0;
    void add(double weight, double lev, double val) {
        w += weight, l += weight * lev, ll += weight * lev * lev;
        v += weight * val, lv += weight * lev * val, vv += weight * val * val;
    }
};

}  // namespace

LevelFitter::LevelFitter() : histogram_(kMaxBins) {
    occupied_.reserve(kMaxBins);
}

// Bins of about a tenth of the noise's spread: fine enough to resolve it, coarse enough that
// the iterations stay cheap at low signal-to-noise ratios.
double LevelFitter::histogram(const double* values, std::size_t count) {
    double hard = 0;
    std::size_t used = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const double v = values[n];
        if (!(std::abs(v) < kRange)) continue;
        const double e = v - std::clamp(2 * std::floor(v / 2) + 1, -7.0, 7.0);
        hard += e * e, ++used;
    }
    occupied_.clear();
    if (used == 0) return 0;
    const double spread = std::sqrt(hard / double(used));
    bin_ = std::clamp(spread / 10, kFinestBin, 0.1);
    const auto bins = std::size_t(2 * kRange / bin_);
    std::fill_n(histogram_.begin(), bins, 0.0);
    for (std::size_t n = 0; n < count; ++n) {
        const double v = values[n];
        if (std::abs(v) < kRange)
            histogram_[std::min(bins - 1, std::size_t((v + kRange) / bin_))] += 1;
    }
    for (std::size_t b = 0; b < bins; ++b)
        if (histogram_[b] > 0)
            occupied_.push_back({-kRange + (double(b) + 0.5) * bin_, histogram_[b]});
    return std::max(hard / double(used), 1e-4);
}

// One EM step; only the three levels nearest each bin carry weight.
LevelFit LevelFitter::step(const LevelFit& cur) const {
    Moments m;
    const double inv2var = 0.5 / cur.noise;
    for (const auto& [v, count] : occupied_) {
        const double x = (v - cur.offset) / cur.gain;
        const int mid = std::clamp(int(std::lround((x + 7) / 2)), 0, 7);
        const int lo = std::max(0, mid - 1), hi = std::min(7, mid + 1);
        const double emid = v - cur.gain * level(mid) - cur.offset;
        double p[3] = {}, sum = 0;
        for (int i = lo; i <= hi; ++i) {
            const double e = v - cur.gain * level(i) - cur.offset;
            // Relative to the middle level, so a bin far from every level still has weight.
            sum += p[i - lo] = std::exp(-(e * e - emid * emid) * inv2var);
        }
        for (int i = lo; i <= hi; ++i) m.add(count * p[i - lo] / sum, level(i), v);
    }
    const double det = m.w * m.ll - m.l * m.l;
    if (!(det > 0) || !(m.w > 0)) return cur;
    LevelFit next;
    next.gain = (m.w * m.lv - m.l * m.v) / det;
    next.offset = (m.v - next.gain * m.l) / m.w;
    const double g = next.gain, o = next.offset;
    // Mean square error expanded over the moments, with Sheppard's correction for the bins.
    const double mse =
        (m.vv - 2 * g * m.lv - 2 * o * m.v + g * g * m.ll + 2 * g * o * m.l + o * o * m.w) / m.w -
        bin_ * bin_ / 12;
    next.noise = std::max(mse, 1e-8);
    if (!(std::abs(next.gain) > 1e-6) || !std::isfinite(next.noise)) return cur;
    return next;
}

LevelFit LevelFitter::fit(const double* values, std::size_t count) {
    LevelFit fit;
    fit.noise = histogram(values, count);
    if (occupied_.empty()) return LevelFit{};
    for (int it = 0; it < kMaxIterations; ++it) {
        const LevelFit next = step(fit);
        const bool settled = std::abs(next.noise - fit.noise) < kTolerance * fit.noise &&
                             std::abs(next.gain - fit.gain) < kTolerance;
        fit = next;
        if (settled) break;
    }
    return fit;
}

}  // namespace monitor

#include "carrier.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "vsbmodel.h"

namespace monitor {

namespace {
constexpr double kSearchHz = 200e3;
constexpr std::size_t kBlocks = 16;
constexpr double kTwoPi = 2 * std::numbers::pi;
}  // namespace

double findpilot(const CBuffer& spectrum) {
    const auto centre = static_cast<long>(std::lround(kPilotHz / kBinHz));
    const auto reach = static_cast<long>(kSearchHz / kBinHz);
    auto at = [&](long bin) {
        return spectrum[std::size_t((bin % long(kN) + long(kN)) % long(kN))];
    };
    long best = centre;
    double peak = -1;
    for (long b = centre - reach; b <= centre + reach; ++b) {
        const double p = std::norm(at(b));
        if (p > peak) peak = p, best = b;
    }
    // Jacobsen's estimator with Candan's correction for the rectangular window.
    const Complex l = at(best - 1), c = at(best), r = at(best + 1);
    const Complex den = 2.0 * c - l - r;
    double delta = std::abs(den) > 0 ? ((l - r) / den).real() : 0.0;
    const double corr = std::tan(std::numbers::pi / kN) / (std::numbers::pi / kN);
    delta = std::clamp(delta * corr, -0.5, 0.5);
    return (double(best) + delta) * kBinHz;
}

void shift(CBuffer& x, double hz, double phaseatcentre) {
    const double w = kTwoPi * hz / kFs;
    // Recomputed every 64 samples so the rotation does not accumulate rounding.
    for (std::size_t start = 0; start < kN; start += 64) {
        const Complex step = std::polar(1.0, -w);
        Complex rot = std::polar(1.0, -(w * (double(start) - double(kN / 2)) + phaseatcentre));
        for (std::size_t n = start; n < start + 64; ++n, rot = mul(rot, step))
            x[n] = mul(x[n], rot);
    }
}

double residualfrequency(const CBuffer& received, const CBuffer& model) {
    const std::size_t first = kEdgeSamples, length = (kN - 2 * kEdgeSamples) / kBlocks;
    double phase[kBlocks], weight[kBlocks], centre[kBlocks];
    double previous = 0;
    for (std::size_t b = 0; b < kBlocks; ++b) {
        Complex s = 0;
        const std::size_t lo = first + b * length;
        for (std::size_t n = lo; n < lo + length; ++n) s += received[n] * std::conj(model[n]);
        double p = std::arg(s);
        p -= kTwoPi * std::round((p - previous) / kTwoPi);  // unwrap against the last block
        phase[b] = previous = p;
        weight[b] = std::abs(s);
        centre[b] = double(lo) + double(length) / 2;
    }
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t b = 0; b < kBlocks; ++b) {
        sw += weight[b], sx += weight[b] * centre[b], sy += weight[b] * phase[b];
        sxx += weight[b] * centre[b] * centre[b], sxy += weight[b] * centre[b] * phase[b];
    }
    const double det = sw * sxx - sx * sx;
    if (!(det > 0)) return 0.0;
    const double slope = (sw * sxy - sx * sy) / det;  // rad per sample
    return std::isfinite(slope) ? slope * kFs / kTwoPi : 0.0;
}

}  // namespace monitor

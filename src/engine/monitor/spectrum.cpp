#include "spectrum.h"

#include <algorithm>
#include <cmath>

#include "dpss.h"
#include "vsbmodel.h"

namespace monitor {

namespace {

// Four Slepian tapers with NW = 4: a resolution of +-5 kHz keeps the channel's steep edge out
// of the first mask points just beyond +-3 MHz. Higher tapers end less smoothly at the
// capture's ends and would spread the channel's power far from it, towards the mask's
// -68.7 dB at the edges of the capture.
constexpr double kNw = 4.0;
constexpr std::size_t kTapers = 4;
// The mean of the log of a chi-square estimate with 2K degrees of freedom lies
// (ln K - digamma(K)) below the log of its mean; for K = 4 that is 0.565 dB.
constexpr double kLogBiasDb = 0.5655;
constexpr double kReferenceHz = 500e3;
constexpr double kMaxSmoothingHz = 150e3;
constexpr double kMaxShoulderSmoothingHz = 250e3;
constexpr double kFloorDb = -200.0;

}  // namespace

Spectrum::Spectrum(const Fft& fft)
    : fft_(fft),
      tapers_(dpss(kN, kNw, kTapers)),
      tapered_(kN),
      transformed_(kN),
      power_(kN),
      level_db_(3 * kN),
      cumulative_(3 * kN + 1) {}

void Spectrum::taper_average(const CBuffer& centred) {
    std::fill(power_.begin(), power_.end(), 0.0);
    for (const auto& taper : tapers_) {
        for (std::size_t n = 0; n < kN; ++n) tapered_[n] = centred[n] * taper[n];
        fft_.forward(tapered_, transformed_);
        for (std::size_t k = 0; k < kN; ++k)
            power_[(k + kN / 2) % kN] += std::norm(transformed_[k]);
    }
}

// Averages in dB over a width that grows with the distance from the spectrum's features (the
// channel edges, the start of the roll-off, the pilot), so the steep parts stay sharp and the
// flat parts read steadily. Outside the channel the shoulders vary slowly, so the window may
// reach almost back to the edge.
double Spectrum::smoothing_hz(double f_hz) const {
    const double a = std::abs(f_hz);
    if (a > kEdgeHz) return std::min(0.9 * (a - kEdgeHz), kMaxShoulderSmoothingHz);
    const double distance =
        std::min({kEdgeHz - a, std::abs(a - kFlatHz), std::abs(f_hz - kPilotHz)});
    return std::min(0.25 * distance, kMaxSmoothingHz);
}

void Spectrum::measure(const CBuffer& centred, double* out) {
    taper_average(centred);
    double channel = 0, total = 0;
    for (std::size_t i = 0; i < kN; ++i) {
        const double f = (double(i) - double(kN / 2)) * kBinHz;
        total += power_[i];
        if (std::abs(f) <= kEdgeHz) channel += power_[i];
    }
    channel_fraction_ = total > 0 ? channel / total : 0.0;
    const double scale = kReferenceHz / kBinHz / std::max(channel, 1e-300);
    // Three copies side by side let windows run past +-Fs/2 without index arithmetic.
    for (std::size_t i = 0; i < kN; ++i) {
        const double v = power_[i] * scale;
        const double db = v > 0 ? std::max(10 * std::log10(v) + kLogBiasDb, kFloorDb) : kFloorDb;
        level_db_[i] = level_db_[i + kN] = level_db_[i + 2 * kN] = db;
    }
    cumulative_[0] = 0;
    for (std::size_t i = 0; i < level_db_.size(); ++i)
        cumulative_[i + 1] = cumulative_[i] + level_db_[i];
    for (std::size_t p = 0; p < kPoints; ++p) {
        const double f = -kSpanHz + 2 * kSpanHz * double(p) / double(kPoints - 1);
        const double pos = f / kBinHz + double(kN / 2) + double(kN);  // in the middle copy
        const auto half = static_cast<std::size_t>(smoothing_hz(f) / kBinHz);
        if (half == 0) {
            const auto i = static_cast<std::size_t>(pos);
            const double t = pos - double(i);
            out[p] = level_db_[i] * (1 - t) + level_db_[i + 1] * t;
        } else {
            const auto c = static_cast<std::size_t>(std::lround(pos));
            out[p] = (cumulative_[c + half + 1] - cumulative_[c - half]) / double(2 * half + 1);
        }
    }
}

}  // namespace monitor

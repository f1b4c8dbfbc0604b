#include "spectrum.h"

#include <algorithm>
#include <cmath>

#include "dpss.h"
#include "vsbmodel.h"

namespace monitor {

namespace {

// Four Slepian tapers with NW = 4: a resolution of +-5 kHz, so the channel's steep edge reaches
// no further than 5 bins beyond it. Higher tapers end less smoothly at the capture's ends and
// would spread the channel's power far from it, towards the mask's -68.7 dB at the edges of the
// capture.
constexpr double kNw = 4.0;
constexpr std::size_t kTapers = 4;
// In the flat part of the channel three more tapers almost double the averaging; their leakage
// lies tens of dB below the channel's own level there.
constexpr std::size_t kWideTapers = 7;
constexpr double kWideHz = 2.5e6;
constexpr double kReferenceHz = 500e3;
// Every level is the mean power over a band around its frequency, as an analyser's resolution
// filter collects it: 30 kHz wherever the spectrum changes fast (a line, a steep slope, the
// channel edges), wider where it is smooth, since a single 0.76 ms capture read at 30 kHz
// scatters by about +-1 dB and would hide the flatness of the channel and the shape of the
// shoulders. Never wider than the reference bandwidth, so a CW reads at least its own power.
constexpr double kResolutionHz = 30e3;
constexpr double kMaxAveragingHz = 500e3;
constexpr double kFloorDb = -200.0;
const std::size_t kCoreHalf = static_cast<std::size_t>(std::lround(kResolutionHz / 2 / kBinHz));
// A centre 6 dB above the rest of its band is a line: about five standard deviations of noise
// read at 30 kHz.
constexpr double kLineRatio = 3.98;
// The tapers' spectral window holds 55 dB less than its energy beyond 4 bins from its centre:
// a bin 5 bins beyond the channel edge holds no power from inside the channel, even where the
// noise is white right up to the edge. A level outside the channel is the mean over such bins
// only, its band moved outwards where it would reach closer to the edge.
constexpr double kGuardBins = 5;
const auto kFirstOutside = static_cast<std::size_t>(std::ceil(kEdgeHz / kBinHz + kGuardBins));
const std::size_t kCentreBin = kN + kN / 2;  // the channel centre in the running sums

}  // namespace

Spectrum::Spectrum(const Fft& fft)
    : fft_(fft),
      tapers_(dpss(kN, kNw, kWideTapers)),
      tapered_(kN),
      transformed_(kN),
      power_(kN),
      wide_(kN),
      cumulative_(3 * kN + 1),
      widecumulative_(3 * kN + 1) {
    // Bands from the widest down, each 0.8 of the last. Their halves may differ by 2 dB at
    // 500 kHz, more in narrower bands: three standard deviations of the difference that noise
    // alone makes, so a smooth spectrum seldom narrows a band.
    for (double hz = kMaxAveragingHz; hz > kResolutionHz; hz *= 0.8) {
        const auto half = static_cast<std::size_t>(std::lround(hz / 2 / kBinHz));
        const double db = 2.0 * std::sqrt(kMaxAveragingHz / hz);
        bands_.push_back({hz, half, std::pow(10.0, db / 10)});
    }
}

void Spectrum::taperaverage(const CBuffer& centred) {
    std::fill(power_.begin(), power_.end(), 0.0);
    for (std::size_t t = 0; t < tapers_.size(); ++t) {
        if (t == kTapers) std::copy(power_.begin(), power_.end(), wide_.begin());
        auto& sum = t < kTapers ? power_ : wide_;
        const auto& taper = tapers_[t];
        for (std::size_t n = 0; n < kN; ++n) tapered_[n] = centred[n] * taper[n];
        fft_.forward(tapered_, transformed_);
        for (std::size_t k = 0; k < kN; ++k) sum[(k + kN / 2) % kN] += std::norm(transformed_[k]);
    }
    for (std::size_t k = 0; k < kN; ++k) {
        power_[k] /= double(kTapers);
        wide_[k] /= double(kWideTapers);
    }
}

// The level at f: in the channel a band around f, narrow next to the edges so their slope does
// not spill into the flat part; outside it a band of bins beyond the guard only.
double Spectrum::level(double fhz) const {
    const auto c = static_cast<std::size_t>(std::lround(fhz / kBinHz + double(kCentreBin)));
    const double a = std::abs(fhz);
    if (a <= kEdgeHz) {
        const auto& sums = a < kWideHz ? widecumulative_ : cumulative_;
        return bandmean(sums, c, std::clamp(0.8 * (kEdgeHz - a), kResolutionHz, kMaxAveragingHz));
    }
    const std::size_t away = c > kCentreBin ? c - kCentreBin : kCentreBin - c;
    if (away < kFirstOutside + kCoreHalf) {  // one-sided: the first resolution band outside
        const std::size_t shifted = kFirstOutside + kCoreHalf;
        return bandmean(cumulative_, c > kCentreBin ? kCentreBin + shifted : kCentreBin - shifted,
                        kResolutionHz);
    }
    const double widest = 2 * kBinHz * double(away - kFirstOutside);
    return bandmean(cumulative_, c, std::min(widest, kMaxAveragingHz));
}

// Mean power per bin around bin c over the widest band that suits the spectrum there: its two
// halves agree (no steep slope, whose power mean would read high, nor a line to one side) and
// its centre holds no line standing above it. Else the resolution bandwidth.
double Spectrum::bandmean(const std::vector<double>& sums, std::size_t c, double widest) const {
    auto mean = [&](std::size_t lo, std::size_t hi) {  // bins lo .. hi-1
        return std::max(sums[hi] - sums[lo], 0.0) / double(hi - lo);
    };
    const std::size_t lo = c - kCoreHalf, hi = c + kCoreHalf + 1;  // the core: bins lo .. hi-1
    const double core = mean(lo, hi);
    for (const auto& band : bands_) {
        if (band.hz > widest) continue;
        const std::size_t first = c - band.half, last = c + band.half + 1;
        const double left = mean(first, c), right = mean(c + 1, last);
        const double outer =
            (std::max(sums[lo] - sums[first], 0.0) + std::max(sums[last] - sums[hi], 0.0)) /
            double(2 * (lo - first));
        if (std::max(left, right) <= band.ratio * std::min(left, right) &&
            core <= kLineRatio * outer)
            return mean(first, last);
    }
    return core;
}

void Spectrum::measure(const CBuffer& centred, double* out) {
    taperaverage(centred);
    total_ = channel_ = 0;
    for (std::size_t i = 0; i < kN; ++i) {
        const double f = (double(i) - double(kN / 2)) * kBinHz;
        total_ += power_[i];
        if (std::abs(f) <= kEdgeHz) channel_ += power_[i];
    }
    channelfraction_ = total_ > 0 ? channel_ / total_ : 0.0;
    // Power per bin into dB relative to the whole capture's power in the reference bandwidth.
    const double scale = kReferenceHz / kBinHz / std::max(total_, 1e-300);
    // Running sums over three copies side by side let bands run past +-Fs/2 without index
    // arithmetic. The sums are of power, so a band's mean is exact to about 1e-16 of the whole
    // capture's power: far below the lowest level that matters.
    cumulative_[0] = widecumulative_[0] = 0;
    for (std::size_t i = 0; i < 3 * kN; ++i) {
        cumulative_[i + 1] = cumulative_[i] + power_[i % kN];
        widecumulative_[i + 1] = widecumulative_[i] + wide_[i % kN];
    }
    for (std::size_t p = 0; p < kPoints; ++p) {
        const double f = -kSpanHz + 2 * kSpanHz * double(p) / double(kPoints - 1);
        const double v = level(f) * scale;
        out[p] = v > 0 ? std::max(10 * std::log10(v), kFloorDb) : kFloorDb;
    }
}

// Bin t of the running sums covers [t, t + 1) in u = f / bin + centre + 1/2.
double Spectrum::powerbetween(double lohz, double hihz) const {
    auto below = [this](double hz) {
        const double u = std::clamp(hz / kBinHz + double(kCentreBin) + 0.5, 0.0, double(3 * kN));
        const auto t = std::min(static_cast<std::size_t>(u), 3 * kN - 1);
        return cumulative_[t] + (u - double(t)) * power_[t % kN];
    };
    return below(hihz) - below(lohz);
}

}  // namespace monitor

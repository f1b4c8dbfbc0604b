#include "emission.h"

#include <algorithm>
#include <cmath>

#include "masklimit.h"
#include "vsbmodel.h"

namespace monitor {

namespace rl = resultlayout;

namespace {

constexpr double kFloorDb = -200.0;
double decibels(double ratio) {
    return ratio > 0 ? std::max(10 * std::log10(ratio), kFloorDb) : kFloorDb;
}

double power(const Complex& v) {
    return v.real() * v.real() + v.imag() * v.imag();
}

// The integration windows: 500 kHz wide, their centres at most 10 kHz apart, from 250 kHz beyond
// the channel edge to 250 kHz within the end of the capture.
constexpr double kWindowHalfHz = 250e3;
constexpr double kWindowStepHz = 10e3;

// Under a Hann taper a line's power lies within 3 bins of it (all but 0.03 %); 30 bins either
// side, clear of it, tell what lies around it. It must stand 10 dB over the higher side: the
// 7-bin sum of noise does that about once in 10^10 tries, a capture makes 8192. The channel's
// edges are left out with the pilot: there the model's pulse and any real filter part in a
// narrow step that stands out of the residual as a line would.
constexpr long kLineHalf = 3;
constexpr long kFlankGap = 5;
constexpr long kFlankBins = 30;
constexpr long kLineBins = 2 * kLineHalf + 1;
constexpr long kReach = kFlankGap + kFlankBins;  // bins a line's test looks either side
constexpr double kStandOut = 10.0;
constexpr double kHannGain = 3.0 / 8;  // mean square of the taper
const long kHalfBins = long(kN / 2);
const long kPilotLine = std::lround(kPilotHz / kBinHz);  // from the channel centre
const double kEdgeBins = kEdgeHz / kBinHz;

}  // namespace

IntegratedMask::IntegratedMask() {
    const double first = kEdgeHz + kWindowHalfHz, last = kFs / 2 - kWindowHalfHz;
    const double steps = std::ceil((last - first) / kWindowStepHz);
    for (const double side : {-1.0, 1.0}) {
        for (double i = 0; i <= steps; ++i) {
            const double centre = side * (first + (last - first) * i / steps);
            const double limit = verdicts::masklimit(centre / 1e6);
            if (std::isnan(limit)) continue;
            centres_.push_back(centre);
            limits_.push_back(std::pow(10.0, limit / 10));
        }
    }
}

void IntegratedMask::measure(const Spectrum& spectrum) {
    const double reference = std::max(spectrum.totalpower(), 1e-300);
    double worst = -1;  // the largest power over its limit
    for (std::size_t i = 0; i < centres_.size(); ++i) {
        const double c = centres_[i];
        const double over =
            spectrum.powerbetween(c - kWindowHalfHz, c + kWindowHalfHz) / (reference * limits_[i]);
        if (over > worst) worst = over, worsthz_ = c;
    }
    margindb_ = -decibels(worst);
}

SpurFinder::SpurFinder() : power_(kN + 2 * kReach), cumulative_(kN + 2 * kReach + 1) {}

// The residual's transform under a periodic Hann taper, whose transform is three bins: the
// taper also hides the capture's ends, where the model's circular filter tails do not match.
void SpurFinder::residual(const CBuffer& capture, const CBuffer& channel, const CBuffer& ideal) {
    auto left = [&](std::size_t t) {  // transform index t mod N
        const std::size_t k = t % kN;
        return capture[k] - mul(channel[k], ideal[k]);
    };
    // power_[j] is bin j - N/2 - kReach from the channel centre: transform index j + N/2 - kReach
    // (plus N, to stay positive).
    const std::size_t start = kN + kN / 2 - std::size_t(kReach);
    Complex previous = left(start - 1), current = left(start);
    for (std::size_t j = 0; j < power_.size(); ++j) {
        const Complex next = left(start + j + 1);
        power_[j] = power(0.5 * current - 0.25 * (previous + next));
        previous = current, current = next;
    }
    cumulative_[0] = 0;
    for (std::size_t j = 0; j < power_.size(); ++j) cumulative_[j + 1] = cumulative_[j] + power_[j];
}

// Kept strongest first. Two lines nearer than a line's window are one: where the model leaves a
// skirt about a strong line, two windows a few bins apart can each hold it.
void SpurFinder::keep(const Spur& spur) {
    std::size_t i = 0;
    while (i < count_ && std::abs(spurs_[i].hz - spur.hz) > double(kLineBins) * kBinHz) ++i;
    if (i < count_) {
        if (spurs_[i].dbc >= spur.dbc) return;
        for (; i + 1 < count_; ++i) spurs_[i] = spurs_[i + 1];
        --count_;
    }
    if (count_ == kMaxSpurs && spur.dbc <= spurs_[kMaxSpurs - 1].dbc) return;
    i = count_ < kMaxSpurs ? count_++ : kMaxSpurs - 1;
    for (; i > 0 && spurs_[i - 1].dbc < spur.dbc; --i) spurs_[i] = spurs_[i - 1];
    spurs_[i] = spur;
}

std::size_t SpurFinder::find(const CBuffer& capture, const CBuffer& channel, const CBuffer& ideal,
                             double channelpower) {
    residual(capture, channel, ideal);
    count_ = 0;
    const long centre = kHalfBins + kReach;  // the channel centre's index in power_
    auto bins = [&](long lo, long hi) {      // bins lo .. hi-1 from the channel centre
        return cumulative_[std::size_t(centre + hi)] - cumulative_[std::size_t(centre + lo)];
    };
    auto line = [&](long c) { return bins(c - kLineHalf, c + kLineHalf + 1); };
    // A line's power in the residual's units: its transform under the taper holds N^2 3/8 of it.
    const double reference = std::max(channelpower, 1e-300) * double(kN) * kHannGain;
    for (long c = -kHalfBins; c < kHalfBins; ++c) {
        const double sum = line(c);
        const double lower = bins(c - kFlankGap - kFlankBins + 1, c - kFlankGap + 1);
        const double upper = bins(c + kFlankGap, c + kFlankGap + kFlankBins);
        if (!(sum > kStandOut * kLineBins * std::max(lower, upper) / double(kFlankBins))) continue;
        if (std::abs(c - kPilotLine) <= kLineHalf + 1 ||
            std::abs(std::abs(double(c)) - kEdgeBins) <= double(kLineHalf + 1))
            continue;
        bool peak = true;  // the strongest window within the line's reach; the first of equals
        for (long d = 1; d <= kLineHalf && peak; ++d)
            peak = sum >= line(c - d) && sum > line(c + d);
        if (!peak) continue;
        // The line's power over what lies around it, and its frequency from its centroid.
        const double floor = (lower + upper) / (2 * double(kFlankBins));
        double excess = 0, moment = 0;
        for (long d = -kLineHalf; d <= kLineHalf; ++d) {
            const double e = power_[std::size_t(centre + c + d)] - floor;
            excess += e;
            moment += e * double(d);
        }
        if (!(excess > 0)) continue;
        keep({(double(c) + moment / excess) * kBinHz, decibels(excess / reference)});
    }
    return count_;
}

void Emission::measure(const Spectrum& spectrum, const CBuffer& capture, const CBuffer& transform,
                       const CBuffer& channel, const CBuffer& ideal, std::uint8_t* results) {
    rl::writemeasure(results, rl::PaprDb, ccdf_.measure(capture));
    for (std::size_t i = 0; i < rl::kCcdfPoints; ++i) {
        rl::write(results, rl::kCcdfOffset + 8 * i, ccdf_.curve()[i]);
        rl::write(results, rl::kCcdfIdealOffset + 8 * i, ccdf_.ideal()[i]);
    }
    mask_.measure(spectrum);
    rl::writemeasure(results, rl::MaskIntegratedPass, mask_.margindb() >= 0 ? 1.0 : 0.0);
    rl::writemeasure(results, rl::MaskIntegratedMarginDb, mask_.margindb());
    rl::writemeasure(results, rl::MaskIntegratedWorstMHz, mask_.worsthz() / 1e6);
    const std::size_t count = spurs_.find(transform, channel, ideal, spectrum.channelpower());
    rl::writemeasure(results, rl::SpurCount, double(count));
    for (std::size_t i = 0; i < rl::kMaxSpurs; ++i) {
        const Spur s = i < count ? spurs_.spurs()[i] : Spur{0.0, 0.0};
        rl::write(results, rl::kSpursOffset + 16 * i, s.hz / 1e6);
        rl::write(results, rl::kSpursOffset + 16 * i + 8, s.dbc);
    }
}

}  // namespace monitor

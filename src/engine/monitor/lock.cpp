#include "lock.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "vsbmodel.h"

namespace monitor {

namespace {

constexpr long kNear = 8;  // bins either side of the line left out of its surroundings
constexpr long kFar = 80;  // about 100 kHz

// The thresholds lie between what real captures and what captures without a signal show.
// The pilot stands 22 to 27 dB out of an 8-VSB spectrum, noise's strongest line 4 to 8 dB.
constexpr double kMinPilotDb = 15.0;
// Most of an 8-VSB signal's power lies in the channel (0.91 even with a -10 dBc spur outside
// it); white noise or an impulse puts 0.56 there.
constexpr double kMinChannelFraction = 0.7;
// The decision error at the best symbol phase lies 37 to 98 % below the worst one's from 8 to
// 30 dB SNR; without a symbol clock (noise, a tone on the pilot) the phases differ by under 12 %.
constexpr double kMinTimingContrast = 0.2;
// Eight equally likely levels have a kurtosis of 1.76, rising to 2.1 at 8 dB SNR; noise makes
// 2.6 to 3, a lone sine 1.5.
constexpr double kMinKurtosis = 1.6;
constexpr double kMaxKurtosis = 2.35;

}  // namespace

double pilotprominencedb(const CBuffer& spectrum, double pilothz) {
    const long centre = std::lround(pilothz / kBinHz);
    auto power = [&](long bin) {
        return std::norm(spectrum[std::size_t((bin % long(kN) + long(kN)) % long(kN))]);
    };
    const double line = power(centre - 1) + power(centre) + power(centre + 1);
    std::array<double, 2 * (kFar - kNear)> around;
    std::size_t n = 0;
    double total = 0;
    for (long d = kNear; d < kFar; ++d) {
        around[n++] = power(centre - d);
        around[n++] = power(centre + d);
        total += around[n - 1] + around[n - 2];
    }
    std::nth_element(around.begin(), around.begin() + long(n / 2), around.end());
    // A floor far below anything measurable keeps silence at 0 dB rather than 0/0.
    const double floor = 1e-30 * total + 1e-300;
    return 10 * std::log10((line + floor) / (3 * around[n / 2] + floor));
}

double kurtosis(const double* v, std::size_t count) {
    if (count == 0) return 0;
    double mean = 0;
    for (std::size_t i = 0; i < count; ++i) mean += v[i];
    mean /= double(count);
    double m2 = 0, m4 = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double d = (v[i] - mean) * (v[i] - mean);
        m2 += d, m4 += d * d;
    }
    m2 /= double(count), m4 /= double(count);
    return m2 > 1e-12 * (mean * mean + 1e-300) ? m4 / (m2 * m2) : 0.0;
}

resultlayout::LockReason judge(const LockEvidence& e) {
    using Reason = resultlayout::LockReason;
    // Negated comparisons, so a value that is not a number never counts as evidence of a lock.
    if (!(e.pilotdb >= kMinPilotDb)) return Reason::NoPilot;
    if (!(e.channelfraction >= kMinChannelFraction)) return Reason::NotVsb;
    if (!(e.timingcontrast >= kMinTimingContrast)) return Reason::NoTiming;
    if (!(e.kurtosis >= kMinKurtosis && e.kurtosis <= kMaxKurtosis)) return Reason::EyeClosed;
    return Reason::Locked;
}

}  // namespace monitor

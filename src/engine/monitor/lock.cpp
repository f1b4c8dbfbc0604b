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
// 8-VSB puts +5 -5 -5 +5 at one position of every 832 symbols. There its correlation averages
// 5 against the symbols' RMS of 4.6 (score 1.09), and at 8 dB SNR nearly every segment's reaches
// half of it (a strong echo's residue at 8 dB costs a few); elsewhere the mean over nine segments
// stays under 0.5 of the RMS. A periodic signal that matches at one position matches as well at
// another a period away (rival 1).
constexpr std::size_t kSegment = 832;
constexpr double kMinSyncScore = 0.7;
constexpr double kMinSyncFraction = 0.6;
constexpr double kMaxSyncRival = 0.8;
constexpr long kSyncNear = 3;  // positions this close to the best are its own shoulders

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

SyncEvidence findsegmentsync(const double* inphase, const LevelFit& levels, std::size_t first,
                             std::size_t last) {
    std::array<double, kSegment> sum{}, hits{}, count{};
    double power = 0;
    const double scale = levels.gain != 0 ? 1 / levels.gain : 0.0;
    auto v = [&](std::size_t n) { return (inphase[n] - levels.offset) * scale; };
    for (std::size_t n = first; n + 3 < last; ++n) {
        const double c = (v(n) - v(n + 1) - v(n + 2) + v(n + 3)) / 4;
        const std::size_t p = n % kSegment;
        sum[p] += c, count[p] += 1, hits[p] += c >= 2.5 ? 1 : 0;
        power += v(n) * v(n);
    }
    SyncEvidence e;
    const double rms = std::sqrt(power / double(std::max<std::size_t>(last - first, 1)));
    std::size_t best = 0;
    auto mean = [&](std::size_t p) { return count[p] > 0 ? sum[p] / count[p] : 0.0; };
    for (std::size_t p = 1; p < kSegment; ++p)
        if (mean(p) > mean(best)) best = p;
    double rival = -INFINITY;
    for (std::size_t p = 0; p < kSegment; ++p) {
        const long d = std::labs(long(p) - long(best));
        if (std::min(d, long(kSegment) - d) > kSyncNear) rival = std::max(rival, mean(p));
    }
    if (!(rms > 0) || !(mean(best) > 0) || count[best] == 0) return e;
    e.score = mean(best) / rms;
    e.fraction = hits[best] / count[best];
    e.rival = std::max(rival, 0.0) / mean(best);
    return e;
}

resultlayout::LockReason judge(const LockEvidence& e) {
    using Reason = resultlayout::LockReason;
    // Negated comparisons, so a value that is not a number never counts as evidence of a lock.
    if (!(e.pilotdb >= kMinPilotDb)) return Reason::NoPilot;
    if (!(e.channelfraction >= kMinChannelFraction)) return Reason::NotVsb;
    if (!(e.timingcontrast >= kMinTimingContrast)) return Reason::NoTiming;
    if (!(e.kurtosis >= kMinKurtosis && e.kurtosis <= kMaxKurtosis)) return Reason::EyeClosed;
    if (!(e.sync.score >= kMinSyncScore && e.sync.fraction >= kMinSyncFraction &&
          e.sync.rival <= kMaxSyncRival))
        return Reason::NoSegmentSync;
    return Reason::Locked;
}

}  // namespace monitor

// The adjacent-channel emission mask's limit: one definition for the Spectrum window's test of
// the trace and for the engine's 500 kHz integration method.
#pragma once

#include <limits>

namespace verdicts {

// The mask's limit (dB in 500 kHz relative to the channel power) at frequency f (MHz); NaN
// where there is none (in-band, f = -3.5 and from 6 MHz up).
inline double masklimit(double f) {
    constexpr double kNoLimit = std::numeric_limits<double>::quiet_NaN();
    constexpr double kSlope = 11.56;  // dB per MHz on the flanks
    constexpr double kFlankOffset = -6.54;
    constexpr double kShoulder = -47.0;
    if (f < -3.5) return kSlope * f + kFlankOffset;
    if (f > -3.5 && f < -3) return kShoulder;
    if (f >= -3 && f <= 3) return kNoLimit;
    if (f > 3 && f < 3.5) return kShoulder;
    if (f >= 3.5 && f < 6) return -kSlope * f + kFlankOffset;
    return kNoLimit;
}

}  // namespace verdicts

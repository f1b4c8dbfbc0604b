// The verdicts on a result block, the same wherever they are shown: the spectrum against the
// adjacent-channel mask, and the amplitude flatness and group delay within +-3 MHz against their
// limits. A value that is not a number was not measured and never passes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace verdicts {

inline constexpr double kFlatnessBound = 0.5;  // dB, either side of zero
inline constexpr double kGroupBound = 52;      // ns, either side of zero

// The mask's limit (dB) at frequency f (MHz); NaN where there is none (in-band, f = -3.5 and
// from 6 MHz up).
double masklimit(double f);
// The frequency (MHz) spectrum point i is tested at: divisor 4096, slightly below its plotted x.
double masktestfrequency(std::size_t i);
// True when every point of the spectrum region is finite and stays at or below its limit.
bool masktest(const std::uint8_t* resultblock);
// The smallest room (dB) between a level and its limit over the points that have one: negative
// when the mask fails there, minus infinity when a level is not a number.
double maskmargin(const std::uint8_t* resultblock);

// True when every flatness error is finite and within kFlatnessBound.
bool flatnesspass(const std::uint8_t* resultblock);
// True when every group-delay error is finite and within kGroupBound.
bool groupdelaypass(const std::uint8_t* resultblock);

}  // namespace verdicts

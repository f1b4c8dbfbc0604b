// Values a chart can draw. A corrupt result block may hold NaN, infinities or absurd magnitudes:
// non-finite values are left out of the plot, huge ones held at a bound far outside every axis.
// Verdicts never use these; they compare the block's own values.
#pragma once

#include <algorithm>
#include <cmath>

namespace windows {

inline constexpr double kPlotLimit = 1e6;

inline bool plotvalue(double& v) {
    if (!std::isfinite(v)) return false;
    v = std::clamp(v, -kPlotLimit, kPlotLimit);
    return true;
}

}  // namespace windows

// The last step of every engine call that measured a capture: no value that is not finite may
// reach the windows, and none may pass for a measurement.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "resultlayout.h"

namespace monitor {

// Replaces every value that is not finite in the regions the engine writes (the plotted ones
// and its diagnostics) with 0, and says whether all of them were finite.
inline bool scrub(std::uint8_t* results) {
    namespace rl = resultlayout;
    struct Region {
        std::size_t offset, count;
    };
    constexpr Region kRegions[] = {
        {rl::kConstellationOffset, 2 * rl::kConstellationPoints},
        {rl::kEyeOffset, rl::kEyeTraces * rl::kEyePointsPerTrace},
        {rl::kSpectrumOffset, rl::kSpectrumPoints},
        {rl::kFreqErrorOffset, rl::kResponsePoints},
        {rl::kGroupErrorOffset, rl::kResponsePoints},
        {rl::kFiguresOffset, rl::kFigureCount},
        {rl::kDiagnosticsOffset, rl::kDiagnosticCount},
        {rl::kMeasuresOffset + 8, rl::kMeasureCount},
        {rl::kSpursOffset, 2 * rl::kMaxSpurs},
        {rl::kEchoProfileOffset, rl::kEchoProfilePoints},
        {rl::kCcdfOffset, rl::kCcdfPoints},
        {rl::kCcdfIdealOffset, rl::kCcdfPoints},
    };
    bool finite = true;
    for (const auto& region : kRegions) {
        for (std::size_t i = 0; i < region.count; ++i) {
            const std::size_t at = region.offset + 8 * i;
            if (std::isfinite(rl::read(results, at))) continue;
            rl::write(results, at, 0.0);
            finite = false;
        }
    }
    return finite;
}

}  // namespace monitor

// An engine that exports `monitormain` and nothing else, as any engine may. It measures nothing:
// it refuses a missing buffer and otherwise fills flat response curves and the ten amplitude
// figures, so a test sees its results in the program's windows.
#include <cstdint>

#include "engine/resultlayout.h"

extern "C" __attribute__((visibility("default"))) std::int32_t monitormain(
    const std::int32_t* samples, std::uint8_t* results, double, std::int32_t, std::int32_t) {
    if (!samples || !results) return 1;
    for (std::size_t i = 0; i < resultlayout::kResponsePoints; ++i) {
        resultlayout::write(results, resultlayout::kFreqErrorOffset + 8 * i, 0.1);
        resultlayout::write(results, resultlayout::kGroupErrorOffset + 8 * i, 5.0);
    }
    const double figures[resultlayout::kFigureCount] = {-1.25, 0.25, 1.5,  -0.2,  0.45,
                                                        -2.0,  6.5,  2.25, -7.25, 13.75};
    for (std::size_t f = 0; f < resultlayout::kFigureCount; ++f)
        resultlayout::write(results, resultlayout::kFiguresOffset + 8 * f, figures[f]);
    return 0;
}

#include "engine/verdicts.h"

#include <cmath>
#include <limits>

#include "engine/resultlayout.h"

namespace verdicts {

namespace {
constexpr double kNoLimit = std::numeric_limits<double>::quiet_NaN();
constexpr double kSlope = 11.56;  // dB per MHz on the flanks
constexpr double kFlankOffset = -6.54;
constexpr double kShoulder = -47.0;

bool within(const std::uint8_t* block, double (*read)(const std::uint8_t*, std::size_t),
            double bound) {
    for (std::size_t i = 0; i < resultlayout::kResponsePoints; ++i) {
        const double y = read(block, i);
        if (!std::isfinite(y) || std::fabs(y) > bound) return false;
    }
    return true;
}
}  // namespace

double masklimit(double f) {
    if (f < -3.5) return kSlope * f + kFlankOffset;
    if (f > -3.5 && f < -3) return kShoulder;
    if (f >= -3 && f <= 3) return kNoLimit;
    if (f > 3 && f < 3.5) return kShoulder;
    if (f >= 3.5 && f < 6) return -kSlope * f + kFlankOffset;
    return kNoLimit;
}

double masktestfrequency(std::size_t i) {
    return static_cast<double>(i) * 5.38 * 2 / 4096 - 5.38;
}

bool masktest(const std::uint8_t* block) {
    for (std::size_t i = 0; i < resultlayout::kSpectrumPoints; ++i) {
        const double level = resultlayout::spectrum(block, i);
        // No limit (NaN) never fails a measured level.
        if (!std::isfinite(level) || level > masklimit(masktestfrequency(i))) return false;
    }
    return true;
}

double maskmargin(const std::uint8_t* block) {
    double worst = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < resultlayout::kSpectrumPoints; ++i) {
        const double level = resultlayout::spectrum(block, i);
        if (!std::isfinite(level)) return -std::numeric_limits<double>::infinity();
        const double limit = masklimit(masktestfrequency(i));
        if (!std::isnan(limit)) worst = std::fmin(worst, limit - level);
    }
    return worst;
}

bool flatnesspass(const std::uint8_t* block) {
    return within(block, resultlayout::freq_error, kFlatnessBound);
}

bool groupdelaypass(const std::uint8_t* block) {
    return within(block, resultlayout::group_error, kGroupBound);
}

}  // namespace verdicts

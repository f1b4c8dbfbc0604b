#include "source.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kShoulderHz = 3.25e6;  // centre of the 500 kHz band next to each edge
constexpr double kInBandHz = 2.0e6;     // flat part of the channel, clear of the pilot edge

double inbanddb(const vsb::Generator& generator) {
    double sum = 0;
    int n = 0;
    for (double f = -kInBandHz; f <= kInBandHz; f += 0.25e6, ++n) {
        sum += generator.referencepsddb(f);
    }
    return sum / n;
}

}  // namespace

std::uint8_t halfdb(double db) {
    if (std::isnan(db)) return 255;
    return static_cast<std::uint8_t>(std::clamp(std::round(2.0 * db), 0.0, 255.0));
}

StatusBlock statusfigures(const vsb::Generator& generator) {
    const double inband = inbanddb(generator);
    return StatusBlock{
        0,
        halfdb(generator.impairments().snrdb),
        halfdb(inband - generator.referencepsddb(-kShoulderHz)),
        halfdb(inband - generator.referencepsddb(kShoulderHz)),
    };
}

}  // namespace sim

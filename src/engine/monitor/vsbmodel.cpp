#include "vsbmodel.h"

#include <numbers>

namespace monitor {

double rrcamplitude(double fhz) {
    const double f = std::abs(fhz);
    if (f <= kFlatHz) return 1.0;
    if (f >= kEdgeHz) return 0.0;
    return std::cos(std::numbers::pi / 2 * (f - kFlatHz) / (kEdgeHz - kFlatHz));
}

void delayramp(double tau, CBuffer& out) {
    // A rotation per bin, restarted exactly every 64 bins so rounding cannot build up.
    const double w = 2 * std::numbers::pi * kBinHz * tau / kFs;
    const Complex step = std::polar(1.0, w);
    for (std::size_t start = 0; start < kN; start += 64) {
        Complex rot = std::polar(1.0, w * binhz(start) / kBinHz);
        for (std::size_t k = start; k < start + 64; ++k, rot = mul(rot, step)) out[k] = rot;
    }
}

PulseGrid::PulseGrid() : amplitude(kN), rc0(0) {
    for (std::size_t k = 0; k < kN; ++k) {
        amplitude[k] = rrcamplitude(binhz(k));
        rc0 += amplitude[k] * amplitude[k];
    }
    rc0 /= double(kN);
}

const PulseGrid& pulsegrid() {
    static const PulseGrid grid;
    return grid;
}

}  // namespace monitor

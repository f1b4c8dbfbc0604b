#include "vsbmodel.h"

#include <numbers>

namespace monitor {

double rrc_amplitude(double f_hz) {
    const double f = std::abs(f_hz);
    if (f <= kFlatHz) return 1.0;
    if (f >= kEdgeHz) return 0.0;
    return std::cos(std::numbers::pi / 2 * (f - kFlatHz) / (kEdgeHz - kFlatHz));
}

void delay_ramp(double tau, CBuffer& out) {
    // A rotation per bin, restarted exactly every 64 bins so rounding cannot build up.
    const double w = 2 * std::numbers::pi * kBinHz * tau / kFs;
    const cplx step = std::polar(1.0, w);
    for (std::size_t start = 0; start < kN; start += 64) {
        cplx rot = std::polar(1.0, w * bin_hz(start) / kBinHz);
        for (std::size_t k = start; k < start + 64; ++k, rot = mul(rot, step)) out[k] = rot;
    }
}

PulseGrid::PulseGrid() : amplitude(kN), rc0(0) {
    for (std::size_t k = 0; k < kN; ++k) {
        amplitude[k] = rrc_amplitude(bin_hz(k));
        rc0 += amplitude[k] * amplitude[k];
    }
    rc0 /= double(kN);
}

const PulseGrid& pulse_grid() {
    static const PulseGrid grid;
    return grid;
}

}  // namespace monitor

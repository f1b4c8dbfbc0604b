#include "displays.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "resultlayout.h"
#include "vsbmodel.h"

namespace monitor {

namespace rl = resultlayout;

void writeconstellation(const double* inphase, const double* quadrature, const LevelFit& levels,
                        std::uint8_t* results) {
    const std::size_t first = (kN - rl::kConstellationPoints) / 2;
    for (std::size_t i = 0; i < rl::kConstellationPoints; ++i) {
        const std::size_t n = first + i;
        rl::write(results, rl::kConstellationOffset + 16 * i,
                  (inphase[n] - levels.offset) / levels.gain);
        rl::write(results, rl::kConstellationOffset + 16 * i + 8, quadrature[n] / levels.gain);
    }
}

EyeWriter::EyeWriter() {
    // Kaiser-windowed sinc: the signal fills only +-3 of +-5.38 MHz, so 32 taps interpolate
    // it far below the eye's line width.
    const double beta = 6.0, norm = std::cyl_bessel_i(0.0, beta);
    for (int k = 0; k < 11; ++k) {
        const double frac = k / 11.0;
        for (int m = 0; m < 2 * kHalf; ++m) {
            const double x = double(m - kHalf + 1) - frac;
            const double r = x / kHalf;
            const double w =
                std::abs(r) < 1 ? std::cyl_bessel_i(0.0, beta * std::sqrt(1 - r * r)) / norm : 0.0;
            const double s = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            taps_[k][m] = s * w;
        }
        turn_[k] = std::polar(1.0, std::numbers::pi / 2 * frac);
    }
}

void EyeWriter::write(const CBuffer& z, const LevelFit& levels, std::uint8_t* results) const {
    const long first = long(kN / 2) - long(rl::kEyeTraces);  // symbol at the trace's t = 0
    for (std::size_t trace = 0; trace < rl::kEyeTraces; ++trace) {
        for (std::size_t j = 0; j < rl::kEyePointsPerTrace; ++j) {
            // Point j lies (j + 6) / 11 symbols after the trace's start symbol.
            const long eleventh = long(j) + 6;
            const long whole = first + 2 * long(trace) + eleventh / 11;
            const int frac = int(eleventh % 11);
            std::complex<double> v = 0;
            for (int m = 0; m < 2 * kHalf; ++m)
                v += z[std::size_t(whole + m - kHalf + 1)] * taps_[frac][m];
            // Undo the (-j)^n rotation at the fractional time to read the in-phase level.
            const double inphase =
                mul(mulconj(v, rotation(std::size_t(whole))), turn_[frac]).real();
            const double level = (inphase - kPilotLevel - levels.offset) / levels.gain;
            rl::write(results, rl::kEyeOffset + 8 * (rl::kEyePointsPerTrace * trace + j), level);
        }
    }
}

namespace {

// Frequency (MHz) and value of the maximum and minimum, and the peak-to-peak.
void writefigures(const double* curve, std::size_t offset, std::uint8_t* results) {
    const auto [lo, hi] = std::minmax_element(curve, curve + rl::kResponsePoints);
    rl::write(results, offset, rl::responsex(std::size_t(hi - curve)));
    rl::write(results, offset + 8, *hi);
    rl::write(results, offset + 16, rl::responsex(std::size_t(lo - curve)));
    rl::write(results, offset + 24, *lo);
    rl::write(results, offset + 32, *hi - *lo);
}

void removemean(double* curve) {
    double mean = 0;
    for (std::size_t i = 0; i < rl::kResponsePoints; ++i) mean += curve[i];
    mean /= double(rl::kResponsePoints);
    for (std::size_t i = 0; i < rl::kResponsePoints; ++i) curve[i] -= mean;
}

}  // namespace

std::complex<double> channelresponse(const ChannelFit& channel, const LongChannel& far, double fhz,
                                     double* groupdelay) {
    std::complex<double> moment;
    auto sum = channel.response(fhz, nullptr, &moment);
    for (int i = 0; i < far.farcount(); ++i) {
        const double m = far.farposition(i);
        const auto v = mul(far.far(i), std::polar(1.0, -2 * std::numbers::pi * fhz / kFs * m));
        sum += v;
        moment += m * v;
    }
    if (groupdelay) *groupdelay = std::norm(sum) > 0 ? (moment / sum).real() : 0.0;
    return sum;
}

void writeresponse(const ChannelFit& channel, const LongChannel& far, std::uint8_t* results) {
    double amplitude[rl::kResponsePoints], delay[rl::kResponsePoints];
    for (std::size_t i = 0; i < rl::kResponsePoints; ++i) {
        double gd = 0;
        const auto h = channelresponse(channel, far, rl::responsex(i) * 1e6, &gd);
        amplitude[i] = 10 * std::log10(std::max(std::norm(h), 1e-30));
        delay[i] = std::clamp(gd, -1e3, 1e3) * 1e9 / kFs;
    }
    removemean(amplitude);
    removemean(delay);
    for (std::size_t i = 0; i < rl::kResponsePoints; ++i) {
        rl::write(results, rl::kFreqErrorOffset + 8 * i, amplitude[i]);
        rl::write(results, rl::kGroupErrorOffset + 8 * i, delay[i]);
    }
    writefigures(amplitude, rl::kFiguresOffset, results);
    writefigures(delay, rl::kFiguresOffset + 40, results);
}

}  // namespace monitor

// The 8-VSB signal as this receiver models it: rates, the capture length, the channel-centred
// VSB pulse on the capture's frequency grid, and the eight levels.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

#include "aligned.h"

namespace monitor {

using Complex = std::complex<double>;

constexpr std::size_t kN = 8192;                      // complex samples per capture
constexpr double kFs = 10.762238e6;                   // symbol rate = sample rate, Hz
constexpr double kBinHz = kFs / kN;                   // FFT bin spacing
constexpr double kRollOff = 0.1152;                   // VSB root-raised-cosine roll-off
constexpr double kPilotHz = -kFs / 4;                 // nominal pilot, Hz from the channel centre
constexpr double kEdgeHz = kFs / 4 * (1 + kRollOff);  // where the channel's spectrum ends
constexpr double kFlatHz = kFs / 4 * (1 - kRollOff);  // where the roll-off begins
constexpr double kPilotLevel = 1.25;                  // pilot as a DC offset on the symbol levels
constexpr double kDataPower = 21.0;                   // mean square of the levels +-1 .. +-7
constexpr std::size_t kPilotBin = kN - kN / 4;        // FFT bin of the pilot once it sits at -Fs/4
constexpr std::size_t kEdgeSamples = 192;  // capture ends left out of fits (filter tails wrap)

// Frequency of FFT bin k (0 .. kN-1) in Hz, negative frequencies in the upper half.
inline double binhz(std::size_t k) {
    return (k < kN / 2 ? double(k) : double(k) - double(kN)) * kBinHz;
}

// Complex product written out: std::complex's operator* guards against NaN/Inf corner cases
// through a library call, which dominates the per-bin loops.
inline Complex mul(Complex a, Complex b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline Complex mulconj(Complex a, Complex b) {  // a * conj(b)
    return {a.real() * b.real() + a.imag() * b.imag(), a.imag() * b.real() - a.real() * b.imag()};
}

// Nearest of the eight levels (+-1, +-3, +-5, +-7). Clamped, then truncated where the value is
// positive (so truncation is floor): floor itself is no single instruction on the baseline
// instruction set, and this runs for every symbol of every pass. Not a number decides -7.
inline double nearestlevel(double y) {
    const double t = y > -8.0 ? (y < 7.5 ? y : 7.5) : -8.0;
    return 2.0 * static_cast<double>(static_cast<int>(0.5 * t + 4.0)) - 7.0;
}

// (-j)^n, the rotation that turns real VSB levels into channel-centred complex symbols.
inline Complex rotation(std::size_t n) {
    static constexpr Complex kRot[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
    return kRot[n % 4];
}

// out[k] = exp(j 2 pi binhz(k) tau / Fs): a delay of -tau samples on the FFT grid.
void delayramp(double tau, CBuffer& out);

// Root-raised-cosine amplitude of the VSB pulse at f Hz from the channel centre.
double rrcamplitude(double fhz);

// The pulse on the FFT grid and its energy normaliser, computed once.
struct PulseGrid {
    PulseGrid();
    std::vector<double> amplitude;  // per bin
    double rc0;                     // (1/N) sum amplitude^2: the raised-cosine peak
};
const PulseGrid& pulsegrid();

}  // namespace monitor

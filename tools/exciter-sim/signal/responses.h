// Frequency responses of the simulated exciter, all channel-centred (Hz from the channel centre),
// and the windowed design that turns a response into FIR taps.
#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <vector>

#include "vsbsignal.h"

namespace vsb::detail {

using Complex = std::complex<double>;

// Root-raised-cosine VSB shaping: flat across the channel, half power at +-Fs/4 (the pilot sits
// on the lower half-power point), zero beyond +-Fs/4 * (1 + roll-off), i.e. about +-3 MHz.
double rrcamplitude(double fhz);

// The exciter's linear distortion: amplitude tilt and ripple, group-delay ripple, echoes.
Complex channeldistortion(double fhz, const Impairments& imp);

// The output (mask) filter after the power stage: flat well past the channel edge, so the
// shoulders that the non-linearity raises next to the channel get through, and closed before
// the capture's Nyquist frequency.
double outputfilter(double fhz);

// Samples response on a grid of gridsize points at rate fs, and returns `length` taps (odd)
// of the Kaiser-windowed impulse response, centred on tap (length - 1) / 2.
std::vector<Complex> designfir(const std::function<Complex(double)>& response, double fs,
                               std::size_t gridsize, std::size_t length, double kaiserbeta);

// Sum of squares of the symbol-spaced raised-cosine pulse (RRC convolved with itself, peak 1):
// the factor by which white noise at the symbols grows through matched filtering.
double matchednoisegain();

}  // namespace vsb::detail

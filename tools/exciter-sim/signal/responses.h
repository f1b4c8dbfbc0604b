// Frequency responses of the simulated exciter, all channel-centred (Hz from the channel centre),
// and the windowed design that turns a response into FIR taps.
#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <vector>

#include "vsbsignal.h"

namespace vsb::detail {

using cplx = std::complex<double>;

// Root-raised-cosine VSB shaping: flat across the channel, half power at +-Fs/4 (the pilot sits
// on the lower half-power point), zero beyond +-Fs/4 * (1 + roll-off), i.e. about +-3 MHz.
double rrc_amplitude(double f_hz);

// The exciter's linear distortion: amplitude tilt and ripple, group-delay ripple.
cplx channel_distortion(double f_hz, const Impairments& imp);

// The output (mask) filter after the power stage: flat well past the channel edge, so the
// shoulders that the non-linearity raises next to the channel get through, and closed before
// the capture's Nyquist frequency.
double output_filter(double f_hz);

// Samples response on a grid of grid_size points at rate fs, and returns `length` taps (odd)
// of the Kaiser-windowed impulse response, centred on tap (length - 1) / 2.
std::vector<cplx> design_fir(const std::function<cplx(double)>& response, double fs,
                             std::size_t grid_size, std::size_t length, double kaiser_beta);

// Sum of squares of the symbol-spaced raised-cosine pulse (RRC convolved with itself, peak 1):
// the factor by which white noise at the symbols grows through matched filtering.
double matched_noise_gain();

}  // namespace vsb::detail

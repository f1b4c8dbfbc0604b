// The exciter's signal: captures from the 8-VSB generator and the status figures its
// impairments imply.
#pragma once

#include <cstdint>

#include "frames.h"
#include "vsbsignal.h"

namespace sim {

// SNR in half-dB steps from the configured SNR; lower and upper IMD as the shoulder level
// (the 500 kHz just outside each channel edge) below the in-band level of the reference PSD.
StatusBlock statusfigures(const vsb::Generator& generator);

// Half-dB steps of a figure in dB, clamped to a byte; a non-finite figure (no shoulder at
// all) reads as the top of the scale.
std::uint8_t halfdb(double db);

}  // namespace sim

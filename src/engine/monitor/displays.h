// The plotted regions of the result block that follow from the equalised signal and the
// channel estimate: constellation, eye diagram, frequency response and group delay errors
// with their extreme-value figures.
#pragma once

#include <cstdint>

#include "aligned.h"
#include "channelfit.h"
#include "levelfit.h"
#include "longchannel.h"

namespace monitor {

// inphase/quadrature: equalised values per symbol (before the level fit is applied).
void writeconstellation(const double* inphase, const double* quadrature, const LevelFit& levels,
                        std::uint8_t* results);

// equalised: the equalised channel-centred signal at one sample per symbol.
class EyeWriter {
  public:
    EyeWriter();
    void write(const CBuffer& equalised, const LevelFit& levels, std::uint8_t* results) const;

  private:
    static constexpr int kHalf = 16;  // interpolator taps each side
    double taps_[11][2 * kHalf];      // per eleventh of a symbol
    std::complex<double> turn_[11];   // j^(k/11): undoes the rotation between samples
};

// The channel estimate (the short fit and the far echoes the long one found) at f Hz, and its
// group delay in samples.
std::complex<double> channelresponse(const ChannelFit& channel, const LongChannel& far, double fhz,
                                     double* groupdelay);

// The channel estimate's deviation from flat amplitude and constant delay, mean removed.
void writeresponse(const ChannelFit& channel, const LongChannel& far, std::uint8_t* results);

}  // namespace monitor

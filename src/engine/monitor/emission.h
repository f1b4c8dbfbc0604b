// What the capture emits, as compliance practice measures it: the power in 500 kHz windows
// outside the channel against the mask at each window's centre, the discrete spurs, and the
// distribution of the instantaneous power (CCDF) with its peak-to-average ratio.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "aligned.h"

namespace monitor {

class Emission {
  public:
    Emission();
    // spectrumdb: the 4096 narrow-bandwidth levels (dB in 500 kHz relative to the capture's
    // power, over +-5.38 MHz); capture: the capture's spectrum, channel-centred (unit power);
    // samples: the capture (unit mean power).
    void measure(const double* spectrumdb, const CBuffer& capture, const CBuffer& samples,
                 std::uint8_t* results);

  private:
    void integratedmask(const double* spectrumdb, std::uint8_t* results) const;
    void spurs(const CBuffer& capture, std::uint8_t* results);
    void ccdf(const CBuffer& samples, std::uint8_t* results);

    std::vector<double> ideal_;  // the CCDF of an ideal 8-VSB signal
    std::vector<double> power_;  // work: sorted instantaneous powers
    std::vector<std::pair<double, double>> found_;
};

}  // namespace monitor

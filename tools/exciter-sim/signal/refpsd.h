// Long-run power spectral density of a generator's output, in dB relative to the channel power
// in a 500 kHz reference bandwidth.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace vsb::detail {

class ReferencePsd {
  public:
    using Producer = std::function<void(double* iq, std::size_t n)>;

    ReferencePsd() = default;
    // Averages Blackman-Harris periodograms of consecutive long blocks from produce.
    explicit ReferencePsd(const Producer& produce);

    // Linear interpolation between bins; f in Hz from the channel centre, within +-Fs/2.
    double at(double fhz) const;

  private:
    std::vector<double> db_;  // channel-centred: bin 0 at -Fs/2
};

}  // namespace vsb::detail

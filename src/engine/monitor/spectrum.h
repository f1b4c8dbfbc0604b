// Power spectral density of the capture around the channel centre, in dB relative to the
// channel power in a 500 kHz reference bandwidth: the units of the emission mask.
#pragma once

#include <cstddef>
#include <vector>

#include "aligned.h"
#include "fft.h"

namespace monitor {

class Spectrum {
  public:
    static constexpr std::size_t kPoints = 4096;
    static constexpr double kSpanHz = 5.38e6;  // points lie from -span to +span

    explicit Spectrum(const Fft& fft);

    // centred: the capture shifted so the channel centre is at 0 Hz. Writes kPoints levels.
    void measure(const CBuffer& centred, double* out);

    // Channel power (within +-3 MHz) as a fraction of the whole capture's power, last measure.
    double channel_fraction() const { return channel_fraction_; }

  private:
    void taper_average(const CBuffer& centred);
    double smoothing_hz(double f_hz) const;

    const Fft& fft_;
    std::vector<std::vector<double>> tapers_;
    CBuffer tapered_, transformed_;
    std::vector<double> power_;       // per bin, channel-centred (index 0 at -Fs/2)
    std::vector<double> level_db_;    // per bin, dB, wrapped by one span on each side
    std::vector<double> cumulative_;  // running sum of level_db_
    double channel_fraction_ = 0;
};

}  // namespace monitor

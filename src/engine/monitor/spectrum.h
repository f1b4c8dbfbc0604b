// Power spectral density of the capture around the channel centre, in dB relative to the whole
// capture's power in a 500 kHz reference bandwidth: the units of the emission mask. Each level
// is the mean power over a band around its frequency (30 kHz resolution, up to 500 kHz where
// the spectrum is smooth), never a mean of dB, so a line (the pilot, a spur) reads at least its
// own power. A level outside the channel is measured from bins outside it only.
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
    double channelfraction() const { return channelfraction_; }

    // The last measure's power (low-leakage tapers) over the whole capture and within the
    // channel, in units of the capture's transform: N times its mean square.
    double totalpower() const { return total_; }
    double channelpower() const { return channel_; }
    // Power between two frequencies (Hz from the channel centre, lo < hi, within +-1.5 Fs),
    // bins counted in part where the limits cut them.
    double powerbetween(double lohz, double hihz) const;

  private:
    void taperaverage(const CBuffer& centred);
    double level(double fhz) const;
    double bandmean(const std::vector<double>& sums, std::size_t c, double widest) const;

    const Fft& fft_;
    std::vector<std::vector<double>> tapers_;
    CBuffer tapered_, transformed_;
    std::vector<double> power_;  // per bin, channel-centred (index 0 at -Fs/2): low-leakage tapers
    std::vector<double> wide_;   // the same with every taper
    std::vector<double> cumulative_, widecumulative_;  // running sums, repeated three times
    struct Band {
        double hz;
        std::size_t half;  // bins each side of the centre
        double ratio;      // how far the means of the two halves may differ
    };
    std::vector<Band> bands_;
    double total_ = 0, channel_ = 0, channelfraction_ = 0;
};

}  // namespace monitor

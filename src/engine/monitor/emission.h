// What the exciter emits, measured on a capture: the emission mask by the 500 kHz integration
// method, the discrete spurs, and the distribution of the power (CCDF and peak-to-average
// ratio). Everything it needs is made with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "aligned.h"
#include "ccdf.h"
#include "fft.h"
#include "resultlayout.h"
#include "spectrum.h"

namespace monitor {

// The mask by the 500 kHz integration method: for window centres from 250 kHz beyond the channel
// edges out to 250 kHz within the ends of the capture, the power within +-250 kHz of the centre
// relative to the whole capture's (the trace's reference), against the mask at the centre.
class IntegratedMask {
  public:
    IntegratedMask();
    void measure(const Spectrum& spectrum);
    double margindb() const { return margindb_; }  // smallest limit less level; negative fails
    double worsthz() const { return worsthz_; }    // the window centre where it is smallest

  private:
    std::vector<double> centres_, limits_;  // Hz; the mask there as a power ratio
    double margindb_ = 0, worsthz_ = 0;
};

struct Spur {
    double hz;   // from the channel centre
    double dbc;  // the line's whole power relative to the channel's
};

// Lines that stand clearly out of what the receiver's model of the capture leaves: in the channel
// the capture less the decided symbols through the fitted channel (the data would hide a -20 dBc
// line in a single capture), outside it the capture itself. Anywhere but on the pilot; the
// strongest kMaxSpurs, strongest first.
class SpurFinder {
  public:
    static constexpr std::size_t kMaxSpurs = resultlayout::kMaxSpurs;
    SpurFinder();
    // capture: the capture's transform, channel-centred; channel and ideal: the receiver's model
    // of it, their product bin by bin; channelpower: in the units of Spectrum::channelpower().
    // Returns how many it found.
    std::size_t find(const CBuffer& capture, const CBuffer& channel, const CBuffer& ideal,
                     double channelpower);
    const std::array<Spur, kMaxSpurs>& spurs() const { return spurs_; }

  private:
    void residual(const CBuffer& capture, const CBuffer& channel, const CBuffer& ideal);
    void keep(const Spur& spur);
    // Per bin of the residual under the taper, from -N/2 less a line test's reach to N/2 and that
    // reach (the transform is circular), and running sums of it.
    std::vector<double> power_, cumulative_;
    std::array<Spur, kMaxSpurs> spurs_{};
    std::size_t count_ = 0;
};

class Emission {
  public:
    Emission() : ccdf_(fft_) {}
    // spectrum: measured on `capture` (the capture, channel centre at 0 Hz, unit power);
    // transform: the capture's transform; channel and ideal: the receiver's model of it, their
    // product bin by bin. Writes the peak-to-average ratio, the integrated mask's figures, the
    // spurs and both CCDFs.
    void measure(const Spectrum& spectrum, const CBuffer& capture, const CBuffer& transform,
                 const CBuffer& channel, const CBuffer& ideal, std::uint8_t* results);

  private:
    Fft fft_;  // planned again at no cost: the receiver's plans of the same size are known
    IntegratedMask mask_;
    SpurFinder spurs_;
    Ccdf ccdf_;
};

}  // namespace monitor

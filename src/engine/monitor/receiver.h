// The 8-VSB measurement receiver: one capture in, the whole result block out. All work
// buffers and transform plans are made once, with the receiver.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "aligned.h"
#include "channelfit.h"
#include "displays.h"
#include "fft.h"
#include "levelfit.h"
#include "lock.h"
#include "spectrum.h"

namespace monitor {

enum Status : std::int32_t { kOk = 0, kNullBuffer = 1, kNoEnergy = 2, kNotFinite = 3 };

class Receiver {
  public:
    Receiver();
    Status run(const std::int32_t* samples, std::uint8_t* results);
    // Whether the last capture run held an 8-VSB signal this receiver locked, and if not, why.
    resultlayout::LockReason lock() const { return lock_; }

  private:
    bool load(const std::int32_t* samples);
    void update_ramp();
    void equalise(bool with_channel);
    double timing_metric(double tau);
    void search_timing();
    void rebuild_reference();
    void refine_carrier();
    double mer_db() const;
    void write_diagnostics(std::uint8_t* results) const;

    Fft fft_;
    ChannelFit channel_;
    Spectrum spectrum_;
    LevelFitter level_fitter_;
    EyeWriter eye_;
    CBuffer received_, received_spectrum_;    // capture with the channel centre at 0 Hz
    CBuffer reference_, reference_spectrum_;  // ideal signal from the decisions
    CBuffer channel_grid_, scratch_, equalised_, ramp_;
    std::vector<double> inphase_, quadrature_;
    double power_ = 0;       // mean square of the capture, LSB^2
    double offset_hz_ = 0;   // carrier offset: pilot found minus nominal pilot
    double tau_ = 0;         // symbol timing, samples
    double ramp_tau_ = NAN;  // the timing ramp_ was made for
    LevelFit levels_;
    LockEvidence evidence_;
    resultlayout::LockReason lock_ = resultlayout::LockReason::NoPilot;
};

}  // namespace monitor

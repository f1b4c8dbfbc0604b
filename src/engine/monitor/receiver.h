// The 8-VSB measurement receiver: one capture in, the whole result block out. All work
// buffers and transform plans are made once, with the receiver.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "aligned.h"
#include "channelfit.h"
#include "displays.h"
#include "emission.h"
#include "fft.h"
#include "levelfit.h"
#include "lock.h"
#include "longchannel.h"
#include "spectrum.h"
#include "vsbmodel.h"

namespace monitor {

enum Status : std::int32_t { Ok = 0, NullBuffer = 1, NoEnergy = 2, NotFinite = 3 };

class Receiver {
  public:
    Receiver();
    Status run(const std::int32_t* samples, std::uint8_t* results);
    // Whether the last capture run held an 8-VSB signal this receiver locked, and if not, why.
    resultlayout::LockReason lock() const { return lock_; }

  private:
    bool load(const std::int32_t* samples);
    void updateramp();
    void equalise(bool withchannel);
    void equaliselong();
    double timingmetric(double tau);
    void scaletolevels(double pilot);
    void searchtiming();
    void decide(bool coarse);
    double decisionerror() const;
    double squareddecisionerror(double pilot) const;
    void fitlong();
    double iterate(int signpasses);
    void acquire();
    void rebuildreference();
    void refinecarrier(const CBuffer& channel, const CBuffer& signal);
    void shortpath();
    void removepilot(bool lessdata);
    void refine(bool fromlong);
    void measurepilot();
    double merdb() const;
    void writediagnostics(std::uint8_t* results) const;
    // The analyser's figures (receivermeasures.cpp).
    double unequalisederror();
    double merunequaliseddb() const;
    double symbolrateppm();
    void writemeasures(std::uint8_t* results);

    Fft fft_;
    ChannelFit channel_;
    LongChannel long_;
    Spectrum spectrum_;
    Emission emission_;
    LevelFitter levelfitter_;
    EyeWriter eye_;
    CBuffer received_, receivedspectrum_;    // capture with the channel centre at 0 Hz
    CBuffer reference_, referencespectrum_;  // ideal signal from the decisions
    CBuffer symbolspectrum_;                 // the decided symbols (with pilot, rotated)
    CBuffer farspectrum_;  // the echoes beyond the short fit's reach, on the FFT grid
    CBuffer pilotless_;    // the capture without its pilot
    CBuffer spare_;        // work space: the model of the capture, where one is needed
    CBuffer channelgrid_, scratch_, equalised_, ramp_;
    std::vector<double> inphase_, quadrature_;
    std::vector<double> decided_;  // the level decided for each symbol, pilot included
    std::vector<double> echoprofile_;
    double unequalisederror_ = 0;
    double pilot_ = kPilotLevel;         // the capture's pilot in units of the symbol levels
    Complex pilottone_;                  // and as a tone in the capture
    double decidedpilot_ = kPilotLevel;  // the pilot the decided symbols carry
    double power_ = 0;                   // mean square of the capture, LSB^2
    double offsethz_ = 0;                // carrier offset: pilot found minus nominal pilot
    double tau_ = 0;                     // symbol timing, samples
    double ramptau_ = NAN;               // the timing ramp_ was made for
    LevelFit levels_;
    LockEvidence evidence_;
    resultlayout::LockReason lock_ = resultlayout::LockReason::NoPilot;
};

}  // namespace monitor

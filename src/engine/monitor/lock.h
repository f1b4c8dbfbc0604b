// Whether a capture holds an 8-VSB signal this receiver locked: the evidence gathered on the
// way through the capture, and the decision drawn from it.
#pragma once

#include <cstddef>

#include "aligned.h"
#include "resultlayout.h"

namespace monitor {

struct LockEvidence {
    double pilotdb = 0;          // the pilot line over the spectrum around it
    double channelfraction = 0;  // power within the channel over the whole capture's
    double timingcontrast = 0;   // (worst - best) / worst decision error over the symbol phases
    double kurtosis = 0;         // of the equalised in-phase values
    double merdb = 0;
    double explained = 0;  // TEMP
};

resultlayout::LockReason judge(const LockEvidence& e);

// The line nearest pilothz (three bins) over the median bin around it, dB. spectrum: the
// capture's FFT.
double pilotprominencedb(const CBuffer& spectrum, double pilothz);

// Fourth central moment over the squared second; 0 when the values do not vary.
double kurtosis(const double* values, std::size_t count);

}  // namespace monitor

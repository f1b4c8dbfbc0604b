// Whether a capture holds an 8-VSB signal this receiver locked: the evidence gathered on the
// way through the capture, and the decision drawn from it.
#pragma once

#include <cstddef>

#include "aligned.h"
#include "levelfit.h"
#include "resultlayout.h"

namespace monitor {

// The segment sync as the equalised symbols show it, at the position modulo 832 where it
// stands out most.
struct SyncEvidence {
    double score = 0;     // mean sync correlation there over the symbols' RMS: 1.09 for 8-VSB
    double fraction = 0;  // of the segments whose sync correlation reaches half a sync
    double rival = 1;     // the best other position's mean correlation over this one's
};

struct LockEvidence {
    double pilotdb = 0;          // the pilot line over the spectrum around it
    double channelfraction = 0;  // power within the channel over the whole capture's
    double timingcontrast = 0;   // (worst - best) / worst decision error over the symbol phases
    double kurtosis = 0;         // of the equalised in-phase values
    SyncEvidence sync;
};

resultlayout::LockReason judge(const LockEvidence& e);

// The line nearest pilothz (three bins) over the median bin around it, dB. spectrum: the
// capture's FFT.
double pilotprominencedb(const CBuffer& spectrum, double pilothz);

// Looks for the segment sync in the equalised in-phase values (pilot removed) first .. last-1.
SyncEvidence findsegmentsync(const double* inphase, const LevelFit& levels, std::size_t first,
                             std::size_t last);

// Fourth central moment over the squared second; 0 when the values do not vary.
double kurtosis(const double* values, std::size_t count);

}  // namespace monitor

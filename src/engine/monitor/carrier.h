// Carrier recovery: the pilot's frequency from the capture's spectrum, the shift that puts the
// channel centre at 0 Hz, and the data-aided refinement of the residual frequency.
#pragma once

#include "aligned.h"

namespace monitor {

// Frequency of the strongest line within +-200 kHz of the nominal pilot, Hz, interpolated
// between bins. spectrum: forward FFT of the capture.
double findpilot(const CBuffer& spectrum);

// x[n] *= exp(-j (2 pi hz n / Fs + phaseatcentre)), the phase taken at the capture's middle.
void shift(CBuffer& x, double hz, double phaseatcentre = 0.0);

// Residual frequency (Hz) between the received signal and its model, from the drift of their
// cross-phase over blocks of the fitted range.
double residualfrequency(const CBuffer& received, const CBuffer& model);

}  // namespace monitor

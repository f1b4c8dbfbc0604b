// Creates the measurement window of a kind: 1 Constellation, 2 Eye-diagram, 3 Amplitude
// flatness and group delay, 4 Spectrum, 5 IMD and SNR; null for any other kind.
#pragma once

#include <memory>

#include "windows/measurewindow.h"

class Tmainform;

std::unique_ptr<MeasureWindow> createmeasurewindow(int kind, Tmainform& main);

// Shared helpers for the engine tests: generator captures in the sample-block layout, the
// engine run on them, and the checks that several tests read off the result block.
#pragma once

#include <cstdint>
#include <vector>

#include "resultlayout.h"
#include "vsbsignal.h"

namespace enginetest {

// The next capture of the generator, split the way the client splits a capture.
std::vector<std::int32_t> captureblock(vsb::Generator& generator);
// I,Q doubles (full scale 32767) quantised to 16-bit words and split the same way.
std::vector<std::int32_t> captureblock(const std::vector<double>& iq);
// The next capture with a CW added at fhz from the channel centre, dbc below the capture's
// own power.
std::vector<std::int32_t> withtone(vsb::Generator& generator, double fhz, double dbc);

struct Result {
    std::int32_t status = -1;
    std::vector<std::uint8_t> block = std::vector<std::uint8_t>(resultlayout::kBlockSize);
    const std::uint8_t* data() const { return block.data(); }
    double diagnostic(resultlayout::Diagnostic d) const {
        return resultlayout::diagnostic(data(), d);
    }
};

Result runmonitor(const std::vector<std::int32_t>& samples);
// Runs the engine on `skip` + 1 consecutive captures and returns the last result.
Result measure(const vsb::Impairments& imp, std::uint64_t seed = 1, int skip = 0);

// Mean constellation x of the points nearest each level, lowest level first.
std::vector<double> levelmeans(const Result& r);

// RMS difference between a measured curve and the injected one over +-2.7 MHz, both with their
// mean over that range removed. group: the group-delay curve (ns), else amplitude (dB).
double responsermserror(const Result& r, const vsb::Impairments& imp, bool group);

// The emission-mask verdict the spectrum window reaches (its test frequencies use 4096 as the
// divisor), and the worst margin (dB above the limit; negative passes).
double worstmaskmargin(const Result& r);

// Every plotted region and diagnostic holds finite numbers.
bool allfinite(const Result& r);

// The engine wrote its lock area and said it locked an 8-VSB signal.
bool enginelocked(const Result& r);

}  // namespace enginetest

// An 8-VSB capture built straight from its definition, by time-domain synthesis, sharing no
// code with the signal generator or the engine: a fault both of those share cannot hide in a
// test that measures the engine against it.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <utility>
#include <vector>

namespace independentvsb {

struct Echo {
    double db, us;  // level relative to the main path, delay (negative: pre-echo)
};

struct Options {
    std::uint64_t seed = 1;
    // MER an ideal matched-filter receiver would see. The noise passes the echoes with the
    // signal (the exciter's own noise), so behind an ideal equaliser the MER is this again.
    double snrdb = INFINITY;
    // Noise white up to +-3.0006 MHz (the channel edge) instead of shaped like the signal.
    bool noisetoedge = false;
    std::vector<Echo> echoes;
    double offsethz = 0, phase = 0;  // carrier offset (Hz) and phase (rad)
    double timing = 0;               // fraction of a symbol
    double level = 0.3;              // RMS relative to full scale 32767
    double symbolrateppm = 0;        // symbol clock error
    double pilotscale = 1.0;         // pilot amplitude relative to nominal
    // CW added: (Hz from channel centre, dBc). The tones sit at these frequencies in the
    // capture (offsethz does not move them); dBc is relative to the capture's power before them.
    std::vector<std::pair<double, double>> tones;
};

struct Capture {
    std::vector<double> iq;  // 8192 interleaved I,Q doubles, full scale 32767
                             // (enginetest::captureblock(iq) splits it)
    double paprdb;  // of these samples: power exceeded by 0.1 % of them, dB over their mean
};

// Same seed, same symbols and noise, whatever the other options. Throws std::invalid_argument
// for an echo beyond +-30 us, a symbol-rate error beyond +-5000 ppm or a timing beyond +-30.
Capture make(const Options& o);

// True linear channel (echoes), main path = 1.
std::complex<double> channelresponse(const Options& o, double fhz);

}  // namespace independentvsb

// A realistic 8-VSB exciter output, as the exciter would capture it: complex baseband at the
// symbol rate, centred on the channel, quantised to signed 16-bit I/Q words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vsb {

constexpr double kSymbolRate = 10.762238e6;  // Hz; also the capture's sample rate
constexpr double kPilotOffset = -2.69e6;     // Hz from the channel centre (exactly -Fs/4)
constexpr double kRollOff = 0.1152;
constexpr std::size_t kCaptureSamples = 8192;

constexpr double kMaxEchoUs = 25.0;  // largest |delay| the shaping filter carries faithfully

// A copy of the signal beside the main path (a reflection, or a multipath in the output stage).
struct Echo {
    double db = 0.0;  // level relative to the main path
    double us = 0.0;  // delay; negative: a pre-echo, ahead of the main path
};

struct Impairments {
    // In-channel AWGN: the levels' mean square (21) over the in-phase noise power that an
    // ideal matched-filter receiver sees, i.e. the MER such a receiver reads.
    double snrdb = 60.0;
    double tiltdb = 0.0;          // linear amplitude slope, peak-to-peak over +-3 MHz
    double rippledb = 0.0;        // sinusoidal amplitude ripple, peak-to-peak
    double ripplecycles = 3.0;    // ripple periods across the 6 MHz channel
    double gdripplens = 0.0;      // sinusoidal group-delay ripple, peak-to-peak
    double gdripplecycles = 3.0;  // ripple periods across the 6 MHz channel
    // Linear echoes: H(f) = 1 + sum a exp(-j 2 pi f tau), a = 10^(db/20), tau = us.
    std::vector<Echo> echoes;
    // Third-order coefficient k: y = x (1 - k |x|^2 / mean |x|^2) before the output filter.
    // It raises the shoulders; 0.03 puts them near -45 dB, over the emission mask.
    double nonlinearity = 0.0;
    double carrieroffsethz = 0.0;  // frequency error of the capture's centre
    double carrierphase = 0.0;     // radians
    double timingoffset = 0.0;     // fraction of a symbol, 0..1
    // RMS of the output relative to full scale (32767). 8-VSB peaks reach about 2.6 times the
    // RMS per component, so up to about 0.35 nothing clips; above that the words clip.
    double level = 0.3;
};

// Produces consecutive captures of one continuous signal. Deterministic for a given seed.
class Generator {
  public:
    Generator(std::uint64_t seed, const Impairments& imp);
    ~Generator();
    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    // Writes n complex samples as interleaved little-endian int16 I,Q words (4 bytes each),
    // the exciter's capture format. Clips at full scale.
    void capture(std::uint8_t* words, std::size_t n);

    // The same samples as doubles (I,Q interleaved, full scale = 32767), before quantisation.
    void capture(double* iq, std::size_t n);

    // Long-run power spectral density of the output (no noise), relative to the total channel
    // power in a 500 kHz reference bandwidth, at frequency f (Hz from the channel centre).
    // Used by tests to check the engine's spectrum. Computed on the first call from a long run
    // of a noise-free twin of this generator (about 0.1 s), then cached.
    double referencepsddb(double fhz) const;

    const Impairments& impairments() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vsb

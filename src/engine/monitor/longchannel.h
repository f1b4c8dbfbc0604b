// The channel over a long span (+-128 symbols, about +-11.9 us): the received capture fitted by
// least squares to the decided symbols themselves. The symbols are white, so the fit is well
// posed however long the span, and a Levinson recursion solves it in the time of a few
// transforms. It carries the receiver through strong echoes (its equaliser opens an eye the
// decisions alone cannot), gives the echo profile, and tells the short channel fit which echoes
// lie beyond its reach.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <vector>

#include "aligned.h"
#include "fft.h"

namespace monitor {

class LongChannel {
  public:
    static constexpr int kHalf = 128;
    static constexpr int kTaps = 2 * kHalf + 1;
    static constexpr int kMaxFar = 96;  // far taps handed on at most

    explicit LongChannel(const Fft& fft);

    // symbols: FFT of the decided channel-centred symbols (levels plus pilot, rotated);
    // received: FFT of the capture, its pilot at -Fs/4. Afterwards overall() holds the response
    // from symbols to capture (channel and VSB pulse) on the FFT grid. The pilot's bin is left
    // out of the fit: a pilot off its level would otherwise be taken for the channel's response
    // at its frequency.
    void fit(const CBuffer& symbols, const CBuffer& received);
    // The capture's pilot in units of the symbol levels: its line through the inverse of the
    // fitted channel, less the data the decisions put there (symbols holds pilot `assumed`).
    double pilotlevel(const CBuffer& symbols, const CBuffer& received, double assumed) const;
    const CBuffer& overall() const { return overall_; }
    // Keeps the current fit aside, and takes it back.
    void keep();
    void restore();
    // The fitted response at tap m (-kHalf .. kHalf), symbols to capture.
    std::complex<double> tap(int m) const { return taps_[std::size_t(m + kHalf)]; }
    // Position of the strongest path, samples: its peak tap and the parabola through the
    // logarithms of it and its neighbours.
    double mainpath() const;

    // What this channel holds that the short fit's (shortgrid: its response on the FFT grid,
    // aligned to its reference, which the ramp delays) does not, as taps: those that stand
    // out of the fit's noise. Returns how many; far()/farposition() list them.
    int findfar(const CBuffer& ramp, const CBuffer& shortgrid, CBuffer& scratch, CBuffer& out);
    int farcount() const { return farcount_; }
    std::complex<double> far(int i) const { return far_[std::size_t(i)]; }
    int farposition(int i) const { return farpos_[std::size_t(i)]; }
    // Those taps' response on the FFT grid.
    void farongrid(CBuffer& out, CBuffer& scratch) const;

    // The echo profile: the channel's impulse response through a Kaiser window across the
    // flat part of the band, in dB relative to its strongest path, one point a symbol over
    // +-kHalf around that path; and the strongest echo outside the path's own lobe.
    void echoprofile(CBuffer& scratch, CBuffer& out, double* profiledb);
    double largestechodb() const { return echodb_; }
    double largestechous() const { return echous_; }

  private:
    void solve();

    const Fft& fft_;
    CBuffer product_, correlation_, autocorrelation_, overall_, keptoverall_;
    std::array<std::complex<double>, kTaps> cross_{}, taps_{};
    std::array<double, kTaps> lagre_{}, lagim_{}, fre_{}, fim_{}, xre_{}, xim_{};
    std::array<std::complex<double>, kTaps> kepttaps_{};
    std::array<std::complex<double>, kMaxFar> far_{};
    std::array<int, kMaxFar> farpos_{};
    int farcount_ = 0;
    std::vector<double> window_;
    double echodb_ = -60, echous_ = 0;
};

}  // namespace monitor

// Least-squares channel estimate: the received capture modelled as a short FIR filter applied
// to the ideal VSB signal rebuilt from the decided symbols. The filter's length is chosen from
// the data (Bayesian information criterion): long enough for the channel's echoes, short
// enough that noise does not swamp the group delay.
#pragma once

#include <Eigen/Dense>
#include <complex>

#include "aligned.h"
#include "fft.h"

namespace monitor {

class ChannelFit {
  public:
    static constexpr int kShortHalf = 20;  // taps -20 .. +20 unless an echo asks for more
    static constexpr int kMaxHalf = 48;    // taps -48 .. +48 (+-4.5 us) at most
    static constexpr int kMaxTaps = 2 * kMaxHalf + 1;

    explicit ChannelFit(const Fft& fft);

    // reference: the ideal signal (time) and its FFT; received: the capture (time).
    // maxhalf: the longest filter (taps each side) the order search may choose.
    void fit(const CBuffer& reference, const CBuffer& referencespectrum, const CBuffer& received,
             int maxhalf = kShortHalf);

    int halflength() const { return half_; }
    // Tap m (-kMaxHalf .. kMaxHalf); zero beyond the chosen length.
    std::complex<double> tap(int m) const { return taps_[std::size_t(m + kMaxHalf)]; }
    // Mean square of the fit's residual per sample.
    double residualpower() const { return residual_; }
    // Power-weighted position of the strongest tap and its two neighbours each side: the main
    // path's delay in samples.
    double centroid() const;

    // The delay (samples) the filter's phase slope shows across +-bandhz, followed in `steps`
    // steps short enough to track the ripple of any echo it holds, whose own delay then
    // averages out.
    double banddelay(double bandhz, int steps) const;

    // The filter's response on the FFT grid (bin k at binhz(k)).
    void responseongrid(CBuffer& out, CBuffer& scratch) const;
    // Response and group delay (samples) at f Hz; moment: sum of m h_m exp(-j w m), from which
    // the group delay of a sum of responses follows.
    std::complex<double> response(double fhz, double* groupdelay,
                                  std::complex<double>* moment = nullptr) const;

  private:
    using Matrix =
        Eigen::Matrix<std::complex<double>, Eigen::Dynamic, Eigen::Dynamic, 0, kMaxTaps, kMaxTaps>;
    using Vector = Eigen::Matrix<std::complex<double>, Eigen::Dynamic, 1, 0, kMaxTaps, 1>;

    void normalmatrix(const CBuffer& reference, const CBuffer& referencespectrum);
    void crosscorrelation(const CBuffer& referencespectrum, const CBuffer& received);
    void correlate(const CBuffer& masked, const CBuffer& referencespectrum);
    void chooseorder(double receivedenergy, int maxhalf);

    const Fft& fft_;
    CBuffer masked_, spectrum_, correlation_;
    Matrix gram_ = Matrix::Zero(kMaxTaps, kMaxTaps);
    Vector cross_ = Vector::Zero(kMaxTaps);
    Vector solution_;
    Matrix work_;
    Eigen::LDLT<Matrix> ldlt_;  // a member: at the longest fit it is too large for the stack
    std::complex<double> taps_[kMaxTaps] = {};
    int half_ = 0;
    double residual_ = 0;
};

}  // namespace monitor

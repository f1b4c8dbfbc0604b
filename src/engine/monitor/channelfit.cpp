#include "channelfit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "vsbmodel.h"

namespace monitor {

namespace {

constexpr int kOrders[] = {1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 17, 20, 24, 28, 34, 40, 48};
constexpr std::size_t kFirst = kEdgeSamples;  // fitted samples: kFirst .. kLast-1
constexpr std::size_t kLast = kN - kEdgeSamples;
constexpr double kFitted = double(kLast - kFirst);
// A light penalty on tap energy growing with the square of the tap's distance from the
// centre: it settles the directions the band-limited data cannot (outside +-3 MHz) towards a
// smooth response, without moving the fit inside the channel.
constexpr double kSpreadPenalty = 1e-6;

}  // namespace

ChannelFit::ChannelFit(const Fft& fft) : fft_(fft), masked_(kN), spectrum_(kN), correlation_(kN) {}

// correlation_[m] = (1/N) sum_n masked[n] conj(reference[n - m]), circularly.
void ChannelFit::correlate(const CBuffer& masked, const CBuffer& referencespectrum) {
    fft_.forward(masked, spectrum_);
    for (std::size_t k = 0; k < kN; ++k) spectrum_[k] = mulconj(spectrum_[k], referencespectrum[k]);
    fft_.inverse(spectrum_, correlation_);
    for (auto& c : correlation_) c /= double(kN);
}

// gram(i, l) = sum over fitted n of conj(u[n - m_i]) u[n - m_l], m_i = i - kMaxHalf. The first
// row comes from one correlation; each diagonal then follows by moving the summation window.
void ChannelFit::normalmatrix(const CBuffer& u, const CBuffer& referencespectrum) {
    const std::size_t k = kMaxHalf;
    std::fill(masked_.begin(), masked_.end(), std::complex<double>{});
    std::copy(u.begin() + long(kFirst + k), u.begin() + long(kLast + k),
              masked_.begin() + long(kFirst + k));
    correlate(masked_, referencespectrum);
    for (int l = 0; l < kMaxTaps; ++l) gram_(0, l) = std::conj(correlation_[std::size_t(l)]);
    for (int i = 0; i + 1 < kMaxTaps; ++i) {
        for (int l = i; l + 1 < kMaxTaps; ++l) {
            const auto mi = long(i) - long(k), ml = long(l) - long(k);
            const auto inposi = std::size_t(long(kFirst) - 1 - mi),
                       inposl = std::size_t(long(kFirst) - 1 - ml);
            const auto outposi = std::size_t(long(kLast) - 1 - mi),
                       outposl = std::size_t(long(kLast) - 1 - ml);
            gram_(i + 1, l + 1) =
                gram_(i, l) + std::conj(u[inposi]) * u[inposl] - std::conj(u[outposi]) * u[outposl];
        }
    }
    for (int i = 0; i < kMaxTaps; ++i)
        for (int l = 0; l < i; ++l) gram_(i, l) = std::conj(gram_(l, i));
}

void ChannelFit::crosscorrelation(const CBuffer& referencespectrum, const CBuffer& received) {
    std::fill(masked_.begin(), masked_.end(), std::complex<double>{});
    std::copy(received.begin() + long(kFirst), received.begin() + long(kLast),
              masked_.begin() + long(kFirst));
    correlate(masked_, referencespectrum);
    for (int i = 0; i < kMaxTaps; ++i) {
        const long m = long(i) - long(kMaxHalf);
        cross_[i] = correlation_[std::size_t((m + long(kN)) % long(kN))];
    }
}

void ChannelFit::chooseorder(double receivedenergy, int maxhalf) {
    const double scale = std::max(gram_(kMaxHalf, kMaxHalf).real(), 1e-300);
    double best = INFINITY;
    for (int half : kOrders) {
        if (half > maxhalf) break;
        const int taps = 2 * half + 1, first = kMaxHalf - half;
        work_ = gram_.block(first, first, taps, taps);
        for (int i = 0; i < taps; ++i) {
            const double m = i - half;
            work_(i, i) += scale * (kSpreadPenalty * m * m + 1e-12);
        }
        ldlt_.compute(work_);
        Vector d = ldlt_.solve(cross_.segment(first, taps));
        const Vector b = cross_.segment(first, taps);
        const double rss = receivedenergy - 2 * b.dot(d).real() +
                           (d.adjoint() * gram_.block(first, first, taps, taps) * d)(0, 0).real();
        const double bic = 2 * kFitted * std::log(std::max(rss, 1e-300) / kFitted) +
                           2.0 * taps * std::log(kFitted);
        if (!(bic < best) || !d.allFinite()) continue;
        best = bic;
        half_ = half;
        residual_ = std::max(rss, 0.0) / kFitted;
        std::fill(std::begin(taps_), std::end(taps_), std::complex<double>{});
        for (int i = 0; i < taps; ++i) taps_[first + i] = d[i];
    }
}

void ChannelFit::fit(const CBuffer& reference, const CBuffer& referencespectrum,
                     const CBuffer& received, int maxhalf) {
    normalmatrix(reference, referencespectrum);
    crosscorrelation(referencespectrum, received);
    double energy = 0;
    for (std::size_t n = kFirst; n < kLast; ++n) energy += std::norm(received[n]);
    half_ = 0;
    residual_ = energy / kFitted;
    std::fill(std::begin(taps_), std::end(taps_), std::complex<double>{});
    taps_[kMaxHalf] = 1.0;
    chooseorder(energy, maxhalf);
}

double ChannelFit::centroid() const {
    int peak = 0;
    for (int m = -half_; m <= half_; ++m)
        if (std::norm(tap(m)) > std::norm(tap(peak))) peak = m;
    double s = 0, w = 0;
    for (int m = std::max(peak - 2, -kMaxHalf); m <= std::min(peak + 2, kMaxHalf); ++m) {
        const double p = std::norm(tap(m));
        s += m * p, w += p;
    }
    return w > 0 ? s / w : 0.0;
}

double ChannelFit::banddelay(double bandhz, int steps) const {
    double turned = 0;
    std::complex<double> previous = response(-bandhz, nullptr);
    for (int i = 1; i <= steps; ++i) {
        const auto h = response(-bandhz + 2 * bandhz * i / steps, nullptr);
        turned += std::arg(mulconj(h, previous));
        previous = h;
    }
    return -turned / (2 * std::numbers::pi * 2 * bandhz / kFs);
}

void ChannelFit::responseongrid(CBuffer& out, CBuffer& scratch) const {
    std::fill(scratch.begin(), scratch.end(), std::complex<double>{});
    for (int m = -kMaxHalf; m <= kMaxHalf; ++m)
        scratch[std::size_t((m + long(kN)) % long(kN))] = tap(m);
    fft_.forward(scratch, out);
}

std::complex<double> ChannelFit::response(double fhz, double* groupdelay,
                                          std::complex<double>* momentout) const {
    const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi * fhz / kFs);
    std::complex<double> rot = std::polar(1.0, 2 * std::numbers::pi * fhz / kFs * half_);
    std::complex<double> sum = 0, moment = 0;
    for (int m = -half_; m <= half_; ++m, rot = mul(rot, step)) {
        const auto v = mul(tap(m), rot);
        sum += v;
        moment += double(m) * v;
    }
    if (groupdelay) *groupdelay = std::norm(sum) > 0 ? (moment / sum).real() : 0.0;
    if (momentout) *momentout = moment;
    return sum;
}

}  // namespace monitor

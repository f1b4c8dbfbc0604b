#include "longchannel.h"

#include <algorithm>
#include <cmath>

#include "vsbmodel.h"

namespace monitor {

namespace {

// Kaiser window over the band the echo profile uses: sidelobes near -44 dB, so a clean
// channel shows no echo above that, and a main lobe about +-0.45 us wide.
constexpr double kProfileBeta = 6.0;
constexpr double kProfileHz = 2.6e6;
constexpr int kLobe = 5;  // taps either side of a path that belong to its lobe
constexpr double kFloorDb = -60.0;
// Taps beyond the short fit's reach count as an echo when they stand this far over the
// median tap there (the fit's noise) and no more than 50 dB under the main path.
constexpr double kFarOverNoise = 16.0;
constexpr double kFarUnderMain = 1e-5;
// Where the pulse fades, the channel is not divided out beyond this.
constexpr double kPulseFloor = 0.01;

std::size_t wrap(long m) {
    return std::size_t((m % long(kN) + long(kN)) % long(kN));
}

// Peak position and height of a lobe from three samples of its magnitude (a parabola through
// their logarithms: exact for a Gaussian lobe, close for the Kaiser one).
std::pair<double, double> logparabola(double l, double c, double r) {
    const double ll = std::log(std::max(l, 1e-300)), lc = std::log(std::max(c, 1e-300)),
                 lr = std::log(std::max(r, 1e-300));
    const double den = ll - 2 * lc + lr;
    const double d = den < 0 ? std::clamp(0.5 * (ll - lr) / den, -0.5, 0.5) : 0.0;
    return {d, std::exp(lc - 0.25 * (ll - lr) * d)};
}

}  // namespace

LongChannel::LongChannel(const Fft& fft)
    : fft_(fft),
      product_(kN),
      correlation_(kN),
      autocorrelation_(kN),
      overall_(kN),
      keptoverall_(kN),
      window_(kN) {
    const double norm = std::cyl_bessel_i(0.0, kProfileBeta);
    for (std::size_t k = 0; k < kN; ++k) {
        const double x = binhz(k) / kProfileHz;
        window_[k] = std::abs(x) < 1 ? std::cyl_bessel_i(0.0, kProfileBeta * std::sqrt(1 - x * x)) /
                                           norm / std::max(rrcamplitude(binhz(k)), kPulseFloor)
                                     : 0.0;
    }
}

void LongChannel::fit(const CBuffer& symbols, const CBuffer& received) {
    for (std::size_t k = 0; k < kN; ++k) product_[k] = mulconj(received[k], symbols[k]);
    product_[kPilotBin] = 0;
    fft_.inverse(product_, correlation_);
    for (std::size_t k = 0; k < kN; ++k) product_[k] = std::norm(symbols[k]);
    product_[kPilotBin] = 0;
    fft_.inverse(product_, autocorrelation_);
    for (int j = 0; j < kTaps; ++j) {
        lagre_[std::size_t(j)] = autocorrelation_[std::size_t(j)].real();
        lagim_[std::size_t(j)] = autocorrelation_[std::size_t(j)].imag();
        cross_[std::size_t(j)] = correlation_[wrap(j - kHalf)];
    }
    lagre_[0] += 1e-9 * lagre_[0] + 1e-300;
    solve();
    std::fill(product_.begin(), product_.end(), std::complex<double>{});
    for (int m = -kHalf; m <= kHalf; ++m) product_[wrap(m)] = tap(m);
    fft_.forward(product_, overall_);
}

void LongChannel::keep() {
    kepttaps_ = taps_;
    std::copy(overall_.begin(), overall_.end(), keptoverall_.begin());
}

void LongChannel::restore() {
    taps_ = kepttaps_;
    std::copy(keptoverall_.begin(), keptoverall_.end(), overall_.begin());
}

double LongChannel::pilotlevel(const CBuffer& symbols, const CBuffer& received,
                               double assumed) const {
    const Complex g = overall_[kPilotBin];
    if (!(std::norm(g) > 0)) return assumed;
    const Complex data = symbols[kPilotBin] - assumed * double(kN);
    return std::abs(received[kPilotBin] / g - data) / double(kN);
}

// Levinson's recursion for the Hermitian Toeplitz system sum_l lag(j - l) taps(l) = cross(j):
// the forward vector grown one order at a time and the solution updated with the backward one,
// which for a Hermitian matrix is the forward one reversed and conjugated. Real and imaginary
// parts are kept apart and the sums split four ways, so the loops vectorise.
void LongChannel::solve() {
    fre_.fill(0), fim_.fill(0), xre_.fill(0), xim_.fill(0);
    const double first = 1 / lagre_[0];
    fre_[0] = first;
    xre_[0] = cross_[0].real() * first, xim_[0] = cross_[0].imag() * first;
    for (int k = 1; k < kTaps; ++k) {
        // ef = sum t(k-i) f_i and ex = sum t(k-i) x_i over i < k.
        double s[8] = {};
        for (int i = 0; i < k; ++i) {
            const double tr = lagre_[std::size_t(k - i)], ti = lagim_[std::size_t(k - i)];
            const double fr = fre_[std::size_t(i)], fi = fim_[std::size_t(i)];
            const double xr = xre_[std::size_t(i)], xi = xim_[std::size_t(i)];
            s[0] += tr * fr, s[1] += ti * fi, s[2] += tr * fi, s[3] += ti * fr;
            s[4] += tr * xr, s[5] += ti * xi, s[6] += tr * xi, s[7] += ti * xr;
        }
        const double efr = s[0] - s[1], efi = s[2] + s[3];
        const double exr = s[4] - s[5], exi = s[6] + s[7];
        const double den = 1 - (efr * efr + efi * efi);
        if (!(den > 1e-12)) break;  // singular beyond this order: keep what holds
        // f' = ([f; 0] - ef [0; b]) / den with b_i = conj(f_(k-1-i)): entry i takes
        // conj(f_(k-i)), so entries from both ends are updated together, each old value read
        // before it is replaced.
        const double inv = 1 / den;
        for (int i = 0, j = k; i <= j; ++i, --j) {
            const double ar = fre_[std::size_t(i)], ai = fim_[std::size_t(i)];
            const double br = fre_[std::size_t(j)], bi = fim_[std::size_t(j)];
            // ef * conj(b) and ef * conj(a)
            fre_[std::size_t(i)] = (ar - (efr * br + efi * bi)) * inv;
            fim_[std::size_t(i)] = (ai - (efi * br - efr * bi)) * inv;
            if (i == j) continue;
            fre_[std::size_t(j)] = (br - (efr * ar + efi * ai)) * inv;
            fim_[std::size_t(j)] = (bi - (efi * ar - efr * ai)) * inv;
        }
        // x += (cross_k - ex) conj(f_(k-i))
        const double sr = cross_[std::size_t(k)].real() - exr;
        const double si = cross_[std::size_t(k)].imag() - exi;
        for (int i = 0; i <= k; ++i) {
            const double br = fre_[std::size_t(k - i)], bi = -fim_[std::size_t(k - i)];
            xre_[std::size_t(i)] += sr * br - si * bi;
            xim_[std::size_t(i)] += sr * bi + si * br;
        }
    }
    for (int j = 0; j < kTaps; ++j)
        taps_[std::size_t(j)] = {xre_[std::size_t(j)], xim_[std::size_t(j)]};
}

double LongChannel::mainpath() const {
    int best = 0;
    for (int m = -kHalf + 1; m < kHalf; ++m)
        if (std::norm(tap(m)) > std::norm(tap(best))) best = m;
    return best +
           logparabola(std::abs(tap(best - 1)), std::abs(tap(best)), std::abs(tap(best + 1))).first;
}

int LongChannel::findfar(const CBuffer& ramp, const CBuffer& shortgrid, CBuffer& scratch,
                         CBuffer& out) {
    // Both channels through the same band limit P^2 / (P^2 + floor), so the main path's
    // sidelobes cancel and only the difference remains.
    const auto& pulse = pulsegrid();
    for (std::size_t k = 0; k < kN; ++k) {
        const double p = pulse.amplitude[k];
        scratch[k] = (mul(overall_[k], ramp[k]) - shortgrid[k] * p) * (p / (p * p + kPulseFloor));
    }
    fft_.inverse(scratch, out);
    double main = 0;
    std::array<double, kTaps> power;
    for (int m = -kHalf; m <= kHalf; ++m) {
        power[std::size_t(m + kHalf)] = std::norm(out[wrap(m)]);
        main = std::max(main, std::norm(tap(m)));
    }
    // The median tap of the difference is the fits' noise.
    auto sorted = power;
    std::nth_element(sorted.begin(), sorted.begin() + kHalf, sorted.end());
    double threshold = std::max(kFarOverNoise * sorted[kHalf], kFarUnderMain * main * kN * kN);
    for (;;) {
        farcount_ = 0;
        for (int m = -kHalf; m <= kHalf && farcount_ <= kMaxFar; ++m) {
            if (!(power[std::size_t(m + kHalf)] > threshold)) continue;
            if (farcount_ < kMaxFar) {
                far_[std::size_t(farcount_)] = out[wrap(m)] / double(kN);
                farpos_[std::size_t(farcount_)] = m;
            }
            ++farcount_;
        }
        if (farcount_ <= kMaxFar) return farcount_;
        threshold *= 2;  // more than the list holds: only the strongest
    }
}

void LongChannel::farongrid(CBuffer& out, CBuffer& scratch) const {
    std::fill(scratch.begin(), scratch.end(), std::complex<double>{});
    for (int i = 0; i < farcount_; ++i)
        scratch[wrap(farpos_[std::size_t(i)])] = far_[std::size_t(i)];
    fft_.forward(scratch, out);
}

void LongChannel::echoprofile(CBuffer& scratch, CBuffer& out, double* profiledb) {
    for (std::size_t k = 0; k < kN; ++k) scratch[k] = overall_[k] * window_[k];
    fft_.inverse(scratch, out);
    long main = 0;
    for (long m = -kHalf; m <= kHalf; ++m)
        if (std::norm(out[wrap(m)]) > std::norm(out[wrap(main)])) main = m;
    auto magnitude = [&](long m) { return std::abs(out[wrap(m)]); };
    const auto [maind, mainpeak] =
        logparabola(magnitude(main - 1), magnitude(main), magnitude(main + 1));
    const double ref = std::max(mainpeak, 1e-300);
    long echo = main + kLobe + 1;
    for (long d = -kHalf; d <= kHalf; ++d) {
        if (std::abs(d) <= kLobe) continue;
        if (magnitude(main + d) > magnitude(echo)) echo = main + d;
    }
    for (long i = 0; i <= 2 * kHalf; ++i) {
        const double db = 20 * std::log10(std::max(magnitude(main + i - kHalf) / ref, 1e-300));
        profiledb[i] = std::max(db, kFloorDb);
    }
    const auto [echod, echopeak] =
        logparabola(magnitude(echo - 1), magnitude(echo), magnitude(echo + 1));
    echodb_ = std::max(20 * std::log10(std::max(echopeak / ref, 1e-300)), kFloorDb);
    echous_ = (double(echo - main) + echod - maind) / kFs * 1e6;
}

}  // namespace monitor

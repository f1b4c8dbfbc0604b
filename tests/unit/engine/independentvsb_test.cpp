// The independent 8-VSB construction against first principles: pilot, noise, echoes.
#include "independentvsb.h"

#include <gtest/gtest.h>

#include <fftw3.h>

#include <algorithm>
#include <numbers>

namespace {

using Complex = std::complex<double>;
constexpr std::size_t kN = 8192;
constexpr double kFs = 10.762238e6;
constexpr double kPi = std::numbers::pi;

double binhz(std::size_t k) {
    return (k < kN / 2 ? double(k) : double(k) - double(kN)) * kFs / kN;
}

std::vector<Complex> transform(std::vector<Complex> in, bool inverse) {
    std::vector<Complex> out(in.size());
    fftw_plan plan = fftw_plan_dft_1d(int(in.size()), reinterpret_cast<fftw_complex*>(in.data()),
                                      reinterpret_cast<fftw_complex*>(out.data()),
                                      inverse ? FFTW_BACKWARD : FFTW_FORWARD, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return out;
}

std::vector<Complex> spectrum(const independentvsb::Capture& c, bool hann) {
    std::vector<Complex> x(kN);
    for (std::size_t n = 0; n < kN; ++n) {
        const double w = hann ? 0.5 - 0.5 * std::cos(2 * kPi * double(n) / kN) : 1.0;
        x[n] = Complex(c.iq[2 * n], c.iq[2 * n + 1]) * w;
    }
    return transform(x, false);
}

// Least-squares gain g with y = g x over all bins but `skip`.
Complex fitgain(const std::vector<Complex>& y, const std::vector<Complex>& x, std::size_t skip) {
    Complex num = 0;
    double den = 0;
    for (std::size_t k = 0; k < kN; ++k) {
        if (k == skip) continue;
        num += y[k] * std::conj(x[k]);
        den += std::norm(x[k]);
    }
    return num / den;
}

TEST(IndependentVsb, PilotIsAToneAtMinusQuarterRateAtItsNominalPower) {
    // Same seed, same symbols: a capture without the pilot, rescaled, leaves only the pilot.
    independentvsb::Options o;
    o.seed = 4;
    o.pilotscale = 0.8;
    o.timing = 0.3;  // between the pulse table's points
    auto nopilot = o;
    nopilot.pilotscale = 0;
    const auto x = spectrum(independentvsb::make(o), false);
    const auto d = spectrum(independentvsb::make(nopilot), false);
    const std::size_t pilotbin = kN - kN / 4;  // -Fs/4
    const Complex g = fitgain(x, d, pilotbin);
    double rest = 0, datapower = 0;
    for (std::size_t k = 0; k < kN; ++k) {
        if (k != pilotbin) rest += std::norm(x[k] - g * d[k]);
        datapower += std::norm(g * d[k]);
    }
    const double pilotpower = std::norm(x[pilotbin] - g * d[pilotbin]);
    EXPECT_LT(rest, 1e-9 * pilotpower);
    // A constant 1.25 x 0.8 on symbols whose levels have a mean square of 21 (25 for the four
    // sync symbols of 832), through a pulse at half power at -Fs/4 and half its peak energy
    // overall: the data's own mean square varies by about 0.04 dB over one capture.
    const double levels = (21.0 * 828 + 25.0 * 4) / 832;
    EXPECT_NEAR(10 * std::log10(pilotpower / datapower), 10 * std::log10(1.0 / levels), 0.15);
}

TEST(IndependentVsb, EchoShowsAsTheChannelResponse) {
    independentvsb::Options o;
    o.seed = 4;
    auto echoed = o;
    echoed.echoes = {{-10, -1.5}, {-20, 6}};
    const auto x = spectrum(independentvsb::make(o), true);
    const auto y = spectrum(independentvsb::make(echoed), true);
    std::vector<Complex> hx(kN);
    for (std::size_t k = 0; k < kN; ++k)
        hx[k] = independentvsb::channelresponse(echoed, binhz(k)) * x[k];
    const Complex scale = fitgain(y, hx, kN);  // the level set on the RMS
    EXPECT_NEAR(std::arg(scale), 0, 0.01);
    // Error energy over the channel relative to the signal's: about 1e-5 from the capture's
    // ends; a dB off on the -10 dB echo makes about 1.4e-3, a pre-echo taken for a post-echo 0.2.
    double err = 0, power = 0;
    for (std::size_t k = 0; k < kN; ++k) {
        if (std::abs(binhz(k)) > 2.5e6) continue;
        err += std::norm(y[k] - scale * hx[k]);
        power += std::norm(scale * hx[k]);
    }
    EXPECT_LT(err / power, 1e-4);
}

// The in-phase symbol values an ideal receiver reads: root-raised-cosine matched filter (in
// frequency, from its definition), derotated by j^n, at the symbol instants away from the ends.
std::vector<double> matchedinphase(const independentvsb::Capture& c) {
    auto x = spectrum(c, false);
    const double lo = kFs / 4 * (1 - 0.1152), hi = kFs / 4 * (1 + 0.1152);
    for (std::size_t k = 0; k < kN; ++k) {
        const double f = std::abs(binhz(k));
        x[k] *= f <= lo ? 1.0 : f >= hi ? 0.0 : std::cos(kPi / 2 * (f - lo) / (hi - lo));
    }
    const auto y = transform(x, true);
    static constexpr Complex kTurn[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    std::vector<Complex> r;
    for (std::size_t n = 1000; n < kN - 1000; ++n) r.push_back(y[n] * kTurn[n % 4]);
    // Of the four axes the in-phase one carries the pilot as a positive mean.
    Complex mean = 0;
    for (const Complex& v : r) mean += v;
    const Complex axis = std::polar(1.0, -std::round(std::arg(mean) / (kPi / 2)) * kPi / 2);
    std::vector<double> out;
    for (const Complex& v : r) out.push_back((v * axis).real());
    return out;
}

TEST(IndependentVsb, NoiseGivesTheMerAnIdealMatchedFilterSees) {
    for (const bool toedge : {false, true}) {
        independentvsb::Options o;
        o.seed = 9;
        const auto clean = matchedinphase(independentvsb::make(o));
        o.snrdb = 30;
        o.noisetoedge = toedge;
        const auto noisy = matchedinphase(independentvsb::make(o));
        // Clean values sit on (level + 1.25) g: 14 g from -7 to +7.
        const auto [lo, hi] = std::minmax_element(clean.begin(), clean.end());
        const double g = (*hi - *lo) / 14;
        double cross = 0, square = 0;
        for (std::size_t i = 0; i < clean.size(); ++i) {
            cross += noisy[i] * clean[i];
            square += clean[i] * clean[i];
        }
        const double k = cross / square;  // the noisy capture's own level scaling
        double error = 0;
        for (std::size_t i = 0; i < clean.size(); ++i)
            error += std::pow((noisy[i] / k - clean[i]) / g, 2);
        EXPECT_NEAR(10 * std::log10(21 / (error / double(clean.size()))), 30, 0.3)
            << (toedge ? "white to the channel edge" : "shaped like the signal");
    }
}

}  // namespace

// The signal generator the engine tests and the stand-in exciter rely on.
#include <gtest/gtest.h>

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "vsbsignal.h"

namespace {

std::vector<double> doubles(vsb::Generator& g, std::size_t n) {
    std::vector<double> iq(2 * n);
    g.capture(iq.data(), n);
    return iq;
}

TEST(Generator, DeterministicAndContinuousAcrossCalls) {
    vsb::Impairments imp;
    imp.snrdb = 25;
    imp.carrieroffsethz = 31e3;
    vsb::Generator a(77, imp), b(77, imp), c(78, imp);
    const auto whole = doubles(a, 3000);
    auto first = doubles(b, 1000);
    const auto rest = doubles(b, 2000);
    first.insert(first.end(), rest.begin(), rest.end());
    EXPECT_EQ(whole, first);
    EXPECT_NE(whole, doubles(c, 3000));
}

TEST(Generator, LevelIsTheRmsAndWordsClipAtFullScale) {
    vsb::Impairments imp;
    imp.level = 0.2;
    vsb::Generator quiet(1, imp);
    const auto iq = doubles(quiet, vsb::kCaptureSamples);
    double power = 0;
    for (double v : iq) power += v * v;
    EXPECT_NEAR(std::sqrt(power / vsb::kCaptureSamples) / 32767, 0.2, 0.01);

    imp.level = 2.0;  // far over full scale
    vsb::Generator loud(1, imp);
    std::vector<std::uint8_t> words(4 * vsb::kCaptureSamples);
    loud.capture(words.data(), vsb::kCaptureSamples);
    int atlimit = 0;
    for (std::size_t i = 0; i < words.size(); i += 2) {
        const auto v = static_cast<std::int16_t>(words[i] | (words[i + 1] << 8));
        atlimit += v == 32767 || v == -32768;
    }
    EXPECT_GT(atlimit, 1000);
}

TEST(Generator, ReferenceSpectrumHasTheVsbShape) {
    vsb::Impairments clean;
    vsb::Generator g(3, clean);
    for (double f = -2.0e6; f <= 2.0e6; f += 0.5e6) EXPECT_NEAR(g.referencepsddb(f), -10.6, 0.3);
    // Half power at the pilot's edge of the roll-off, nothing beyond the channel.
    EXPECT_NEAR(g.referencepsddb(2.6906e6), -10.6 - 3.0, 0.5);
    EXPECT_LT(g.referencepsddb(3.01e6), -90);
    EXPECT_LT(g.referencepsddb(-4.0e6), -90);

    vsb::Impairments bent = clean;
    bent.nonlinearity = 0.03;
    vsb::Generator h(3, bent);
    EXPECT_GT(h.referencepsddb(3.25e6), -50);  // the shoulders rise above the mask
    EXPECT_GT(h.referencepsddb(-3.25e6), -50);
    EXPECT_LT(h.referencepsddb(5.3e6), -70);  // and the output filter closes before Nyquist
}

using Complex = std::complex<double>;

// Windowed spectrum of the generator's next capture, bin k at k Fs / n (wrapping).
std::vector<Complex> spectrum(vsb::Generator& g) {
    constexpr std::size_t n = vsb::kCaptureSamples;
    const auto iq = doubles(g, n);
    std::vector<Complex> in(n), out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / n);
        in[i] = {iq[2 * i] * hann, iq[2 * i + 1] * hann};
    }
    fftw_plan plan =
        fftw_plan_dft_1d(int(n), reinterpret_cast<fftw_complex*>(in.data()),
                         reinterpret_cast<fftw_complex*>(out.data()), FFTW_FORWARD, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return out;
}

TEST(Generator, EchoesShapeTheOutputAsTheirChannel) {
    // Same seed, so the same symbols and noise: per frequency the echoed output is the clean
    // one times c H(f), c being the level calibration, H = 1 + sum a exp(-j 2 pi f tau).
    vsb::Impairments clean;
    vsb::Impairments echoed = clean;
    echoed.echoes = {{-12, -2.0}, {-20, 7.5}};
    vsb::Generator x(5, clean), y(5, echoed);
    constexpr std::size_t n = vsb::kCaptureSamples;
    std::vector<Complex> sxy(n), sxx(n);
    for (int block = 0; block < 4; ++block) {
        const auto xf = spectrum(x), yf = spectrum(y);
        for (std::size_t k = 0; k < n; ++k) {
            sxy[k] += yf[k] * std::conj(xf[k]);
            sxx[k] += std::norm(xf[k]);
        }
    }
    std::vector<Complex> measured, expected;
    Complex num = 0;
    double den = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double f = (k < n / 2 ? double(k) : double(k) - n) * vsb::kSymbolRate / n;
        if (std::abs(f) > 2.5e6) continue;
        Complex h = 1.0;
        for (const auto& e : echoed.echoes)
            h += std::polar(std::pow(10.0, e.db / 20), -2 * std::numbers::pi * f * e.us * 1e-6);
        measured.push_back(sxy[k] / sxx[k]);
        expected.push_back(h);
        num += measured.back() * std::conj(h);
        den += std::norm(h);
    }
    const Complex c = num / den;
    double worst = 0, sum = 0;
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const double e = std::abs(measured[i] / c - expected[i]);
        worst = std::max(worst, e);
        sum += e * e;
    }
    // About 0.0025 RMS and 0.013 at worst from the blocks' edges; a dB off on the -12 dB echo
    // makes 0.02 RMS, a pre-echo taken for a post-echo 0.4.
    EXPECT_LT(std::sqrt(sum / double(measured.size())), 0.006);
    EXPECT_LT(worst, 0.03);
    EXPECT_NEAR(std::arg(c), 0, 0.01) << "the level calibration is a real gain";
}

}  // namespace

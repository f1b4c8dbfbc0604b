// The signal generator the engine tests and the stand-in exciter rely on.
#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace

// The engine measured against known impairments from the signal generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "engine_fixture.h"
#include "independentvsb.h"

namespace {

using enginetest::Result;
namespace rl = resultlayout;

vsb::Impairments atsnr(double snrdb) {
    vsb::Impairments imp;
    imp.snrdb = snrdb;
    return imp;
}

// The ten figures are the extremes of the two curves, at the frequencies where they occur.
void expectfiguresmatch(const Result& r) {
    for (const bool group : {false, true}) {
        const std::size_t base = group ? rl::GroupMaxFreq : rl::FreqMaxFreq;
        std::size_t hi = 0, lo = 0;
        auto at = [&](std::size_t i) {
            return group ? rl::grouperror(r.data(), i) : rl::freqerror(r.data(), i);
        };
        for (std::size_t i = 1; i < rl::kResponsePoints; ++i) {
            if (at(i) > at(hi)) hi = i;
            if (at(i) < at(lo)) lo = i;
        }
        auto fig = [&](std::size_t k) { return rl::figure(r.data(), rl::Figure(base + k)); };
        EXPECT_DOUBLE_EQ(fig(0), rl::responsex(hi));
        EXPECT_DOUBLE_EQ(fig(1), at(hi));
        EXPECT_DOUBLE_EQ(fig(2), rl::responsex(lo));
        EXPECT_DOUBLE_EQ(fig(3), at(lo));
        EXPECT_DOUBLE_EQ(fig(4), at(hi) - at(lo));
    }
}

// --- Demodulation: carrier, timing and level do not matter at 30 dB -----------------------

struct Reception {
    std::string name;
    double phase, offsethz, timing, level;
};

class Demodulation : public testing::TestWithParam<Reception> {};

TEST_P(Demodulation, LevelsSitOnTheGridAndMerMatchesTheNoise) {
    const auto& p = GetParam();
    auto imp = atsnr(30);
    imp.carrierphase = p.phase;
    imp.carrieroffsethz = p.offsethz;
    imp.timingoffset = p.timing;
    imp.level = p.level;
    const Result r = enginetest::measure(imp);
    ASSERT_EQ(r.status, 0);
    const auto means = enginetest::levelmeans(r);
    for (int l = 0; l < 8; ++l) EXPECT_NEAR(means[l], 2 * l - 7, 0.05) << "level " << 2 * l - 7;
    EXPECT_NEAR(r.diagnostic(rl::MerDb), 30.0, 0.5);
    EXPECT_NEAR(r.diagnostic(rl::CarrierOffsetHz), p.offsethz, 5.0);
    EXPECT_TRUE(enginetest::enginelocked(r));
    expectfiguresmatch(r);
}

// Down to 8 dB SNR the engine locks whatever the carrier phase and offset, the timing and the
// level, and through strong echoes; so does a signal that carries a strong spur.
TEST(EngineLock, WeakSignalsLockAtAnyPhaseOffsetTimingAndLevel) {
    for (const auto& p :
         {Reception{"A", 0.0, -50e3, 0.0, 0.05}, Reception{"B", 1.3, 50e3, 0.5, 0.35},
          Reception{"C", 2.9, 0.0, 0.83, 0.05}, Reception{"D", -2.2, 50e3, 0.25, 0.2},
          Reception{"E", -0.8, -50e3, 0.66, 0.35}}) {
        auto imp = atsnr(8);
        imp.carrierphase = p.phase;
        imp.carrieroffsethz = p.offsethz;
        imp.timingoffset = p.timing;
        imp.level = p.level;
        const Result r = enginetest::measure(imp, 31);
        ASSERT_EQ(r.status, 0);
        EXPECT_TRUE(enginetest::enginelocked(r)) << p.name;
    }
    for (const vsb::Echo echo :
         {vsb::Echo{-6, 0.3}, vsb::Echo{-10, 2}, vsb::Echo{-12, 4}, vsb::Echo{-20, 10}}) {
        auto imp = atsnr(8);
        imp.echoes = {echo};
        imp.timingoffset = 0.4;
        EXPECT_TRUE(enginetest::enginelocked(enginetest::measure(imp, 32))) << echo.db;
    }
    vsb::Generator generator(11, atsnr(30));
    const Result spur = enginetest::runmonitor(enginetest::withtone(generator, 4.5e6, -10));
    EXPECT_TRUE(enginetest::enginelocked(spur));
}

// Level is the RMS relative to full scale: 0.35 puts the 8-VSB peaks at about 90 % of it.
INSTANTIATE_TEST_SUITE_P(Engine, Demodulation,
                         testing::Values(Reception{"Nominal", 0.0, 0.0, 0.0, 0.3},
                                         Reception{"QuarterTurnHalfSymbol", 1.57, 0.0, 0.5, 0.3},
                                         Reception{"Plus50kHzWeak", 2.5, 50e3, 0.27, 0.05},
                                         Reception{"Minus50kHzStrong", -2.0, -50e3, 0.81, 0.35}),
                         [](const auto& info) { return info.param.name; });

// --- MER follows the injected noise --------------------------------------------------------

class MerTracking : public testing::TestWithParam<double> {};

TEST_P(MerTracking, WithinHalfADecibel) {
    auto imp = atsnr(GetParam());
    imp.timingoffset = 0.4;
    imp.carrierphase = 0.7;
    const Result r = enginetest::measure(imp, 3);
    ASSERT_EQ(r.status, 0);
    EXPECT_NEAR(r.diagnostic(rl::MerDb), GetParam(), 0.5);
}

INSTANTIATE_TEST_SUITE_P(Engine, MerTracking, testing::Values(15.0, 20.0, 25.0, 35.0),
                         [](const auto& info) { return std::to_string(int(info.param)) + "dB"; });

// --- Frequency response and group delay from the channel estimate -------------------------

struct Channel {
    std::string name;
    double tiltdb, rippledb, ripplecycles, gdns, gdcycles;
};

class ChannelResponse : public testing::TestWithParam<Channel> {};

TEST_P(ChannelResponse, RecoversTheInjectedCurves) {
    const auto& p = GetParam();
    auto imp = atsnr(30);
    imp.tiltdb = p.tiltdb;
    imp.rippledb = p.rippledb;
    imp.ripplecycles = p.ripplecycles;
    imp.gdripplens = p.gdns;
    imp.gdripplecycles = p.gdcycles;
    imp.timingoffset = 0.35;
    imp.carrieroffsethz = 12e3;
    const Result r = enginetest::measure(imp, 5);
    ASSERT_EQ(r.status, 0);
    EXPECT_LT(enginetest::responsermserror(r, imp, false), 0.05);
    EXPECT_LT(enginetest::responsermserror(r, imp, true), 2.0);
    EXPECT_TRUE(enginetest::enginelocked(r));
    expectfiguresmatch(r);
}

INSTANTIATE_TEST_SUITE_P(Engine, ChannelResponse,
                         testing::Values(Channel{"Flat", 0, 0, 3, 0, 3},
                                         Channel{"Tilt1dB", 1.0, 0, 3, 0, 3},
                                         Channel{"Ripple1dB", 0, 1.0, 3, 0, 3},
                                         Channel{"Delay100ns", 0, 0, 3, 100, 3},
                                         Channel{"AllTogether", -0.6, 0.8, 2, 100, 4}),
                         [](const auto& info) { return info.param.name; });

// --- Spectrum: in-band level, emission mask, shoulders ------------------------------------

double inbandmean(const Result& r) {
    double sum = 0;
    int n = 0;
    for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i) {
        if (std::abs(rl::spectrumx(i)) > 2.2) continue;
        sum += rl::spectrum(r.data(), i);
        ++n;
    }
    return sum / n;
}

TEST(EngineSpectrum, CleanExciterReadsFlatInBandAndPassesTheMask) {
    for (const double offset : {0.0, 45e3}) {
        auto imp = atsnr(35);
        imp.carrieroffsethz = offset;  // the spectrum is centred on the pilot, not the capture
        const Result r = enginetest::measure(imp, 11);
        ASSERT_EQ(r.status, 0);
        const double mean = inbandmean(r);
        EXPECT_NEAR(mean, -10.6, 0.3) << offset;
        EXPECT_LT(enginetest::worstmaskmargin(r), -10.0) << offset;
        EXPECT_EQ(rl::measure(r.data(), rl::MaskIntegratedPass), 1.0) << offset;
        EXPECT_EQ(rl::measure(r.data(), rl::SpurCount), 0.0) << offset;
        // Every point up to where the roll-off begins within a dB of the flat level: no spikes
        // or dips where the averaging meets the roll-off.
        for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i) {
            if (std::abs(rl::spectrumx(i)) > 2.4) continue;
            ASSERT_NEAR(rl::spectrum(r.data(), i), mean, 1.0) << rl::spectrumx(i);
        }
    }
}

struct Spur {
    double mhz, dbc;
};

// A CW outside the channel fails the mask by both methods: the trace reads at least its power
// less 3 dB, the 500 kHz integration its power. Found as a spur wherever it lies, out of the
// channel or in it, at its frequency and power.
void expectspur(const Result& r, const Spur& s) {
    const std::string what = std::to_string(s.mhz) + " MHz " + std::to_string(s.dbc) + " dBc";
    ASSERT_EQ(r.status, 0) << what;
    const auto at = std::size_t(std::lround((s.mhz + 5.38) / 10.76 * 4095));
    EXPECT_GE(rl::spectrum(r.data(), at), s.dbc - 3) << what;
    if (std::abs(s.mhz) > 3) {
        EXPECT_GT(enginetest::worstmaskmargin(r), 0.0) << what;
        EXPECT_EQ(rl::measure(r.data(), rl::MaskIntegratedPass), 0.0) << what;
        EXPECT_LT(rl::measure(r.data(), rl::MaskIntegratedMarginDb), 0.0) << what;
    }
    ASSERT_EQ(rl::measure(r.data(), rl::SpurCount), 1.0) << what;
    EXPECT_NEAR(rl::spurmhz(r.data(), 0), s.mhz, 0.002) << what;
    EXPECT_NEAR(rl::spurdbc(r.data(), 0), s.dbc, 1.0) << what;
}

// A CW reads at least its own power (less 3 dB) at its frequency, so it fails the mask
// wherever it breaks it, however far out and however weak.
TEST(EngineSpectrum, SpursReadTheirPowerAndFailTheMask) {
    for (const Spur s : {Spur{4.5, -10}, Spur{3.1, -30}, Spur{4.5, -50}, Spur{-4.5, -50},
                         Spur{-3.02, -40}, Spur{5.3, -50}, Spur{1.0, -20}}) {
        vsb::Generator generator(11, atsnr(35));
        expectspur(enginetest::runmonitor(enginetest::withtone(generator, s.mhz * 1e6, s.dbc)), s);
    }
    for (const Spur s : {Spur{4.5, -50}, Spur{-4.5, -50}, Spur{-1.7234, -20}, Spur{0.31, -30}}) {
        independentvsb::Options o;
        o.seed = 7;
        o.snrdb = 32;
        o.timing = 0.59;
        o.tones = {{s.mhz * 1e6, s.dbc}};
        expectspur(enginetest::runmonitor(enginetest::captureblock(independentvsb::make(o).iq)), s);
    }
}

TEST(EngineSpectrum, NonLinearShouldersFailTheMaskAndMatchTheReference) {
    auto imp = atsnr(35);
    imp.nonlinearity = 0.03;
    vsb::Generator generator(13, imp);
    constexpr int kCaptures = 4;
    std::vector<double> mean(rl::kSpectrumPoints, 0.0);
    for (int c = 0; c < kCaptures; ++c) {
        const Result r = enginetest::runmonitor(enginetest::captureblock(generator));
        ASSERT_EQ(r.status, 0);
        EXPECT_GT(enginetest::worstmaskmargin(r), 1.0);
        for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i)
            mean[i] += rl::spectrum(r.data(), i) / kCaptures;
    }
    // A capture is 0.76 ms long: one capture's shoulder wanders by a few tenths of a dB as a
    // whole, so the comparison point by point uses the average of a few captures.
    int compared = 0;
    for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i) {
        const double f = rl::spectrumx(i);
        const double reference = generator.referencepsddb(f * 1e6);
        if (std::abs(f) < 3.1 || reference < -60) continue;
        ASSERT_NEAR(mean[i], reference, 1.0) << f << " MHz";
        ++compared;
    }
    EXPECT_GT(compared, 800);
}

// --- Eye diagram ----------------------------------------------------------------------------

TEST(EngineEye, OpensAtTheSymbolInstantsOnly) {
    auto imp = atsnr(30);
    imp.timingoffset = 0.6;
    const Result r = enginetest::measure(imp, 17);
    ASSERT_EQ(r.status, 0);
    auto spread = [&](std::size_t j) {  // RMS distance to the nearest level at point j
        double sq = 0;
        for (std::size_t t = 0; t < rl::kEyeTraces; ++t) {
            const double v = rl::eye(r.data(), t, j);
            const double level = std::clamp(2 * std::floor(v / 2) + 1, -7.0, 7.0);
            sq += (v - level) * (v - level);
        }
        return std::sqrt(sq / rl::kEyeTraces);
    };
    // Points 5 and 16 lie on symbols (t = 1 and 2), point 10 half way between them.
    EXPECT_LT(spread(5), 0.2);
    EXPECT_LT(spread(16), 0.2);
    EXPECT_GT(spread(10), 0.4);
    // The eye's symbol points are the constellation's levels: both at most +-7 plus noise.
    for (std::size_t t = 0; t < rl::kEyeTraces; ++t)
        EXPECT_LT(std::abs(rl::eye(r.data(), t, 5)), 8.0);
}

}  // namespace

// --- Echoes and the analyser's figures, on captures built independently of the engine ------

namespace figures {

using independentvsb::Echo;

Result measureindependent(const independentvsb::Options& o) {
    return enginetest::runmonitor(enginetest::captureblock(independentvsb::make(o).iq));
}

double measured(const Result& r, rl::Measure m) {
    return rl::measure(r.data(), m);
}

// The true amplitude response (dB, mean removed over +-2.5 MHz) against the measured one, RMS;
// and the true peak-to-peak over the whole +-3 MHz the flatness figure covers.
struct ResponseCheck {
    double rmsdb, truepkpk;
};
ResponseCheck checkresponse(const Result& r, const independentvsb::Options& o) {
    double sm = 0, st = 0, hi = -1e9, lo = 1e9;
    int n = 0;
    std::vector<double> m, t;
    for (std::size_t i = 0; i < rl::kResponsePoints; ++i) {
        const double f = rl::responsex(i);
        const double truth = 20 * std::log10(std::abs(independentvsb::channelresponse(o, f * 1e6)));
        hi = std::max(hi, truth), lo = std::min(lo, truth);
        if (std::abs(f) > 2.5) continue;
        m.push_back(rl::freqerror(r.data(), i)), t.push_back(truth);
        sm += m.back(), st += t.back(), ++n;
    }
    double sq = 0;
    for (std::size_t i = 0; i < m.size(); ++i) sq += std::pow(m[i] - sm / n - (t[i] - st / n), 2);
    return {std::sqrt(sq / n), hi - lo};
}

struct EchoCase {
    double db, us;
};

// One echo, as a combiner, line or filter reflects: the response, the flatness figure and the
// equalised MER read what the channel is, and the largest echo where and how strong it is.
TEST(EngineEchoes, StrongEchoesAreMeasuredAsTheChannelIs) {
    for (const EchoCase c :
         {EchoCase{-20, 10}, EchoCase{-20, 1}, EchoCase{-12, 4}, EchoCase{-10, 2}, EchoCase{-10, 1},
          EchoCase{-15, 0.6}, EchoCase{-6, 0.3}}) {
        for (const std::uint64_t seed : {3u, 4u}) {
            independentvsb::Options o;
            o.seed = seed;
            o.snrdb = 35;
            o.timing = 0.3;
            o.offsethz = 7e3;
            o.echoes = {Echo{c.db, c.us}};
            const Result r = measureindependent(o);
            const std::string what = std::to_string(c.db) + " dB at " + std::to_string(c.us);
            ASSERT_EQ(r.status, 0) << what;
            EXPECT_TRUE(enginetest::enginelocked(r)) << what;
            const auto check = checkresponse(r, o);
            EXPECT_LT(check.rmsdb, 0.5) << what;
            EXPECT_NEAR(rl::figure(r.data(), rl::FreqPkPk), check.truepkpk, 1.0) << what;
            EXPECT_NEAR(measured(r, rl::MerEqualisedDb), 35, 1.0) << what;
            // Nearer than the echo profile's main lobe (+-0.45 us) an echo shows only in the
            // response curves.
            if (c.us >= 0.6) {
                EXPECT_NEAR(measured(r, rl::LargestEchoDb), c.db, 1.0) << what;
                EXPECT_NEAR(measured(r, rl::LargestEchoUs), c.us, 0.05) << what;
            }
            // Without an equaliser the echo is interference: MER near its level below the path
            // (a near one also bends the path's own pulse, which costs more).
            if (c.us >= 0.6) {
                EXPECT_NEAR(measured(r, rl::MerUnequalisedDb), -c.db, 1.5) << what;
            }
        }
    }
    // The simulator's echo, through its own chain.
    auto imp = atsnr(35);
    imp.echoes = {vsb::Echo{-12, 4}};
    const Result sim = enginetest::measure(imp, 7);
    EXPECT_NEAR(sim.diagnostic(rl::MerDb), 35, 1.0);
    EXPECT_NEAR(measured(sim, rl::LargestEchoDb), -12, 1.0);
}

// Pilot, carrier and symbol clock as a transmitter's reference oscillator or pilot insertion
// would put them wrong.
TEST(EngineFigures, PilotCarrierAndSymbolClockErrors) {
    struct Case {
        double pilotscale, offsethz, ppm;
    };
    for (const Case c :
         {Case{1.0, 0, 0}, Case{0.8, 20e3, 3}, Case{1.25, -35e3, -10}, Case{1.0, 500, 1}}) {
        independentvsb::Options o;
        o.snrdb = 30;
        o.pilotscale = c.pilotscale;
        o.offsethz = c.offsethz;
        o.symbolrateppm = c.ppm;
        const Result r = measureindependent(o);
        ASSERT_TRUE(enginetest::enginelocked(r)) << c.ppm;
        EXPECT_NEAR(measured(r, rl::PilotLevelRelDb), 20 * std::log10(c.pilotscale), 0.1) << c.ppm;
        EXPECT_NEAR(measured(r, rl::CarrierFrequencyHz), c.offsethz, 5) << c.ppm;
        EXPECT_NEAR(measured(r, rl::SymbolRateErrorPpm), c.ppm, 0.5) << c.ppm;
        // The receiver does not follow the clock's drift through the capture: a few ppm of it
        // cost MER (about 2 dB at 3 ppm).
        if (std::abs(c.ppm) > 1) continue;
        EXPECT_NEAR(measured(r, rl::MerEqualisedDb), 30, 1.0) << c.ppm;
        EXPECT_NEAR(measured(r, rl::EvmPercent), 100 * std::pow(10, -30.0 / 20), 0.4) << c.ppm;
    }
}

}  // namespace figures

// --- What the exciter emits: both mask methods, spurs and the power's distribution ----------

namespace emission {

// The capture's instantaneous powers over their mean, from the sample block itself.
std::vector<double> powers(const std::vector<std::int32_t>& block) {
    constexpr std::size_t half = rl::kSampleCount / 4;  // samples in each half of the block
    std::vector<double> p;
    for (std::size_t n = 0; n < 2 * half; ++n) {
        const std::size_t base = n < half ? n : n + half;
        p.push_back(std::pow(double(block[base]), 2) + std::pow(double(block[base + half]), 2));
    }
    double mean = 0;
    for (const double v : p) mean += v / double(p.size());
    for (double& v : p) v /= mean;
    return p;
}

// Clean captures pass the mask by both methods whatever the shape of their noise, even noise
// white right up to the channel edge, whose first mask point lies 2 kHz beyond it; they hold no
// spur; their CCDF and peak-to-average ratio are those of their samples, and on average over
// captures at every timing phase the ideal 8-VSB curve.
TEST(EngineEmission, CleanCapturesPassBothMasksAndHoldNoSpurs) {
    struct Clean {
        std::vector<std::int32_t> block;
        double paprdb;  // the capture's own
        std::string what;
    };
    std::vector<Clean> captures;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) {
        independentvsb::Options o;
        o.seed = seed;
        o.snrdb = seed <= 40 ? 32 : 30;
        o.noisetoedge = seed <= 40;
        o.timing = std::fmod(0.37 * double(seed), 1.0);
        const auto c = independentvsb::make(o);
        captures.push_back({enginetest::captureblock(c.iq), c.paprdb,
                            (o.noisetoedge ? "to the edge " : "shaped ") + std::to_string(seed)});
    }
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        vsb::Generator generator(seed, atsnr(30));
        captures.push_back(
            {enginetest::captureblock(generator), NAN, "generator " + std::to_string(seed)});
    }
    std::vector<double> mean(rl::kCcdfPoints, 0.0), ideal(rl::kCcdfPoints, 0.0);
    int averaged = 0;
    for (const auto& c : captures) {
        const Result r = enginetest::runmonitor(c.block);
        ASSERT_TRUE(enginetest::enginelocked(r)) << c.what;
        EXPECT_LT(enginetest::worstmaskmargin(r), 0.0) << c.what;
        EXPECT_EQ(rl::measure(r.data(), rl::MaskIntegratedPass), 1.0) << c.what;
        EXPECT_GT(rl::measure(r.data(), rl::MaskIntegratedMarginDb), 10.0) << c.what;
        EXPECT_EQ(rl::measure(r.data(), rl::SpurCount), 0.0) << c.what;
        auto p = powers(c.block);
        for (std::size_t i = 0; i < rl::kCcdfPoints; ++i) {
            const double threshold = std::pow(10.0, rl::ccdfx(i) / 10);
            const auto above =
                std::count_if(p.begin(), p.end(), [&](double v) { return v > threshold; });
            // Within a sample: one whose power lies on a threshold may fall either side.
            ASSERT_NEAR(rl::ccdf(r.data(), i), double(above) / double(p.size()), 1.0 / 8192)
                << c.what << " at " << rl::ccdfx(i) << " dB";
        }
        std::nth_element(p.begin(), p.end() - 9, p.end());
        EXPECT_NEAR(rl::measure(r.data(), rl::PaprDb), 10 * std::log10(*(p.end() - 9)), 1e-6)
            << c.what;
        if (!std::isfinite(c.paprdb)) continue;
        EXPECT_NEAR(rl::measure(r.data(), rl::PaprDb), c.paprdb, 0.01) << c.what;
        for (std::size_t i = 0; i < rl::kCcdfPoints; ++i) {
            mean[i] += rl::ccdf(r.data(), i);
            ideal[i] = rl::ccdfideal(r.data(), i);
        }
        ++averaged;
    }
    for (std::size_t i = 0; i < rl::kCcdfPoints; ++i)
        EXPECT_NEAR(mean[i] / averaged, ideal[i], 0.003) << rl::ccdfx(i) << " dB";
}

// An exciter driven into compression, by its amplifier's non-linearity or by clipping, has
// lower peaks over its mean than a clean one of the same data.
TEST(EngineEmission, CompressionLowersThePeakToAverageRatio) {
    auto clean = atsnr(35), nonlinear = atsnr(35), clipped = atsnr(35);
    nonlinear.nonlinearity = 0.03;
    clipped.level = 0.9;
    for (const std::uint64_t seed : {5u, 6u}) {
        const double papr = rl::measure(enginetest::measure(clean, seed).data(), rl::PaprDb);
        for (const auto& imp : {nonlinear, clipped}) {
            const Result r = enginetest::measure(imp, seed);
            ASSERT_TRUE(enginetest::enginelocked(r)) << seed;
            EXPECT_LT(rl::measure(r.data(), rl::PaprDb), papr - 0.4) << imp.level << " " << seed;
        }
    }
}

}  // namespace emission

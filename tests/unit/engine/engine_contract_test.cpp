// The engine's contract: return codes, and finite results whatever it is fed.
#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "allocation_counter.h"
#include "dllexport.h"
#include "engine_fixture.h"
#include "monitor/finish.h"

namespace {

using enginetest::Result;
namespace rl = resultlayout;

std::vector<std::int32_t> blockof(std::int32_t value) {
    return std::vector<std::int32_t>(rl::kSampleCount, value);
}

TEST(EngineContract, RefusesNullBuffersAndSilence) {
    std::vector<std::uint8_t> results(rl::kBlockSize);
    const auto samples = blockof(100);
    EXPECT_NE(monitormain(nullptr, results.data(), 2000.0, 0, 0), 0);
    EXPECT_NE(monitormain(samples.data(), nullptr, 2000.0, 0, 0), 0);
    // Silence leaves the result block as it was: the windows keep their last plot.
    std::vector<std::uint8_t> untouched(rl::kBlockSize, 0x5a);
    const auto zeros = blockof(0);
    EXPECT_NE(monitormain(zeros.data(), untouched.data(), 2000.0, 0, 0), 0);
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(rl::kBlockSize, 0x5a));
}

// Inputs that hold no 8-VSB signal; the engine must still fill every region with finite numbers
// (the debug mode's plots move) and say that it did not lock.
struct Odd {
    const char* name;
    std::vector<std::int32_t> samples;
};

std::vector<Odd> oddinputs() {
    std::vector<Odd> cases;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> uniform(0, 15999);
    auto noise = blockof(0);
    for (auto& v : noise) v = 8000 - uniform(rng);  // what the debug mode feeds
    cases.push_back({"UniformNoise", noise});
    auto spike = blockof(0);
    spike[1234] = 32767;
    cases.push_back({"SingleSpike", spike});
    cases.push_back({"DcOnly", blockof(-32768)});
    auto clipped = blockof(0);
    for (std::size_t i = 0; i < clipped.size(); ++i) clipped[i] = (i / 3) % 2 ? 32767 : -32768;
    cases.push_back({"FullScaleSquare", clipped});
    auto huge = blockof(0);
    for (std::size_t i = 0; i < huge.size(); ++i) huge[i] = i % 2 ? INT32_MAX : INT32_MIN;
    cases.push_back({"Int32Extremes", huge});
    auto onelsb = blockof(0);
    onelsb[8192 + 17] = 1;
    cases.push_back({"OneLsbInSecondHalf", onelsb});
    std::normal_distribution<double> gauss(0, 3000);
    std::vector<double> iq(2 * vsb::kCaptureSamples);
    for (auto& v : iq) v = gauss(rng);
    cases.push_back({"GaussianNoise", enginetest::captureblock(iq)});
    // A CW in the channel, and one where the pilot belongs: a line but no symbols.
    for (const double hz : {1.0e6, double(vsb::kPilotOffset)}) {
        for (std::size_t n = 0; n < vsb::kCaptureSamples; ++n) {
            const double turn = 2 * std::numbers::pi * hz / vsb::kSymbolRate * double(n);
            iq[2 * n] = 10000 * std::cos(turn);
            iq[2 * n + 1] = 10000 * std::sin(turn);
        }
        cases.push_back({hz > 0 ? "CwInChannel" : "CwOnThePilot", enginetest::captureblock(iq)});
    }
    // Square waves, I = Q: a harmonic lands on the pilot, and the pilot, channel power, symbol
    // clock and level statistics all look like 8-VSB; only the segment sync tells them apart.
    for (const double cycles : {0.01, 0.05, 1.0 / 12}) {
        for (const double amplitude : {32767.0, 8192.0}) {
            for (std::size_t n = 0; n < vsb::kCaptureSamples; ++n) {
                const double v = std::fmod(cycles * double(n), 1.0) < 0.5 ? amplitude : -amplitude;
                iq[2 * n] = iq[2 * n + 1] = v;
            }
            cases.push_back({"Square", enginetest::captureblock(iq)});
        }
    }
    return cases;
}

TEST(EngineContract, OddInputsGiveFiniteResultsAndNoLock) {
    for (const auto& c : oddinputs()) {
        const Result r = enginetest::runmonitor(c.samples);
        EXPECT_EQ(r.status, 0) << c.name;
        EXPECT_TRUE(enginetest::allfinite(r)) << c.name;
        EXPECT_TRUE(rl::haslockarea(r.data())) << c.name;
        EXPECT_FALSE(rl::locked(r.data())) << c.name;
    }
}

// A value that is not finite fails the call instead of being plotted as 0, and none of it is
// left in the block.
TEST(EngineContract, NonFiniteValuesFailTheMeasurement) {
    std::vector<std::uint8_t> block(rl::kBlockSize);
    for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i)
        rl::write(block.data(), rl::kSpectrumOffset + 8 * i, -40.0);
    EXPECT_TRUE(monitor::scrub(block.data()));
    const auto clean = block;
    rl::write(block.data(), rl::kSpectrumOffset + 8 * 7, NAN);
    rl::write(block.data(), rl::kEyeOffset + 8 * 4399, -INFINITY);  // the last eye point
    rl::write(block.data(), rl::kDiagnosticsOffset, INFINITY);
    EXPECT_FALSE(monitor::scrub(block.data()));
    Result r;
    r.block = block;
    EXPECT_TRUE(enginetest::allfinite(r));
    rl::write(block.data(), rl::kSpectrumOffset + 8 * 7, -40.0);
    EXPECT_EQ(block, clean);
}

TEST(EngineContract, ClippedExciterStillDemodulates) {
    vsb::Impairments imp;
    imp.snrdb = 30;
    imp.level = 0.9;  // about a tenth of the samples clip
    const Result r = enginetest::measure(imp, 21);
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(enginetest::allfinite(r));
    const double mer = r.diagnostic(rl::MerDb);
    EXPECT_GT(mer, 5.0);
    EXPECT_LT(mer, 29.0);  // the clipping shows as lost MER
    EXPECT_TRUE(enginetest::enginelocked(r));
}

TEST(EngineContract, NoAllocationAfterTheFirstCall) {
    vsb::Impairments imp;
    imp.snrdb = 25;
    imp.gdripplens = 80;
    vsb::Generator generator(9, imp);
    const auto first = enginetest::captureblock(generator);
    const auto second = enginetest::captureblock(generator);
    std::vector<std::uint8_t> results(rl::kBlockSize);
    ASSERT_EQ(monitormain(first.data(), results.data(), 2000.0, 0, 0), 0);
    const long before = enginetest::allocationcount();
    ASSERT_EQ(monitormain(second.data(), results.data(), 2000.0, 0, 0), 0);
    EXPECT_EQ(enginetest::allocationcount(), before);
}

TEST(EngineContract, SameCaptureSameResult) {
    vsb::Impairments imp;
    imp.snrdb = 22;
    imp.carrieroffsethz = -8e3;
    vsb::Generator generator(4, imp);
    const auto samples = enginetest::captureblock(generator);
    const Result a = enginetest::runmonitor(samples);
    enginetest::runmonitor(enginetest::captureblock(generator));  // state must not carry over
    const Result b = enginetest::runmonitor(samples);
    EXPECT_EQ(a.block, b.block);
}

}  // namespace

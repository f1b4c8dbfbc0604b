#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/buffers.h"
#include "windowfixture.h"
#include "windows/formquality.h"

namespace {

using korvin::test::WindowTest;
using platform::kRed;
using platform::kWindowText;
using Q = TForm_quality;

class Quality : public WindowTest {
  protected:
    TForm_quality& open() { return openwindow<TForm_quality>(6); }
    // A locked capture's figures: every one within its limit but the carrier offset.
    void fillmeasures() {
        using namespace resultlayout;
        const std::pair<Measure, double> figures[] = {
            {PilotLevelRelDb, -0.234},
            {CarrierFrequencyHz, -1250.04},
            {SymbolRateErrorPpm, 2.8},
            {MerEqualisedDb, 27.0},
            {MerUnequalisedDb, 24.456},
            {EvmPercent, 3.21},
            {LargestEchoDb, -23.44},
            {LargestEchoUs, -2.3},
            {PaprDb, 6.3},
            {MaskIntegratedPass, 1},
            {MaskIntegratedMarginDb, 3.2},
            {MaskIntegratedWorstMHz, 3.01},
            {SpurCount, 7},
        };
        for (const auto& [m, v] : figures) setmeasure(m, v);
        for (std::size_t i = 0; i < 7; ++i) setspur(i, -4.5 + i, -50.24 - i);
        for (std::size_t i = 0; i < kEchoProfilePoints; ++i) setecho(i, -75);
        setecho(kEchoProfileHalf, 0);
        setecho(kEchoProfileHalf + 25, -23.44);
        setecho(kEchoProfileHalf + 26, NAN);
        for (std::size_t i = 0; i < kCcdfPoints; ++i) setccdf(i, i < 100 ? 0.01 : 0, 0.001);
    }
};

TEST_F(Quality, FiguresBesideTheirLimitsAndTheCurvesOfALockedCapture) {
    auto& w = open();
    EXPECT_EQ(w.caption(), "Signal Quality");
    EXPECT_TRUE(w.cht_echo.series().empty());
    EXPECT_TRUE(w.cht_ccdf.series().empty());
    EXPECT_EQ(w.lbl_merlimit.caption(), "\u2265 27 dB");

    fillmeasures();
    w.showdata(block.data());
    const std::pair<Q::Row, const char*> shown[] = {
        {Q::Pilot, "-0.23dB"},
        {Q::Carrier, "-1250.0Hz"},
        {Q::SymbolRate, "2.80ppm"},
        {Q::MerEqualised, "27.00dB"},
        {Q::MerUnequalised, "24.46dB"},
        {Q::Evm, "3.21%"},
        {Q::Echo, "-23.4dB at -2.30\u00b5s"},
        {Q::Papr, "6.30dB"},
        {Q::Mask, "Pass"},
        {Q::MaskMargin, "3.20dB at 3.01MHz"},
        {Q::Spurs, "7 (5 strongest)"},
    };
    for (const auto& [row, text] : shown) EXPECT_EQ(w.lbl_values[row].caption(), text) << row;
    // Only the carrier lies outside its limit; a figure on its limit is within it.
    for (std::size_t r = 0; r < Q::RowCount; ++r)
        EXPECT_EQ(w.lbl_values[r].fontcolor(), r == Q::Carrier ? kRed : kWindowText) << r;
    EXPECT_EQ(w.lbl_spurlines[0].caption(), "-4.50MHz  -50.2dBc");
    EXPECT_EQ(w.lbl_spurlines[4].caption(), "-0.50MHz  -54.2dBc");

    // The echo profile over +-11.9 us with nothing below the floor; the CCDF as log10 of the
    // probability, ending where the measured one reaches zero.
    const auto& echo = w.series_echo.points;
    ASSERT_EQ(echo.size(), resultlayout::kEchoProfilePoints - 1);
    EXPECT_NEAR(echo.front().x, -128 / 10.762238, 1e-12);
    EXPECT_EQ(echo.front().y, -60);
    EXPECT_EQ(echo[128].y, 0);
    EXPECT_NEAR(echo[153].x, 25 / 10.762238, 1e-12);
    EXPECT_EQ(echo[153].y, -23.44);
    ASSERT_EQ(w.series_ccdf.points.size(), 100u);
    EXPECT_DOUBLE_EQ(w.series_ccdf.points[99].x, 9.9);
    EXPECT_DOUBLE_EQ(w.series_ccdf.points[99].y, -2);
    ASSERT_EQ(w.series_ccdf_ideal.points.size(), resultlayout::kCcdfPoints);
    EXPECT_DOUBLE_EQ(w.series_ccdf_ideal.points.back().y, -3);

    // A failing integrated mask, in red with the margin below zero.
    setmeasure(resultlayout::MaskIntegratedPass, 0);
    setmeasure(resultlayout::MaskIntegratedMarginDb, -1.5);
    setmeasure(resultlayout::SpurCount, 0);
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_values[Q::Mask].caption(), "Fail");
    EXPECT_EQ(w.lbl_values[Q::Mask].fontcolor(), kRed);
    EXPECT_EQ(w.lbl_values[Q::MaskMargin].fontcolor(), kRed);
    EXPECT_EQ(w.lbl_values[Q::Spurs].caption(), "none");
    EXPECT_EQ(w.lbl_spurlines[0].caption(), "");
}

// Unlocked: no figure, no curve, no verdict. Locked by an engine without the measures area: a
// signal, but nothing measured.
TEST_F(Quality, NothingStandsWithoutALockedCaptureThatWasMeasured) {
    auto& w = open();
    fillmeasures();
    w.showdata(block.data());
    resultlayout::writelock(block.data(), resultlayout::LockReason::EyeClosed);
    w.showdata(block.data());
    for (std::size_t r = 0; r < Q::RowCount; ++r) {
        if (r == Q::Mask) continue;
        EXPECT_EQ(w.lbl_values[r].caption(), "--") << r;
    }
    EXPECT_EQ(w.lbl_values[Q::Mask].caption(), "No signal");
    EXPECT_EQ(w.lbl_values[Q::Mask].fontcolor(), kRed);
    EXPECT_EQ(w.lbl_values[Q::Carrier].fontcolor(), kWindowText);
    EXPECT_EQ(w.lbl_spurlines[0].caption(), "");
    EXPECT_TRUE(w.cht_echo.series().empty());
    EXPECT_TRUE(w.cht_ccdf.series().empty());

    resultlayout::writelock(block.data(), resultlayout::LockReason::Locked);
    std::fill_n(block.begin() + resultlayout::kMeasuresOffset, 8, 0);  // no marker
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_values[Q::Mask].caption(), "--");
    EXPECT_EQ(w.lbl_values[Q::Pilot].caption(), "--");
    EXPECT_TRUE(w.cht_ccdf.series().empty());
}

// Opened from its button on the headless link, the window's captures go out at exactly the
// moments the Spectrum window's do, each answered with a complete capture; a refused capture
// then keeps the last figures and curves but drops the verdict.
TEST_F(Quality, CapturesArePacedLikeTheSpectrumWindowsAndARefusalDropsTheVerdict) {
    const std::vector<std::uint8_t> request{0x80, 0x46, 0x0A, 0, 0x01, 0, 0, 0, 0xD1, 0x96};
    std::vector<std::int64_t> asked[2];
    for (int k = 0; k < 2; ++k) {
        start();
        connect();
        main->windowfactory = createmeasurewindow;
        main->measurebuttons()[k == 0 ? 3 : 5]->click();
        ASSERT_EQ(formkind(), k == 0 ? 4 : 6);
        const auto t0 = backend.clock.now();
        while (backend.clock.now() < t0 + 10000) {
            const std::size_t before = sock->sent.size();
            backend.clock.advance(10);
            if (sock->sent.size() == before || sock->sent.back() != request) continue;
            asked[k].push_back(backend.clock.now() - t0);
            for (std::uint8_t n = 1; n <= 32; ++n) sock->deliver(korvin::test::packet(32, n));
        }
    }
    EXPECT_GE(asked[1].size(), 4u);
    EXPECT_EQ(asked[0], asked[1]);

    auto* w = dynamic_cast<TForm_quality*>(main->openwindow());
    ASSERT_NE(w, nullptr);
    fillmeasures();
    w->showdata(block.data());
    ASSERT_TRUE(refusecapture());
    EXPECT_EQ(w->lbl_values[Q::Mask].caption(), "No signal");
    EXPECT_EQ(w->lbl_values[Q::Pilot].caption(), "-0.23dB");
    EXPECT_EQ(w->series_ccdf.points.size(), 100u);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/buffers.h"
#include "windowfixture.h"
#include "windows/formamp.h"
#include "windows/formspec.h"

namespace {

using korvin::test::exportcalls;
using korvin::test::WindowTest;
using platform::kRed;
using platform::kWindowText;

// Index whose test frequency (divisor 4096) is nearest to f.
std::size_t indexat(double f) {
    return static_cast<std::size_t>(std::lround((f + 5.38) * 4096 / 10.76));
}

class Spectrum : public WindowTest {
  protected:
    TForm_spec& open() { return openwindow<TForm_spec>(4); }
    // A quiet spectrum well below the mask, with one level set.
    bool passeswith(std::size_t i, double y) {
        for (std::size_t k = 0; k < resultlayout::kSpectrumPoints; ++k) setspectrum(k, -100);
        setspectrum(i, y);
        return windows::masktest(block.data());
    }
};

TEST_F(Spectrum, MaskIsDrawnAtCreationAndTheCurveSpansExactlyPlusMinus538) {
    auto& w = open();
    const std::vector<double> mask = {-75.9, -47, -47, -11, -11, -47, -47, -75.9};
    EXPECT_EQ(korvin::test::ys(w.series_std), mask);
    EXPECT_EQ(w.series_std.points[3].x, -3);
    EXPECT_EQ(w.series_std.title, "Standard");
    EXPECT_EQ(w.series_spect.title, "Measured");
    EXPECT_EQ(w.cht_spect.series().size(), 1u);
    EXPECT_EQ(w.lbl_mask.caption(), "--");

    for (std::size_t i = 0; i < resultlayout::kSpectrumPoints; ++i) setspectrum(i, -100);
    setspectrum(7, NAN);
    buffers().statusblock[1] = 41;
    const int before = w.cht_spect.repaints();
    w.showdata(block.data());
    EXPECT_EQ(w.cht_spect.repaints(), before + 1);
    EXPECT_EQ(w.lbl_snr.caption(), "20.5dB");  // readout refreshed from the status block
    ASSERT_EQ(w.series_spect.points.size(), 4095u);
    EXPECT_EQ(w.series_spect.points.front().x, -5.38);
    EXPECT_DOUBLE_EQ(w.series_spect.points.back().x, 5.38);
    EXPECT_EQ(w.cht_spect.series().size(), 2u);
    EXPECT_EQ(w.lbl_mask.caption(), "Fail");  // a level that is not a number was not measured
    EXPECT_EQ(w.lbl_mask.fontcolor(), kRed);
}

TEST_F(Spectrum, MaskLimits) {
    EXPECT_NEAR(windows::masklimit(-5.38), -68.7328, 1e-4);
    EXPECT_NEAR(windows::masklimit(5.38 * 2 * 4095 / 4096 - 5.38), -68.70, 0.01);
    EXPECT_EQ(windows::masklimit(-3.2), -47);
    EXPECT_EQ(windows::masklimit(3.2), -47);
    EXPECT_TRUE(std::isnan(windows::masklimit(0)));
    EXPECT_TRUE(std::isnan(windows::masklimit(-3.5)));
    EXPECT_TRUE(std::isnan(windows::masklimit(6)));
    EXPECT_NEAR(windows::masklimit(3.5), -47, 1e-9);
}

TEST_F(Spectrum, VerdictAtTheShoulderInBandAndOnTheFlanks) {
    const std::size_t shoulder = indexat(3.2);
    EXPECT_FALSE(passeswith(shoulder, -46.9));
    EXPECT_TRUE(passeswith(shoulder, -47.0));
    EXPECT_FALSE(passeswith(indexat(-3.2), -46.9));
    EXPECT_TRUE(passeswith(indexat(0), 0.0));
    EXPECT_TRUE(passeswith(indexat(2.99), 5.0));
    EXPECT_TRUE(passeswith(0, -68.8));
    EXPECT_FALSE(passeswith(0, -68.7));
    EXPECT_TRUE(passeswith(4095, -68.71));
    EXPECT_FALSE(passeswith(4095, -68.69));
    EXPECT_FALSE(passeswith(10, INFINITY));
    EXPECT_FALSE(passeswith(10, NAN));
    EXPECT_FALSE(passeswith(indexat(0), NAN));  // in-band too: no limit does not excuse it
    EXPECT_FALSE(passeswith(indexat(0), -INFINITY));
    // The worst margin agrees with the verdict: 0.1 dB over the shoulder, or no number at all.
    passeswith(indexat(3.2), -46.9);
    EXPECT_NEAR(verdicts::maskmargin(block.data()), -0.1, 1e-9);
    passeswith(indexat(0), NAN);
    EXPECT_EQ(verdicts::maskmargin(block.data()), -INFINITY);
}

TEST_F(Spectrum, LabelTurnsRedOnFailAndBack) {
    auto& w = open();
    EXPECT_EQ(w.lbl_mer.caption(), "--");  // nothing measured yet
    passeswith(indexat(3.2), -40);
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_mask.caption(), "Fail");
    EXPECT_EQ(w.lbl_mask.fontcolor(), kRed);
    passeswith(indexat(3.2), -50);
    resultlayout::write(block.data(), resultlayout::kDiagnosticsOffset + 8 * resultlayout::MerDb,
                        31.456);
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_mask.caption(), "Pass");
    EXPECT_EQ(w.lbl_mask.fontcolor(), kWindowText);
    EXPECT_EQ(w.lbl_mercaption.caption(), "MER = ");
    EXPECT_EQ(w.lbl_mer.caption(), "31.46dB");  // the engine's own, beside the exciter's SNR

    // A capture the engine could not lock: plotted, but neither Pass nor Fail, and no MER.
    for (double level : {-50.0, -40.0}) {
        passeswith(indexat(3.2), level);
        resultlayout::writelock(block.data(), resultlayout::LockReason::NoPilot);
        w.showdata(block.data());
        EXPECT_EQ(w.lbl_mask.caption(), "No signal");
        EXPECT_EQ(w.lbl_mask.fontcolor(), kRed);
        EXPECT_EQ(w.lbl_mer.caption(), "No signal");
        EXPECT_EQ(w.series_spect.points.size(), 4096u);
    }
    resultlayout::writelock(block.data(), resultlayout::LockReason::Locked);
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_mask.caption(), "Fail");
}

// The worst margin is the verdict's own, and its marker sits on the plotted curve at that point:
// 7 dB over the shoulder, then 7.21 dB of room on the lower flank near -4 MHz (the point is
// tested at -4.0009 MHz, where the limit is -52.79 dB).
TEST_F(Spectrum, TheWorstMarginIsShownAndMarkedWhereTheVerdictFindsIt) {
    auto& w = open();
    EXPECT_EQ(w.lbl_margin.caption(), "--");
    EXPECT_FALSE(w.cht_spect.attached(w.series_worst));
    struct Case {
        double f, level;
        const char* text;
        platform::Color color;
    };
    const Case cases[] = {{3.2, -40, "-7.00dB at 3.20MHz", kRed},
                          {-4.0, -60, "7.21dB at -4.00MHz", kWindowText}};
    for (const Case& c : cases) {
        const std::size_t i = indexat(c.f);
        passeswith(i, c.level);
        w.showdata(block.data());
        EXPECT_EQ(w.lbl_margin.caption(), c.text);
        EXPECT_EQ(w.lbl_margin.fontcolor(), c.color);
        EXPECT_NEAR(windows::maskworstpoint(block.data()).margindb,
                    verdicts::maskmargin(block.data()), 1e-12);
        ASSERT_EQ(w.series_worst.points.size(), 1u);
        EXPECT_EQ(w.series_worst.points[0].x, resultlayout::spectrumx(i));
        EXPECT_EQ(w.series_worst.points[0].y, c.level);
        EXPECT_TRUE(w.cht_spect.attached(w.series_worst));
    }
    // No margin is measured on a capture the engine could not lock.
    resultlayout::writelock(block.data(), resultlayout::LockReason::NoPilot);
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_margin.caption(), "--");
    EXPECT_FALSE(w.cht_spect.attached(w.series_worst));
}

TEST_F(Spectrum, ARefusedCaptureKeepsThePlotButDropsTheVerdict) {
    auto& w = open();
    connect();
    passeswith(indexat(3.2), -50);
    w.showdata(block.data());
    ASSERT_EQ(w.lbl_mask.caption(), "Pass");
    const int repaints = w.cht_spect.repaints();
    ASSERT_TRUE(refusecapture());
    ASSERT_TRUE(refusecapture());
    EXPECT_EQ(w.lbl_mask.caption(), "No signal");
    EXPECT_EQ(w.lbl_mask.fontcolor(), kRed);
    EXPECT_EQ(w.lbl_mer.caption(), "No signal");
    EXPECT_EQ(w.lbl_mer.fontcolor(), kRed);
    EXPECT_EQ(w.cht_spect.repaints(), repaints);
    EXPECT_EQ(w.series_spect.points.size(), 4096u);
    const auto lines = loglines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "No 8-VSB signal in the capture!"), 1);
}

class Amplitude : public WindowTest {
  protected:
    TForm_amp& open() { return openwindow<TForm_amp>(3); }
    void fill(double freq, double group) {
        for (std::size_t i = 0; i < resultlayout::kResponsePoints; ++i) {
            setfreq(i, freq);
            setgroup(i, group);
        }
    }
};

TEST_F(Amplitude, MasksPlaceholdersAndSeriesAtCreation) {
    auto& w = open();
    EXPECT_EQ(korvin::test::ys(w.series_freq_high), (std::vector<double>{0.5, 0.5}));
    EXPECT_EQ(korvin::test::ys(w.series_freq_low), (std::vector<double>{-0.5, -0.5}));
    EXPECT_EQ(korvin::test::ys(w.series_group_high), (std::vector<double>{52, 52}));
    EXPECT_EQ(korvin::test::ys(w.series_group_low), (std::vector<double>{-52, -52}));
    EXPECT_EQ(w.series_freq_low.pencolor, platform::kFuchsia);
    EXPECT_EQ(w.cht_freq.series().size(), 2u);
    EXPECT_FALSE(w.cht_freq.topvisible);
    EXPECT_EQ(w.lbl_freq_min_level.caption(), "--");
    EXPECT_EQ(w.lbl_group_pk.caption(), "--");
    EXPECT_EQ(w.lbl_group_mask.caption(), "--");
    std::vector<std::string> items;
    for (auto* i : w.pm1.items) items.push_back(i->caption);
    EXPECT_EQ(items, (std::vector<std::string>{"Save Freq", "Save Group", "Save Both"}));
}

TEST_F(Amplitude, VerdictsComeFromThePlottedCurvesOnly) {
    auto& w = open();
    struct Case {
        double freq, group;
        bool freqpass, grouppass;
    };
    const Case cases[] = {
        {0.5, 52, true, true},          {-0.5, -52, true, true},
        {0.5001, 0, false, true},       {0, -52.01, true, false},
        {NAN, NAN, false, false},       {INFINITY, -INFINITY, false, false},
        {-INFINITY, NAN, false, false}, {0, 0, true, true},
    };
    for (const Case& c : cases) {
        fill(0, 0);
        setfreq(1000, c.freq);
        setgroup(2047, c.group);
        setfigure(resultlayout::FreqPkPk, 9.0);  // figures do not decide
        w.showdata(block.data());
        EXPECT_EQ(w.lbl_freq_mask.caption(), c.freqpass ? "Pass" : "Fail") << c.freq;
        EXPECT_EQ(w.lbl_freq_mask.fontcolor(), c.freqpass ? kWindowText : kRed);
        EXPECT_EQ(w.lbl_group_mask.caption(), c.grouppass ? "Pass" : "Fail") << c.group;
        EXPECT_EQ(w.lbl_group_mask.fontcolor(), c.grouppass ? kWindowText : kRed);
    }
    EXPECT_EQ(w.series_freq.points.size(), 2048u);
    EXPECT_EQ(w.series_freq.points.front().x, -3);
    EXPECT_EQ(w.series_group.points.back().x, -3 + 6.0 * 2047 / 2048);
}

TEST_F(Amplitude, FiguresAreFormattedAsDelivered) {
    auto& w = open();
    fill(0, 0);
    const double v[10] = {-2.456, 0.134, 2.6, -0.151, 0.285, -2.5, 4.0, 2.2, -2.94, 6.94};
    for (std::size_t f = 0; f < 10; ++f) setfigure(static_cast<resultlayout::Figure>(f), v[f]);
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_freq_max_freq.caption(), "-2.46");
    EXPECT_EQ(w.lbl_freq_max_level.caption(), "0.13dB");
    EXPECT_EQ(w.lbl_freq_min_level.caption(), "-0.15dB");
    EXPECT_EQ(w.lbl_freq_pk.caption(), "0.28dB");  // 0.285 is just below in binary
    EXPECT_EQ(w.lbl_group_max_level.caption(), "4.00ns");
    EXPECT_EQ(w.lbl_group_min_freq.caption(), "2.20");
    EXPECT_EQ(w.lbl_group_pk.caption(), "6.94ns");
    // What the figures column cannot show sensibly reads "--"; a zero has no sign.
    const std::pair<double, std::string> odd[] = {
        {1e300, "--"},      {NAN, "--"},      {-INFINITY, "--"},   {-1e4, "--"},
        {-0.004, "0.00ns"}, {-0.0, "0.00ns"}, {-0.005, "-0.01ns"}, {9999.994, "9999.99ns"},
    };
    for (const auto& [value, text] : odd) {
        setfigure(resultlayout::GroupPkPk, value);
        w.showdata(block.data());
        EXPECT_EQ(w.lbl_group_pk.caption(), text) << value;
    }
    EXPECT_EQ(w.series_freq.points.size(), 2048u);
}

TEST_F(Amplitude, AnUnlockedCaptureIsPlottedButNotMeasured) {
    auto& w = open();
    fill(0.7, 0);
    for (std::size_t f = 0; f < 10; ++f) setfigure(static_cast<resultlayout::Figure>(f), 1.5);
    resultlayout::writelock(block.data(), resultlayout::LockReason::EyeClosed);
    w.showdata(block.data());
    EXPECT_EQ(w.series_freq.points.size(), 2048u);
    EXPECT_EQ(w.series_freq.points.front().y, 0.7);
    for (const platform::Label* l : {&w.lbl_freq_mask, &w.lbl_group_mask}) {
        EXPECT_EQ(l->caption(), "No signal");
        EXPECT_EQ(l->fontcolor(), kRed);
    }
    for (const platform::Label* l :
         {&w.lbl_freq_max_freq, &w.lbl_freq_max_level, &w.lbl_freq_min_freq, &w.lbl_freq_min_level,
          &w.lbl_freq_pk, &w.lbl_group_max_freq, &w.lbl_group_max_level, &w.lbl_group_min_freq,
          &w.lbl_group_min_level, &w.lbl_group_pk})
        EXPECT_EQ(l->caption(), "--") << l->name();

    resultlayout::writelock(block.data(), resultlayout::LockReason::Locked);
    w.showdata(block.data());
    EXPECT_EQ(w.lbl_freq_mask.caption(), "Fail");
    EXPECT_EQ(w.lbl_group_mask.caption(), "Pass");
    EXPECT_EQ(w.lbl_group_pk.caption(), "1.50ns");
}

TEST_F(Amplitude, ARefusedCaptureDropsBothVerdictsButKeepsThePlotAndFigures) {
    auto& w = open();
    connect();
    fill(0, 0);
    setfigure(resultlayout::GroupPkPk, 6.94);
    w.showdata(block.data());
    ASSERT_EQ(w.lbl_freq_mask.caption(), "Pass");
    ASSERT_TRUE(refusecapture());
    for (const platform::Label* l : {&w.lbl_freq_mask, &w.lbl_group_mask}) {
        EXPECT_EQ(l->caption(), "No signal");
        EXPECT_EQ(l->fontcolor(), kRed);
    }
    EXPECT_EQ(w.lbl_group_pk.caption(), "6.94ns");
    EXPECT_EQ(w.series_group.points.size(), 2048u);
}

TEST_F(Amplitude, SaveBothNamesAndFolder) {
    auto& w = open();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"run1.jpg", "run1"}, {"run1", "run1"}, {"run1.old.jpg", "run1.old"}};
    for (const auto& [chosen, base] : cases) {
        exportcalls().clear();
        backend.desk.savechoices.push_back(path(chosen));
        w.mni_SaveBoth.click();
        ASSERT_EQ(exportcalls().size(), 2u);
        EXPECT_EQ(exportcalls()[0].file, path(base + "_freq.jpg"));
        EXPECT_EQ(exportcalls()[0].chart, &w.cht_freq);
        EXPECT_EQ(exportcalls()[1].file, path(base + "_group.jpg"));
        EXPECT_EQ(exportcalls()[1].chart, &w.cht_group);
        EXPECT_TRUE(std::filesystem::exists(path(base + "_group.jpg")));
    }
    EXPECT_NE(std::filesystem::current_path(), folder());

    exportcalls().clear();
    backend.desk.savechoices.push_back(path("plot.png"));
    w.mni_SaveGroup.click();
    ASSERT_EQ(exportcalls().size(), 1u);
    EXPECT_EQ(exportcalls()[0].chart, &w.cht_group);
    EXPECT_EQ(exportcalls()[0].file, path("plot.jpg"));

    exportcalls().clear();
    backend.desk.savechoices.push_back(path("gone/run1"));
    w.mni_SaveBoth.click();
    EXPECT_EQ(exportcalls().size(), 1u);  // the first failure ends it
    ASSERT_EQ(backend.desk.errorboxes().size(), 1u);
    EXPECT_NE(backend.desk.errorboxes()[0].find("gone/run1_freq.jpg: No such file"),
              std::string::npos);
}

}  // namespace

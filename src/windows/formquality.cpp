#include "windows/formquality.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "windows/plotvalue.h"

namespace {

namespace rl = resultlayout;

constexpr double kCarrierLimitHz = 1000;
constexpr double kSymbolRateLimitPpm = 2.8;  // 30 Hz of 10.762238 MHz
constexpr double kEchoFloorDb = -60;
constexpr double kCcdfFloor = -4;  // log10 of the lowest probability drawn

// Table columns and rows, in client pixels.
constexpr int kCaptionLeft = 32;
constexpr int kValueLeft = 168;
constexpr int kLimitLeft = 254;
constexpr int kHeadingTop = 232;
constexpr int kFirstRowTop = 254;
constexpr int kRowPitch = 21;

constexpr const char* kRowCaptions[TForm_quality::RowCount] = {
    "Pilot rel. Nominal", "Carrier Offset", "Symbol Rate Error",
    "MER after EQ",       "MER before EQ",  "EVM",
    "Largest Echo",       "PAPR at 0.1 %",  "Integrated Mask",
    "Worst Margin",       "Spurs"};

int rowtop(std::size_t row) {
    return kFirstRowTop + kRowPitch * static_cast<int>(row);
}

std::string figureat(double v, const char* unit, int decimals, double at, const char* atunit) {
    const std::string value = windows::figuretext(v, unit, decimals);
    const std::string where = windows::figuretext(at, atunit);
    if (value == windows::kNotMeasured || where == windows::kNotMeasured)
        return windows::kNotMeasured;
    return value + " at " + where;
}

}  // namespace

TForm_quality::TForm_quality(windows::WindowHost& host)
    : MeasureFrame("TForm_quality", "Signal Quality", host) {
    setupcharts();
    layouttable();
    mni_SaveEcho.onclick = mni_SaveCcdf.onclick =
        mni_SaveBoth.onclick = [this](platform::MenuItem& item) { mbtn_saveClick(item); };
    pm1.items = {&mni_SaveEcho, &mni_SaveCcdf, &mni_SaveBoth};
    mbtn_save.dropdown = &pm1;
    addsavecontrol(mbtn_save);
    startdebugtimer();
}

void TForm_quality::setupcharts() {
    cht_echo.setbounds(324, 84, 660, 250);
    cht_echo.title = "Echo Profile";
    cht_echo.bottom = {"Delay (\u00b5s)", -11.9, 11.9, 2, 1, true};
    cht_echo.left = {"dB rel. main path", kEchoFloorDb, 5, 10, 1, true};
    series_echo.title = "Measured";
    series_echo.color = series_echo.pencolor = platform::kBlue;
    series_echo.penwidth = 1;
    cht_ccdf.setbounds(324, 334, 660, 250);
    cht_ccdf.title = "CCDF of the Signal Power";
    cht_ccdf.legend = true;
    cht_ccdf.bottom = {"dB above mean power", 0, 12, 1, 1, true};
    cht_ccdf.left = {"log10(P)", kCcdfFloor, 0, 1, 1, true};
    series_ccdf_ideal.title = "Ideal 8-VSB";
    series_ccdf_ideal.defaultcolor = true;
    series_ccdf.title = "Measured";
    series_ccdf.color = series_ccdf.pencolor = platform::kBlue;
    add({&cht_echo, &cht_ccdf});
}

void TForm_quality::layouttable() {
    lbl_valueheading.setbounds(kValueLeft, kHeadingTop, 80, 16);
    lbl_valueheading.setcaption("Measured");
    lbl_limitheading.setbounds(kLimitLeft, kHeadingTop, 66, 16);
    lbl_limitheading.setcaption("Limit");
    add({&lbl_valueheading, &lbl_limitheading});
    for (std::size_t r = 0; r < RowCount; ++r) {
        lbl_rows[r].setbounds(kCaptionLeft, rowtop(r), kValueLeft - kCaptionLeft, 16);
        lbl_rows[r].setcaption(kRowCaptions[r]);
        // A figure given with where it was found takes the limit column too: it has no limit.
        const bool wide = r == Echo || r == MaskMargin || r == Spurs;
        lbl_values[r].setbounds(kValueLeft, rowtop(r), wide ? 152 : kLimitLeft - kValueLeft, 16);
        add({&lbl_rows[r], &lbl_values[r]});
    }
    const struct {
        platform::Label& label;
        Row row;
        const char* text;
    } limits[] = {{lbl_carrierlimit, Carrier, "\u00b11 kHz"},
                  {lbl_symbolratelimit, SymbolRate, "\u00b12.8 ppm"},
                  {lbl_merlimit, MerEqualised, "\u2265 27 dB"}};
    for (const auto& l : limits) {
        l.label.setbounds(kLimitLeft, rowtop(l.row), 66, 16);
        l.label.setcaption(l.text);
        add(l.label);
    }
    for (std::size_t i = 0; i < kSpurLines; ++i) {
        lbl_spurlines[i].setbounds(kValueLeft, rowtop(Spurs) + kRowPitch * static_cast<int>(i + 1),
                                   152, 16);
        add(lbl_spurlines[i]);
    }
    clearfigures(false);
}

void TForm_quality::showdata(const std::uint8_t* block) {
    if (!block) return;
    refreshreadout();
    if (!rl::locked(block)) {
        clearfigures(true);
    } else if (!rl::hasmeasures(block)) {
        clearfigures(false);  // an engine without the analyser's figures: a signal, not measured
    } else {
        plotcurves(block);
        showfigures(block);
    }
    cht_echo.repaint();
    cht_ccdf.repaint();
}

// The figures and curves stay: they describe the last capture measured.
void TForm_quality::shownosignal() {
    MeasureFrame::shownosignal();
    windows::setnosignal(lbl_values[Mask]);
}

void TForm_quality::clearfigures(bool nosignal) {
    for (platform::Label& l : lbl_values) {
        l.setcaption(windows::kNotMeasured);
        l.setfontcolor(platform::kWindowText);
    }
    for (platform::Label& l : lbl_spurlines) l.setcaption("");
    if (nosignal) windows::setnosignal(lbl_values[Mask]);
    for (platform::Series* s : {&series_echo, &series_ccdf_ideal, &series_ccdf}) s->clear();
    cht_echo.detach(series_echo);
    cht_ccdf.detach(series_ccdf_ideal);
    cht_ccdf.detach(series_ccdf);
}

void TForm_quality::plotcurves(const std::uint8_t* block) {
    series_echo.clear();
    for (std::size_t i = 0; i < rl::kEchoProfilePoints; ++i) {
        double y = rl::echoprofile(block, i);
        if (std::isnan(y)) continue;
        y = std::max(y, kEchoFloorDb);  // no echo at all sits on the floor
        if (windows::plotvalue(y)) series_echo.add(rl::echoprofilex(i), y);
    }
    cht_echo.attach(series_echo);
    // Probabilities drawn as their logarithm; a probability of zero has none and ends the curve.
    const struct {
        platform::Series& series;
        double (*read)(const std::uint8_t*, std::size_t);
    } ccdfs[] = {{series_ccdf_ideal, rl::ccdfideal}, {series_ccdf, rl::ccdf}};
    for (const auto& c : ccdfs) {
        c.series.clear();
        for (std::size_t i = 0; i < rl::kCcdfPoints; ++i) {
            const double p = c.read(block, i);
            double y = p > 0 ? std::log10(p) : NAN;
            if (windows::plotvalue(y)) c.series.add(rl::ccdfx(i), y);
        }
        cht_ccdf.attach(c.series);
    }
}

void TForm_quality::showlimited(Row row, double v, const char* unit, int decimals, bool within) {
    platform::Label& l = lbl_values[row];
    l.setcaption(windows::figuretext(v, unit, decimals, 1e6));
    // A figure that is not a number is outside every limit, but "--" in red would claim one.
    const bool shown = l.caption() != windows::kNotMeasured;
    l.setfontcolor(shown && !within ? platform::kRed : platform::kWindowText);
}

void TForm_quality::showfigures(const std::uint8_t* block) {
    const auto m = [block](rl::Measure k) { return rl::measure(block, k); };
    lbl_values[Pilot].setcaption(windows::figuretext(m(rl::PilotLevelRelDb), "dB"));
    const double hz = m(rl::CarrierFrequencyHz);
    showlimited(Carrier, hz, "Hz", 1, std::fabs(hz) <= kCarrierLimitHz);
    const double ppm = m(rl::SymbolRateErrorPpm);
    showlimited(SymbolRate, ppm, "ppm", 2, std::fabs(ppm) <= kSymbolRateLimitPpm);
    const double mer = m(rl::MerEqualisedDb);
    showlimited(MerEqualised, mer, "dB", 2, mer >= windows::kSnrStandardDb);
    lbl_values[MerUnequalised].setcaption(windows::figuretext(m(rl::MerUnequalisedDb), "dB"));
    lbl_values[Evm].setcaption(windows::figuretext(m(rl::EvmPercent), "%"));
    lbl_values[Echo].setcaption(
        figureat(m(rl::LargestEchoDb), "dB", 1, m(rl::LargestEchoUs), "\u00b5s"));
    lbl_values[Papr].setcaption(windows::figuretext(m(rl::PaprDb), "dB"));
    windows::setverdict(lbl_values[Mask], m(rl::MaskIntegratedPass) == 1.0);
    const double margin = m(rl::MaskIntegratedMarginDb);
    lbl_values[MaskMargin].setcaption(
        figureat(margin, "dB", 2, m(rl::MaskIntegratedWorstMHz), "MHz"));
    lbl_values[MaskMargin].setfontcolor(margin < 0 ? platform::kRed : platform::kWindowText);
    showspurs(block);
}

void TForm_quality::showspurs(const std::uint8_t* block) {
    const double count = rl::measure(block, rl::SpurCount);
    // A count the area cannot hold is no count.
    const bool valid =
        count >= 0 && count <= static_cast<double>(rl::kMaxSpurs) && count == std::floor(count);
    const std::size_t n = valid ? static_cast<std::size_t>(count) : 0;
    std::string text = !valid ? windows::kNotMeasured : n == 0 ? "none" : std::to_string(n);
    if (n > kSpurLines) text += " (" + std::to_string(kSpurLines) + " strongest)";
    lbl_values[Spurs].setcaption(text);
    for (std::size_t i = 0; i < kSpurLines; ++i) {
        std::string line;
        if (i < n)
            line = windows::figuretext(rl::spurmhz(block, i), "MHz") + "  " +
                   windows::figuretext(rl::spurdbc(block, i), "dBc", 1);
        lbl_spurlines[i].setcaption(line);
    }
}

void TForm_quality::mbtn_saveClick(platform::MenuItem& item) {
    if (&item == &mni_SaveEcho) savechart(cht_echo);
    if (&item == &mni_SaveCcdf) savechart(cht_ccdf);
    if (&item == &mni_SaveBoth) savebothcharts(cht_echo, "_echo.jpg", cht_ccdf, "_ccdf.jpg");
}

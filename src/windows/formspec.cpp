#include "windows/formspec.h"

#include <cmath>

#include "engine/resultlayout.h"
#include "engine/verdicts.h"
#include "windows/plotvalue.h"

namespace {
// The drawn mask, in drawing order.
constexpr platform::PointF kMask[] = {{-6, -75.9}, {-3.5, -47}, {-3, -47},  {-3, -11},
                                      {3, -11},    {3, -47},    {3.5, -47}, {6, -75.9}};
}  // namespace

TForm_spec::TForm_spec(windows::WindowHost& host) : MeasureFrame("TForm_spec", "Spectrum", host) {
    cht_spect.setbounds(234, 84, 750, 500);
    cht_spect.title = "Spectrum";
    cht_spect.legend = true;
    cht_spect.bottom = {"MHz", -6, 6, 2, 1, true};
    cht_spect.left = {"dB", -90, 10, 10, 1, true};
    series_std.title = "Standard";
    series_std.defaultcolor = true;
    series_spect.title = "Measured";
    series_spect.color = series_spect.pencolor = platform::kBlue;
    series_worst.title = "Worst margin";
    series_worst.color = series_worst.pencolor = platform::kFuchsia;
    series_worst.markersize = 11;
    // Wide enough for the caption in the common sans-serif fonts; the verdict, "No signal" the
    // longest, still ends before the chart's frame.
    lbl_maskcaption.setbounds(30, 240, 163, 16);
    lbl_maskcaption.setcaption("Adjacent Channel Mask Test:");
    lbl_mask.setbounds(193, 240, 41, 16);
    lbl_mask.setcaption(windows::kNotMeasured);
    lbl_margincaption.setbounds(30, 262, 80, 16);
    lbl_margincaption.setcaption("Worst Margin:");
    lbl_margin.setbounds(112, 262, 122, 16);
    lbl_margin.setcaption(windows::kNotMeasured);
    add({&cht_spect, &lbl_maskcaption, &lbl_mask, &lbl_margincaption, &lbl_margin});
    btn_save.onclick = [this] { btn_saveClick(); };
    addsavecontrol(btn_save);

    series_std.clear();
    for (const auto& p : kMask) series_std.add(p.x, p.y);
    cht_spect.attach(series_std);
    cht_spect.repaint();
    addmerreadout();
    startdebugtimer();
}

void TForm_spec::showdata(const std::uint8_t* block) {
    if (!block) return;
    auto& points = series_spect.points;
    points.clear();
    for (std::size_t i = 0; i < resultlayout::kSpectrumPoints; ++i) {
        double y = resultlayout::spectrum(block, i);
        if (windows::plotvalue(y)) points.push_back({resultlayout::spectrumx(i), y});
    }
    cht_spect.attach(series_spect);
    refreshreadout();
    showmask(block);
    showmer(block);
    cht_spect.repaint();
}

void TForm_spec::showmask(const std::uint8_t* block) {
    // A capture the engine could not lock is plotted, but judged by no mask and measured by no
    // margin.
    if (!resultlayout::locked(block)) {
        shownosignal();
        return showmargin(nullptr);
    }
    windows::setverdict(lbl_mask, windows::masktest(block));
    showmargin(block);
}

void TForm_spec::showmargin(const std::uint8_t* block) {
    series_worst.clear();
    lbl_margin.setcaption(windows::kNotMeasured);
    lbl_margin.setfontcolor(platform::kWindowText);
    cht_spect.detach(series_worst);
    if (!block) return;
    const windows::WorstPoint w = windows::maskworstpoint(block);
    double y = resultlayout::spectrum(block, w.index);
    if (!std::isfinite(w.margindb) || !windows::plotvalue(y)) return;
    const double mhz = resultlayout::spectrumx(w.index);
    lbl_margin.setcaption(windows::figuretext(w.margindb, "dB") + " at " +
                          windows::figuretext(mhz, "MHz"));
    if (w.margindb < 0) lbl_margin.setfontcolor(platform::kRed);
    series_worst.add(mhz, y);
    cht_spect.attach(series_worst);
}

// The plot and its worst margin stay: they describe the capture still shown.
void TForm_spec::shownosignal() {
    MeasureFrame::shownosignal();
    windows::setnosignal(lbl_mask);
}

#include "windows/formamp.h"

#include <cmath>
#include <vector>

#include "engine/resultlayout.h"
#include "engine/verdicts.h"
#include "platform/backend.h"
#include "windows/plotvalue.h"

namespace {

constexpr double kFreqBound = verdicts::kFlatnessBound;
constexpr double kGroupBound = verdicts::kGroupBound;

// Fills `s` with one response curve.
void plotresponse(platform::Series& s, const std::uint8_t* block,
                  double (*read)(const std::uint8_t*, std::size_t)) {
    s.points.clear();
    for (std::size_t i = 0; i < resultlayout::kResponsePoints; ++i) {
        double y = read(block, i);
        if (windows::plotvalue(y)) s.points.push_back({resultlayout::responsex(i), y});
    }
}

void setupmask(platform::Series& high, platform::Series& low, platform::Series& measured) {
    high.title = "Max";
    high.defaultcolor = true;
    low.title = "Min";
    low.color = low.pencolor = platform::kFuchsia;
    measured.title = "Measured";
    measured.color = measured.pencolor = platform::kBlue;
}

void drawbounds(platform::Chart& c, platform::Series& high, platform::Series& low, double b) {
    high.clear();
    high.add(-3, b);
    high.add(3, b);
    low.clear();
    low.add(-3, -b);
    low.add(3, -b);
    c.attach(high);
    c.attach(low);
    c.repaint();
}

}  // namespace

TForm_amp::TForm_amp(windows::WindowHost& host)
    : MeasureFrame("TForm_amp", "Amplitude Flatness and Group Delay", host) {
    setupcharts();
    layoutfigures();
    mni_SaveFreq.onclick = mni_SaveGroup.onclick =
        mni_SaveBoth.onclick = [this](platform::MenuItem& item) { mbtn_saveClick(item); };
    pm1.items = {&mni_SaveFreq, &mni_SaveGroup, &mni_SaveBoth};
    mbtn_save.dropdown = &pm1;
    addsavecontrol(mbtn_save);
    drawmask();
    addmerreadout(19);  // the figures' column headings start 37 pixels below the last line
    startdebugtimer();
}

void TForm_amp::setupcharts() {
    cht_freq.setbounds(324, 84, 660, 250);
    cht_freq.title = "Frequency Response Error";
    cht_freq.legend = true;
    cht_freq.topvisible = false;
    cht_freq.bottom = {"MHz", -3, 3, 1, 1, true};
    cht_freq.left = {"dB", -0.55, 0.55, 0.1, 1, true};
    setupmask(series_freq_high, series_freq_low, series_freq);
    cht_group.setbounds(324, 334, 660, 250);
    cht_group.title = "Group Delay Error";
    cht_group.legend = true;
    cht_group.bottom = {"MHz", -3, 3, 1, 1, true};
    cht_group.left = {"ns", -60, 60, 20, 1, true};
    setupmask(series_group_high, series_group_low, series_group);
    add({&cht_freq, &cht_group});
}

void TForm_amp::layoutfigures() {
    static constexpr int kRowTops[8] = {260, 290, 321, 351, 382, 412, 466, 498};
    static constexpr const char* kRowCaptions[8] = {"Freq Resp Max",
                                                    "Freq Resp Min",
                                                    "Freq Resp Pk-Pk",
                                                    "Group Delay Max",
                                                    "Group Delay Min",
                                                    "Group Delay Pk-Pk",
                                                    "Frequency Response Mask Test:",
                                                    "Group Delay Mask Test:"};
    lbl_freqheading.setbounds(156, 232, 70, 16);
    lbl_freqheading.setcaption("Freq(MHz)");
    lbl_levelheading.setbounds(236, 232, 70, 16);
    lbl_levelheading.setcaption("Level");
    add({&lbl_freqheading, &lbl_levelheading});
    for (int r = 0; r < 8; ++r) {
        lbl_rows[r].setbounds(32, kRowTops[r], r < 6 ? 120 : 175, 16);
        lbl_rows[r].setcaption(kRowCaptions[r]);
        add(lbl_rows[r]);
    }
    struct Cell {
        platform::Label& label;
        int left, row;
    };
    const Cell cells[] = {
        {lbl_freq_max_freq, 156, 0},   {lbl_freq_max_level, 236, 0}, {lbl_freq_min_freq, 156, 1},
        {lbl_freq_min_level, 236, 1},  {lbl_freq_pk, 236, 2},        {lbl_group_max_freq, 156, 3},
        {lbl_group_max_level, 236, 3}, {lbl_group_min_freq, 156, 4}, {lbl_group_min_level, 236, 4},
        {lbl_group_pk, 236, 5},        {lbl_freq_mask, 212, 6},      {lbl_group_mask, 212, 7},
    };
    // Nothing is measured or judged before the first locked capture.
    for (const Cell& c : cells) {
        c.label.setbounds(c.left, kRowTops[c.row], 75, 16);
        c.label.setcaption(windows::kNotMeasured);
        add(c.label);
    }
}

void TForm_amp::drawmask() {
    drawbounds(cht_freq, series_freq_high, series_freq_low, kFreqBound);
    drawbounds(cht_group, series_group_high, series_group_low, kGroupBound);
}

void TForm_amp::showdata(const std::uint8_t* block) {
    if (!block) return;
    plotresponse(series_freq, block, resultlayout::freqerror);
    cht_freq.attach(series_freq);
    cht_freq.repaint();
    plotresponse(series_group, block, resultlayout::grouperror);
    cht_group.attach(series_group);
    cht_group.repaint();
    refreshreadout();
    showmer(block);
    if (resultlayout::locked(block))
        return showresult(block, verdicts::flatnesspass(block), verdicts::groupdelaypass(block));
    // Curves of a capture the engine could not lock are plotted, but its figures and verdicts
    // would describe no signal.
    for (platform::Label* l : figurelabels()) l->setcaption(windows::kNotMeasured);
    shownosignal();
}

void TForm_amp::shownosignal() {
    MeasureFrame::shownosignal();
    windows::setnosignal(lbl_freq_mask);
    windows::setnosignal(lbl_group_mask);
}

std::array<platform::Label*, resultlayout::kFigureCount> TForm_amp::figurelabels() {
    return {&lbl_freq_max_freq,   &lbl_freq_max_level, &lbl_freq_min_freq,   &lbl_freq_min_level,
            &lbl_freq_pk,         &lbl_group_max_freq, &lbl_group_max_level, &lbl_group_min_freq,
            &lbl_group_min_level, &lbl_group_pk};
}

void TForm_amp::showresult(const std::uint8_t* block, bool freqpass, bool grouppass) {
    using resultlayout::Figure;
    // In the order of figurelabels().
    static constexpr const char* kUnits[resultlayout::kFigureCount] = {"", "dB", "", "dB", "dB",
                                                                       "", "ns", "", "ns", "ns"};
    const auto labels = figurelabels();
    for (std::size_t f = 0; f < labels.size(); ++f)
        labels[f]->setcaption(
            windows::figuretext(resultlayout::figure(block, static_cast<Figure>(f)), kUnits[f]));
    windows::setverdict(lbl_freq_mask, freqpass);
    windows::setverdict(lbl_group_mask, grouppass);
}

void TForm_amp::mbtn_saveClick(platform::MenuItem& item) {
    if (&item == &mni_SaveFreq) savechart(cht_freq);
    if (&item == &mni_SaveGroup) savechart(cht_group);
    if (&item == &mni_SaveBoth) savebothcharts(cht_freq, "_freq.jpg", cht_group, "_group.jpg");
}

#include "windows/fomrstel.h"

#include <cmath>

#include "engine/resultlayout.h"
#include "windows/plotvalue.h"

namespace {
// Points further out than this on the real axis are not decisions worth showing.
constexpr double kMaxReal = 8.0;
}  // namespace

TForm_ste::TForm_ste(windows::WindowHost& host) : MeasureFrame("TForm_ste", "Constellation", host) {
    cht_stel.setbounds(234, 84, 750, 500);
    cht_stel.title = "Constellation";
    cht_stel.titlefontheight = 15;
    cht_stel.legend = false;
    cht_stel.panning = false;
    cht_stel.bottom = {"Real", -10, 10, 2, 1, true};
    cht_stel.left = {"Imaginary", -15, 15, 5, 6, true};
    add(cht_stel);
    btn_save.onclick = [this] { btn_saveClick(); };
    addsavecontrol(btn_save);

    series_stel = std::make_unique<platform::Series>("series_stel", platform::SeriesKind::Point);
    series_stel->color = series_stel->pencolor = platform::kBlue;
    series_stel->markersize = 2;
    series_stel->clear();
    cht_stel.attach(*series_stel);
    cht_stel.repaint();
    addmerreadout();
    startdebugtimer();
}

TForm_ste::~TForm_ste() {
    freeseries();
}

void TForm_ste::showdata(const std::uint8_t* block) {
    if (!block || !series_stel) return;
    auto& points = series_stel->points;
    points.clear();
    for (std::size_t i = 0; i < resultlayout::kConstellationPoints; ++i) {
        double x = resultlayout::constellationx(block, i);
        double y = resultlayout::constellationy(block, i);
        if (std::fabs(x) > kMaxReal) continue;
        if (!windows::plotvalue(x) || !windows::plotvalue(y)) continue;
        points.push_back({x, y});
    }
    cht_stel.attach(*series_stel);
    cht_stel.repaint();
    showmer(block);
}

void TForm_ste::freeseries() {
    if (!series_stel) return;
    cht_stel.detach(*series_stel);
    series_stel.reset();
}

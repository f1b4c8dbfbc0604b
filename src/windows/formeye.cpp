#include "windows/formeye.h"

#include <string>

#include "engine/resultlayout.h"
#include "windows/plotvalue.h"

TForm_eye::TForm_eye(windows::WindowHost& host) : MeasureFrame("TForm_eye", "Eye-Diagram", host) {
    clientheight = 663;
    cht_eye.setbounds(234, 84, 750, 500);
    cht_eye.title = "Eye-Diagram";
    cht_eye.titleshadow = false;
    cht_eye.legend = false;
    cht_eye.topvisible = false;
    cht_eye.rightvisible = false;
    cht_eye.bottom = {"Symbol", 0.55, 2.45, 1, 1, true};
    cht_eye.left = {"Amplitude", -16, 16, 2, 2, true};
    add(cht_eye);
    btn_save.onclick = [this] { btn_saveClick(); };
    addsavecontrol(btn_save);

    traces.reserve(resultlayout::kEyeTraces);
    for (std::size_t i = 0; i < resultlayout::kEyeTraces; ++i) {
        auto s = std::make_unique<platform::Series>("series_eye" + std::to_string(i),
                                                    platform::SeriesKind::Line);
        s->color = s->pencolor = platform::kBlue;
        // Thin traces keep the eye openings visible among 200 of them.
        s->penwidth = 1;
        s->points.reserve(resultlayout::kEyePointsPerTrace);
        traces.push_back(std::move(s));
    }
    addmerreadout();
    startdebugtimer();
}

TForm_eye::~TForm_eye() {
    freeseries();
}

void TForm_eye::showdata(const std::uint8_t* block) {
    if (!block || traces.empty()) return;
    for (std::size_t i = 0; i < traces.size(); ++i) {
        auto& points = traces[i]->points;
        points.clear();
        for (std::size_t j = 0; j < resultlayout::kEyePointsPerTrace; ++j) {
            double y = resultlayout::eye(block, i, j);
            if (windows::plotvalue(y)) points.push_back({resultlayout::eyex(j), y});
        }
        cht_eye.attach(*traces[i]);
    }
    cht_eye.repaint();
    showmer(block);
}

void TForm_eye::freeseries() {
    for (auto& s : traces) cht_eye.detach(*s);
    traces.clear();
}

// Measurement windows on a headless main window, with a recorded chart export.
#pragma once

#include "platform/chartexport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "engine/resultlayout.h"
#include "platform/chart.h"
#include "support/mainformfixture.h"
#include "windows/windowfactory.h"

namespace korvin::test {

// The chart export of this test program: records each call and writes a small file, so a name
// that cannot be written fails with the system's reason as the real export does.
struct ExportCall {
    const platform::Chart* chart;
    std::string file;
};
std::vector<ExportCall>& exportcalls();
bool recordexport(const platform::Chart& chart, const std::string& file, std::string& error);

class WindowTest : public MainFormTest {
  protected:
    void TearDown() override {
        platform::setchartexporter(nullptr);
        MainFormTest::TearDown();
    }
    void SetUp() override {
        MainFormTest::SetUp();
        exportcalls().clear();
        platform::setchartexporter(&recordexport);
        block.assign(resultlayout::kBlockSize, 0);
    }
    // Starts the main window (args as on the command line) and opens window `kind`.
    template <class W>
    W& openwindow(int kind, std::vector<std::string> args = {}) {
        start(std::move(args));
        main->windowfactory = createmeasurewindow;
        main->btmbtnClick(kind);
        auto* w = dynamic_cast<W*>(main->openwindow());
        EXPECT_NE(w, nullptr);
        return *w;
    }
    std::string path(const std::string& name) const { return (folder() / name).string(); }
    // Over a connected link, waits for the next capture request and answers it with a capture
    // of silence, which the engine refuses; false when no packet was acknowledged.
    bool refusecapture() {
        std::memset(buffers().capturearea, 0, sizeof buffers().capturearea);
        const std::size_t asked = sock->sent.size();
        for (int i = 0; i < 50 && sock->sent.size() == asked; ++i) backend.clock.advance(100);
        sock->deliver(frame(1, 1, 1, std::vector<std::uint8_t>(1028, 0)));
        return sock->sent.size() == asked + 2;  // the request, then the acknowledgement
    }
    // Writers for each region, mirroring resultlayout's readers.
    void setconst(std::size_t i, double x, double y) {
        put(resultlayout::kConstellationOffset + 16 * i, x);
        put(resultlayout::kConstellationOffset + 16 * i + 8, y);
    }
    void seteye(std::size_t trace, std::size_t j, double v) {
        put(resultlayout::kEyeOffset + 8 * (resultlayout::kEyePointsPerTrace * trace + j), v);
    }
    void setspectrum(std::size_t i, double v) { put(resultlayout::kSpectrumOffset + 8 * i, v); }
    void setfreq(std::size_t i, double v) { put(resultlayout::kFreqErrorOffset + 8 * i, v); }
    void setgroup(std::size_t i, double v) { put(resultlayout::kGroupErrorOffset + 8 * i, v); }
    void setfigure(resultlayout::Figure f, double v) {
        put(resultlayout::kFiguresOffset + 8 * static_cast<std::size_t>(f), v);
    }

    // The engine's measures area: the marker, then the figures, spurs and curves.
    void setmeasure(resultlayout::Measure m, double v) {
        resultlayout::writemeasuresmarker(block.data());
        resultlayout::writemeasure(block.data(), m, v);
    }
    void setspur(std::size_t i, double mhz, double dbc) {
        put(resultlayout::kSpursOffset + 16 * i, mhz);
        put(resultlayout::kSpursOffset + 16 * i + 8, dbc);
    }
    void setecho(std::size_t i, double db) { put(resultlayout::kEchoProfileOffset + 8 * i, db); }
    void setccdf(std::size_t i, double measured, double ideal) {
        put(resultlayout::kCcdfOffset + 8 * i, measured);
        put(resultlayout::kCcdfIdealOffset + 8 * i, ideal);
    }

    std::vector<std::uint8_t> block;

  private:
    void put(std::size_t offset, double v) { resultlayout::write(block.data(), offset, v); }
};

inline std::vector<double> ys(const platform::Series& s) {
    std::vector<double> v;
    for (const auto& p : s.points) v.push_back(p.y);
    return v;
}

}  // namespace korvin::test

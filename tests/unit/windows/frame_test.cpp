#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/buffers.h"
#include "windowfixture.h"
#include "windows/filenames.h"
#include "windows/fomrstel.h"
#include "windows/plotvalue.h"

namespace {

using korvin::test::exportcalls;
using korvin::test::WindowTest;
using windows::forceextension;

TEST(FileNames, JpgIsForcedCaseSensitivelyOnTheFilePartOnly) {
    EXPECT_EQ(forceextension("plot", ".jpg"), "plot.jpg");
    EXPECT_EQ(forceextension("plot.JPG", ".jpg"), "plot.jpg");
    EXPECT_EQ(forceextension("plot.png", ".jpg"), "plot.jpg");
    EXPECT_EQ(forceextension("plot.jpg", ".jpg"), "plot.jpg");
    EXPECT_EQ(forceextension("/tmp/old.data/plot", ".jpg"), "/tmp/old.data/plot.jpg");
    EXPECT_EQ(forceextension("old.data:plot", ".jpg"), "old.data:plot.jpg");
    EXPECT_EQ(forceextension("run1.old.jpg", ".txt"), "run1.old.txt");
    EXPECT_EQ(windows::extension("a.b/c"), "");
    EXPECT_EQ(windows::extension("a/c.tar.gz"), ".gz");
}

TEST(Readout, HalfDecibelBytes) {
    EXPECT_EQ(windows::readouttext(0), "0.0dB");
    EXPECT_EQ(windows::readouttext(41), "20.5dB");
    EXPECT_EQ(windows::readouttext(255), "127.5dB");
}

using Frame = WindowTest;

TEST_F(Frame, CreationSetsTheCommonTextsAndLayout) {
    auto& w = openwindow<TForm_ste>(1);
    EXPECT_EQ(w.caption(), "Constellation");
    EXPECT_EQ(w.lbl_1.caption(), "Constellation");
    EXPECT_EQ(w.lbl_1.fontheight, 21);
    EXPECT_EQ(w.lbl_2.caption(), "Real-time Measurements");
    EXPECT_EQ(w.btn_close.caption(), "Close &&& Back to Main");
    EXPECT_EQ(w.btn_save.caption(), "Save to File");
    EXPECT_EQ(w.img1.hint(), "Veltrax Communication");
    EXPECT_EQ(w.img1.images, &main->il2);
    EXPECT_EQ(w.img1.imageindex, 0);
    EXPECT_EQ(w.clientwidth, 984);
    EXPECT_EQ(w.clientheight, 662);
    EXPECT_FALSE(w.maximizebox);
    EXPECT_EQ(w.lbl_snr.caption(), "--");
    EXPECT_EQ(w.tmr1.interval(), 1000);
    EXPECT_FALSE(w.tmr1.enabled());
    EXPECT_EQ(w.savedlg_1.filter, "JGP Files(*.jpg)|*.jpg|All Files(*.*)|*.*");
    EXPECT_EQ(backend.modalshown, std::vector<std::string>{"TForm_ste"});
}

TEST_F(Frame, ReadoutShowsBytesOneToThreeAndIgnoresNull) {
    auto& w = openwindow<TForm_ste>(1);
    w.showstatus(nullptr);
    EXPECT_EQ(w.lbl_limd.caption(), "--");
    const std::uint8_t status[4] = {99, 0, 41, 255};
    w.showstatus(status);
    EXPECT_EQ(w.lbl_snr.caption(), "0.0dB");
    EXPECT_EQ(w.lbl_limd.caption(), "20.5dB");
    EXPECT_EQ(w.lbl_uimd.caption(), "127.5dB");
}

TEST_F(Frame, EveryClosingPathEndsInFormclosedAndFreesTheWindow) {
    const std::vector<std::function<void(TForm_ste&)>> paths = {
        [](TForm_ste& w) { w.btn_close.click(); },
        [](TForm_ste& w) { w.close(); },
        [this](TForm_ste&) { main->close_open_form(); },
    };
    start();
    main->windowfactory = createmeasurewindow;
    for (const auto& closeit : paths) {
        main->btmbtnClick(1);
        auto* w = dynamic_cast<TForm_ste*>(main->openwindow());
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(formkind(), 1);
        closeit(*w);
        EXPECT_EQ(w->closeaction(), platform::CloseAction::Free);
        EXPECT_EQ(formkind(), 0);
        EXPECT_TRUE(main->btmbtn_ste.enabled());
        EXPECT_FALSE(main->tmr_out.enabled());
        EXPECT_EQ(w->series_stel, nullptr);
        EXPECT_TRUE(w->cht_stel.series().empty());
        backend.processevents();
        EXPECT_EQ(main->openwindow(), nullptr);
    }
}

TEST_F(Frame, DebugTimerFeedsSimulatedCapturesOnlyInDebugMode) {
    auto& normal = openwindow<TForm_ste>(1);
    backend.clock.advance(3000);
    EXPECT_TRUE(normal.series_stel->points.empty());
    normal.close();
    backend.processevents();

    auto& w = openwindow<TForm_ste>(1, {"debug"});
    EXPECT_TRUE(w.tmr1.enabled());
    const int before = w.cht_stel.repaints();
    backend.clock.advance(1000);
    EXPECT_EQ(w.cht_stel.repaints(), before + 1);
    EXPECT_FALSE(w.series_stel->points.empty());
    EXPECT_EQ(w.lbl_snr.caption(), "--");  // no status block from the simulation
    w.close();
    EXPECT_FALSE(w.tmr1.enabled());
}

TEST_F(Frame, SaveForcesJpgStoresTheNameAndExportsTheChart) {
    auto& w = openwindow<TForm_ste>(1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plot", "plot.jpg"},
        {"plot.JPG", "plot.jpg"},
        {"plot.png", "plot.jpg"},
        {"old.data/plot", "old.data/plot.jpg"},
    };
    std::filesystem::create_directories(folder() / "old.data");
    for (const auto& [chosen, written] : cases) {
        exportcalls().clear();
        backend.desk.savechoices.push_back(path(chosen));
        w.btn_save.click();
        ASSERT_EQ(exportcalls().size(), 1u) << chosen;
        EXPECT_EQ(exportcalls()[0].file, path(written));
        EXPECT_EQ(exportcalls()[0].chart, &w.cht_stel);
        EXPECT_EQ(w.savedlg_1.filename, path(written));
        EXPECT_TRUE(std::filesystem::exists(path(written)));
    }
    exportcalls().clear();
    w.btn_save.click();  // cancelled
    EXPECT_TRUE(exportcalls().empty());
    EXPECT_EQ(backend.desk.savedialogs.back().filter, windows::kJpgFilter);
}

TEST_F(Frame, AnExportThatCannotBeWrittenSaysSoAndTheWindowStays) {
    auto& w = openwindow<TForm_ste>(1);
    backend.desk.savechoices.push_back(path("missing/plot"));
    w.btn_save.click();
    const std::string file = path("missing/plot.jpg");
    EXPECT_EQ(backend.desk.errorboxes(),
              std::vector<std::string>{"Can not write " + file + ": No such file or directory"});
    EXPECT_TRUE(w.showing());
    EXPECT_EQ(formkind(), 1);
}

// Every label of a form, by name.
std::map<std::string, std::string> labels(platform::Form& f) {
    std::map<std::string, std::string> m;
    for (platform::Control* c : f.controls())
        if (const auto* l = dynamic_cast<const platform::Label*>(c)) m[l->name()] = l->caption();
    return m;
}

// A figure or verdict nobody measured never shows. The labels a locked capture (one that fails
// every limit, so no verdict can match a placeholder by chance) and a status block fill must read
// "--" or nothing when their window opens, and still so, or "No signal", while the engine refuses
// every capture; the readout then shows the status block that came with the refused capture.
TEST_F(Frame, NoWindowShowsAFigureOrVerdictBeforeALockedCaptureMeasuredIt) {
    for (std::size_t i = 0; i < resultlayout::kSpectrumPoints; ++i) setspectrum(i, -30.5);
    for (std::size_t i = 0; i < resultlayout::kResponsePoints; ++i) {
        setfreq(i, 0.77);
        setgroup(i, 61.5);
    }
    for (std::size_t f = 0; f < resultlayout::kFigureCount; ++f)
        setfigure(static_cast<resultlayout::Figure>(f), 1.23 + f);
    resultlayout::write(block.data(), resultlayout::kDiagnosticsOffset, 21.7);  // the MER
    for (std::size_t m = 0; m <= resultlayout::SpurCount; ++m)
        setmeasure(static_cast<resultlayout::Measure>(m), 2345.6 + m);
    setmeasure(resultlayout::MaskIntegratedPass, 0);
    setmeasure(resultlayout::MaskIntegratedMarginDb, -4.5);
    setmeasure(resultlayout::SpurCount, 1);
    setspur(0, 4.5, -50.2);
    const std::uint8_t status[4] = {0, 61, 92, 93};
    for (int kind = 1; kind <= 6; ++kind) {
        SCOPED_TRACE(kind);
        start();
        connect();
        main->windowfactory = createmeasurewindow;
        main->btmbtnClick(kind);
        MeasureWindow* w = main->openwindow();
        ASSERT_NE(w, nullptr);
        const auto created = labels(w->form());
        if (kind != 5) {  // the IMD and SNR window takes no captures
            ASSERT_TRUE(refusecapture());
            ASSERT_TRUE(refusecapture());
        }
        const auto refused = labels(w->form());
        w->showdata(block.data());
        w->showstatus(status);
        int filled = 0;
        for (const auto& [name, text] : labels(w->form())) {
            const std::string& before = created.at(name);
            if (text == before) continue;  // a fixed text
            ++filled;
            EXPECT_TRUE(before == "--" || before.empty()) << name << " read " << before;
            if (name == "lbl_snr" || name == "lbl_limd" || name == "lbl_uimd") continue;
            const std::string& r = refused.at(name);
            EXPECT_TRUE(r == "--" || r.empty() || r == "No signal") << name << " read " << r;
        }
        EXPECT_GE(filled, 3);
        w->form().close();
        backend.processevents();
    }
}

using Constellation = WindowTest;

TEST_F(Constellation, ChartSetUp) {
    auto& w = openwindow<TForm_ste>(1);
    EXPECT_EQ(w.cht_stel.title, "Constellation");
    EXPECT_EQ(w.cht_stel.left.title, "Imaginary");
    EXPECT_EQ(w.cht_stel.left.gridevery, 6);
    EXPECT_EQ(w.cht_stel.bottom.min, -10);
    EXPECT_FALSE(w.cht_stel.legend);
    ASSERT_EQ(w.cht_stel.series().size(), 1u);
    EXPECT_EQ(w.series_stel->kind, platform::SeriesKind::Point);
    EXPECT_EQ(w.series_stel->color, platform::kBlue);
    EXPECT_TRUE(w.series_stel->points.empty());
}

TEST_F(Constellation, OnlyTheRealPartIsLimited) {
    auto& w = openwindow<TForm_ste>(1);
    for (std::size_t i = 0; i < resultlayout::kConstellationPoints; ++i)
        setconst(i, 9.0, 0.0);  // off the plot
    const double xs[] = {8.0, -8.0, 8.0001, -8.0001, 0.0, 1.0, NAN, 3.0};
    const double yv[] = {1.0, 2.0, 3.0, 4.0, 20.0, -1e300, 5.0, INFINITY};
    for (std::size_t i = 0; i < 8; ++i) setconst(100 + i, xs[i], yv[i]);
    const int before = w.cht_stel.repaints();
    w.showdata(block.data());
    EXPECT_EQ(w.cht_stel.repaints(), before + 1);
    const auto& p = w.series_stel->points;
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].x, 8.0);
    EXPECT_EQ(p[1].x, -8.0);
    EXPECT_EQ(p[2].y, 20.0);
    EXPECT_EQ(p[3].y, -windows::kPlotLimit);

    for (std::size_t i = 0; i < resultlayout::kConstellationPoints; ++i) setconst(i, -8.5, 0);
    w.showdata(block.data());
    EXPECT_TRUE(w.series_stel->points.empty());
    w.showdata(nullptr);
    EXPECT_EQ(w.cht_stel.repaints(), before + 2);
}

}  // namespace

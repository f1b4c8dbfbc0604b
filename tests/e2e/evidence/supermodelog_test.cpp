// The evidence of a session: the real program in super mode dumps each capture of the Spectrum
// window to its log, and korvin-analyze turns that log into recordings that measure as the
// window showed them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "support/analyzeprocess.h"
#include "support/e2ecase.h"

namespace {

using korvin::test::E2eCase;
using korvin::test::kBusyMs;
namespace fs = std::filesystem;

std::string caption(const std::string& state) {
    const auto at = state.find("caption=");
    return at == std::string::npos ? "" : state.substr(at + 8);
}

TEST(SuperModeLog, BecomesRecordingsThatMeasureAsTheWindowShowed) {
    // The first packet of the fourth capture comes 1.5 s late (within the client's 2 s
    // time-out): the window keeps the third capture's figures while they are read.
    E2eCase c("evidence", {"--snr", "30", "--delay", "1500", "--delay-on", "97"});
    ASSERT_TRUE(c.start({"super"}));
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    auto& sim = c.sim();
    ASSERT_TRUE(c.openwindow("btmbtn_spe", "TForm_spec"));
    // The client asks for the next capture only once it has shown the last one.
    ASSERT_TRUE(sim.waitfor([](const std::string& l) { return l == "CAPTURE 4"; }, kBusyMs));
    const std::string mer = caption(app.command("state TForm_spec lbl_mer", kBusyMs));
    const std::string mask = caption(app.command("state TForm_spec lbl_mask", kBusyMs));
    for (const auto& l : sim.lines()) ASSERT_NE(l, "DONE capture=4") << "read too late";
    EXPECT_EQ(app.command("close TForm_spec", kBusyMs), "ok");
    EXPECT_EQ(app.reply(kBusyMs), "ok");
    EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
    EXPECT_EQ(app.waitexit(20000), 0);
    sim.stop();
    ASSERT_NE(mer, "--");
    ASSERT_TRUE(mask == "Pass" || mask == "Fail") << mask;
    int done = 0;
    for (const auto& l : sim.lines()) done += l.starts_with("DONE capture=");

    std::string log;
    for (const auto& e : fs::directory_iterator(c.folder()))
        if (e.path().filename().string().starts_with("log")) log = e.path().string();
    ASSERT_FALSE(log.empty());
    const fs::path recordings = c.folder() / "recordings";
    const auto run =
        korvin::test::runanalyze({"--json", "--recordings", recordings, log}, c.folder());
    EXPECT_EQ(run.err, "");
    const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    ASSERT_EQ(all.size(), done) << run.out;  // one recording per completed capture
    bool allpass = true;
    for (const auto& e : all) allpass &= e.toObject()["verdict"].toString() == "Pass";
    EXPECT_EQ(run.exitcode, allpass ? 0 : 1);

    const std::string third = (recordings / fs::path(log).stem()).string() + "-0003";
    EXPECT_TRUE(fs::exists(third + ".sigmf-data"));
    const QJsonObject shown = all[2].toObject();
    EXPECT_EQ(shown["file"].toString().toStdString(), third);
    EXPECT_FALSE(shown["datetime"].toString().isEmpty());
    char again[32];
    std::snprintf(again, sizeof again, "%.2fdB", shown["mer_db"].toDouble());
    EXPECT_EQ(again, mer);
    EXPECT_EQ(shown["mask_pass"].toBool() ? "Pass" : "Fail", mask);
}

}  // namespace

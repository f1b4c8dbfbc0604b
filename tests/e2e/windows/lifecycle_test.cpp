// The real program's auto-save file, its shutdown with the link up, and its reply time-out
// ladder, against exciter-sim over loopback.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "support/e2ecase.h"

namespace {

using korvin::test::countof;
using korvin::test::E2eCase;
using korvin::test::kBusyMs;
using korvin::test::kCaptureRequestLine;
using korvin::test::kConnected;
using korvin::test::kDisconnected;
using korvin::test::kGiveUp;
using korvin::test::kReread;
using korvin::test::logtexts;
namespace fs = std::filesystem;

// The lines of the one daily SNR/IMD file in `folder` (CR kept); its name in `name`.
std::vector<std::string> autosavelines(const fs::path& folder, std::string& name) {
    std::vector<std::string> lines;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (!e.path().filename().string().starts_with("imd_snr_")) continue;
        name = e.path().filename().string();
        std::ifstream in(e.path(), std::ios::binary);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
    }
    return lines;
}

int recordcount(korvin::test::SimProcess& sim, const std::string& prefix) {
    int n = 0;
    for (const auto& l : sim.lines()) n += l.starts_with(prefix);
    return n;
}

TEST(AutoSave, SnrWindowWritesOneLinePerStatusBlockTaken) {
    E2eCase c("autosave", {"--status", "00476867"});
    const std::string ini = E2eCase::config(c.folder(), {.autosave = true});
    ASSERT_TRUE(c.start({}, ini));
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    ASSERT_TRUE(c.openwindow("btmbtn_snr", "TForm_snr"));
    ASSERT_TRUE(c.sim().waitfor(
        [n = 0](const std::string& l) mutable { return l.starts_with("TX 14 ") && ++n == 5; },
        30000));
    EXPECT_EQ(app.command("close TForm_snr"), "ok");
    EXPECT_EQ(app.reply(), "ok");
    EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
    EXPECT_EQ(app.waitexit(20000), 0);
    c.sim().stop();
    EXPECT_EQ(app.file("config.ini"), ini);  // read, never rewritten

    const auto e = korvin::test::walkexchange(c.sim().lines());
    EXPECT_TRUE(e.problems.empty()) << e.problems.front();
    std::string name;
    const auto lines = autosavelines(c.folder(), name);
    // Every status frame the program went on from was saved; the very last may have come
    // after the window had closed, and is then dropped unread.
    EXPECT_GE(lines.size(), static_cast<std::size_t>(e.answeredframes));
    EXPECT_GE(lines.size(), static_cast<std::size_t>(e.statusframes - 1));
    EXPECT_LE(lines.size(), static_cast<std::size_t>(e.statusframes));
    const std::regex line(
        "([0-9]{4})-([0-9]{2})-([0-9]{2}) [0-9]{2}:[0-9]{2}:[0-9]{2},   SNR LID UID,   35\\.5,   "
        "52\\.0,   51\\.5\r");
    for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, line)) << l;
    std::smatch m;
    ASSERT_TRUE(!lines.empty() && std::regex_match(lines.front(), m, line));
    EXPECT_EQ(name, "imd_snr_" + m[1].str() + "_" + m[2].str() + "_" + m[3].str() + ".txt");
}

// Shutdown with traffic flowing: every frame sent is logged, and the disconnect comes last.
void expectcompletelog(E2eCase& c) {
    c.sim().stop();
    const auto e = korvin::test::walkexchange(c.sim().lines());
    EXPECT_TRUE(e.problems.empty()) << e.problems.front();
    const auto log = logtexts(c.app().loglines());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), kDisconnected);
    EXPECT_EQ(countof(log, kDisconnected), 1u);
    EXPECT_EQ(countof(log, "Send Frame Successful!"), static_cast<std::size_t>(e.clientframes));
    EXPECT_GE(countof(log, "Receive Frame Successful!"),
              static_cast<std::size_t>(e.answeredframes));
    EXPECT_GT(e.clientframes, 32);
}

TEST(Shutdown, ExitFromTheMenuWithTheLinkUp) {
    E2eCase c("exitmenu");
    ASSERT_TRUE(c.start({}, E2eCase::config(c.folder(), {.savecomm = true})));
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    ASSERT_TRUE(c.openwindow("btmbtn_amp", "TForm_amp"));
    ASSERT_TRUE(c.sim().waitforprefix("DONE capture=1", kBusyMs));
    EXPECT_EQ(app.command("click TForm_amp btn_close", kBusyMs), "ok");
    EXPECT_EQ(app.reply(kBusyMs), "ok");
    EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
    EXPECT_EQ(app.waitexit(20000), 0);
    expectcompletelog(c);
}

TEST(Shutdown, ClosingTheMainWindowMidCaptureClosesTheMeasurementWindowFirst) {
    E2eCase c("closemain");
    ASSERT_TRUE(c.start({}, E2eCase::config(c.folder(), {.savecomm = true})));
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    ASSERT_TRUE(c.openwindow("btmbtn_spe", "TForm_spec"));
    ASSERT_TRUE(c.sim().waitforprefix("DONE capture=1", kBusyMs));
    ASSERT_TRUE(c.sim().waitforprefix("CAPTURE 2", kBusyMs));
    EXPECT_EQ(app.command("close mainform", kBusyMs), "ok");
    EXPECT_EQ(app.reply(kBusyMs), "ok");  // the measurement window's opening click
    EXPECT_EQ(app.waitexit(20000), 0);
    expectcompletelog(c);
    const auto log = logtexts(app.loglines());
    EXPECT_EQ(countof(log, "Open Spectrum Window!"), 1u);
}

TEST(ReplyTimeout, ThreeRetriesThenTheWindowIsClosedForTheOperator) {
    E2eCase c("silent", {"--silent"});
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    ASSERT_TRUE(c.openwindow("btmbtn_spe", "TForm_spec"));
    ASSERT_TRUE(app.waitfor("dismiss", "ok " + kGiveUp, 30000));
    // The four requests (the first and three re-requests) all went out before the box.
    EXPECT_EQ(recordcount(c.sim(), kCaptureRequestLine), 4);
    EXPECT_EQ(app.reply(), "ok");  // the window has been closed by the program
    EXPECT_EQ(app.command("forms").find("TForm_spec"), std::string::npos);
    EXPECT_EQ(app.command("status mainform"), "ok " + kConnected);
    for (const char* b :
         {"btmbtn_ste", "btmbtn_eye", "btmbtn_amp", "btmbtn_spe", "btmbtn_snr", "btn_disconnect"})
        EXPECT_EQ(c.enabled(b), "enabled=1") << b;
    EXPECT_EQ(c.enabled("btn_connect"), "enabled=0");

    EXPECT_EQ(app.command("click mainform btn_disconnect"), "ok");
    EXPECT_TRUE(app.waitfor("status mainform", "ok " + kDisconnected));
    EXPECT_EQ(c.enabled("btmbtn_spe"), "enabled=0");
    EXPECT_EQ(c.enabled("btn_connect"), "enabled=1");
    EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
    EXPECT_EQ(app.waitexit(20000), 0);
    c.sim().stop();
    // Nothing more was asked once the window had gone.
    EXPECT_EQ(recordcount(c.sim(), "RX "), 4);
    EXPECT_EQ(
        logtexts(app.loglines()),
        (std::vector<std::string>{"Initialized successfully!", kConnected, "Open Spectrum Window!",
                                  kReread, kReread, kReread, kGiveUp, kDisconnected}));
}

}  // namespace

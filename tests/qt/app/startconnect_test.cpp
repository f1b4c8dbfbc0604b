// The real program, offscreen in a folder of its own, against a loopback exciter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/korvinprocess.h"
#include "support/simprocess.h"

namespace {

using korvin::test::KorvinProcess;
using korvin::test::Launch;
using korvin::test::SimProcess;
namespace fs = std::filesystem;

fs::path freshfolder(const std::string& name) {
    const fs::path p =
        fs::temp_directory_path() / ("korvin-app-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(p);
    return p;
}

// The log's texts without their "YYYY-MM-DD hh:mm:ss:" stamps.
std::vector<std::string> texts(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (std::string l : lines) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l.size() > 20 ? l.substr(20) : l);
    }
    return out;
}

TEST(Program, StartsConnectsDisconnectsAndClosesLeavingItsFiles) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    const fs::path folder = freshfolder("connect");
    {
        KorvinProcess app(folder);
        ASSERT_TRUE(app.waitfor("status mainform", "ok Initialized successfully!"));
        EXPECT_EQ(app.command("state mainform btmbtn_ste").substr(0, 13), "ok enabled=0 ");
        EXPECT_EQ(app.command("set mainform ipedt_dest 127.0.0.1"), "ok 127.0.0.1");
        app.command("set mainform edt_port " + std::to_string(sim.port()));
        EXPECT_EQ(app.command("click mainform btn_connect"), "ok");
        ASSERT_TRUE(app.waitfor("status mainform", "ok Successfully connected with server!"));
        EXPECT_EQ(app.command("state mainform btmbtn_ste").substr(0, 13), "ok enabled=1 ");
        EXPECT_EQ(app.command("state mainform btn_disconnect").substr(0, 13), "ok enabled=1 ");
        EXPECT_EQ(app.command("click mainform btn_disconnect"), "ok");
        EXPECT_TRUE(app.waitfor("status mainform", "ok Successfully disconnected with server!"));
        EXPECT_EQ(app.command("state mainform btn_connect").substr(0, 13), "ok enabled=1 ");

        // Nothing listens on the simulator's port once it has stopped.
        sim.stop();
        EXPECT_EQ(app.command("click mainform btn_connect"), "ok");
        const std::string refused = "Connection Error:Connection refused,Please Check!";
        ASSERT_TRUE(app.waitfor("dismiss", "ok " + refused));
        EXPECT_EQ(app.command("status mainform"), "ok " + refused);
        EXPECT_EQ(app.command("state mainform btn_connect").substr(0, 13), "ok enabled=1 ");

        EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
        EXPECT_EQ(app.waitexit(), 0);
        EXPECT_EQ(texts(app.loglines()),
                  (std::vector<std::string>{"Initialized successfully!",
                                            "Successfully connected with server!",
                                            "Successfully disconnected with server!", refused}));
        const std::string ini = app.file("config.ini");
        for (const char* key : {"[AUTO_SAVE]", "Switch=0", "Cycle=0", "Type=0", "Path=", "[CONFIG]",
                                "Default IP=192.168.1.100", "[SAVE_COMM]"})
            EXPECT_NE(ini.find(key), std::string::npos) << key;
        EXPECT_LT(ini.find("[AUTO_SAVE]"), ini.find("[CONFIG]"));
        EXPECT_LT(ini.find("[CONFIG]"), ini.find("[SAVE_COMM]"));
        EXPECT_NE(ini.find("Path=" + folder.string() + "/"), std::string::npos);
    }
    fs::remove_all(folder);
}

TEST(Program, ClosingWithTheLinkUpLogsTheDisconnectLast) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    const fs::path folder = freshfolder("close");
    {
        KorvinProcess app(folder, {"debug"});
        ASSERT_TRUE(app.waitfor("status mainform", "ok Initialized successfully!"));
        EXPECT_EQ(app.command("state mainform btmbtn_snr").substr(0, 13), "ok enabled=1 ");
        app.command("set mainform ipedt_dest 127.0.0.1");
        app.command("set mainform edt_port " + std::to_string(sim.port()));
        app.command("click mainform btn_connect");
        ASSERT_TRUE(app.waitfor("status mainform", "ok Successfully connected with server!"));
        EXPECT_EQ(app.command("close mainform"), "ok");
        EXPECT_EQ(app.waitexit(), 0);
        const auto lines = texts(app.loglines());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "Successfully disconnected with server!");
    }
    fs::remove_all(folder);
}

std::string readfile(const fs::path& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// An installed client may not write beside itself: its settings, the dialog's changes and its
// log go to the XDG folders. Root writes anywhere, so as root the program runs as nobody.
TEST(Program, ReadOnlyFolderKeepsItsFilesInTheXdgFolders) {
    const fs::path base = freshfolder("installed"), bin = base / "bin", xdg = base / "xdg";
    fs::create_directories(xdg);
    Launch launch{{}, true};
    if (::geteuid() == 0) {
        launch.through = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        ASSERT_EQ(::chown(xdg.c_str(), 65534, 65534), 0);
    }
    {
        KorvinProcess app(bin, {},
                          {"XDG_CONFIG_HOME=" + (xdg / "config").string(),
                           "XDG_STATE_HOME=" + (xdg / "state").string(),
                           "XDG_DATA_HOME=" + (xdg / "data").string()},
                          fs::path(KORVIN_BUILD_DIR) / "libmonitor.so", launch);
        ASSERT_TRUE(app.waitfor("status mainform", "ok Initialized successfully!"));
        ASSERT_TRUE(app.send("menu mainform mniConfig2"));  // modal: answers once closed
        ASSERT_TRUE(app.until("forms", [](const std::string& a) {
            return a.find("form_config*") != std::string::npos;
        }));
        EXPECT_EQ(app.command("click form_config ckbox_save_comm"), "ok");
        EXPECT_EQ(app.command("click form_config btmbtn_1"), "ok");
        EXPECT_EQ(app.reply(), "ok");
        EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
        EXPECT_EQ(app.waitexit(), 0);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(bin), fs::directory_iterator()), 2);
    const std::string ini = readfile(xdg / "config/korvin/config.ini");
    EXPECT_NE(ini.find("Path=" + (xdg / "data/korvin/").string() + "\r\n"), std::string::npos)
        << ini;
    EXPECT_NE(ini.find("[SAVE_COMM]\r\nSwitch=1"), std::string::npos) << ini;
    EXPECT_TRUE(fs::is_directory(xdg / "data/korvin"));
    ASSERT_TRUE(fs::is_directory(xdg / "state/korvin"));
    std::vector<std::string> logs;
    for (const auto& e : fs::directory_iterator(xdg / "state/korvin"))
        logs.push_back(readfile(e.path()));
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(logs[0].find("Initialized successfully!"), std::string::npos);
    fs::remove_all(base);
}

}  // namespace

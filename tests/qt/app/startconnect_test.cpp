// The real program, offscreen in a folder of its own, against a loopback exciter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/korvinprocess.h"
#include "support/simprocess.h"

namespace {

using korvin::test::KorvinProcess;
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

}  // namespace

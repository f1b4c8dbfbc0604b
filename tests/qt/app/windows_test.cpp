// Each capture window of the real program against exciter-sim: it opens from the main window,
// receives captures and status blocks, and closes back to the main window.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/korvinprocess.h"
#include "support/simprocess.h"

namespace {

using korvin::test::KorvinProcess;
using korvin::test::SimProcess;
namespace fs = std::filesystem;

struct WindowCase {
    const char* button;
    const char* form;
};

TEST(ProgramWindows, EachCaptureWindowShowsLiveDataAndClosesBack) {
    SimProcess sim({"--snr", "30"});
    ASSERT_TRUE(sim.started());
    const fs::path folder =
        fs::temp_directory_path() / ("korvin-app-" + std::to_string(::getpid()) + "-windows");
    fs::remove_all(folder);
    {
        KorvinProcess app(folder);
        ASSERT_TRUE(app.waitfor("status mainform", "ok Initialized successfully!"));
        app.command("set mainform ipedt_dest 127.0.0.1");
        app.command("set mainform edt_port " + std::to_string(sim.port()));
        app.command("click mainform btn_connect");
        ASSERT_TRUE(app.waitfor("status mainform", "ok Successfully connected with server!"));

        const WindowCase cases[] = {
            {"btmbtn_ste", "TForm_ste"},
            {"btmbtn_eye", "TForm_eye"},
            {"btmbtn_amp", "TForm_amp"},
            {"btmbtn_spe", "TForm_spec"},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.form);
            const std::size_t from = sim.lines().size();
            // A modal window: the click's own answer comes once the window has closed.
            ASSERT_TRUE(app.send(std::string("click mainform ") + c.button));
            // The readout leaves its placeholder once a packet's status block is in.
            ASSERT_TRUE(app.waitfor(std::string("state ") + c.form + " lbl_snr",
                                    "ok enabled=1 visible=1 caption=30.0dB", 15000));
            ASSERT_TRUE(sim.wait_for_prefix("DONE capture=", 15000, from));
            EXPECT_EQ(app.command(std::string("close ") + c.form), "ok");
            EXPECT_EQ(app.reply(), "ok");  // the window's opening click
            EXPECT_EQ(app.command("state mainform btn_disconnect").substr(0, 13), "ok enabled=1 ");
        }
        EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
        EXPECT_EQ(app.waitexit(), 0);
    }
    fs::remove_all(folder);
}

}  // namespace

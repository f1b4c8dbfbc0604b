// Each capture window of the real program against exciter-sim: it opens from the main window,
// receives captures and status blocks, saves its chart as a JPEG of the chart's on-screen size,
// and closes back to the main window.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/qt/qtwaterimage.h"
#include "support/korvinprocess.h"
#include "support/simprocess.h"

namespace {

using korvin::test::KorvinProcess;
using korvin::test::SimProcess;
namespace fs = std::filesystem;

struct WindowCase {
    const char* button;
    const char* form;
    const char* save;  // the driver command that saves, after the dialog has been answered
    std::vector<std::pair<std::string, const char*>> files;  // file suffix, chart shown in it
};

// The chart's on-screen size as the driver reports it ("... size=WxH").
std::string chartsize(KorvinProcess& app, const std::string& form, const std::string& chart) {
    const std::string s = app.command("state " + form + " " + chart);
    const auto at = s.find(" size=");
    return at == std::string::npos ? "" : s.substr(at + 6);
}

// Decodes the whole JPEG; its size as "WxH", or "" when it does not decode.
std::string jpegsize(const fs::path& file) {
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly)) return "";
    int w = 0, h = 0;
    if (platform::qt::decodejpeg(f.readAll(), w, h).empty()) return "";
    return std::to_string(w) + "x" + std::to_string(h);
}

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
            {"btmbtn_ste", "TForm_ste", "click TForm_ste btn_save", {{".jpg", "cht_stel"}}},
            {"btmbtn_eye", "TForm_eye", "click TForm_eye btn_save", {{".jpg", "cht_eye"}}},
            {"btmbtn_amp",
             "TForm_amp",
             "menu TForm_amp mni_SaveBoth",
             {{"_freq.jpg", "cht_freq"}, {"_group.jpg", "cht_group"}}},
            {"btmbtn_spe", "TForm_spec", "click TForm_spec btn_save", {{".jpg", "cht_spect"}}},
            {"btmbtn_qua",
             "TForm_quality",
             "menu TForm_quality mni_SaveBoth",
             {{"_echo.jpg", "cht_echo"}, {"_ccdf.jpg", "cht_ccdf"}}},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.form);
            const std::size_t from = sim.lines().size();
            // A modal window: the click's own answer comes once the window has closed.
            ASSERT_TRUE(app.send(std::string("click mainform ") + c.button));
            // The readout leaves its placeholder once a packet's status block is in.
            ASSERT_TRUE(app.waitfor(std::string("state ") + c.form + " lbl_snr",
                                    "ok enabled=1 visible=1 caption=30.0dB", 15000));
            ASSERT_TRUE(sim.waitforprefix("DONE capture=", 15000, from));
            const fs::path saved = folder / (std::string("saved_") + c.form);
            EXPECT_EQ(app.command("saveas " + saved.string()), "ok");
            EXPECT_EQ(app.command(c.save), "ok");
            for (const auto& [suffix, chart] : c.files) {
                const std::string shown = chartsize(app, c.form, chart);
                EXPECT_FALSE(shown.empty()) << chart;
                EXPECT_EQ(jpegsize(saved.string() + suffix), shown) << saved << suffix;
            }
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

// The real program with an engine that exports only monitormain: it starts, and its windows show
// that engine's results.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/e2ecase.h"
#include "support/korvinprocess.h"

namespace {

using korvin::test::kBusyMs;
using korvin::test::KorvinProcess;
namespace fs = std::filesystem;

TEST(AnyEngine, AnEngineExportingOnlyMonitormainStartsAndMeasures) {
    void* lib = ::dlopen(ONEEXPORT_ENGINE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    EXPECT_NE(::dlsym(lib, "monitormain"), nullptr);
    EXPECT_EQ(::dlsym(lib, "monitorprepare"), nullptr);  // the premise of this test
    ::dlclose(lib);

    const fs::path folder =
        fs::temp_directory_path() / ("korvin-e2e-" + std::to_string(::getpid()) + "-oneexport");
    fs::remove_all(folder);
    {
        // Debug mode: the window's own timer feeds the engine synthetic captures.
        KorvinProcess app(folder, {"debug"}, {}, ONEEXPORT_ENGINE);
        ASSERT_TRUE(app.waitfor("status mainform", "ok Initialized successfully!", 20000))
            << "exit " << app.waitexit(1000).value_or(-1);
        ASSERT_TRUE(app.send("click mainform btmbtn_amp"));
        EXPECT_TRUE(app.waitfor("state TForm_amp lbl_group_pk",
                                "ok enabled=1 visible=1 caption=13.75ns", kBusyMs));
        EXPECT_EQ(app.command("state TForm_amp lbl_freq_max_level"),
                  "ok enabled=1 visible=1 caption=0.25dB");
        EXPECT_EQ(app.command("state TForm_amp lbl_freq_mask"),
                  "ok enabled=1 visible=1 caption=Pass");
        EXPECT_EQ(app.command("close TForm_amp"), "ok");
        EXPECT_EQ(app.reply(), "ok");
        EXPECT_EQ(app.command("menu mainform mniExit1"), "ok");
        EXPECT_EQ(app.waitexit(20000), 0);
    }
    fs::remove_all(folder);
}

}  // namespace

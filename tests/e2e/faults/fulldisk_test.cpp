// The log's disk full under the real program: the log thread finds out at its first line and
// says so in a box; closing the program with the link up and that box still on screen ends it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "support/e2ecase.h"

namespace {

using namespace korvin::test;

// The day's log file name, `days` days from now.
std::string logname(int days) {
    const std::time_t t = std::time(nullptr) + days * 24 * 3600;
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char name[64];
    std::snprintf(name, sizeof name, "log%.4d-%.2d-%.2d.txt", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    return name;
}

TEST(FullDisk, ClosingWithTheLinkUpEndsTheProgramWhateverTheLogsBox) {
    E2eCase c("fulldisk");
    // Every write to the log fails as on a full disk (tomorrow's too, should midnight pass).
    // The log is never read here: /dev/full reads as endless zeros.
    for (int days : {0, 1})
        std::filesystem::create_symlink("/dev/full", c.folder() / logname(days));
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(c.connect());
    auto& app = c.app();
    EXPECT_TRUE(app.waitfor("box", "ok tlogthread.Destroy Failed,Please Reset!"));
    // Closed with the box unanswered; the answer to the command itself may never come.
    app.send("menu mainform mniExit1");
    const auto code = app.waitexit(20000);
    EXPECT_TRUE(code.has_value()) << "still running 20 s after Exit";
    EXPECT_EQ(code.value_or(-1), 0);
}

}  // namespace

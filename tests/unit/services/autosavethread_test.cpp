#include "services/autosavethread.h"

#include <gtest/gtest.h>

#include "platform/testkit/headless.h"
#include "services/globalunit.h"
#include "unit/services/servicetestutil.h"

namespace {

const std::uint8_t kStatus[4] = {0x00, 0x47, 0x68, 0x67};
const std::string kLine = "2024-03-07 14:05:09,   SNR LID UID,   35.5,   52.0,   51.5\r\n";

TEST(SnrImdLine, FormatsHalfDecibelFigures) {
    const platform::LocalTime t{2024, 3, 7, 14, 5, 9, 750};
    EXPECT_EQ(snrimdline(t, 0x47, 0x68, 0x67), kLine);
    EXPECT_EQ(snrimdline(t, 0, 0, 0),
              "2024-03-07 14:05:09,   SNR LID UID,   0.0,   0.0,   0.0\r\n");
    EXPECT_EQ(snrimdline({987, 12, 31, 0, 0, 0, 0}, 0xFF, 1, 19),
              "0987-12-31 00:00:00,   SNR LID UID,   127.5,   0.5,   9.5\r\n");
}

class AutoSave : public ::testing::Test {
  protected:
    std::string dayfile(const std::string& dir, const char* date = "2024_03_07") const {
        return dir + "imd_snr_" + date + ".txt";
    }

    platform::HeadlessBackend backend;  // first: outlives the threads
    svctest::TempFolder folder;
};

TEST_F(AutoSave, WritesOneLinePerStatusBlockAndAppends) {
    svctest::writefile(dayfile(folder.path()), "kept\r\n");
    const std::uint8_t full[4] = {0x00, 0xFF, 0xFF, 0xFF};
    tautosavethread t;
    t.setfolder(folder.path());
    t.start();
    EXPECT_TRUE(postautosave(&t, kMsgStatus, kStatus, 2));  // too short: ignored
    EXPECT_TRUE(postautosave(&t, kMsgStatus, nullptr, 4));  // no block: ignored
    EXPECT_TRUE(postautosave(&t, 1400, kStatus, 4));        // not ours: ignored
    EXPECT_TRUE(postautosave(&t, kMsgStatus, kStatus, 4));
    EXPECT_TRUE(postautosave(&t, kMsgStatus, full, 4));
    t.stop();
    EXPECT_FALSE(postautosave(&t, kMsgStatus, kStatus, 4));  // ended: freed, not leaked
    EXPECT_FALSE(postautosave(nullptr, kMsgStatus, kStatus, 4));

    EXPECT_EQ(
        svctest::readfile(dayfile(folder.path())),
        "kept\r\n" + kLine + "2024-03-07 14:05:09,   SNR LID UID,   127.5,   127.5,   127.5\r\n");
}

TEST_F(AutoSave, MidnightStartsTheNextDaysFile) {
    svctest::ScriptedClock clock({{2024, 3, 7, 23, 59, 58, 0}, {2024, 3, 8, 0, 0, 3, 0}});
    tautosavethread t([&clock] { return clock(); });
    t.setfolder(folder.path());
    t.start();
    postautosave(&t, kMsgStatus, kStatus, 4);
    postautosave(&t, kMsgStatus, kStatus, 4);
    t.stop();
    EXPECT_EQ(svctest::readfile(dayfile(folder.path())),
              "2024-03-07 23:59:58,   SNR LID UID,   35.5,   52.0,   51.5\r\n");
    EXPECT_EQ(svctest::readfile(dayfile(folder.path(), "2024_03_08")),
              "2024-03-08 00:00:03,   SNR LID UID,   35.5,   52.0,   51.5\r\n");
}

// A new folder counts from the next reopen; until then lines follow the file that is open (or
// are dropped when none is).
TEST_F(AutoSave, ReopenTakesTheNewFolderAndAMissingFolderIsSilent) {
    const std::string missing = folder / "missing/";
    const std::string second = folder / "second/";
    std::filesystem::create_directory(second);
    // Holds the thread as it takes up the second block, while the folder is changed.
    svctest::ScriptedClock clock({{2024, 3, 7, 14, 5, 9, 0}}, 2);
    tautosavethread t([&clock] { return clock(); });
    t.setfolder(missing);
    t.start();
    postautosave(&t, kMsgStatus, kStatus, 4);  // no folder: lost
    postautosave(&t, kMsgStatus, kStatus, 4);  // folder changed but no reopen yet: lost
    postautosave(&t, kMsgReopen, nullptr, 0);
    postautosave(&t, kMsgStatus, kStatus, 4);
    clock.waitheld();
    t.setfolder(second);
    clock.release();
    t.stop();

    EXPECT_FALSE(svctest::exists(missing));
    EXPECT_EQ(svctest::readfile(dayfile(second)), kLine);
    EXPECT_TRUE(backend.desk.errorboxes().empty());
}

// A full disk loses the line it cut short, wholly: once space is freed the next line starts on a
// line of its own rather than running on from a fragment.
TEST_F(AutoSave, ALineTheDiskTookOnlyInPartIsCutOff) {
    tautosavethread t({}, svctest::fillingdisk(kLine.size() + 20, 1));
    t.setfolder(folder.path());
    t.start();
    for (int i = 0; i < 3; ++i) postautosave(&t, kMsgStatus, kStatus, 4);
    t.stop();
    EXPECT_EQ(svctest::readfile(dayfile(folder.path())), kLine + kLine);
}

}  // namespace

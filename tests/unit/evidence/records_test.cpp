// Recordings on disk: what a failed write leaves, and what the monitor keeps within its cap.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "daemon/keeper.h"
#include "daemon/monitorfile.h"
#include "records/sigmf.h"

namespace {

namespace fs = std::filesystem;

class Folder {
  public:
    explicit Folder(const std::string& name)
        : path_(fs::temp_directory_path() /
                ("korvin-records-" + std::to_string(::getpid()) + "-" + name)) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

const std::vector<std::uint8_t> kCapture(records::kDataBytes, 0x5A);

records::Facts factsof(const std::string& exciter, const std::string& datetime) {
    records::Facts f;
    f.exciter = exciter;
    f.datetime = datetime;
    f.recorder = "test";
    return f;
}

// Whichever file cannot be written, no metadata (the mark of a whole recording) is left, and
// no data file either: alone it would be no recording and escape the keeper's cap.
TEST(Records, AFailedWriteLeavesNeitherFile) {
    Folder folder("failed");
    const std::string base = (folder.path() / "r").string();
    std::string error;
    for (const char* blocked : {".sigmf-data", ".sigmf-meta"}) {
        SCOPED_TRACE(blocked);
        fs::create_directories(base + blocked + "/inside");  // a folder no file can replace
        EXPECT_FALSE(records::writerecording(base, kCapture.data(), factsof("x", ""), error));
        EXPECT_NE(error.find(base + blocked), std::string::npos) << error;
        for (const char* tail : {".sigmf-data", ".sigmf-meta"}) {
            if (tail != std::string(blocked)) {
                EXPECT_FALSE(fs::exists(base + tail)) << tail;
            }
        }
        fs::remove_all(base + blocked);
    }
}

// Names sort by exciter first, so age is told by the files' times: "b" is the oldest here.
TEST(Keeper, TheCapRemovesTheOldestRecordingsFirst) {
    Folder folder("cap");
    const auto now = fs::file_time_type::clock::now();
    const auto age = [&](const std::string& base, int hours) {
        for (const char* tail : {".sigmf-data", ".sigmf-meta"})
            fs::last_write_time(base + tail, now - std::chrono::hours(hours));
    };
    std::string error;
    const std::string b = (folder.path() / "b-20261210T010000000Z").string();
    const std::string a = (folder.path() / "a-20261210T020000000Z").string();
    const std::string c = (folder.path() / "c-20261210T030000000Z").string();
    const std::uint64_t one =
        records::kDataBytes + records::metatext(factsof("b", "2026-12-10T01:00:00.000Z")).size();
    watch::Keeper keeper(folder.path().string(), 2 * one + 64);  // two fit, three do not
    ASSERT_TRUE(keeper.keep(kCapture.data(), factsof("b", "2026-12-10T01:00:00.000Z"), error));
    age(b, 2);
    ASSERT_TRUE(keeper.keep(kCapture.data(), factsof("a", "2026-12-10T02:00:00.000Z"), error));
    age(a, 1);
    EXPECT_TRUE(fs::exists(b + ".sigmf-meta"));
    ASSERT_TRUE(keeper.keep(kCapture.data(), factsof("c", "2026-12-10T03:00:00.000Z"), error));
    EXPECT_FALSE(fs::exists(b + ".sigmf-meta"));
    EXPECT_FALSE(fs::exists(b + ".sigmf-data"));
    for (const auto& kept : {a, c})
        for (const char* tail : {".sigmf-data", ".sigmf-meta"})
            EXPECT_TRUE(fs::exists(kept + tail)) << kept << tail;
}

TEST(MonitorFile, RecordingKeysAreReadAndBounded) {
    const std::string head =
        "[monitor]\nrecordings = /var/rec\nrecordings_mb = 300\nmer_threshold = 28\n"
        "keep_every = 12\n[exciter a]\naddress = 10.0.0.1\n";
    watch::MonitorConfig c;
    std::string error;
    ASSERT_TRUE(watch::parsemonitorfile(head, "m.ini", c, error)) << error;
    EXPECT_EQ(c.recordingsfolder, "/var/rec");
    EXPECT_EQ(c.recordingsmb, 300);
    EXPECT_EQ(c.merthreshold, 28);
    EXPECT_EQ(c.keepevery, 12);
    ASSERT_TRUE(watch::parsemonitorfile("[exciter a]\naddress = 10.0.0.1\n", "m.ini", c, error));
    EXPECT_EQ(c.recordingsfolder, "");  // none kept unless asked
    EXPECT_EQ(c.recordingsmb, 1024);
    EXPECT_EQ(c.merthreshold, 25);
    EXPECT_EQ(c.keepevery, 0);
    for (const char* bad : {"recordings_mb = 0", "mer_threshold = 61", "keep_every = -1"}) {
        const std::string text =
            "[monitor]\n" + std::string(bad) + "\n[exciter a]\naddress = 1.2.3.4\n";
        EXPECT_FALSE(watch::parsemonitorfile(text, "m.ini", c, error)) << bad;
        EXPECT_EQ(error.rfind("m.ini:2: ", 0), 0u) << error;
    }
}

}  // namespace

// Recordings on disk: what a failed write leaves, and what the monitor keeps within its cap.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "analyze/analysis.h"
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

nlohmann::json readjson(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return nlohmann::json::parse(text.str());
}

// The engine's measures go into a recording's annotation under the names korvin-analyze's
// report gives them, read back as they were written; without them neither has those keys.
TEST(Records, MeasuresRoundTripThroughTheAnnotationUnderTheReportsKeys) {
    Folder folder("measures");
    records::Facts f = factsof("a", "2026-12-10T03:00:00.000Z");
    f.measured = true;
    verdicts::Judgement& j = f.judgement;
    j.locked = j.maskpass = j.flatnesspass = j.groupdelaypass = true;
    j.merdb = 31.5;
    verdicts::Measures& m = j.measures;
    m = {.present = true,
         .pilotleveldb = -0.25,
         .carrieroffsethz = 12.5,
         .symbolrateppm = 1.5,
         .merunequaliseddb = 27.5,
         .evmpercent = 2.5,
         .echodb = -30,
         .echous = -2.5,
         .paprdb = 6.25,
         .maskintegratedpass = true,
         .maskintegratedmargindb = 3.5,
         .spurcount = 2};
    m.spurs[0] = {1.25, -55};
    m.spurs[1] = {-2.5, NAN};  // not a number: null, and back as not a number
    m.spurs[2] = {9, 9};       // beyond the count
    const std::string base = (folder.path() / "a").string();
    std::string error;
    ASSERT_TRUE(records::writerecording(base, kCapture.data(), f, error)) << error;
    records::Recording r;
    ASSERT_TRUE(records::readrecording(base, r, error)) << error;
    const verdicts::Measures& back = r.facts.judgement.measures;
    ASSERT_TRUE(back.present);
    EXPECT_EQ(back.pilotleveldb, -0.25);
    EXPECT_EQ(back.carrieroffsethz, 12.5);
    EXPECT_EQ(back.symbolrateppm, 1.5);
    EXPECT_EQ(back.merunequaliseddb, 27.5);
    EXPECT_EQ(back.evmpercent, 2.5);
    EXPECT_EQ(back.echodb, -30);
    EXPECT_EQ(back.echous, -2.5);
    EXPECT_EQ(back.paprdb, 6.25);
    EXPECT_TRUE(back.maskintegratedpass);
    EXPECT_EQ(back.maskintegratedmargindb, 3.5);
    ASSERT_EQ(back.spurcount, 2u);
    EXPECT_EQ(back.spurs[0].mhz, 1.25);
    EXPECT_EQ(back.spurs[0].dbc, -55);
    EXPECT_TRUE(std::isnan(back.spurs[1].dbc));

    const nlohmann::json note = readjson(base + ".sigmf-meta")["annotations"][0];
    const nlohmann::json report = nlohmann::json::parse(analyze::jsonreport({{base, "", r.facts}}));
    // Each as an older engine leaves it: locked, without the measures.
    records::Facts old = f;
    old.judgement.measures = {};
    const nlohmann::json oldreport = nlohmann::json::parse(analyze::jsonreport({{base, "", old}}));
    const std::map<std::string, nlohmann::json> want = {
        {"pilot_level_db", -0.25},
        {"carrier_offset_hz", 12.5},
        {"symbol_rate_error_ppm", 1.5},
        {"mer_db", 31.5},
        {"mer_unequalised_db", 27.5},
        {"evm_percent", 2.5},
        {"largest_echo_db", -30},
        {"largest_echo_us", -2.5},
        {"papr_db", 6.25},
        {"mask_integrated_pass", true},
        {"mask_integrated_margin_db", 3.5},
        {"spurs",
         nlohmann::json::parse(R"([{"mhz": 1.25, "dbc": -55}, {"mhz": -2.5, "dbc": null}])")},
    };
    for (const auto& [key, value] : want) {
        const nlohmann::json missing = "(missing)";
        EXPECT_EQ(note.value("korvin:" + key, missing), value) << key;
        EXPECT_EQ(report[0].value(key, missing), value) << key;
        EXPECT_EQ(oldreport[0].contains(key), key == "mer_db") << key;
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

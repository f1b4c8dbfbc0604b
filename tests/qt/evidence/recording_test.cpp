// A recording as other tools see it: its metadata read by Qt's JSON parser (not the writer's),
// its samples compared with the capture, and the real korvin-analyze measuring it again to the
// figures the engine gave live. Then the bad inputs korvin-analyze must name and step over.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "dllexport.h"
#include "engine/buffers.h"
#include "engine/verdicts.h"
#include "records/sigmf.h"
#include "support/analyzeprocess.h"
#include "vsbsignal.h"

namespace {

namespace fs = std::filesystem;
using korvin::test::readwhole;
using korvin::test::runanalyze;

class Folder {
  public:
    explicit Folder(const std::string& name)
        : path_(fs::temp_directory_path() /
                ("korvin-evidence-" + std::to_string(::getpid()) + "-" + name)) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

std::vector<std::uint8_t> capture(std::uint64_t seed, const vsb::Impairments& imp) {
    std::vector<std::uint8_t> words(records::kDataBytes);
    vsb::Generator(seed, imp).capture(words.data(), records::kSamples);
    return words;
}

// The engine on the capture, as the client and the monitor run it.
records::Facts live(const std::vector<std::uint8_t>& words) {
    static MeasureBuffers buffers;
    splitsamples(words.data(), buffers.sampleblock);
    records::Facts f;
    f.measured = true;
    f.engineresult = monitormain(buffers.sampleblock, buffers.resultblock, 2000.0, 0, 0);
    f.judgement = verdicts::judge(buffers.resultblock, f.engineresult);
    return f;
}

void write(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// SigMF puts every field of global, captures and annotations in a namespace ("core:", ...).
void expectnamespaced(const QJsonObject& o, const char* where) {
    for (const QString& key : o.keys())
        EXPECT_TRUE(key.contains(':')) << where << ": " << key.toStdString();
}

TEST(Recording, ReadsAsSigmfElsewhereAndMeasuresAgainToTheLiveFigures) {
    Folder folder("roundtrip");
    vsb::Impairments imp;
    imp.snrdb = 30;
    imp.rippledb = 0.3;
    imp.gdripplens = 120;  // beyond the group-delay bound: a failing verdict to carry over
    imp.carrieroffsethz = 15e3;
    const auto words = capture(11, imp);
    records::Facts facts = live(words);
    const verdicts::Judgement& j = facts.judgement;
    ASSERT_TRUE(j.locked);
    ASSERT_TRUE(j.maskpass);
    ASSERT_FALSE(j.groupdelaypass);
    facts.datetime = "2026-12-10T03:00:00.250Z";
    facts.recorder = "korvin-monitor";
    facts.exciter = "site-a";
    facts.address = "127.0.0.1:5700";
    facts.hasstatus = true;
    facts.status = {0, 60, 91, 93};
    const std::string base = folder / "site-a";
    std::string error;
    ASSERT_TRUE(records::writerecording(base, words.data(), facts, error)) << error;

    QJsonParseError perr;
    const QByteArray metatext = QByteArray::fromStdString(readwhole(base + ".sigmf-meta"));
    const QJsonObject meta = QJsonDocument::fromJson(metatext, &perr).object();
    ASSERT_EQ(perr.error, QJsonParseError::NoError) << perr.errorString().toStdString();
    const QJsonObject global = meta["global"].toObject();
    EXPECT_EQ(global["core:datatype"].toString(), "ci16_le");
    EXPECT_EQ(global["core:sample_rate"].toDouble(), 10762238.0);
    EXPECT_EQ(global["core:version"].toString(), "1.0.0");
    EXPECT_EQ(global["korvin:status_snr_db"].toDouble(), 30.0);
    EXPECT_EQ(global["korvin:status_imd_upper_db"].toDouble(), 46.5);
    bool declared = false;
    for (const auto& e : global["core:extensions"].toArray())
        declared |= e.toObject()["name"].toString() == "korvin";
    EXPECT_TRUE(declared) << "korvin: keys without their extension declared";
    ASSERT_EQ(meta["captures"].toArray().size(), 1);
    const QJsonObject cap = meta["captures"].toArray()[0].toObject();
    EXPECT_EQ(cap["core:sample_start"].toInt(-1), 0);
    EXPECT_EQ(cap["core:datetime"].toString(), "2026-12-10T03:00:00.250Z");
    ASSERT_EQ(meta["annotations"].toArray().size(), 1);
    const QJsonObject note = meta["annotations"].toArray()[0].toObject();
    EXPECT_EQ(note["core:sample_start"].toInt(-1), 0);
    EXPECT_EQ(note["core:sample_count"].toInt(), 8192);
    EXPECT_EQ(note["core:label"].toString(), "Fail");
    EXPECT_EQ(note["korvin:mer_db"].toDouble(), j.merdb);
    expectnamespaced(global, "global");
    expectnamespaced(cap, "capture");
    expectnamespaced(note, "annotation");

    // ci16_le: I then Q, each a little-endian signed 16-bit word, as the exciter sends them.
    const std::string data = readwhole(base + ".sigmf-data");
    ASSERT_EQ(data.size(), records::kDataBytes);
    for (std::size_t k = 0; k < records::kSamples; ++k) {
        const auto* s = reinterpret_cast<const std::uint8_t*>(data.data()) + 4 * k;
        const auto* w = words.data() + 4 * k;
        const auto word = [](const std::uint8_t* p) { return std::int16_t(p[0] | p[1] << 8); };
        ASSERT_EQ(word(s), word(w)) << "I of sample " << k;
        ASSERT_EQ(word(s + 2), word(w + 2)) << "Q of sample " << k;
    }

    const auto run = runanalyze({"--json", base + ".sigmf-meta"}, folder.path());
    EXPECT_EQ(run.exitcode, 1) << run.err;  // the group delay fails
    EXPECT_EQ(run.err, "");
    const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    ASSERT_EQ(all.size(), 1) << run.out;
    const QJsonObject again = all[0].toObject();
    EXPECT_EQ(again["file"].toString().toStdString(), base);
    EXPECT_EQ(again["verdict"].toString(), "Fail");
    EXPECT_EQ(again["exciter"].toString(), "site-a");
    EXPECT_EQ(again["datetime"].toString(), "2026-12-10T03:00:00.250Z");
    // Another process may plan its transforms otherwise: equal to the last bits that can move.
    EXPECT_NEAR(again["mer_db"].toDouble(), j.merdb, 1e-9);
    EXPECT_NEAR(again["flatness_pp_db"].toDouble(), j.flatnesspp, 1e-9);
    EXPECT_NEAR(again["group_delay_pp_ns"].toDouble(), j.groupdelaypp, 1e-9);
    EXPECT_NEAR(again["mask_margin_db"].toDouble(), j.maskmargindb, 1e-9);
    EXPECT_EQ(again["mask_pass"].toBool(), j.maskpass);
    EXPECT_EQ(again["flatness_pass"].toBool(), j.flatnesspass);
    EXPECT_EQ(again["group_delay_pass"].toBool(), j.groupdelaypass);

    // The engine's further measures: in the annotation and again in the report under one name,
    // and near what the capture was made with.
    ASSERT_TRUE(j.measures.present);
    for (const char* key : {"pilot_level_db", "carrier_offset_hz", "symbol_rate_error_ppm",
                            "mer_unequalised_db", "evm_percent", "largest_echo_db",
                            "largest_echo_us", "papr_db", "mask_integrated_margin_db"}) {
        ASSERT_TRUE(note["korvin:" + QString(key)].isDouble()) << key;
        EXPECT_NEAR(again[key].toDouble(), note["korvin:" + QString(key)].toDouble(), 1e-9) << key;
    }
    EXPECT_EQ(again["mask_integrated_pass"], note["korvin:mask_integrated_pass"]);
    EXPECT_EQ(again["spurs"], note["korvin:spurs"]);
    EXPECT_TRUE(again["spurs"].isArray());
    EXPECT_NEAR(again["carrier_offset_hz"].toDouble(), imp.carrieroffsethz, 20);
    EXPECT_NEAR(again["symbol_rate_error_ppm"].toDouble(), 0, 2);
    EXPECT_NEAR(again["pilot_level_db"].toDouble(), 0, 1);
    EXPECT_GT(again["papr_db"].toDouble(), 4);
    EXPECT_LT(again["papr_db"].toDouble(), 9);
    // The ripples are the equaliser's to take out: the MER without it is no better.
    EXPECT_LE(again["mer_unequalised_db"].toDouble(), j.merdb + 0.5);
}

// A super-mode log's dump of `words`: the first half, a bare stamp, the second half.
std::string logdump(const std::vector<std::uint8_t>& words, std::size_t lines) {
    std::string text = "2026-12-10 03:00:00 Receive complex:\r\n";
    for (std::size_t k = 0; k < lines; ++k) {
        if (k == records::kSamples / 2) text += "2026-12-10 03:00:00 \r\n";
        const auto* w = words.data() + 4 * k;
        text += std::to_string(std::int16_t(w[0] | w[1] << 8)) + " " +
                std::to_string(std::int16_t(w[2] | w[3] << 8)) + "\r\n";
    }
    return text;
}

TEST(Analyze, NamesEachBadInputOnStandardErrorAndStillMeasuresTheGoodOnes) {
    Folder folder("malformed");
    const auto words = capture(3, vsb::Impairments{});
    records::Facts facts;
    facts.recorder = "test";
    std::string error;
    for (const char* name : {"good", "truncated", "wrongtype", "brokenjson", "twocaptures"})
        ASSERT_TRUE(records::writerecording(folder / name, words.data(), facts, error)) << error;
    fs::resize_file(folder / "truncated.sigmf-data", 1000);
    fs::resize_file(folder / "twocaptures.sigmf-data", 2 * records::kDataBytes);
    std::string meta = readwhole(folder / "wrongtype.sigmf-meta");
    meta.replace(meta.find("ci16_le"), 7, "cf32_le");
    write(folder / "wrongtype.sigmf-meta", meta);
    meta = readwhole(folder / "brokenjson.sigmf-meta");
    write(folder / "brokenjson.sigmf-meta", meta.substr(0, meta.size() / 2));
    // One whole dump, then one cut in the middle of its second half.
    write(folder / "halfdump.txt", "2026-12-10 02:59:59:Initialized successfully!\r\n" +
                                       logdump(words, records::kSamples) +
                                       logdump(words, records::kSamples * 3 / 4));
    fs::create_directories(folder / "empty");

    const std::map<std::string, std::string> bad = {
        {folder / "truncated.sigmf-data", "not 8192 samples of ci16_le"},
        {folder / "twocaptures.sigmf-data", "not 8192 samples of ci16_le"},
        {folder / "wrongtype.sigmf-meta", "datatype is not ci16_le"},
        {folder / "brokenjson.sigmf-meta", "not SigMF metadata"},
        {folder / "halfdump.txt:14341", "a capture dump cut short"},
        {folder / "missing.sigmf-meta", "cannot be read"},
        {folder / "empty", "no recordings"},
    };
    const auto run = runanalyze({folder / "truncated.sigmf-meta", folder / "good.sigmf-meta",
                                 folder / "twocaptures.sigmf-meta", folder / "wrongtype.sigmf-meta",
                                 folder / "brokenjson.sigmf-meta", folder / "halfdump.txt",
                                 folder / "missing.sigmf-meta", folder / "empty"},
                                folder.path());
    EXPECT_EQ(run.exitcode, 2);
    std::istringstream err(run.err);
    std::size_t lines = 0;
    for (std::string line; std::getline(err, line); ++lines) {
        bool known = false;
        for (const auto& [file, reason] : bad)
            known |= line.find(file + ": " + reason) != std::string::npos;
        EXPECT_TRUE(known) << line;
    }
    EXPECT_EQ(lines, bad.size()) << run.err;
    // The good recording, and the whole dump before the cut one, measured as ever.
    std::istringstream out(run.out);
    std::vector<std::string> measured;
    for (std::string line; std::getline(out, line);) measured.push_back(line);
    ASSERT_EQ(measured.size(), 2u) << run.out;
    EXPECT_EQ(measured[0].rfind(folder / "good: Pass  MER ", 0), 0u) << measured[0];
    EXPECT_EQ(measured[1].rfind(folder / "halfdump-0001: Pass  MER ", 0), 0u) << measured[1];
}

}  // namespace

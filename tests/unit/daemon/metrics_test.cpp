#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "daemon/metrics.h"
#include "engine/resultlayout.h"
#include "engine/verdicts.h"

namespace {

using watch::ExciterFigures;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

bool has(const std::vector<std::string>& ls, const std::string& line) {
    return std::find(ls.begin(), ls.end(), line) != ls.end();
}

TEST(Metrics, EveryFamilyOnceWithItsSamplesAfterItAndLabelsEscaped) {
    ExciterFigures a;  // just started: no status, no measurement yet
    a.frameerrors[5] = 3;
    ExciterFigures b;
    b.up = true;
    b.hasstatus = true;
    b.snrdb = 31.5;
    b.imdlowerdb = 50.5;
    b.hasmeasurement = true;
    b.maskpass = true;
    b.maskmargindb = -1.25;
    b.captures = 7;
    const auto ls = lines(watch::rendermetrics({"a\"b\\c\nd", "b"}, {a, b}));

    // Every sample line follows the HELP and TYPE of its own family, each given once.
    const std::regex sample(
        R"re(^([a-zA-Z_:][a-zA-Z0-9_:]*)\{exciter="((?:[^"\\]|\\.)*)"(,kind="[a-z]+")?\} (\S+)$)re");
    std::string family;
    std::vector<std::string> seen;
    for (const auto& l : ls) {
        std::smatch m;
        if (l.rfind("# HELP ", 0) == 0) {
            family = l.substr(7, l.find(' ', 7) - 7);
            EXPECT_EQ(std::count(seen.begin(), seen.end(), family), 0) << family;
            seen.push_back(family);
        } else if (l.rfind("# TYPE ", 0) == 0) {
            const bool counter = family.size() > 6 && family.ends_with("_total");
            EXPECT_EQ(l, "# TYPE " + family + (counter ? " counter" : " gauge"));
        } else {
            ASSERT_TRUE(std::regex_match(l, m, sample)) << l;
            EXPECT_EQ(m[1], family) << l;
        }
    }
    EXPECT_EQ(seen.size(), 28u);

    EXPECT_TRUE(has(ls, R"(korvin_exciter_up{exciter="a\"b\\c\nd"} 0)"));
    EXPECT_TRUE(has(ls, R"(korvin_exciter_up{exciter="b"} 1)"));
    EXPECT_TRUE(has(ls, R"(korvin_exciter_snr_db{exciter="b"} 31.5)"));
    EXPECT_TRUE(has(ls, R"(korvin_exciter_imd_lower_db{exciter="b"} 50.5)"));
    EXPECT_TRUE(has(ls, R"(korvin_mask_pass{exciter="b"} 1)"));
    EXPECT_TRUE(has(ls, R"(korvin_mask_margin_db{exciter="b"} -1.25)"));
    EXPECT_TRUE(has(ls, R"(korvin_captures_total{exciter="b"} 7)"));
    EXPECT_TRUE(has(ls, R"(korvin_frame_errors_total{exciter="a\"b\\c\nd",kind="sum"} 3)"));
    EXPECT_TRUE(has(ls, R"(korvin_frame_errors_total{exciter="b",kind="pointer"} 0)"));
    // What an exciter has not yet given has no series: no stale or made-up zero.
    for (const auto& l : ls) {
        if (l.find("exciter=\"a") == std::string::npos) continue;
        EXPECT_EQ(l.find("_db{"), std::string::npos) << l;
        EXPECT_EQ(l.find("korvin_mask_pass{"), std::string::npos) << l;
        EXPECT_EQ(l.find("timestamp_seconds{"), std::string::npos) << l;
    }
}

// What promtool's linter says of an exposition: one line a finding, "" when it finds none.
std::string promtoolfindings(const std::string& exposition) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("korvin-metrics-" + std::to_string(::getpid()) + ".txt");
    std::ofstream(file) << exposition;
    const std::string command =
        std::string(PROMTOOL_BIN) + " check metrics < " + file.string() + " 2>&1; echo rc=$?";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        ::pclose(p);
    }
    std::filesystem::remove(file);
    return out;
}

// The engine's measures of a capture, from a result block as the engine leaves it, go out in
// base units; an engine without the measures area, or a capture it did not lock, gives none.
TEST(Metrics, EngineMeasuresInBaseUnitsOnlyFromALockedCaptureThatHasThem) {
    namespace rl = resultlayout;
    std::vector<std::uint8_t> block(rl::kBlockSize);
    rl::writemeasuresmarker(block.data());
    const std::pair<rl::Measure, double> written[] = {{rl::PilotLevelRelDb, -0.25},
                                                      {rl::CarrierFrequencyHz, 12.5},
                                                      {rl::SymbolRateErrorPpm, 1.5},
                                                      {rl::MerEqualisedDb, 31},
                                                      {rl::MerUnequalisedDb, 27.5},
                                                      {rl::EvmPercent, 2.5},
                                                      {rl::LargestEchoDb, -30},
                                                      {rl::LargestEchoUs, -2.5},
                                                      {rl::PaprDb, 6.25},
                                                      {rl::MaskIntegratedPass, 1},
                                                      {rl::MaskIntegratedMarginDb, 3.5},
                                                      {rl::SpurCount, 2}};
    for (const auto& [m, v] : written) rl::writemeasure(block.data(), m, v);
    const double spurs[] = {1.25, -55, -2.5, -60, 9, 9};  // a third beyond SpurCount
    for (std::size_t i = 0; i < std::size(spurs); ++i)
        rl::write(block.data(), rl::kSpursOffset + 8 * i, spurs[i]);
    rl::write(block.data(), rl::kDiagnosticsOffset, 31);  // MerDb
    std::vector<ExciterFigures> figures(2);
    rl::writelock(block.data(), rl::LockReason::Locked);
    verdicts::Judgement j = verdicts::judge(block.data(), 0);
    ASSERT_TRUE(j.locked);
    figures[0].takemeasurement(j, 1.8e9);
    ASSERT_EQ(j.measures.spurcount, 2u);
    EXPECT_EQ(j.measures.spurs[1].mhz, -2.5);
    EXPECT_EQ(j.measures.spurs[1].dbc, -60);
    rl::writelock(block.data(), rl::LockReason::NoPilot);
    j = verdicts::judge(block.data(), 0);
    EXPECT_FALSE(j.locked || j.measures.present);  // the watcher takes no figure of it
    // An engine that writes neither area: taken as locked, without the new figures.
    std::memset(block.data() + rl::kLockOffset, 0, 8);
    std::memset(block.data() + rl::kMeasuresOffset, 0, 8);
    j = verdicts::judge(block.data(), 0);
    ASSERT_TRUE(j.locked);
    figures[1].takemeasurement(j, 1.8e9);
    const std::string text = watch::rendermetrics({"new", "old"}, figures);
    const auto ls = lines(text);

    for (const char* line : {
             R"(korvin_pilot_level_db{exciter="new"} -0.25)",
             R"(korvin_carrier_offset_hertz{exciter="new"} 12.5)",
             R"(korvin_symbol_rate_error_ratio{exciter="new"} 1.5e-06)",
             R"(korvin_mer_db{exciter="new"} 31)",
             R"(korvin_mer_unequalised_db{exciter="new"} 27.5)",
             R"(korvin_evm_ratio{exciter="new"} 0.025)",
             R"(korvin_largest_echo_db{exciter="new"} -30)",
             R"(korvin_largest_echo_delay_seconds{exciter="new"} -2.5e-06)",
             R"(korvin_papr_db{exciter="new"} 6.25)",
             R"(korvin_mask_integrated_pass{exciter="new"} 1)",
             R"(korvin_mask_integrated_margin_db{exciter="new"} 3.5)",
             R"(korvin_spurs{exciter="new"} 2)",
             R"(korvin_mer_db{exciter="old"} 31)",
         })
        EXPECT_TRUE(has(ls, line)) << line;
    std::size_t samples = 0;
    for (const auto& l : ls) {
        samples += l.find("{exciter=\"new\"}") != std::string::npos;
        if (l.find("{exciter=\"new\"}") != std::string::npos || l.starts_with("#")) continue;
        for (const char* family :
             {"korvin_pilot_level_db{", "korvin_carrier_offset_hertz{",
              "korvin_symbol_rate_error_ratio{", "korvin_mer_unequalised_db{", "korvin_evm_ratio{",
              "korvin_largest_echo", "korvin_papr_db{", "korvin_mask_integrated", "korvin_spurs{"})
            EXPECT_NE(l.rfind(family, 0), 0u) << l;
    }
    EXPECT_EQ(samples, 24u);  // every gauge of the figures and the counters

    // Prometheus's own linter on every family with a sample. The one finding is an older
    // family's name, kept because alerts and dashboards name it.
    EXPECT_EQ(promtoolfindings(text),
              "korvin_group_delay_peak_to_peak_ns metric names should not contain abbreviated "
              "units\nrc=3\n");
}

TEST(Metrics, NonFiniteFiguresUseTheFormatsSpelling) {
    ExciterFigures f;
    f.hasmeasurement = true;
    f.merdb = std::numeric_limits<double>::quiet_NaN();
    f.flatnesspp = std::numeric_limits<double>::infinity();
    f.groupdelaypp = -std::numeric_limits<double>::infinity();
    f.maskmargindb = 0.1;
    const auto ls = lines(watch::rendermetrics({"x"}, {f}));
    EXPECT_TRUE(has(ls, R"(korvin_mer_db{exciter="x"} NaN)"));
    EXPECT_TRUE(has(ls, R"(korvin_flatness_peak_to_peak_db{exciter="x"} +Inf)"));
    EXPECT_TRUE(has(ls, R"(korvin_group_delay_peak_to_peak_ns{exciter="x"} -Inf)"));
    // The shortest text that reads back as the same double.
    EXPECT_TRUE(has(ls, R"(korvin_mask_margin_db{exciter="x"} 0.1)"));
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "daemon/metrics.h"

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
    EXPECT_EQ(seen.size(), 17u);

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

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "services/autosavethread.h"
#include "windowfixture.h"
#include "windows/formeye.h"
#include "windows/formsnr.h"

namespace {

using korvin::test::exportcalls;
using korvin::test::WindowTest;

using Eye = WindowTest;

TEST_F(Eye, TracesAppearWithTheFirstResultAndAreAllReplaced) {
    auto& w = openwindow<TForm_eye>(2);
    EXPECT_EQ(w.clientheight, 663);
    EXPECT_EQ(w.traces.size(), 200u);
    EXPECT_TRUE(w.cht_eye.series().empty());
    for (std::size_t t = 0; t < 200; ++t)
        for (std::size_t j = 0; j < 22; ++j) seteye(t, j, 1000.0 * t + j);
    seteye(5, 3, NAN);
    const int before = w.cht_eye.repaints();
    w.showdata(block.data());
    EXPECT_EQ(w.cht_eye.repaints(), before + 1);
    ASSERT_EQ(w.cht_eye.series().size(), 200u);
    const auto& first = w.traces[0]->points;
    ASSERT_EQ(first.size(), 22u);
    EXPECT_DOUBLE_EQ(first[0].x, 6.0 / 11);
    EXPECT_DOUBLE_EQ(first[5].x, 1.0);
    EXPECT_DOUBLE_EQ(first[16].x, 2.0);
    EXPECT_DOUBLE_EQ(first[21].x, 27.0 / 11);
    EXPECT_EQ(w.traces[199]->points[21].y, 199021.0);  // beyond the axis, still plotted
    EXPECT_EQ(w.traces[5]->points.size(), 21u);
    EXPECT_EQ(w.cht_eye.series()[7], w.traces[7].get());

    for (std::size_t t = 0; t < 200; ++t)
        for (std::size_t j = 0; j < 22; ++j) seteye(t, j, -1.0);
    w.showdata(block.data());
    EXPECT_EQ(w.cht_eye.series().size(), 200u);
    for (const auto& s : w.traces) {
        ASSERT_EQ(s->points.size(), 22u);
        for (const auto& p : s->points) EXPECT_EQ(p.y, -1.0);
    }
    w.close();
    EXPECT_TRUE(w.cht_eye.series().empty());
}

class Snr : public WindowTest {
  protected:
    TForm_snr& open() { return openwindow<TForm_snr>(5); }
    // Status blocks numbered from 1: byte 1 carries the number (mod 256), one second apart.
    void feed(TForm_snr& w, int from, int to) {
        for (int n = from; n <= to; ++n) {
            const std::uint8_t s[4] = {0, static_cast<std::uint8_t>(n), 100, 101};
            w.showstatus(s);
            backend.clock.advance(1000);
        }
    }
    static std::vector<std::string> lines(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::vector<std::string> out;
        std::string all = ss.str();
        for (std::size_t p = 0; (p = all.find("\r\n")) != std::string::npos; all.erase(0, p + 2))
            out.push_back(all.substr(0, p));
        EXPECT_TRUE(all.empty());
        return out;
    }
};

TEST_F(Snr, ReferenceLinesOnlyUntilTheFirstBlock) {
    auto& w = open();
    EXPECT_FALSE(w.tmr1.enabled());
    auto& series = w.cht_snr_imd.series();
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series[0]->title, "IMD Standard");
    EXPECT_EQ(korvin::test::ys(*series[0]), (std::vector<double>{47, 47}));
    EXPECT_EQ(series[1]->title, "SNR Standard");
    EXPECT_EQ(korvin::test::ys(*series[1]), (std::vector<double>{27, 27}));
    EXPECT_EQ(series[1]->pencolor, platform::kRed);
    EXPECT_EQ(w.lbl_uimd.top, 196);
    EXPECT_TRUE(w.lbl_mer.caption().empty());  // the status window has no MER line
    EXPECT_EQ(w.N_ALL.hint, "Save Both,One JPG,One txt!");

    const std::uint8_t s[4] = {0, 0x47, 0x68, 0x67};
    w.showstatus(s);
    ASSERT_EQ(series.size(), 5u);
    EXPECT_EQ(series[2]->title, "SNR");
    EXPECT_EQ(series[2]->color, platform::kPurple);
    EXPECT_EQ(series[3]->title, "Lower IMD");
    EXPECT_EQ(series[4]->color, platform::kGreen);
    EXPECT_EQ(korvin::test::ys(*w.series_snr), std::vector<double>{35.5});
    EXPECT_EQ(korvin::test::ys(*w.series_limd), std::vector<double>{52.0});
    EXPECT_EQ(korvin::test::ys(*w.series_uimd), std::vector<double>{51.5});
    EXPECT_EQ(w.series_snr->points[0].x, 0);
    EXPECT_EQ(w.lbl_snr.caption(), "35.5dB");
    EXPECT_EQ(snrhistory.pos, 1u);
}

TEST_F(Snr, RingWrapsAndScrollsOldestFirst) {
    auto& w = open();
    feed(w, 1, 600);
    EXPECT_TRUE(snrhistory.wrapped);
    EXPECT_EQ(snrhistory.pos, 0u);
    ASSERT_EQ(w.series_snr->points.size(), 600u);
    EXPECT_EQ(w.series_snr->points[0].y, 0.5);
    feed(w, 601, 601);
    ASSERT_EQ(w.series_snr->points.size(), 600u);
    EXPECT_EQ(w.series_snr->points[0].y, 1.0);  // block 2 is now the oldest
    EXPECT_EQ(w.series_snr->points[599].x, 599);
    EXPECT_EQ(w.series_snr->points[599].y, (601 % 256) / 2.0);
    EXPECT_EQ(snrhistory.pos, 1u);

    w.close();
    backend.processevents();
    auto& again = open();
    EXPECT_EQ(snrhistory.pos, 0u);
    EXPECT_FALSE(snrhistory.wrapped);
    EXPECT_EQ(again.cht_snr_imd.series().size(), 2u);
}

TEST_F(Snr, TextExportWritesTheRingOldestFirst) {
    auto& w = open();
    backend.desk.savechoices.push_back(path("empty"));
    w.N_VALUE.click();
    EXPECT_EQ(backend.desk.savedialogs.back().filter, "TXT Files(*.txt)|*.txt|All Files(*.*)|*.*");
    EXPECT_TRUE(std::filesystem::exists(path("empty.txt")));
    EXPECT_TRUE(lines(path("empty.txt")).empty());

    feed(w, 1, 700);
    w.savetxt(path("history.txt"));
    const auto l = lines(path("history.txt"));
    ASSERT_EQ(l.size(), 600u);
    platform::LocalTime t101 = backend.desk.start;
    t101.minute += 1;  // block 101 arrived 100 s after block 1 (14:05:09)
    t101.second = 49;
    EXPECT_EQ(l[0] + "\r\n", snrimdline(t101, 101, 100, 101));
    EXPECT_EQ(l[0], "2024-03-07 14:06:49,   SNR LID UID,   50.5,   50.0,   50.5");
    EXPECT_EQ(l[599].substr(0, 19), "2024-03-07 14:16:48");
}

TEST_F(Snr, ExistingFileIsRewrittenOnlyOnYes) {
    auto& w = open();
    feed(w, 1, 3);
    const std::string file = path("h.txt");
    for (auto answer : {platform::Answer::No, platform::Answer::Cancel, platform::Answer::Yes}) {
        std::ofstream(file) << "old";
        backend.desk.answers.push_back(answer);
        w.savetxt(file);
        EXPECT_EQ(backend.desk.questions.back(), "File exist,Rewrite?");
        if (answer == platform::Answer::Yes) {
            EXPECT_EQ(lines(file).size(), 3u);
        } else {
            std::ifstream in(file);
            std::string content;
            std::getline(in, content);
            EXPECT_EQ(content, "old");
        }
    }
    EXPECT_EQ(backend.desk.questions.size(), 3u);
    w.savetxt(path("nofolder/h.txt"));
    w.savetxt(folder().string());  // a folder: it exists, but cannot be opened for writing
    backend.desk.answers.push_back(platform::Answer::Yes);
    w.savetxt(folder().string());
    EXPECT_EQ(backend.desk.errorboxes(),
              (std::vector<std::string>{"Can not Create file,Please check!",
                                        "Can not open exist file,Please check!"}));
}

TEST_F(Snr, SaveBothGivesOneJpgAndOneTxt) {
    auto& w = open();
    feed(w, 1, 2);
    for (std::string chosen : {"report", "report.jpg", "report.txt"}) {
        exportcalls().clear();
        std::filesystem::remove(path("report.txt"));
        backend.desk.savechoices.push_back(path(chosen));
        w.N_ALL.click();
        EXPECT_EQ(backend.desk.savedialogs.back().filter, "All Files(*.*)|*.*");
        ASSERT_EQ(exportcalls().size(), 1u);
        EXPECT_EQ(exportcalls()[0].file, path("report.jpg"));
        EXPECT_EQ(exportcalls()[0].chart, &w.cht_snr_imd);
        EXPECT_EQ(lines(path("report.txt")).size(), 2u) << chosen;
        EXPECT_EQ(w.savedlg_1.filename, path(chosen));
    }
    exportcalls().clear();
    backend.desk.savechoices.push_back(path("shot.png"));
    w.n_form.click();
    ASSERT_EQ(exportcalls().size(), 1u);
    EXPECT_EQ(exportcalls()[0].file, path("shot.jpg"));
}

}  // namespace

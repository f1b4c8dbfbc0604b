// Malformed, missing, misnumbered and late replies from the exciter, against the real program
// with a measurement window open: each fault leaves its own log text (or none), a packet the
// client may not take is never acknowledged, and complete captures arrive after the fault.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "faultrun.h"

namespace {

using namespace korvin::test;

// Status block 00 3C 2A 2B: SNR 30.0 dB in the readout.
const std::vector<std::string> kStatus = {"--status", "003C2A2B"};

struct FrameFault {
    const char* name;
    std::vector<std::string> args;
    Window window;
    // Exact count of "Frame Format Error,type:" lines per check text; nullopt where the
    // fault's timing decides (a late reply that shares a read with the next one).
    std::optional<std::map<std::string, std::size_t>> formaterrors;
    std::size_t timeouts;   // at least this many retry lines
    std::vector<int> lost;  // captures the fault keeps from completing
    int recovered;          // a capture that completes after the faults (or a later one)
    bool traffic = false;   // traffic logging on: a line per frame sent and per read
};

const std::string kTrafficOn = "[SAVE_COMM]\r\nSwitch=1\r\n";

void PrintTo(const FrameFault& f, std::ostream* os) {
    *os << f.name;
}

class FrameFaults : public ::testing::TestWithParam<FrameFault> {};

// Replies are counted from 1 over the run; with 32-packet captures reply 3 is packet 3 of
// capture 1, and reply 35 is packet 3 of capture 2, or packet 32 of it when capture 1 was cut
// short at reply 3.
const FrameFault kFaults[] = {
    {"BadSumLoggedAndUsed",
     {"--bad-sum", "3"},
     kConstellation,
     {{{"Sum ERROR", 1}}},
     0,
     {},
     2,
     true},
    {"BadTailLoggedAndUsed", {"--bad-tail", "3"}, kEye, {{{"Tail ERROR", 1}}}, 0, {}, 2},
    {"LengthPastTheFrameReportedAtTheTimeout",
     {"--bad-length", "3"},
     kAmplitude,
     {{{"Sum ERROR", 1}}},
     1,
     {1},
     2},
    {"SkippedNumbersRejected", {"--skip", "3,35"}, kSpectrum, {{}}, 2, {1, 2}, 3},
    {"RepeatedPacketsRejected", {"--repeat", "3,35"}, kConstellation, {{}}, 2, {1, 2}, 3},
    {"SplitFramesJoined",
     {"--split", "every:2", "--split-gap", "40"},
     kSpectrum,
     {{}},
     0,
     {},
     2,
     true},
    {"GarbageLoggedAndRetried", {"--garbage", "3"}, kEye, {{{"ID ERROR", 1}}}, 1, {1}, 2},
    {"DroppedReplyRetried", {"--drop", "3"}, kAmplitude, {{}}, 1, {1}, 2},
    {"LateReplyDropped",
     {"--delay", "2600", "--delay-on", "3"},
     kConstellation,
     std::nullopt,
     1,
     {1},
     2},
};

const char* const kCheckTexts[] = {"ID ERROR",   "Header ERROR", "Length ERROR", "Index ERROR",
                                   "Data ERROR", "Sum ERROR",    "Tail ERROR",   "Ptr ERROR"};

TEST_P(FrameFaults, LoggedRejectedOrUsedAndTheCycleRecovers) {
    const FrameFault& f = GetParam();
    std::vector<std::string> args = f.args;
    args.insert(args.end(), kStatus.begin(), kStatus.end());
    FaultRun run(f.name, args, f.traffic ? kTrafficOn : "");
    ASSERT_TRUE(run.connect());
    ASSERT_TRUE(run.openwindow(f.window));
    ASSERT_TRUE(run.done(f.recovered, 30000));
    // Still answering, with the readout filled from the packets.
    EXPECT_EQ(run.app().command(std::string("state ") + f.window.form + " lbl_snr"),
              "ok enabled=1 visible=1 caption=30.0dB");
    ASSERT_TRUE(run.closewindow());
    EXPECT_EQ(run.app().command("state mainform btn_disconnect").substr(0, 13), "ok enabled=1 ");
    EXPECT_EQ(run.quit(), 0);
    ASSERT_TRUE(run.sim().waitforprefix("DISCONNECT", 10000));  // the record is complete

    const auto record = run.sim().lines();
    for (int k = 1; k < f.recovered; ++k) {
        const bool lost = std::find(f.lost.begin(), f.lost.end(), k) != f.lost.end();
        EXPECT_EQ(countof(record, "DONE capture=" + std::to_string(k)), lost ? 0u : 1u) << k;
    }
    // The exciter ignores an acknowledgement of anything but the packet it sent last.
    EXPECT_EQ(countprefix(record, "IGNORE"), 0u);
    EXPECT_EQ(countprefix(record, "BAD"), 0u);

    const auto log = run.log();
    EXPECT_EQ(countprefix(log, "?"), 0u) << "torn log line";
    if (f.formaterrors) {
        for (const char* text : kCheckTexts) {
            const auto want = f.formaterrors->find(text);
            EXPECT_EQ(countof(log, kFormatError + text),
                      want == f.formaterrors->end() ? 0u : want->second)
                << text;
        }
    }
    EXPECT_GE(countof(log, kReread), f.timeouts);
    EXPECT_EQ(countof(log, kGiveUp), 0u);
    EXPECT_EQ(log.back(), kDisconnected);  // closing with the link up
    // Every frame the exciter received has its line, however busy the log was.
    if (f.traffic) {
        EXPECT_EQ(countof(log, "Send Frame Successful!"), countprefix(record, "RX 10 "));
    }
}

INSTANTIATE_TEST_SUITE_P(Exciter, FrameFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// The status window's frames: a bad checksum or tail is logged and the figures still shown, a
// split frame joined, a garbage burst logged and followed by one retry.
TEST(StatusFrameFaults, LoggedJoinedOrRetriedWhileStatusRequestsGoOn) {
    FaultRun run("status", {"--bad-sum", "2", "--split", "3", "--garbage", "4", "--bad-tail", "6",
                            "--status", "003C2A2B"});
    ASSERT_TRUE(run.connect());
    ASSERT_TRUE(run.openwindow(kSnr));
    // The eighth request goes out only once the seventh reply is in (or timed out).
    const auto isrequest = [](const std::string& l) { return l.rfind(kStatusRequestLine, 0) == 0; };
    std::size_t from = 0;
    for (int n = 1; n <= 8; ++n) {
        const auto at = run.sim().waitfor(isrequest, 15000, from);
        ASSERT_TRUE(at.has_value()) << "status request " << n;
        from = *at + 1;
    }
    EXPECT_EQ(run.app().command("state TForm_snr lbl_limd"),
              "ok enabled=1 visible=1 caption=21.0dB");
    ASSERT_TRUE(run.closewindow());
    EXPECT_EQ(run.quit(), 0);

    const auto log = run.log();
    EXPECT_EQ(countprefix(log, "?"), 0u) << "torn log line";
    EXPECT_EQ(countof(log, kFormatError + "Sum ERROR"), 1u);
    EXPECT_EQ(countof(log, kFormatError + "Tail ERROR"), 1u);
    EXPECT_EQ(countof(log, kFormatError + "ID ERROR"), 1u);
    EXPECT_EQ(countprefix(log, kFormatError), 3u);
    // A status reply stops the reply time-out, so only the garbage burst leads to a retry.
    EXPECT_EQ(countof(log, kReread), 1u);
    EXPECT_EQ(countof(log, kGiveUp), 0u);
}

// 1034-byte packets carry no status block: the captures are measured, the readout keeps its
// placeholder, and a bad checksum is found where a short packet keeps it.
TEST(ShortPackets, MeasuredWithoutTouchingTheReadout) {
    FaultRun run("short", {"--short-packets", "--packets", "8", "--bad-sum", "3"});
    ASSERT_TRUE(run.connect());
    ASSERT_TRUE(run.openwindow(kConstellation));
    ASSERT_TRUE(run.done(2));
    EXPECT_EQ(run.app().command("state TForm_ste lbl_snr"), "ok enabled=1 visible=1 caption=--");
    ASSERT_TRUE(run.closewindow());
    EXPECT_EQ(run.quit(), 0);
    ASSERT_TRUE(run.sim().waitforprefix("DISCONNECT", 10000));
    EXPECT_EQ(countof(run.sim().lines(), "DONE capture=1"), 1u);
    const auto log = run.log();
    EXPECT_EQ(countof(log, kFormatError + "Sum ERROR"), 1u);
    EXPECT_EQ(countprefix(log, kFormatError), 1u);
}

}  // namespace

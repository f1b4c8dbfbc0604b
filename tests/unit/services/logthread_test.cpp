#include "services/logthread.h"

#include <gtest/gtest.h>

#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/testkit/headless.h"
#include "services/globalunit.h"
#include "unit/services/servicetestutil.h"

namespace {

const std::string kStamp = "2024-03-07 14:05:09";

// A log thread that is never started, so the test can read what postlog queued.
struct QueueProbe : TlogThread {
    std::vector<platform::ThreadMessage> taken() {
        std::vector<platform::ThreadMessage> all;
        platform::ThreadMessage m;
        while (queue().take(m)) all.push_back(std::move(m));
        return all;
    }
};

class LogThread : public ::testing::Test {
  protected:
    void SetUp() override { backend.desk.exefolder_ = folder.path(); }
    std::string logname() const { return folder / "log2024-03-07.txt"; }
    // Runs a log thread over the posts and returns the file once the thread has ended.
    template <class Posts>
    std::string run(Posts posts, LocalClock clock = {}) {
        TlogThread t(std::move(clock));
        t.start();
        posts(t);
        t.stop();
        return svctest::readfile(logname());
    }

    platform::HeadlessBackend backend;  // first: outlives the threads
    svctest::TempFolder folder;
};

TEST_F(LogThread, WritesEventAndTrafficLinesWithCrLf) {
    const std::uint8_t frame[10] = {0xAA, 0x55};
    const std::string log = run([&](TlogThread& t) {
        postlog(&t, kMsgText, "Initialized successfully!", nullptr, 0);
        postlog(&t, kMsgText, "", nullptr, 0);
        postlog(&t, kMsgReceived, "", frame, sizeof frame);
        postlog(&t, kMsgSent, "", frame, sizeof frame);
        postlog(&t, kMsgReceived, "", nullptr, 5);  // no bytes: still one fixed line
    });
    EXPECT_EQ(log, kStamp + ":Initialized successfully!\r\n" + kStamp + ":\r\n" + kStamp +
                       " Receive Frame Successful!\r\n" + kStamp + " Send Frame Successful!\r\n" +
                       kStamp + " Receive Frame Successful!\r\n");
}

TEST_F(LogThread, DumpsCaptureHalvesAsSignedPairs) {
    const std::uint8_t ten[10] = {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFE, 0xFF, 0x12, 0x34};
    std::vector<std::uint8_t> half(16384, 0);
    const std::string log = run([&](TlogThread& t) {
        postlog(&t, kMsgDumpFirst, "", ten, sizeof ten);
        postlog(&t, kMsgDumpSecond, "", half.data(), half.size());
    });
    const std::string first = kStamp + " Receive complex:\r\n-32768 32767\r\n1 -2\r\n";
    ASSERT_EQ(log.substr(0, first.size()), first);
    const std::string second = log.substr(first.size());
    EXPECT_EQ(second.substr(0, kStamp.size() + 3), kStamp + " \r\n");
    EXPECT_EQ(svctest::countlines(second), 1u + 4096u);
    EXPECT_EQ(second.substr(second.size() - 5), "0 0\r\n");
}

TEST_F(LogThread, PostlogCopiesIntoBlocksOfFixedSize) {
    std::vector<std::uint8_t> data(40000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    QueueProbe probe;
    EXPECT_TRUE(postlog(&probe, kMsgText, "abc", nullptr, 0));
    EXPECT_TRUE(postlog(&probe, kMsgReceived, "", data.data(), 3000));
    EXPECT_TRUE(postlog(&probe, kMsgReceived, "", data.data(), 2048));
    EXPECT_TRUE(postlog(&probe, kMsgSent, "", data.data(), 300));
    EXPECT_TRUE(postlog(&probe, kMsgDumpFirst, "", data.data(), 40000));
    EXPECT_TRUE(postlog(&probe, kMsgDumpSecond, "", data.data(), 32768));
    EXPECT_FALSE(postlog(&probe, 1300, "ignored", data.data(), 4));
    EXPECT_FALSE(postlog(nullptr, kMsgText, "no thread", nullptr, 0));

    const auto m = probe.taken();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].id, kMsgText);
    EXPECT_STREQ(reinterpret_cast<const char*>(m[0].block.get()), "abc");
    const std::size_t counts[] = {2044, 2048, 256, 32764, 32768};
    const unsigned ids[] = {kMsgReceived, kMsgReceived, kMsgSent, kMsgDumpFirst, kMsgDumpSecond};
    for (std::size_t k = 0; k < 5; ++k) {
        const auto& msg = m[k + 1];
        EXPECT_EQ(msg.id, ids[k]);
        ASSERT_EQ(msg.count, counts[k]);
        EXPECT_EQ(std::memcmp(msg.block.get(), data.data(), msg.count), 0);
    }
    EXPECT_EQ(m[1].block[2044], 0);  // the rest of the block stays zero
}

TEST_F(LogThread, AppendsToTheDayFileAndKeepsItPastMidnight) {
    svctest::writefile(logname(), "earlier run\r\n");
    // The file is named at start; later lines carry the new day's time.
    svctest::ScriptedClock clock(
        {{2024, 3, 7, 23, 59, 59, 0}, {2024, 3, 8, 0, 0, 1, 0}, {2024, 3, 8, 0, 0, 2, 0}});
    const std::string log = run(
        [](TlogThread& t) {
            postlog(&t, kMsgText, "one", nullptr, 0);
            postlog(&t, kMsgText, "two", nullptr, 0);
        },
        [&clock] { return clock(); });
    EXPECT_EQ(log, "earlier run\r\n2024-03-08 00:00:01:one\r\n2024-03-08 00:00:02:two\r\n");
    EXPECT_FALSE(svctest::exists(folder / "log2024-03-08.txt"));
}

TEST_F(LogThread, EverythingPostedBeforeStopIsWrittenAndLaterPostsAreRefused) {
    TlogThread t;
    EXPECT_TRUE(postlog(&t, kMsgText, "before start", nullptr, 0));
    t.start();
    for (int i = 0; i < 2000; ++i) postlog(&t, kMsgText, std::to_string(i), nullptr, 0);
    t.stop();
    EXPECT_FALSE(postlog(&t, kMsgText, "too late", nullptr, 0));  // freed, not leaked

    const std::string log = svctest::readfile(logname());
    EXPECT_EQ(svctest::countlines(log), 2001u);
    EXPECT_EQ(log.substr(0, kStamp.size() + 14), kStamp + ":before start\r");
    EXPECT_EQ(log.substr(log.size() - 7), ":1999\r\n");
    EXPECT_TRUE(backend.desk.errorboxes().empty());
}

TEST_F(LogThread, FileFailuresRaiseTheirDialogAndEndTheThread) {
    const auto attempt = [] {
        TlogThread t;
        t.start();
        postlog(&t, kMsgText, "lost", nullptr, 0);
        t.stop();
        EXPECT_FALSE(postlog(&t, kMsgText, "lost", nullptr, 0));
    };
    backend.desk.exefolder_ = folder / "missing/";
    attempt();
    EXPECT_FALSE(svctest::exists(backend.desk.exefolder_));
    std::filesystem::create_directory(logname());  // exists, but cannot be appended to
    backend.desk.exefolder_ = folder.path();
    attempt();
    EXPECT_EQ(backend.desk.errorboxes(),
              (std::vector<std::string>{"Can not Create log file,Please check!",
                                        "Can not open exist log file,Please check!"}));
}

// Logging stops at the first failed write; the operator learns of it when the thread ends. The
// box is the stopping thread's to show: the worker never waits on the user-interface thread,
// which may be waiting for it (closing the program).
TEST_F(LogThread, WriteFailureEndsLoggingAndIsReported) {
    const std::string first = kStamp + ":whole\r\n";
    TlogThread t({}, svctest::fillingdisk(first.size() + 10));  // the disk fills mid-line
    std::vector<std::thread::id> shownon;
    backend.desk.onerrorbox = [&](const std::string&) {
        shownon.push_back(std::this_thread::get_id());
    };
    t.start();
    postlog(&t, kMsgText, "whole", nullptr, 0);
    postlog(&t, kMsgText, "disk full", nullptr, 0);
    postlog(&t, kMsgText, "not tried", nullptr, 0);
    t.stop();
    EXPECT_EQ(svctest::readfile(logname()), first);  // no torn line left behind
    EXPECT_EQ(backend.desk.errorboxes(),
              std::vector<std::string>{"tlogthread.Destroy Failed,Please Reset!"});
    EXPECT_EQ(shownon, std::vector<std::thread::id>{std::this_thread::get_id()});
    backend.processevents();  // the hand-over posted by the worker finds nothing left to show
    EXPECT_EQ(backend.desk.errorboxes().size(), 1u);
}

// A thread that could not be made never reads its queue: what waits there is freed, and later
// posts are refused rather than piling up for the rest of the run.
TEST_F(LogThread, AThreadThatCannotStartRefusesPosts) {
    QueueProbe t;
    EXPECT_TRUE(postlog(&t, kMsgText, "posted before start", nullptr, 0));
    const platform::ThreadStarter nothread = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    EXPECT_THROW(t.start(nothread), std::system_error);
    EXPECT_FALSE(postlog(&t, kMsgText, "posted after", nullptr, 0));
    EXPECT_TRUE(t.taken().empty());
}

}  // namespace

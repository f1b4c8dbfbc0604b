#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "daemon/watcher.h"
#include "link/frames.h"
#include "options.h"
#include "platform/testkit/headless.h"
#include "session.h"
#include "source.h"
#include "vsbsignal.h"

namespace {

using watch::ExciterFigures;

// A watcher on the headless backend, its exciter the simulator's protocol core answering on
// the scripted socket with real 8-VSB captures.
class WatcherTest : public ::testing::Test {
  protected:
    void start(const std::vector<std::string>& simargs, int statusevery = 10,
               int captureevery = 60) {
        sim::Options options;
        std::string error;
        ASSERT_TRUE(sim::parseoptions(simargs, options, error)) << error;
        generator_ = std::make_unique<vsb::Generator>(options.seed, options.impairments);
        session_ = std::make_unique<sim::Session>(
            options,
            [this](std::uint8_t* bytes, std::size_t n) { generator_->capture(bytes, n / 4); },
            options.status.value_or(sim::statusfigures(*generator_)), [](const std::string&) {});
        watch::ExciterConfig config{"x", "127.0.0.1", 5700, statusevery, captureevery, false};
        watcher_ = std::make_unique<watch::Watcher>(config, board_, 0, watch::Keeping{});
        sock = backend.sockets.back();
        watcher_->start();
    }

    // Moves virtual time on in 10 ms steps, counting the requests sent; the exciter answers
    // each frame at once when `answer`.
    void run(int ms, bool answer = true) {
        for (int t = 0; t < ms; t += 10) {
            backend.clock.advance(10);
            while (!sock->sent.empty()) {
                const auto frames = std::move(sock->sent);
                sock->sent.clear();
                for (const auto& f : frames) {
                    if (f[4] == 1 && f[5] == 0) ++capturerequests;
                    if (f[4] == 2) ++statusrequests;
                    if (!answer) continue;
                    for (const sim::Chunk& c : session_->receive(f)) sock->deliver(c.bytes);
                }
            }
        }
    }

    const ExciterFigures& figures() const { return watcher_->figures(); }

    platform::HeadlessBackend backend;  // first: it outlives everything below
    platform::ScriptedSocket* sock = nullptr;
    int capturerequests = 0, statusrequests = 0;

  private:
    watch::MetricsBoard board_{{"x"}};
    std::unique_ptr<vsb::Generator> generator_;
    std::unique_ptr<sim::Session> session_;
    std::unique_ptr<watch::Watcher> watcher_;
};

TEST_F(WatcherTest, TakesEachTaskWhenDueAndWaitsIdleBetweenThemWithoutTimeouts) {
    start({"--snr", "30"}, 10, 60);
    sock->acceptconnect();
    ASSERT_TRUE(figures().up);
    run(5000);  // the capture first, then the first status block
    EXPECT_EQ(capturerequests, 1);
    EXPECT_EQ(statusrequests, 1);
    EXPECT_EQ(figures().captures, 1u);
    EXPECT_EQ(figures().refused, 0u);
    ASSERT_TRUE(figures().hasmeasurement);
    EXPECT_NEAR(figures().merdb, 30, 2);
    EXPECT_TRUE(figures().maskpass);
    EXPECT_GT(figures().lastgoodcapture, 0);
    ASSERT_TRUE(figures().hasstatus);
    EXPECT_EQ(figures().snrdb, 30);

    // Between tasks the link is idle: no request and no reply owed, so nothing times out.
    run(55000);
    EXPECT_EQ(capturerequests, 1);
    EXPECT_EQ(statusrequests, 6);
    EXPECT_EQ(figures().timeouts, 0u);
    run(65000);
    EXPECT_EQ(capturerequests, 3);
    EXPECT_EQ(figures().captures, 3u);
    EXPECT_EQ(figures().timeouts, 0u);

    // An exciter that stops answering: the next status request is sent three times more, each
    // time-out counted, the fourth gives the task up, and the link stays idle after it.
    const int before = statusrequests;
    for (int t = 0; t < 11000 && statusrequests == before; t += 10) run(10, false);
    ASSERT_EQ(statusrequests, before + 1);
    run(9000, false);
    EXPECT_EQ(statusrequests, before + 4);
    EXPECT_EQ(figures().timeouts, 4u);
    run(5000, false);
    EXPECT_EQ(figures().timeouts, 4u);
    EXPECT_TRUE(figures().up);
}

TEST_F(WatcherTest, ALostLinkIsMadeAgainAfterADoublingBackOffCappedAtAMinute) {
    start({});
    ASSERT_TRUE(sock->connecting());
    const int delays[] = {1, 2, 4, 8, 16, 32, 60, 60};
    for (int seconds : delays) {
        sock->refuse(ECONNREFUSED);
        EXPECT_FALSE(figures().up);
        backend.clock.advance(seconds * 1000 - 1);
        EXPECT_FALSE(sock->connecting()) << seconds;
        backend.clock.advance(1);
        EXPECT_TRUE(sock->connecting()) << seconds;
    }
    EXPECT_EQ(figures().reconnects, 8u);
    // A link made resets the back-off: the next loss is retried after a second again.
    sock->acceptconnect();
    EXPECT_TRUE(figures().up);
    sock->peerclose();
    EXPECT_FALSE(figures().up);
    backend.clock.advance(999);
    EXPECT_FALSE(sock->connecting());
    backend.clock.advance(1);
    EXPECT_TRUE(sock->connecting());
    EXPECT_EQ(figures().reconnects, 9u);
}

TEST_F(WatcherTest, FrameErrorsAreCountedByKind) {
    // Packet 1 with a wrong checksum (used all the same), packet 2 with a wrong tail
    // (refused), and noise for the first reply after the time-out's retry.
    start({"--bad-sum", "1", "--bad-tail", "2", "--garbage", "33"});
    sock->acceptconnect();
    run(10000);
    const auto& errors = figures().frameerrors;
    EXPECT_EQ(errors[SumError - 1], 1u);
    EXPECT_EQ(errors[TailError - 1], 1u);
    EXPECT_GE(errors[IdError - 1], 1u);
    EXPECT_EQ(errors[LengthError - 1], 0u);
    EXPECT_EQ(figures().captures, 1u);
}

}  // namespace

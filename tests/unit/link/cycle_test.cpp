#include <gtest/gtest.h>

#include <algorithm>

#include "engine/buffers.h"
#include "services/globalunit.h"
#include "support/mainformfixture.h"

namespace {

using korvin::test::MainFormTest;
using korvin::test::packet;
using korvin::test::statusframe;
using Bytes = std::vector<std::uint8_t>;

const Bytes kCaptureRequest{0x80, 0x46, 0x0A, 0, 0x01, 0, 0, 0, 0xD1, 0x96};
const Bytes kStatusRequest{0x80, 0x46, 0x0A, 0, 0x02, 0, 0, 0, 0xD2, 0x96};

class Cycle : public MainFormTest {
  protected:
    void SetUp() override {
        MainFormTest::SetUp();
        start();
        connect();
    }
    int count(const Bytes& f) const {
        return static_cast<int>(std::count(sock->sent.begin(), sock->sent.end(), f));
    }
    int count(const std::vector<std::string>& lines, const std::string& text) const {
        return static_cast<int>(std::count(lines.begin(), lines.end(), text));
    }
};

TEST_F(Cycle, NoCaptureRequestBeforeTheSecondPaceCount) {
    open(4);
    backend.clock.advance(1999);
    EXPECT_TRUE(sock->sent.empty());
    backend.clock.advance(101);
    EXPECT_EQ(count(kCaptureRequest), 1);
    EXPECT_TRUE(main->tmr_out.enabled());
    EXPECT_FALSE(main->tmr_update.enabled());
    // While the reply is awaited no second request goes out.
    backend.clock.advance(1500);
    EXPECT_EQ(sock->sent.size(), 1u);
}

TEST_F(Cycle, OneStatusRequestPerPaceCountWhenEveryRequestIsAnswered) {
    open(5);
    for (int i = 0; i < 1000; ++i) {  // 10 s in 10 ms steps, answering at once
        const std::size_t before = sock->sent.size();
        backend.clock.advance(10);
        if (sock->sent.size() > before) sock->deliver(statusframe({0, 0x47, 0x68, 0x67}));
    }
    const int n = count(kStatusRequest);
    EXPECT_GE(n, 9);
    EXPECT_LE(n, 10);
    EXPECT_EQ(window->statuses.size(), static_cast<std::size_t>(n));
}

TEST_F(Cycle, TimeoutsAreRetriedThreeTimesThenTheWindowCloses) {
    open(4);
    backend.clock.advance(2100);
    ASSERT_EQ(count(kCaptureRequest), 1);
    const auto first = backend.clock.now();
    std::vector<std::int64_t> requests;
    while (backend.clock.now() < first + 10000 && formkind() != 0) {
        const std::size_t before = sock->sent.size();
        backend.clock.advance(10);
        if (sock->sent.size() > before) requests.push_back(backend.clock.now() - first);
    }
    ASSERT_EQ(requests.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_GE(requests[i], 2000 * (i + 1));
        EXPECT_LE(requests[i], 2000 * (i + 1) + 300);
    }
    EXPECT_EQ(formkind(), 0);
    EXPECT_EQ(
        backend.desk.errorboxes(),
        std::vector<std::string>{"Receive Frame Timeout,Please Check!Current Form Will Close!"});
    EXPECT_TRUE(main->btmbtn_spe.enabled());
    EXPECT_TRUE(main->btn_disconnect.enabled());
    EXPECT_FALSE(main->tmr_out.enabled());
    const auto lines = loglines();
    EXPECT_EQ(count(lines, "Receive Frame Timeout,and will reread again!"), 3);
    EXPECT_EQ(count(lines, "Receive Frame Timeout,Please Check!Current Form Will Close!"), 1);
}

TEST_F(Cycle, AnyReplyResetsTheRetryCount) {
    open(5);
    backend.clock.advance(1100);  // status request at the first pace count
    ASSERT_EQ(count(kStatusRequest), 1);
    backend.clock.advance(4200);  // two time-outs
    EXPECT_EQ(state().retrycount, 2);
    sock->deliver(statusframe({0, 1, 2, 3}));
    EXPECT_EQ(state().retrycount, 0);
}

TEST_F(Cycle, ReadPathTakesAtMost2044BytesAndDropsWhatIsNotExpected) {
    main->link().settings.logtraffic = true;
    // Nothing expected: the bytes are dropped, only the received-bytes line is written.
    sock->deliver(packet(32, 1));
    EXPECT_TRUE(sock->sent.empty());

    open(1);
    backend.clock.advance(2100);
    Bytes burst = packet(32, 1);
    burst.resize(3000, 0x55);
    sock->deliver(burst);
    EXPECT_EQ(sock->receivelength(), 3000 - kMaxRead);
    EXPECT_EQ(lastsent()[7], 1);  // packet 1 acknowledged
}

TEST_F(Cycle, AFrameSplitOverTwoReadsIsJoinedAndDispatchedOnce) {
    open(1);
    backend.clock.advance(2100);
    const Bytes p = packet(32, 1);
    sock->deliver(Bytes(p.begin(), p.begin() + 3));
    sock->deliver(Bytes(p.begin() + 3, p.begin() + 500));
    EXPECT_EQ(sock->sent.size(), 1u);  // only the request so far
    sock->deliver(Bytes(p.begin() + 500, p.end()));
    ASSERT_EQ(sock->sent.size(), 2u);
    EXPECT_EQ(lastsent(),
              (Bytes{0x80, 0x46, 0x0A, 0, 0x01, 0x80, 32, 1, calcsum(lastsent().data(), 8), 0x96}));
    EXPECT_EQ(std::vector<std::uint8_t>(buffers().capturearea, buffers().capturearea + 1024),
              Bytes(p.begin() + 8, p.begin() + 1032));
}

TEST_F(Cycle, APartFrameFromALostConnectionIsNotJoinedWithTheNextOnesBytes) {
    open(1);
    backend.clock.advance(2100);
    const Bytes p = packet(32, 1);
    sock->deliver(Bytes(p.begin(), p.begin() + 500));
    sock->peerclose();
    connect();
    const std::size_t before = sock->sent.size();
    sock->deliver(Bytes(p.begin() + 500, p.end()));
    EXPECT_EQ(sock->sent.size(), before);  // no acknowledgement for a frame made of two links
    EXPECT_EQ(state().rxheld, 0u);
}

TEST_F(Cycle, RejectedFramesNeitherStallNorPostponeTheRetry) {
    open(4);
    backend.clock.advance(2100);
    // A chattering peer: 1.5 s after each request a packet out of order, then a frame of an
    // unknown function. The time-out still counts from the request.
    for (int round = 1; round <= 3; ++round) {
        ASSERT_EQ(count(kCaptureRequest), round);
        const auto due = backend.clock.due(main->tmr_out);
        backend.clock.advance(1400);
        sock->deliver(packet(32, 2));  // packet 1 was awaited
        sock->deliver(korvin::test::frame(7, 0, 0, {}));
        EXPECT_EQ(sock->sent.size(), static_cast<std::size_t>(round));  // no acknowledgement
        EXPECT_TRUE(main->tmr_out.enabled());
        EXPECT_EQ(backend.clock.due(main->tmr_out), due);
        backend.clock.advance(700);
    }
    EXPECT_EQ(count(kCaptureRequest), 4);
    const auto lines = loglines();
    EXPECT_EQ(count(lines, "Receive Frame Timeout,and will reread again!"), 3);
}

TEST_F(Cycle, AnEmptyOrUnfinishedReadWhileAReplyIsExpectedIsLogged) {
    open(4);
    backend.clock.advance(2100);
    sock->readevent();
    // A length field one past the bytes sent: the frame waits for a byte that never comes, and
    // the time-out reports it, its last bytes read as zeros.
    Bytes p = packet(32, 1);
    p[2] = 1039 & 0xFF;
    ASSERT_NE(calcsum(p.data(), 1037), 0x96);
    sock->deliver(p);
    EXPECT_EQ(sock->sent.size(), 1u);
    backend.clock.advance(2000);
    EXPECT_EQ(state().rxheld, 0u);
    const auto lines = loglines();
    EXPECT_EQ(count(lines, "Frame Format Error,type:ID ERROR"), 1);
    EXPECT_EQ(count(lines, "Frame Format Error,type:Sum ERROR"), 1);
    const auto sum = std::find(lines.begin(), lines.end(), "Frame Format Error,type:Sum ERROR");
    ASSERT_NE(sum + 1, lines.end());
    EXPECT_EQ(sum[1], "Receive Frame Timeout,and will reread again!");
}

TEST_F(Cycle, ClosingTheWindowStopsTheTimeoutAndLateRepliesAreDropped) {
    open(4);
    backend.clock.advance(2100);
    window->form().close();
    EXPECT_EQ(formkind(), 0);
    EXPECT_FALSE(main->tmr_out.enabled());
    sock->deliver(packet(32, 1));
    EXPECT_EQ(sock->sent.size(), 1u);
    backend.clock.advance(5000);
    EXPECT_EQ(sock->sent.size(), 1u);
    EXPECT_EQ(main->openwindow(), nullptr);  // freed once it closed
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/buffers.h"
#include "engine/resultlayout.h"
#include "services/globalunit.h"
#include "support/mainformfixture.h"

namespace {

using korvin::test::MainFormTest;
using korvin::test::packet;
using korvin::test::statusframe;
using Bytes = std::vector<std::uint8_t>;

class Reassembly : public MainFormTest {
  protected:
    void SetUp() override {
        MainFormTest::SetUp();
        start();
        connect();
        open(1);
        backend.clock.advance(2100);  // the capture request is out
        sock->sent.clear();
    }
    // Delivers packets and returns how many acknowledgements they drew.
    std::size_t feed(std::uint8_t count, std::initializer_list<int> numbers) {
        const std::size_t before = sock->sent.size();
        for (int n : numbers) sock->deliver(packet(count, static_cast<std::uint8_t>(n)));
        return sock->sent.size() - before;
    }
};

TEST_F(Reassembly, AFullCaptureIsAcknowledgedPacketByPacketAndMeasuredOnce) {
    for (int n = 1; n <= 32; ++n) {
        const Bytes p = packet(32, static_cast<std::uint8_t>(n));
        sock->deliver(p);
        ASSERT_EQ(sock->sent.size(), static_cast<std::size_t>(n));
        const Bytes& ack = sock->sent.back();
        EXPECT_EQ(ack[6], 32);
        EXPECT_EQ(ack[7], n);
        EXPECT_EQ(0, std::memcmp(buffers().capturearea + (n - 1) * 1024, p.data() + 8, 1024));
    }
    EXPECT_EQ(window->datas, 1);
    EXPECT_EQ(state().packetno, 0u);
    EXPECT_TRUE(main->tmr_update.enabled());
    EXPECT_TRUE(main->tmr_out.enabled());  // still running from the last acknowledgement
}

TEST_F(Reassembly, PacketRulesRejectWithoutAcknowledgement) {
    EXPECT_EQ(feed(0, {1}), 0u);   // count 0
    EXPECT_EQ(feed(33, {1}), 0u);  // count above 32
    EXPECT_EQ(feed(32, {0}), 0u);  // number 0
    EXPECT_EQ(feed(32, {2}), 0u);  // skipped
    EXPECT_EQ(feed(32, {1}), 1u);
    EXPECT_EQ(feed(32, {1}), 0u);  // repeated
    EXPECT_EQ(feed(32, {3}), 0u);
    EXPECT_EQ(state().packetno, 1u);
    // A wrong length is rejected too.
    Bytes odd = packet(32, 2);
    odd.resize(1036);
    odd[2] = 1036 & 0xFF;
    odd[3] = 1036 >> 8;
    sock->deliver(odd);
    EXPECT_EQ(sock->sent.size(), 1u);
}

TEST_F(Reassembly, ASinglePacketCaptureIsMeasuredAtOnce) {
    EXPECT_EQ(feed(1, {1}), 1u);
    EXPECT_EQ(state().packetno, 0u);
    EXPECT_EQ(window->datas, 1);
}

TEST_F(Reassembly, StatusIsTakenOncePerPaceCountAndOnlyFromLongPackets) {
    backend.clock.advance(1000);  // a new pace count
    sock->deliver(packet(32, 1, {0, 10, 20, 30}));
    sock->deliver(packet(32, 2, {0, 11, 21, 31}));
    ASSERT_EQ(window->statuses.size(), 1u);
    EXPECT_EQ(window->statuses[0], (Bytes{0, 10, 20, 30}));
    EXPECT_EQ(buffers().statusblock[1], 10);

    backend.clock.advance(1000);
    sock->deliver(packet(32, 3, {}, true));  // 1034 bytes: acknowledged, no status block
    EXPECT_EQ(sock->sent.size(), 3u);
    EXPECT_EQ(window->statuses.size(), 1u);
    EXPECT_EQ(buffers().statusblock[1], 10);
}

TEST_F(Reassembly, ABadChecksumIsLoggedButThePacketIsUsed) {
    Bytes p = packet(32, 1);
    p[1036] ^= 0xFF;
    sock->deliver(p);
    EXPECT_EQ(sock->sent.size(), 1u);
    const auto lines = loglines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Frame Format Error,type:Sum ERROR"),
              lines.end());
}

TEST_F(Reassembly, EngineFailureKeepsThePlotSaysNoSignalOnceAndTheRetryPathRecovers) {
    // All-zero data has no energy: the engine refuses it.
    Bytes p = packet(1, 1);
    std::fill(p.begin() + 8, p.begin() + 1032, 0);
    std::memset(buffers().capturearea, 0, sizeof buffers().capturearea);
    p[1036] = calcsum(p.data(), 1036);
    sock->deliver(p);
    EXPECT_EQ(window->datas, 0);
    EXPECT_EQ(window->nosignals, 1);
    EXPECT_FALSE(main->tmr_update.enabled());
    backend.clock.advance(2200);
    EXPECT_EQ(sock->sent.size(), 2u);  // acknowledgement, then the new request
    EXPECT_EQ(sock->sent.back()[4], 1);
    sock->deliver(p);  // refused again: the same run, not logged again
    EXPECT_EQ(window->nosignals, 2);
    const auto lines = loglines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), exciter::kNoSignalText), 1);
}

TEST_F(Reassembly, ARunWithoutSignalIsLoggedOnceUntilALockedResultOrANewWindow) {
    using resultlayout::LockReason;
    const auto unlocked = [this] {
        resultlayout::writelock(buffers().resultblock, LockReason::NoPilot);
    };
    const auto locked = [this] {
        resultlayout::writelock(buffers().resultblock, LockReason::Locked);
    };
    EXPECT_FALSE(main->takeresult(3));  // refused: a run begins
    unlocked();
    EXPECT_TRUE(main->takeresult(0));  // measured, but no signal: the same run
    EXPECT_FALSE(main->takeresult(3));
    locked();
    EXPECT_TRUE(main->takeresult(0));   // ends the run
    EXPECT_FALSE(main->takeresult(3));  // a new run
    EXPECT_EQ(window->nosignals, 3);    // each refusal; an unlocked result goes to showdata
    window->form().close();
    open(1);
    EXPECT_FALSE(main->takeresult(3));  // the new window's first is logged too
    std::memset(buffers().resultblock + resultlayout::kLockOffset, 0, 24);  // no lock area: locked
    EXPECT_TRUE(main->takeresult(0));
    const auto lines = loglines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), exciter::kNoSignalText), 3);
}

TEST_F(Reassembly, StatusFramesMustHaveLength14AndAZeroIndex) {
    window->form().close();
    open(5);
    backend.clock.advance(1100);
    Bytes bad = statusframe({0, 1, 2, 3});
    bad[6] = 1;
    bad[12] = calcsum(bad.data(), 12);
    sock->deliver(bad);
    EXPECT_TRUE(window->statuses.empty());
    EXPECT_FALSE(main->tmr_update.enabled());
    backend.clock.advance(2100);  // the time-out asks again
    sock->deliver(statusframe({0, 0x47, 0x68, 0x67}));
    ASSERT_EQ(window->statuses.size(), 1u);
    EXPECT_TRUE(main->tmr_update.enabled());
}

TEST(Buffers, SplitSamplesSignExtendsAndDumpsHalvesInOrder) {
    static MeasureBuffers b;
    const auto buffers = [&]() -> MeasureBuffers& { return b; };
    std::memset(buffers().capturearea, 0, sizeof buffers().capturearea);
    std::memset(buffers().sampleblock, 0, sizeof buffers().sampleblock);
    const std::uint8_t word[4] = {0xFF, 0xFF, 0x00, 0x80};  // I = -1, Q = -32768
    std::memcpy(buffers().capturearea + 4 * 5, word, 4);
    const std::uint8_t word2[4] = {0xFF, 0x7F, 0x01, 0x00};  // I = 32767, Q = 1
    std::memcpy(buffers().capturearea + kHalfBytes + 4 * 7, word2, 4);
    std::vector<int> order;
    splitsamples(b.capturearea, b.sampleblock, [&](int half, const std::uint8_t* raw) {
        order.push_back(half);
        // The first half is converted before its dump, the second half only after the first.
        EXPECT_EQ(buffers().sampleblock[5], -1);
        EXPECT_EQ(raw, buffers().capturearea + half * kHalfBytes);
        if (half == 0) {
            EXPECT_EQ(buffers().sampleblock[8192 + 7], 0);
        }
    });
    EXPECT_EQ(order, (std::vector<int>{0, 1}));
    EXPECT_EQ(buffers().sampleblock[4096 + 5], -32768);
    EXPECT_EQ(buffers().sampleblock[8192 + 7], 32767);
    EXPECT_EQ(buffers().sampleblock[12288 + 7], 1);
}

}  // namespace

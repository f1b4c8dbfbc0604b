#include "session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace sim {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const StatusBlock kStatus{0x00, 0x47, 0x68, 0x67};

Bytes ack(int count, int number) {
    return buildclientframe(0x8001, static_cast<std::uint16_t>(count | (number << 8)));
}

// Byte i of capture k: differs between packets, captures and positions in a packet.
std::uint8_t pattern(std::size_t i, int k) {
    return std::uint8_t(i % 251 + i / 1024 + k);
}

struct Harness {
    explicit Harness(Options options = {})
        : session(
              options,
              [this](std::uint8_t* bytes, std::size_t n) {
                  ++captures;
                  for (std::size_t i = 0; i < n; ++i) bytes[i] = pattern(i, captures);
              },
              kStatus, [this](const std::string& line) { record.push_back(line); }) {}

    std::vector<Chunk> send(const Bytes& frame) { return session.receive(frame); }
    // The one frame the session answers with (joined if split).
    Bytes reply(const Bytes& frame) {
        Bytes out;
        for (const Chunk& c : send(frame)) out.insert(out.end(), c.bytes.begin(), c.bytes.end());
        return out;
    }

    int captures = 0;
    std::vector<std::string> record;
    Session session;
};

const Bytes kCapture = buildclientframe(0x0001, 0);
const Bytes kStatusRequest = buildclientframe(0x0002, 0);

TEST(SimSession, ServesACaptureStopAndWait) {
    Harness h;
    Bytes assembled;
    Bytes pkt = h.reply(kCapture);
    for (int n = 1; n <= 32; ++n) {
        ASSERT_EQ(pkt.size(), kLongPacketSize) << "packet " << n;
        EXPECT_EQ(pkt[6], 32);
        EXPECT_EQ(pkt[7], n);
        EXPECT_EQ(hex(std::span(pkt).subspan(1032, 4)), "00 47 68 67");
        assembled.insert(assembled.end(), pkt.begin() + 8, pkt.begin() + 8 + kPacketData);
        pkt = h.reply(ack(32, n));
    }
    EXPECT_TRUE(pkt.empty()) << "the last acknowledgement gets no reply";
    ASSERT_EQ(assembled.size(), kCaptureBytes);
    for (std::size_t i = 0; i < assembled.size(); ++i) {
        ASSERT_EQ(assembled[i], pattern(i, 1)) << "capture byte " << i;
    }
    EXPECT_THAT(h.record, Contains("RX 10 80 46 0A 00 01 80 20 03 74 96"));
    EXPECT_THAT(h.record, Contains(HasSubstr("TX 1038 fn=0001 count=32 no=4 ")));
    EXPECT_EQ(h.record.back(), "DONE capture=1");
}

TEST(SimSession, IgnoresAcknowledgementsItDoesNotAwait) {
    Harness h;
    EXPECT_TRUE(h.send(ack(32, 1)).empty()) << "no capture under way";
    h.send(kCapture);
    EXPECT_TRUE(h.send(ack(32, 2)).empty()) << "packet 2 not sent yet";
    EXPECT_TRUE(h.send(ack(16, 1)).empty()) << "wrong count";
    EXPECT_EQ(h.record.back(), "IGNORE ack count=16 no=1 awaiting=1");
    EXPECT_EQ(h.reply(ack(32, 1))[7], 2);
    EXPECT_TRUE(h.send(ack(32, 1)).empty()) << "a repeated acknowledgement";
}

TEST(SimSession, NewRequestOrDisconnectEndsTheCaptureUnderWay) {
    Harness h;
    h.send(kCapture);
    h.send(ack(32, 1));
    const Bytes pkt = h.reply(kCapture);
    EXPECT_EQ(pkt[7], 1);
    EXPECT_EQ(pkt[8], pattern(0, 2)) << "data from a second, fresh capture";

    const Bytes first = ack(32, 1);
    h.send(Bytes(first.begin(), first.begin() + 4));
    h.session.reset();
    EXPECT_EQ(h.record.back(), "BAD 4 reason=incomplete");
    EXPECT_TRUE(h.send(ack(32, 1)).empty()) << "nothing awaited after a disconnect";
}

TEST(SimSession, FewerAndShortPackets) {
    Options options;
    options.packets = 3;
    options.shortpackets = true;
    Harness h(options);
    EXPECT_EQ(h.reply(kCapture).size(), kShortPacketSize);
    EXPECT_EQ(h.reply(ack(3, 1))[6], 3);
    const Bytes last = h.reply(ack(3, 2));
    EXPECT_EQ(last[7], 3);
    EXPECT_EQ(last[8], pattern(2048, 1)) << "packet 3 carries bytes 2048..3071";
    EXPECT_TRUE(h.send(ack(3, 3)).empty());
    EXPECT_THAT(h.record, Contains(HasSubstr("TX 1034 fn=0001 count=3 no=3 ")));
}

TEST(SimSession, ParsesMalformedInputWithoutActing) {
    Harness h;
    Bytes noisy = {0x00, 0x12};
    Bytes bad = kCapture;
    bad[8] ^= 1;
    noisy.insert(noisy.end(), bad.begin(), bad.end());
    EXPECT_TRUE(h.send(noisy).empty());
    EXPECT_THAT(h.record, ElementsAre("BAD 2 00 12 reason=id",
                                      "BAD 10 80 46 0A 00 01 00 00 00 D0 96 reason=sum"));
    EXPECT_TRUE(h.send(buildclientframe(0x0005, 0)).empty());
    EXPECT_EQ(h.record.back(), "IGNORE unknown function 0005");
}

}  // namespace
}  // namespace sim

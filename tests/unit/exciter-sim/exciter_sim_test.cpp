// exciter-sim as a process: over loopback, as a client sees it, and its record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "frames.h"
#include "support/simprocess.h"
#include "wire.h"

namespace {

using korvin::test::SimProcess;
using sim::Bytes;
using simtest::Wire;
using ::testing::Contains;
using ::testing::HasSubstr;

const Bytes kCapture = sim::buildclientframe(0x0001, 0);
const Bytes kStatusRequest = sim::buildclientframe(0x0002, 0);

// The acknowledgement a client owes for a received packet.
Bytes ackof(const Bytes& packet) {
    Bytes ack(packet.begin(), packet.begin() + 8);
    ack[2] = 10;
    ack[3] = 0;
    ack[5] = static_cast<std::uint8_t>((ack[5] & 0x0F) | 0x80);
    ack.push_back(sim::checksum(ack));
    ack.push_back(0x96);
    return ack;
}

bool wellformed(const Bytes& frame) {
    const std::size_t n = frame.size();
    return n >= 10 && frame[0] == 0x80 && frame[1] == 0x46 && sim::readu16(frame, 2) == n &&
           frame[n - 2] == sim::checksum(std::span(frame).first(n - 2)) && frame[n - 1] == 0x96;
}

double rmsofcapture(const Bytes& capture) {
    double sum = 0;
    for (std::size_t i = 0; i + 1 < capture.size(); i += 2) {
        const double v = static_cast<std::int16_t>(capture[i] | capture[i + 1] << 8);
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(capture.size() / 2));
}

std::size_t countprefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); }));
}

TEST(ExciterSim, FullCaptureAndStatusExchange) {
    SimProcess sim({"--status", "00476867"});
    ASSERT_TRUE(sim.started());
    Wire wire(sim.port());
    ASSERT_TRUE(wire.ok());

    ASSERT_TRUE(wire.send(kCapture));
    Bytes capture;
    std::vector<Bytes> acks;
    for (int n = 1; n <= 32; ++n) {
        const auto pkt = wire.read(sim::kLongPacketSize);
        ASSERT_TRUE(pkt) << "packet " << n;
        ASSERT_TRUE(wellformed(*pkt));
        EXPECT_EQ(sim::hex(std::span(*pkt).subspan(4, 4)),
                  sim::hex(Bytes{1, 0, 32, Bytes::value_type(n)}));
        EXPECT_EQ(sim::hex(std::span(*pkt).subspan(1032, 4)), "00 47 68 67");
        capture.insert(capture.end(), pkt->begin() + 8, pkt->begin() + 1032);
        acks.push_back(ackof(*pkt));
        ASSERT_TRUE(wire.send(acks.back()));
    }
    const double rms = rmsofcapture(capture) / 32767.0;
    EXPECT_GT(rms, 0.15) << "default level is 0.3 of full scale";
    EXPECT_LT(rms, 0.6);

    ASSERT_TRUE(wire.send(kStatusRequest));
    const auto status = wire.read(sim::kStatusFrameSize);
    ASSERT_TRUE(status);
    EXPECT_TRUE(wellformed(*status));
    EXPECT_EQ(sim::hex(std::span(*status).first(12)), "80 46 0E 00 02 00 00 00 00 47 68 67");

    ASSERT_TRUE(sim.waitforprefix("TX 14 ", 5000));
    const auto lines = sim.lines();
    EXPECT_THAT(lines, Contains("RX 10 80 46 0A 00 01 00 00 00 D1 96"));
    EXPECT_THAT(lines, Contains("RX 10 80 46 0A 00 01 80 20 03 74 96"));
    for (const Bytes& ack : acks) EXPECT_THAT(lines, Contains("RX 10 " + sim::hex(ack)));
    EXPECT_EQ(countprefix(lines, "TX 1038 fn=0001 count=32 no="), 32u);
    EXPECT_THAT(lines, Contains(HasSubstr("TX 1038 fn=0001 count=32 no=32 ")));
    EXPECT_THAT(lines, Contains("DONE capture=1"));
    EXPECT_THAT(lines, Contains("TX 14 " + sim::hex(*status)));
}

TEST(ExciterSim, TakesClientsOneAfterAnotherAndJoinsSplitInput) {
    SimProcess sim({"--packets", "2", "--short-packets"});
    ASSERT_TRUE(sim.started());
    {
        Wire first(sim.port());
        ASSERT_TRUE(first.send(Bytes(kCapture.begin(), kCapture.begin() + 3)));
        ASSERT_TRUE(sim.waitforprefix("CONNECT ", 5000));
        ASSERT_TRUE(first.send(Bytes(kCapture.begin() + 3, kCapture.end())));
        const auto pkt = first.read(sim::kShortPacketSize);
        ASSERT_TRUE(pkt);
        EXPECT_EQ((*pkt)[6], 2);
    }  // leaves mid-capture
    Wire second(sim.port());
    Bytes tworequests = kStatusRequest;
    tworequests.insert(tworequests.end(), kStatusRequest.begin(), kStatusRequest.end());
    ASSERT_TRUE(second.send(tworequests));
    const auto replies = second.read(2 * sim::kStatusFrameSize);
    ASSERT_TRUE(replies);
    EXPECT_TRUE(wellformed(Bytes(replies->begin(), replies->begin() + 14)));

    // The record comes through a pipe, apart from the socket: wait for its last line.
    const auto statusreply = [](const std::string& l) { return l.starts_with("TX 14 "); };
    const auto firstreply = sim.waitfor(statusreply, 5000);
    ASSERT_TRUE(firstreply);
    ASSERT_TRUE(sim.waitfor(statusreply, 5000, *firstreply + 1));
    const auto lines = sim.lines();
    EXPECT_EQ(countprefix(lines, "CONNECT 127.0.0.1:"), 2u);
    EXPECT_THAT(lines, Contains("DISCONNECT peer closed"));
    EXPECT_EQ(countprefix(lines, "RX 10 80 46 0A 00 02 00 00 00 D2 96"), 2u);
}

TEST(ExciterSim, CorruptedSplitAndGarbageRepliesOnTheWire) {
    SimProcess sim({"--split", "1", "--bad-sum", "2", "--garbage", "3", "--garbage-bytes", "50"});
    ASSERT_TRUE(sim.started());
    Wire wire(sim.port());
    ASSERT_TRUE(wire.send(kCapture));
    const auto first = wire.read(sim::kLongPacketSize);
    ASSERT_TRUE(first);
    EXPECT_TRUE(wellformed(*first)) << "a split frame arrives whole";
    ASSERT_TRUE(wire.send(ackof(*first)));
    const auto second = wire.read(sim::kLongPacketSize);
    ASSERT_TRUE(second);
    EXPECT_EQ((*second)[7], 2);
    EXPECT_EQ((*second)[1036], std::uint8_t(sim::checksum(std::span(*second).first(1036)) + 1));
    ASSERT_TRUE(wire.send(ackof(*second)));
    const auto noise = wire.read(50);
    ASSERT_TRUE(noise);
    EXPECT_EQ((*noise)[0], 0xA5);
    ASSERT_TRUE(sim.waitforprefix("FAULT garbage reply=3 bytes=50", 5000));
}

TEST(ExciterSim, ClosesMidCaptureAndSilentModeNeverReplies) {
    SimProcess closing({"--close-after", "2"});
    ASSERT_TRUE(closing.started());
    Wire wire(closing.port());
    ASSERT_TRUE(wire.send(kCapture));
    const auto first = wire.read(sim::kLongPacketSize);
    ASSERT_TRUE(first);
    ASSERT_TRUE(wire.send(ackof(*first)));
    const auto rest = wire.readtoend();
    ASSERT_TRUE(rest) << "the exciter ends the stream";
    EXPECT_EQ(rest->size(), sim::kLongPacketSize) << "packet 2, then the end";
    ASSERT_TRUE(closing.waitforprefix("FAULT close after=2", 5000));

    SimProcess silent({"--silent"});
    ASSERT_TRUE(silent.started());
    Wire quiet(silent.port());
    ASSERT_TRUE(quiet.send(kCapture));
    ASSERT_TRUE(quiet.send(kStatusRequest));
    ASSERT_TRUE(silent.waitforprefix("FAULT silent reply=2", 5000));
    quiet.shutwrite();
    const auto nothing = quiet.readtoend();
    ASSERT_TRUE(nothing);
    EXPECT_TRUE(nothing->empty());
}

TEST(ExciterSim, EndsBySignalOrTimeLimitAndRejectsBadOptions) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    const int status = sim.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_THAT(sim.lines(), Contains("STOP signal=15"));

    SimProcess limited({"--max-seconds", "1"});
    ASSERT_TRUE(limited.started());
    const auto ended = limited.waitexit(30000);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0);
    EXPECT_EQ(limited.lines().back(), "STOP max-seconds");

    SimProcess bad({"--packets", "40"});
    EXPECT_FALSE(bad.started());
    const auto failed = bad.waitexit(30000);
    ASSERT_TRUE(failed);
    EXPECT_TRUE(WIFEXITED(*failed) && WEXITSTATUS(*failed) == 2);
}

}  // namespace

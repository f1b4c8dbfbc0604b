#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "options.h"
#include "session.h"

namespace sim {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

TEST(SimSelector, PicksListedOrEveryNthReply) {
    const auto once = Selector::parse("3,5");
    ASSERT_TRUE(once);
    EXPECT_FALSE(once->matches(2));
    EXPECT_TRUE(once->matches(3));
    EXPECT_TRUE(once->matches(5));
    EXPECT_FALSE(once->matches(6));
    const auto every = Selector::parse("every:4");
    ASSERT_TRUE(every);
    EXPECT_FALSE(every->matches(2));
    EXPECT_TRUE(every->matches(4));
    EXPECT_TRUE(every->matches(8));
    for (const char* bad : {"", "0", "every:0", "x", "3,", "every:", "-2", "4x"}) {
        EXPECT_FALSE(Selector::parse(bad)) << bad;
    }
}

TEST(SimOptions, ReadsValuesFlagsAndRejectsBadInput) {
    Options o;
    std::string error;
    ASSERT_TRUE(parseoptions(
        {"--port", "0", "--snr=27.5", "--packets", "4", "--short-packets", "--status", "00476867",
         "--drop", "every:3", "--delay", "15", "--echo", "-10,1", "--echo=-20,-8.5"},
        o, error))
        << error;
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.bind, "127.0.0.1");
    EXPECT_DOUBLE_EQ(o.impairments.snrdb, 27.5);
    EXPECT_EQ(o.packets, 4);
    EXPECT_TRUE(o.shortpackets);
    EXPECT_EQ(o.status, (StatusBlock{0x00, 0x47, 0x68, 0x67}));
    EXPECT_EQ(o.faults.drop.every, 3u);
    EXPECT_EQ(o.faults.delayms, 15);
    EXPECT_TRUE(o.faults.delayed.matches(1)) << "--delay holds back every reply by default";
    ASSERT_EQ(o.impairments.echoes.size(), 2u);
    EXPECT_DOUBLE_EQ(o.impairments.echoes[0].db, -10);
    EXPECT_DOUBLE_EQ(o.impairments.echoes[0].us, 1);
    EXPECT_DOUBLE_EQ(o.impairments.echoes[1].db, -20);
    EXPECT_DOUBLE_EQ(o.impairments.echoes[1].us, -8.5);

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--packets", "33"},
                                               {"--packets", "0"},
                                               {"--port", "65536"},
                                               {"--snr", "x"},
                                               {"--snr", "nan"},
                                               {"--status", "0047686"},
                                               {"--status", "0047686G"},
                                               {"--echo", "-10"},
                                               {"--echo", "-10,1,2"},
                                               {"--echo", ",1"},
                                               {"--echo", "3,1"},
                                               {"--echo", "-10,26"},
                                               {"--drop"},
                                               {"--frobnicate"},
                                               {"stray"},
                                               {"--silent=1"}}) {
        Options ignored;
        error.clear();
        EXPECT_FALSE(parseoptions(bad, ignored, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

struct FaultHarness {
    explicit FaultHarness(const std::vector<std::string>& args) {
        std::string error;
        EXPECT_TRUE(parseoptions(args, options, error)) << error;
        options.packets = 4;
        session = std::make_unique<Session>(
            options, [](std::uint8_t* b, std::size_t n) { std::fill_n(b, n, 0x11); },
            StatusBlock{0, 1, 2, 3}, [this](const std::string& line) { record.push_back(line); });
    }
    std::vector<Chunk> capture() { return session->receive(buildclientframe(0x0001, 0)); }
    std::vector<Chunk> ack(int number) {
        return session->receive(buildclientframe(0x8001, std::uint16_t(4 | number << 8)));
    }

    Options options;
    std::vector<std::string> record;
    std::unique_ptr<Session> session;
};

TEST(SimFaults, CorruptionsChangeOnlyTheirField) {
    FaultHarness h({"--bad-sum", "1", "--bad-tail", "2", "--bad-length", "3"});
    const Bytes sum = h.capture().at(0).bytes;
    const Bytes tail = h.ack(1).at(0).bytes;
    const Bytes length = h.ack(2).at(0).bytes;
    const Bytes clean = h.ack(3).at(0).bytes;

    EXPECT_EQ(sum[1036], std::uint8_t(checksum(std::span(sum).first(1036)) + 1));
    EXPECT_EQ(sum[1037], kFrameTail);
    EXPECT_EQ(tail[1036], checksum(std::span(tail).first(1036)));
    EXPECT_EQ(tail[1037], 0x95);
    EXPECT_EQ(length.size(), kLongPacketSize);
    EXPECT_EQ(readu16(length, 2), 1039);
    EXPECT_EQ(length[1036], checksum(std::span(length).first(1036)));
    EXPECT_EQ(clean[1036], checksum(std::span(clean).first(1036)));
    EXPECT_EQ(clean[1037], kFrameTail);
    EXPECT_THAT(h.record, Contains("FAULT bad-tail reply=2 tail=95"));
    EXPECT_THAT(h.record, Contains(HasSubstr("TX 1038 fn=0001 count=4 no=3 ")));
    EXPECT_THAT(h.record, Contains(HasSubstr(" tail=96 len=1039 ")));
}

TEST(SimFaults, NumberingSkipAndRepeat) {
    FaultHarness h({"--skip", "2,8", "--repeat", "1,3"});
    EXPECT_EQ(h.capture().at(0).bytes[7], 1) << "nothing to repeat before packet 1";
    EXPECT_EQ(h.ack(1).at(0).bytes[7], 3) << "packet 2 skipped";
    // A client that takes the skipped packet is served on from there.
    EXPECT_EQ(h.ack(3).at(0).bytes[7], 3) << "packet 3 repeated";
    EXPECT_EQ(h.ack(3).at(0).bytes[7], 4);
    EXPECT_TRUE(h.ack(4).empty());
    // Skipping the last packet numbers it past the count (its data is the last block).
    h.capture();
    h.ack(1);
    h.ack(2);
    const Bytes past = h.ack(3).at(0).bytes;
    EXPECT_EQ(past[6], 4);
    EXPECT_EQ(past[7], 5);
    EXPECT_THAT(h.record, Contains("FAULT skip reply=2 no=3"));
    EXPECT_THAT(h.record, Contains("FAULT repeat reply=3 no=3"));
}

TEST(SimFaults, DropGarbageAndSilence) {
    FaultHarness h({"--drop", "1", "--garbage", "2", "--garbage-bytes", "40"});
    EXPECT_TRUE(h.capture().empty());
    EXPECT_EQ(h.record.back(), "FAULT drop reply=1");
    const auto garbage = h.capture();  // the client asks again
    ASSERT_EQ(garbage.size(), 1u);
    EXPECT_EQ(garbage[0].bytes.size(), 40u);
    EXPECT_EQ(garbage[0].bytes[0], 0xA5);
    EXPECT_EQ(h.record.back(), "TX 40 " + hex(garbage[0].bytes));

    FaultHarness quiet({"--silent"});
    EXPECT_TRUE(quiet.capture().empty());
    EXPECT_TRUE(quiet.session->receive(buildclientframe(0x0002, 0)).empty());
    EXPECT_EQ(quiet.record.back(), "FAULT silent reply=2");
}

TEST(SimFaults, TimingSplitDelayAndClose) {
    FaultHarness h({"--split", "1", "--split-gap", "7", "--delay", "30", "--delay-on", "1,2",
                    "--close-after", "2"});
    const auto first = h.capture();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].delayms, 30);
    EXPECT_EQ(first[1].delayms, 7);
    EXPECT_EQ(first[0].bytes.size() + first[1].bytes.size(), kLongPacketSize);
    EXPECT_FALSE(first[1].closeafter);

    const auto second = h.ack(1);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].delayms, 30);
    EXPECT_TRUE(second[0].closeafter) << "closes right after packet 2";
    EXPECT_THAT(h.record, Contains("FAULT close after=2"));
    EXPECT_THAT(h.record, Contains("FAULT split reply=1 at=519 gap=7"));
}

}  // namespace
}  // namespace sim

#include "frames.h"

#include <gtest/gtest.h>

#include <numeric>

namespace sim {
namespace {

Bytes fromhex(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return out;
}

const Bytes kCaptureRequest = fromhex("80 46 0A 00 01 00 00 00 D1 96");
const Bytes kStatusRequest = fromhex("80 46 0A 00 02 00 00 00 D2 96");
const Bytes kAck3of32 = fromhex("80 46 0A 00 01 80 20 03 74 96");

TEST(SimFrames, ClientFramesMatchTheWireExamples) {
    EXPECT_EQ(buildclientframe(0x0001, 0), kCaptureRequest);
    EXPECT_EQ(buildclientframe(0x0002, 0), kStatusRequest);
    EXPECT_EQ(buildclientframe(0x8001, 0x0320), kAck3of32);  // sum 0x174 wraps to 0x74
    EXPECT_EQ(hex(kAck3of32), "80 46 0A 00 01 80 20 03 74 96");
}

TEST(SimFrames, SamplePacketLayout) {
    Bytes data(kPacketData);
    std::iota(data.begin(), data.end(), std::uint8_t{7});
    const StatusBlock status{0x00, 0x47, 0x68, 0x67};

    const Bytes pkt = buildpacket(2, 1, data, status, false);
    ASSERT_EQ(pkt.size(), kLongPacketSize);
    EXPECT_EQ(hex(std::span(pkt).first(8)), "80 46 0E 04 01 00 02 01");
    EXPECT_TRUE(std::equal(data.begin(), data.end(), pkt.begin() + 8));
    EXPECT_EQ(hex(std::span(pkt).subspan(1032, 4)), "00 47 68 67");
    EXPECT_EQ(pkt[1036], checksum(std::span(pkt).first(1036)));
    EXPECT_EQ(pkt[1037], kFrameTail);

    const Bytes shortpkt = buildpacket(32, 32, data, status, true);
    ASSERT_EQ(shortpkt.size(), kShortPacketSize);
    EXPECT_EQ(hex(std::span(shortpkt).first(8)), "80 46 0A 04 01 00 20 20");
    EXPECT_EQ(shortpkt[1032], checksum(std::span(shortpkt).first(1032)));
    EXPECT_EQ(shortpkt[1033], kFrameTail);
}

TEST(SimFrames, StatusFrameLayout) {
    const Bytes frame = buildstatusframe({0x00, 0x47, 0x68, 0x67});
    ASSERT_EQ(frame.size(), kStatusFrameSize);
    EXPECT_EQ(hex(std::span(frame).first(12)), "80 46 0E 00 02 00 00 00 00 47 68 67");
    EXPECT_EQ(frame[12], checksum(std::span(frame).first(12)));
    EXPECT_EQ(frame[13], kFrameTail);
}

struct Drained {
    std::vector<Bytes> frames;
    std::vector<std::string> rejects;
};

Drained drain(FrameReader& reader) {
    Drained out;
    FrameReader::Item item;
    while (reader.next(item)) {
        if (item.ok) {
            out.frames.push_back(item.bytes);
        } else {
            out.rejects.push_back(item.reason + ":" + hex(item.bytes));
        }
    }
    return out;
}

TEST(SimFrameReader, JoinsSplitAndSeparatesCoalescedFrames) {
    FrameReader reader;
    Bytes stream = kCaptureRequest;
    stream.insert(stream.end(), kAck3of32.begin(), kAck3of32.end());
    stream.insert(stream.end(), kStatusRequest.begin(), kStatusRequest.end());

    std::vector<Bytes> frames;
    for (std::uint8_t b : stream) {  // one byte at a time
        reader.feed(std::span(&b, 1));
        auto got = drain(reader);
        EXPECT_TRUE(got.rejects.empty());
        frames.insert(frames.end(), got.frames.begin(), got.frames.end());
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{kCaptureRequest, kAck3of32, kStatusRequest}));

    reader.feed(stream);  // all at once
    EXPECT_EQ(drain(reader).frames.size(), 3u);
    EXPECT_EQ(reader.pending(), 0u);
}

TEST(SimFrameReader, RejectsMalformedInputAndResynchronises) {
    FrameReader reader;
    Bytes badsum = kCaptureRequest;
    badsum[8] = 0xD2;
    Bytes badtail = kCaptureRequest;
    badtail[9] = 0x95;
    const Bytes badlength = fromhex("80 46 0B 00 01 00 00 00 D2 96");
    const Bytes badheader = fromhex("80 47");
    const Bytes junk = fromhex("00 11 22");
    for (const Bytes* part : std::vector<const Bytes*>{&junk, &badsum, &badheader, &kStatusRequest,
                                                       &badtail, &badlength, &kCaptureRequest}) {
        reader.feed(*part);
    }
    const Drained got = drain(reader);
    EXPECT_EQ(got.frames, (std::vector<Bytes>{kStatusRequest, kCaptureRequest}));
    EXPECT_EQ(got.rejects, (std::vector<std::string>{
                               "id:00 11 22",
                               "sum:80 46 0A 00 01 00 00 00 D2 96",
                               "header:80 47",
                               "tail:80 46 0A 00 01 00 00 00 D1 95",
                               "length:80 46 0B 00 01 00 00 00 D2 96",
                           }));
}

}  // namespace
}  // namespace sim

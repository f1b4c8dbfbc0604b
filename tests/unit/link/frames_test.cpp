#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "link/frames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes request(int code) {
    Bytes tx(10);
    buildrequest(tx.data(), code);
    return tx;
}

int check(Bytes f) {
    f.resize(kRxFrameSize, 0);
    return checkframe(f.data(), f.size());
}

TEST(Frames, RequestsAndAcknowledgementsHaveTheirWireBytes) {
    EXPECT_EQ(request(1), (Bytes{0x80, 0x46, 0x0A, 0, 0x01, 0, 0, 0, 0xD1, 0x96}));
    EXPECT_EQ(request(2), (Bytes{0x80, 0x46, 0x0A, 0, 0x02, 0, 0, 0, 0xD2, 0x96}));

    Bytes packet{0x80, 0x46, 0x0E, 0x04, 0x01, 0x00, 0x20, 0x03};
    Bytes ack(10);
    buildack(ack.data(), packet.data());
    EXPECT_EQ(ack, (Bytes{0x80, 0x46, 0x0A, 0, 0x01, 0x80, 0x20, 0x03, 0x74, 0x96}));

    // The flag bits 12..14 are cleared; a wrong first byte is copied as it came.
    Bytes odd{0x81, 0x46, 0x0E, 0x04, 0x01, 0xF0, 0x02, 0x01};
    buildack(ack.data(), odd.data());
    EXPECT_EQ(ack[0], 0x81);
    EXPECT_EQ(ack[4], 0x01);
    EXPECT_EQ(ack[5], 0x80);
    EXPECT_EQ(ack[8], calcsum(ack.data(), 8));
}

TEST(Frames, ChecksumWrapsAndIgnoresEmptyCounts) {
    const std::array<std::uint8_t, 8> b{0x80, 0x46, 0x0A, 0x00, 0x01, 0x80, 0x20, 0x03};
    EXPECT_EQ(calcsum(b.data(), 8), 0x74);
    EXPECT_EQ(calcsum(b.data(), 0), 0);
    EXPECT_EQ(calcsum(b.data(), -5), 0);
}

TEST(Frames, ValidationAppliesItsTestsInOrder) {
    const Bytes ok = request(1);
    EXPECT_EQ(check(ok), FrameOk);
    Bytes badsum = ok, badtail = ok, both = ok, badid = ok, short9 = ok;
    badsum[8] = 0xD2;
    badtail[9] = 0x95;
    both[8] = 0xD2, both[9] = 0x95;
    badid[0] = 0x00, badid[1] = 0x00;
    short9[2] = 9;
    EXPECT_EQ(check(badsum), SumError);
    EXPECT_EQ(check(badtail), TailError);
    EXPECT_EQ(check(both), SumError);
    EXPECT_EQ(check(badid), IdError);
    EXPECT_EQ(check(short9), LengthError);
    Bytes badheader = ok;
    badheader[1] = 0x47;
    EXPECT_EQ(check(badheader), HeaderError);
    EXPECT_EQ(checkframe(nullptr), PtrError);
    EXPECT_EQ(checktexts[SumError], "Sum ERROR");
}

TEST(Frames, LengthBeyondTheBufferIsALengthErrorWithoutReadingPastIt) {
    // Exactly the buffer's size is still examined; one more byte is refused. ASan checks the rest.
    std::vector<std::uint8_t> buf(kRxFrameSize, 0);
    buf[0] = 0x80, buf[1] = 0x46;
    buf[2] = kRxFrameSize & 0xFF, buf[3] = kRxFrameSize >> 8;
    buf[kRxFrameSize - 2] = calcsum(buf.data(), kRxFrameSize - 2);
    buf[kRxFrameSize - 1] = 0x96;
    EXPECT_EQ(checkframe(buf.data(), buf.size()), FrameOk);
    buf[2] = (kRxFrameSize + 1) & 0xFF, buf[3] = (kRxFrameSize + 1) >> 8;
    EXPECT_EQ(checkframe(buf.data(), buf.size()), LengthError);
    buf[2] = 0xFF, buf[3] = 0xFF;
    EXPECT_EQ(checkframe(buf.data(), buf.size()), LengthError);
    // A frame claiming more than was received reads the zero-filled rest of the buffer.
    Bytes claim = request(1);
    claim[2] = 20;
    EXPECT_EQ(check(claim), SumError);
}

}  // namespace

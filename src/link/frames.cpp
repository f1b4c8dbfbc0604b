#include "link/frames.h"

const std::array<std::string, 9> checktexts = {
    "OK",         "ID ERROR",  "Header ERROR", "Length ERROR", "Index ERROR",
    "Data ERROR", "Sum ERROR", "Tail ERROR",   "Ptr ERROR",
};

std::uint8_t calcsum(const std::uint8_t* p, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i) sum += p[i];
    return static_cast<std::uint8_t>(sum);
}

int checkframe(const std::uint8_t* frame, std::size_t size) {
    if (!frame) return PtrError;
    if (size < 4) return LengthError;
    if (frame[0] != kFrameId) return IdError;
    if (frame[1] != kFrameHeader) return HeaderError;
    const std::size_t len = framelength(frame);
    if (len < 10 || len > size) return LengthError;
    if (frame[len - 2] != calcsum(frame, static_cast<int>(len - 2))) return SumError;
    if (frame[len - 1] != kFrameTail) return TailError;
    return FrameOk;
}

static void finish(std::uint8_t* tx) {
    tx[2] = 10;
    tx[3] = 0;
    tx[8] = calcsum(tx, 8);
    tx[9] = kFrameTail;
}

void buildrequest(std::uint8_t* tx, int code) {
    tx[0] = kFrameId;
    tx[1] = kFrameHeader;
    tx[4] = static_cast<std::uint8_t>(code);
    tx[5] = 0;
    tx[6] = tx[7] = 0;
    finish(tx);
}

void buildack(std::uint8_t* tx, const std::uint8_t* frame) {
    const std::uint16_t fn = static_cast<std::uint16_t>((frameword(frame, 4) & 0x0FFF) | 0x8000);
    tx[0] = frame[0];
    tx[1] = kFrameHeader;
    tx[4] = static_cast<std::uint8_t>(fn & 0xFF);
    tx[5] = static_cast<std::uint8_t>(fn >> 8);
    tx[6] = frame[6];
    tx[7] = frame[7];
    finish(tx);
}

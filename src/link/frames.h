// The exciter's frames: 0x80, 0x46, a 16-bit length of the whole frame, a function word, an index
// word (packet count low, packet number high), payload, an 8-bit checksum and the tail 0x96.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::uint8_t kFrameId = 0x80;
constexpr std::uint8_t kFrameHeader = 0x46;
constexpr std::uint8_t kFrameTail = 0x96;
constexpr std::size_t kRxFrameSize = 3072;
constexpr std::size_t kTxFrameSize = 10;
constexpr int kMaxRead = 2044;

enum FrameCheck : int {
    FrameOk = 0,
    IdError = 1,
    HeaderError = 2,
    LengthError = 3,
    IndexError = 4,
    DataError = 5,
    SumError = 6,
    TailError = 7,
    PtrError = 8,
};

extern const std::array<std::string, 9> checktexts;

inline std::uint16_t frameword(const std::uint8_t* f, std::size_t offset) {
    return static_cast<std::uint16_t>(f[offset] | (f[offset + 1] << 8));
}
inline std::uint16_t framelength(const std::uint8_t* f) {
    return frameword(f, 2);
}
inline int functioncode(const std::uint8_t* f) {
    return frameword(f, 4) & 0x0FFF;
}

// Sum of the first count bytes, modulo 256; 0 for a count of 0 or less.
std::uint8_t calcsum(const std::uint8_t* p, int count);
// Validates a received frame held in a buffer of `size` bytes. A length field that reaches past
// the buffer is a length error: nothing outside the buffer is read.
int checkframe(const std::uint8_t* frame, std::size_t size = kRxFrameSize);
// Builds a capture (1) or status (2) request.
void buildrequest(std::uint8_t* tx, int code);
// Builds the acknowledgement of a received sample packet.
void buildack(std::uint8_t* tx, const std::uint8_t* frame);

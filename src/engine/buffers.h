// The fixed buffers that carry a measurement from the exciter to the screen. They live for the
// whole run and are never allocated, freed or moved.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/resultlayout.h"

constexpr std::size_t kCaptureBytes = 32768;  // 32 packets of 1024 bytes
constexpr std::size_t kHalfBytes = kCaptureBytes / 2;
constexpr std::size_t kHalfWords = kHalfBytes / 4;

extern std::uint8_t capturearea[kCaptureBytes];
extern std::int32_t sampleblock[resultlayout::kSampleCount];
extern std::uint8_t resultblock[resultlayout::kBlockSize];
extern std::uint8_t statusblock[4];

inline std::int32_t samplevalue(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// Splits one 16384-byte half into its I and Q arrays of the sample block.
inline void splithalf(int half) {
    const std::uint8_t* src = capturearea + half * kHalfBytes;
    std::int32_t* i = sampleblock + half * 2 * kHalfWords;
    std::int32_t* q = i + kHalfWords;
    for (std::size_t k = 0; k < kHalfWords; ++k) {
        i[k] = samplevalue(src + 4 * k);
        q[k] = samplevalue(src + 4 * k + 2);
    }
}

// Converts the capture area into the engine's sample block: I then Q of the first half's 4096
// words, then of the second half's. `dumphalf` (super mode) receives each raw half right after
// it has been converted.
template <typename Dump>
void splitsamples(Dump&& dumphalf) {
    splithalf(0);
    dumphalf(0, capturearea);
    splithalf(1);
    dumphalf(1, capturearea + kHalfBytes);
}
void splitsamples();

// Debug mode: fills the capture area with uniform values from -7999 to 8000, advancing the
// generator state `seed` (0 is taken as a fixed non-zero state).
void fillsimulated(std::uint32_t& seed);
// A generator state from the wall clock, never 0, so each run draws other captures.
std::uint32_t clockseed();

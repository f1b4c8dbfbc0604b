// The fixed buffers that carry a measurement from the exciter to the screen: made once, as one
// object, for the whole run, and never allocated, freed or moved on the data path.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/resultlayout.h"

constexpr std::size_t kCaptureBytes = 32768;  // 32 packets of 1024 bytes
constexpr std::size_t kHalfBytes = kCaptureBytes / 2;
constexpr std::size_t kHalfWords = kHalfBytes / 4;

struct MeasureBuffers {
    std::uint8_t capturearea[kCaptureBytes];               // the packets' data, in order
    std::int32_t sampleblock[resultlayout::kSampleCount];  // the engine's input
    std::uint8_t resultblock[resultlayout::kBlockSize];    // the engine's output
    std::uint8_t statusblock[4];                           // the exciter's latest status
};

inline std::int32_t samplevalue(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// Splits one 16384-byte half of a capture (I, Q little-endian 16-bit pairs) into its I and Q
// arrays of the sample block. On a little-endian machine each pair is read as one 32-bit word: a
// loop that clang also turns into vector instructions (byte by byte it stays scalar there).
inline void splithalf(const std::uint8_t* capture, std::int32_t* samples, int half) {
    const std::uint8_t* src = capture + half * kHalfBytes;
    std::int32_t* i = samples + half * 2 * kHalfWords;
    std::int32_t* q = i + kHalfWords;
    for (std::size_t k = 0; k < kHalfWords; ++k) {
        if constexpr (std::endian::native == std::endian::little) {
            std::uint32_t pair;
            std::memcpy(&pair, src + 4 * k, sizeof pair);
            i[k] = static_cast<std::int16_t>(pair & 0xFFFF);
            q[k] = static_cast<std::int16_t>(pair >> 16);
        } else {
            i[k] = samplevalue(src + 4 * k);
            q[k] = samplevalue(src + 4 * k + 2);
        }
    }
}

// Converts a 32768-byte capture into the engine's sample block: I then Q of the first half's
// 4096 words, then of the second half's. `dumphalf` (super mode) receives each raw half right
// after it has been converted.
template <typename Dump>
void splitsamples(const std::uint8_t* capture, std::int32_t* samples, Dump&& dumphalf) {
    splithalf(capture, samples, 0);
    dumphalf(0, capture);
    splithalf(capture, samples, 1);
    dumphalf(1, capture + kHalfBytes);
}
void splitsamples(const std::uint8_t* capture, std::int32_t* samples);

// Debug mode: fills a capture with uniform values from -7999 to 8000, advancing the generator
// state `seed` (0 is taken as a fixed non-zero state).
void fillsimulated(std::uint8_t* capture, std::uint32_t& seed);
// A generator state from the wall clock, never 0, so each run draws other captures.
std::uint32_t clockseed();

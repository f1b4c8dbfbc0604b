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

// Converts the capture area into the engine's sample block: I then Q of the first half's 4096
// words, then of the second half's. `dumphalf` (super mode) receives each raw half right after
// it has been converted.
template <typename Dump>
void splitsamples(Dump&& dumphalf);
void splitsamples();

// Debug mode: fills the capture area with uniform values from -7999 to 8000.
void fillsimulated(std::uint32_t& seed);

#include "engine/buffers_impl.h"

#include "engine/buffers.h"

std::uint8_t capturearea[kCaptureBytes];
std::int32_t sampleblock[resultlayout::kSampleCount];
std::uint8_t resultblock[resultlayout::kBlockSize];
std::uint8_t statusblock[4];

void splitsamples() {
    splithalf(0);
    splithalf(1);
}

void fillsimulated(std::uint32_t& seed) {
    for (std::size_t k = 0; k < kCaptureBytes; k += 2) {
        // xorshift32: quick, and the values only need to look like noise.
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const auto r = static_cast<std::int32_t>(seed % 16000u);
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 - r));
        capturearea[k] = static_cast<std::uint8_t>(v & 0xFF);
        capturearea[k + 1] = static_cast<std::uint8_t>(v >> 8);
    }
}

#include "engine/buffers.h"

#include <chrono>

void splitsamples(const std::uint8_t* capture, std::int32_t* samples) {
    splithalf(capture, samples, 0);
    splithalf(capture, samples, 1);
}

void fillsimulated(std::uint8_t* capture, std::uint32_t& seed) {
    if (seed == 0) seed = 0x9E3779B9u;  // xorshift never leaves 0
    for (std::size_t k = 0; k < kCaptureBytes; k += 2) {
        // xorshift32: quick, and the values only need to look like noise.
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const auto r = static_cast<std::int32_t>(seed % 16000u);
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 - r));
        capture[k] = static_cast<std::uint8_t>(v & 0xFF);
        capture[k + 1] = static_cast<std::uint8_t>(v >> 8);
    }
}

std::uint32_t clockseed() {
    // splitmix64 spreads the nanoseconds over all bits.
    auto z =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    const auto seed = static_cast<std::uint32_t>(z ^ (z >> 32));
    return seed != 0 ? seed : 1;
}

#pragma once

inline std::int32_t samplevalue(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

inline void splithalf(int half) {
    const std::uint8_t* src = capturearea + half * kHalfBytes;
    std::int32_t* i = sampleblock + half * 2 * kHalfWords;
    std::int32_t* q = i + kHalfWords;
    for (std::size_t k = 0; k < kHalfWords; ++k) {
        i[k] = samplevalue(src + 4 * k);
        q[k] = samplevalue(src + 4 * k + 2);
    }
}

template <typename Dump>
void splitsamples(Dump&& dumphalf) {
    splithalf(0);
    dumphalf(0, capturearea);
    splithalf(1);
    dumphalf(1, capturearea + kHalfBytes);
}

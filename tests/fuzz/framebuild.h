// What both fuzz targets build their inputs with: a reader of the input's bytes and the
// exciter's frames made right (head, payload, sum and tail).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/frames.h"

namespace korvin::fuzz {

using Bytes = std::vector<std::uint8_t>;

class Reader {
  public:
    Reader(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    bool more() const { return i_ < n_; }
    std::uint8_t u8() { return i_ < n_ ? d_[i_++] : 0; }
    std::size_t u16() { return u8() | (static_cast<std::size_t>(u8()) << 8); }
    // The next `len` bytes, or as many as are left: `len` becomes their count.
    const std::uint8_t* take(std::size_t& len) {
        len = std::min(len, n_ - i_);
        const std::uint8_t* p = d_ + i_;
        i_ += len;
        return p;
    }
    // The next `len` bytes (or as many as are left) appended to `out`.
    void takeinto(Bytes& out, std::size_t len) {
        const std::uint8_t* p = take(len);
        out.insert(out.end(), p, p + len);
    }
    // Four bytes, zeros for those missing.
    std::array<std::uint8_t, 4> four() {
        std::array<std::uint8_t, 4> b{};
        std::size_t len = b.size();
        std::copy_n(take(len), len, b.begin());
        return b;
    }

  private:
    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t i_ = 0;
};

inline unsigned bytesum(const std::uint8_t* p, std::size_t n) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += p[i];
    return sum;
}

// Writes the sum and the tail; `known` stands for the bytes [from, to) already summed.
inline void seal(Bytes& f, std::size_t from = 0, std::size_t to = 0, unsigned known = 0) {
    const std::size_t end = f.size() - 2;
    const unsigned sum = bytesum(f.data(), from) + known + bytesum(f.data() + to, end - to);
    f[end] = static_cast<std::uint8_t>(sum);
    f[end + 1] = kFrameTail;
}

// Sizes f for a payload of `size` bytes and writes its head; the caller writes the payload (at
// byte 8) and seals it. f keeps its storage from frame to frame.
inline std::uint8_t* startframe(Bytes& f, std::uint16_t fn, std::uint8_t count, std::uint8_t number,
                                std::size_t size) {
    f.resize(10 + size);
    f[0] = kFrameId;
    f[1] = kFrameHeader;
    f[2] = static_cast<std::uint8_t>(f.size() & 0xFF);
    f[3] = static_cast<std::uint8_t>(f.size() >> 8);
    f[4] = static_cast<std::uint8_t>(fn & 0xFF);
    f[5] = static_cast<std::uint8_t>(fn >> 8);
    f[6] = count;
    f[7] = number;
    return f.data() + 8;
}

inline void makeframe(Bytes& f, std::uint16_t fn, std::uint8_t count, std::uint8_t number,
                      const std::uint8_t* payload, std::size_t size) {
    std::copy_n(payload, size, startframe(f, fn, count, number, size));
    seal(f);
}

}  // namespace korvin::fuzz

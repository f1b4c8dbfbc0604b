#include "platform/waterimage.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

namespace {

constexpr int kDampingShift = 5;           // each step keeps 31/32 of the wave
constexpr std::int32_t kMaxHeight = 4096;  // bounds what repeated drags can pile up
constexpr int kSlopeShift = 3;             // slope / 8 = pixel shift
constexpr unsigned kDropChance = 12;       // about one own drop in 12 steps

// Damping that rounds away from zero, so the last small ripples die out instead of lingering.
std::int32_t damp(std::int32_t v) {
    const std::int32_t mag = std::abs(v);
    const std::int32_t loss = (mag + (1 << kDampingShift) - 1) >> kDampingShift;
    return v < 0 ? -(mag - loss) : mag - loss;
}

std::uint8_t shade(std::uint8_t c, int light) {
    return static_cast<std::uint8_t>(std::clamp(c + light, 0, 255));
}

}  // namespace

WaterImage::WaterImage(std::string name) : Control(Kind::WaterImage, std::move(name)) {
    timer.ontimer = [this] {
        if (autodrops) randomdrop();
        step();
        if (onstep) onstep();
    };
}

void WaterImage::setpicturesize(int w, int h) {
    w_ = std::max(w, 0);
    h_ = std::max(h, 0);
    cur_.assign(static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_), 0);
    prev_ = cur_;
    setbounds(left, top, w_, h_);
    notify();
}

bool WaterImage::atrest() const {
    return std::all_of(cur_.begin(), cur_.end(), [](std::int32_t v) { return v == 0; }) &&
           std::all_of(prev_.begin(), prev_.end(), [](std::int32_t v) { return v == 0; });
}

// The classic two-buffer wave: the new height is half the sum of the four neighbours less the
// height one step ago, then damped. The outermost rows and columns stay still.
void WaterImage::step() {
    for (int y = 1; y < h_ - 1; ++y) {
        for (int x = 1; x < w_ - 1; ++x) {
            const std::size_t i = index(x, y);
            const std::int32_t sum = cur_[i - 1] + cur_[i + 1] +
                                     cur_[i - static_cast<std::size_t>(w_)] +
                                     cur_[i + static_cast<std::size_t>(w_)];
            prev_[i] = damp((sum >> 1) - prev_[i]);
        }
    }
    std::swap(cur_, prev_);
}

void WaterImage::drop(int x, int y, int strength) {
    const int r = std::max(radius, 0);
    for (int py = std::max(y - r, 1); py <= std::min(y + r, h_ - 2); ++py) {
        for (int px = std::max(x - r, 1); px <= std::min(x + r, w_ - 2); ++px) {
            if ((px - x) * (px - x) + (py - y) * (py - y) > r * r) continue;
            std::int32_t& v = cur_[index(px, py)];
            v = std::clamp(v + strength, -kMaxHeight, kMaxHeight);
        }
    }
}

void WaterImage::randomdrop() {
    if (w_ < 3 || h_ < 3 || rng_() % kDropChance != 0) return;
    const int x = 1 + static_cast<int>(rng_() % static_cast<unsigned>(w_ - 2));
    const int y = 1 + static_cast<int>(rng_() % static_cast<unsigned>(h_ - 2));
    drop(x, y, kTrailStrength + static_cast<int>(rng_() % kDropStrength));
}

std::int32_t WaterImage::clampedheight(int x, int y) const {
    return cur_[index(std::clamp(x, 0, w_ - 1), std::clamp(y, 0, h_ - 1))];
}

void WaterImage::render(const std::uint8_t* srcrgb, std::uint8_t* dstrgb) const {
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            const std::int32_t dx = clampedheight(x - 1, y) - clampedheight(x + 1, y);
            const std::int32_t dy = clampedheight(x, y - 1) - clampedheight(x, y + 1);
            // Light and refraction both follow the slope; the source stays inside the picture.
            const int sx = std::clamp(x + (dx >> kSlopeShift), 0, w_ - 1);
            const int sy = std::clamp(y + (dy >> kSlopeShift), 0, h_ - 1);
            const int light = std::clamp(dx >> 2, -64, 64);
            const std::uint8_t* s = srcrgb + 3 * index(sx, sy);
            std::uint8_t* d = dstrgb + 3 * index(x, y);
            for (int c = 0; c < 3; ++c) d[c] = shade(s[c], light);
        }
    }
}

}  // namespace platform

// The water-ripple picture: a height field over an image, advanced every 50 ms, disturbed by
// random drops and by the mouse, and rendered by shifting each pixel along the field's slope.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "platform/component.h"
#include "platform/timer.h"

namespace platform {

class WaterImage : public Control {
  public:
    static constexpr int kStepMs = 50;
    static constexpr int kTrailStrength = 50;
    static constexpr int kDropStrength = 250;

    explicit WaterImage(std::string name);

    // The picture's resource name; the control takes the picture's size (setpicturesize).
    std::string resource;
    int radius = 2;
    // Drops of the control's own at random moments; tests switch them off.
    bool autodrops = true;

    // Sizes the control and its height field to the picture, all at rest.
    void setpicturesize(int w, int h);
    int picturewidth() const { return w_; }
    int pictureheight() const { return h_; }
    std::int32_t heightat(int x, int y) const { return cur_[index(x, y)]; }
    bool atrest() const;

    // One 50 ms step of the simulation.
    void step();
    // Raises the water in a disc of `radius` around (x, y); points off the picture are clipped.
    void drop(int x, int y, int strength);
    void trail(int x, int y) { drop(x, y, kTrailStrength); }
    // The mouse over the picture: a trail, or strong drops while the left button is held.
    void mousemove(int x, int y, bool leftheld) {
        leftheld ? drop(x, y, kDropStrength) : trail(x, y);
    }
    void mousedown(int x, int y) { drop(x, y, kDropStrength); }

    // Draws the picture (packed RGB, picturewidth() x pictureheight()) as seen through the
    // water into dst (same size).
    void render(const std::uint8_t* srcrgb, std::uint8_t* dstrgb) const;

    // After every step: the view repaints.
    std::function<void()> onstep;
    Timer timer{"wi_step", kStepMs, true};

  private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) +
               static_cast<std::size_t>(x);
    }
    // The height at (x, y) with the coordinates held inside the picture.
    std::int32_t clampedheight(int x, int y) const;
    void randomdrop();

    int w_ = 0, h_ = 0;
    std::vector<std::int32_t> cur_, prev_;
    std::minstd_rand rng_{20260101};
};

}  // namespace platform

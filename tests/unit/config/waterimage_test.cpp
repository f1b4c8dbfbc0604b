#include "platform/waterimage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/testkit/headless.h"

namespace {

using platform::WaterImage;

// A picture with a different colour at every pixel, so any displacement shows.
std::vector<std::uint8_t> gradient(int w, int h) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(3 * w * h));
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(i * 7 % 251);
    return p;
}

class Ripple : public ::testing::Test {
  protected:
    platform::HeadlessBackend backend;  // first: the control's timer needs it
    WaterImage wi{"wi1"};
};

TEST_F(Ripple, ADropSpreadsAndDiesDownToAStillPicture) {
    wi.autodrops = false;
    wi.setpicturesize(82, 59);
    EXPECT_EQ(wi.width, 82);
    EXPECT_EQ(wi.height, 59);
    const auto src = gradient(82, 59);
    std::vector<std::uint8_t> dst(src.size());

    wi.drop(41, 29, WaterImage::kDropStrength);
    EXPECT_EQ(wi.heightat(41, 29), WaterImage::kDropStrength);
    EXPECT_EQ(wi.heightat(41, 32), 0);  // outside the radius of 2
    for (int i = 0; i < 3; ++i) wi.step();
    EXPECT_NE(wi.heightat(41, 33), 0);  // the ring has moved out
    wi.render(src.data(), dst.data());
    EXPECT_NE(dst, src);

    int steps = 0;
    while (!wi.atrest() && steps < 5000) {
        wi.step();
        ++steps;
    }
    EXPECT_TRUE(wi.atrest()) << "still moving after " << steps << " steps";
    wi.render(src.data(), dst.data());
    EXPECT_EQ(dst, src);
}

// ASan checks every read and write: the buffers are exactly the picture's size.
TEST_F(Ripple, DropsAndTrailsAtTheBordersStayInsideThePicture) {
    wi.autodrops = false;
    for (auto [w, h] : {std::pair{82, 59}, {1, 1}, {2, 3}, {3, 3}, {5, 2}}) {
        wi.setpicturesize(w, h);
        const auto src = gradient(w, h);
        std::vector<std::uint8_t> dst(src.size());
        for (int y : {-9, 0, 1, h / 2, h - 2, h - 1, h + 9}) {
            for (int x : {-9, 0, 1, w / 2, w - 2, w - 1, w + 9}) {
                for (int k = 0; k < 40; ++k) wi.mousemove(x, y, true);  // a long drag
                wi.mousemove(x, y, false);
                wi.mousedown(x, y);
            }
        }
        for (int i = 0; i < 30; ++i) {
            wi.step();
            wi.render(src.data(), dst.data());
        }
        for (int x = 0; x < w; ++x) EXPECT_EQ(wi.heightat(x, 0) + wi.heightat(x, h - 1), 0);
    }
}

TEST_F(Ripple, TheClockDrivesStepsAndOwnDrops) {
    wi.setpicturesize(82, 59);
    int steps = 0;
    wi.onstep = [&steps] { ++steps; };
    backend.clock.advance(WaterImage::kStepMs - 1);
    EXPECT_EQ(steps, 0);
    backend.clock.advance(1);
    EXPECT_EQ(steps, 1);
    backend.clock.advance(100 * WaterImage::kStepMs);
    EXPECT_EQ(steps, 101);
    EXPECT_FALSE(wi.atrest());  // it dropped ripples of its own
}

}  // namespace

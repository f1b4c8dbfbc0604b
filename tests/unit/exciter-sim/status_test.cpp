#include <gtest/gtest.h>

#include <cmath>

#include "source.h"

namespace sim {
namespace {

TEST(SimStatus, FiguresFollowTheImpairments) {
    vsb::Impairments imp;
    imp.snrdb = 27.3;
    const StatusBlock clean = statusfigures(vsb::Generator(1, imp));
    EXPECT_EQ(clean[0], 0);
    EXPECT_EQ(clean[1], 55) << "27.3 dB in half-dB steps";

    imp.nonlinearity = 0.05;
    const StatusBlock bent = statusfigures(vsb::Generator(1, imp));
    EXPECT_EQ(bent[1], 55);
    EXPECT_LT(bent[2] + 6, clean[2]) << "raised lower shoulder reads as a worse IMD";
    EXPECT_LT(bent[3] + 6, clean[3]);
    EXPECT_GT(bent[2], 2 * 10) << "still a shoulder below the in-band level";
}

TEST(SimStatus, HalfDbStepsAreClampedToAByte) {
    EXPECT_EQ(halfdb(35.2), 70);
    EXPECT_EQ(halfdb(-3.0), 0);
    EXPECT_EQ(halfdb(200.0), 255);
    EXPECT_EQ(halfdb(INFINITY), 255) << "no shoulder at all";
    EXPECT_EQ(halfdb(NAN), 255);
}

}  // namespace
}  // namespace sim

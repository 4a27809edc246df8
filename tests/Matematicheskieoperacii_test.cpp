#include "Matematicheskieoperacii.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

TEST(Matematicheskieoperacii, RoundToIntRoundsHalfToEven) {
    EXPECT_EQ(RoundToInt(0.5), 0);
    EXPECT_EQ(RoundToInt(1.5), 2);
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(RoundToInt(3.5), 4);
    EXPECT_EQ(RoundToInt(-2.5), -2);
    EXPECT_EQ(RoundToInt(551.25), 551);
    EXPECT_EQ(RoundToInt(-2147483648.0), INT32_MIN);
    EXPECT_EQ(RoundToInt(2147483647.0), INT32_MAX);
}

TEST(Matematicheskieoperacii, IntegerStoresGiveIndefiniteOutsideTheRange) {
    for (double x : {NaN, Inf, -Inf, 2147483648.0, -2147483649.0, 1e300}) {
        EXPECT_EQ(RoundToInt(x), INT32_MIN) << x;
        EXPECT_EQ(CeilToInt(x), INT32_MIN) << x;
        EXPECT_EQ(FloorToInt(x), INT32_MIN) << x;
    }
    EXPECT_EQ(TruncToInt64(NaN), INT64_MIN);
    EXPECT_EQ(TruncToInt64(1e30L), INT64_MIN);
    EXPECT_EQ(TruncToInt64(-2.9L), -2);
    EXPECT_EQ(TruncToInt64(4294967296.75L), 4294967296);
}

TEST(Matematicheskieoperacii, CeilAndFloorLeaveRoundToNearest) {
    EXPECT_EQ(CeilToInt(2.0), 2);
    EXPECT_EQ(CeilToInt(2.000001), 3);
    EXPECT_EQ(CeilToInt(-0.5), 0);
    EXPECT_EQ(FloorToInt(-0.5), -1);
    EXPECT_EQ(FloorToInt(2.999), 2);
    EXPECT_EQ(RoundToInt(2.5), 2);

    // Whatever mode the unit was in before, it rounds to nearest afterwards.
    std::fesetround(FE_UPWARD);
    EXPECT_EQ(FloorToInt(1.5), 1);
    EXPECT_EQ(RoundToInt(2.5), 2);
    std::fesetround(FE_TONEAREST);
}

TEST(Matematicheskieoperacii, ResetFpuRestoresRoundToNearest) {
    std::fesetround(FE_DOWNWARD);
    EXPECT_EQ(RoundToInt(3.7), 3);
    ResetFpu();
    EXPECT_EQ(RoundToInt(3.7), 4);
    EXPECT_EQ(RoundToInt(2.5), 2);
    std::fesetround(FE_TONEAREST);
}

TEST(Matematicheskieoperacii, PowFollowsItsEdgeRules) {
    EXPECT_EQ(Pow(0.0, -1.0), 0.0);
    EXPECT_EQ(Pow(0.0, 2.0), 0.0);
    EXPECT_EQ(Pow(10.0, 3.0), 1000.0);
    EXPECT_EQ(Pow(2.0, 0.5), std::sqrt(2.0));
    EXPECT_EQ(Pow(2.0, -3.0), 0.125);
    EXPECT_NEAR(Pow(10.0, -7.0), 1e-7, 1e-22);
    EXPECT_NEAR(Pow(10.0, 300.0), 1e300, 1e285);
}

TEST(Matematicheskieoperacii, UnitFunctionsAgreeWithTheLibraryRoundedToDouble) {
    for (double x : {0.0, 0.1, 1.0, 2.5, -3.0, 100.0, 12345.678}) {
        EXPECT_NEAR(Sin(x), std::sin(x), 4e-16 * (1 + std::fabs(x))) << x;
        EXPECT_NEAR(Cos(x), std::cos(x), 4e-16 * (1 + std::fabs(x))) << x;
    }
    EXPECT_EQ(Sqrt(2.0), std::sqrt(2.0));
    EXPECT_EQ(Sqrt(0.0), 0.0);
    EXPECT_TRUE(std::isnan(Sqrt(-1.0)));
    EXPECT_EQ(Abs(-3.5), 3.5);
    EXPECT_EQ(Abs(0.25), 0.25);
}

} // namespace

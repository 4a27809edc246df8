// The engine built for processors without the x87 unit, through its exports, against the
// extended-precision reference chain: its sines, cosines and square roots come from the C
// library and may differ from the unit's in the last bit, so its spectra agree within a stated
// relative tolerance instead of bit for bit.
#include "ReferenceStages.h"
#include "TestBlocks.h"
#include "zol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace reference;

// Largest relative difference allowed between a portable and an extended-precision value.
constexpr double RelativeTolerance = 1e-6;

// Relative difference of got from want; 0 when both are 0, infinite when only want is.
double RelativeDifference(float got, float want) {
    if (got == want) return 0.0;
    return std::fabs(double(got) - want) / std::fabs(double(want));
}

TEST(PortableFpu, SpectraAgreeWithTheExtendedPrecisionBuildWithinTolerance) {
    double worst = 0.0;
    int spectra = 0;
    for (const Setting& s : Settings) {
        const ConfigRecord c = Record(s);
        for (bool correlogram : {false, true}) {
            ASSERT_TRUE(ZOL_DLL_Init(&c, correlogram));
            Chain extended(c, correlogram);
            for (Kind kind : Kinds) {
                for (unsigned seed = 0; seed < 3; ++seed) {
                    const auto block = Block(kind, s.samples, seed * 7919 + s.points);
                    std::vector<float> got(s.points);
                    ASSERT_TRUE(ZOL_DLL_WriteInputArray(block.data(), int32_t(s.samples)));
                    ASSERT_TRUE(ZOL_DLL_Run());
                    ASSERT_TRUE(ZOL_DLL_ReadOutputArray(got.data(), int32_t(s.points)));
                    extended.Run(block.data(), false);
                    const auto want = extended.Output();
                    for (uint32_t q = 0; q < s.points; ++q) {
                        const double d = RelativeDifference(got[q], want[q]);
                        worst = std::max(worst, d);
                        ASSERT_LE(d, RelativeTolerance)
                            << s.samples << " " << s.lags << " kind " << int(kind) << " column "
                            << q << " correlogram " << correlogram;
                    }
                    ++spectra;
                }
            }
        }
    }
    EXPECT_EQ(spectra, 9 * 2 * 6 * 3);
    RecordProperty("worst_relative_difference", std::to_string(worst));
    std::printf("worst relative difference %.3g over %d spectra\n", worst, spectra);
}

} // namespace

// The engine's fast stages against the straightforward ones: every output bit must agree, for
// every kind of block, setting and mode.
#include "EstimationStages.h"
#include "Matematicheskieoperacii.h"
#include "ReferenceStages.h"
#include "TestBlocks.h"
#include "Zol_config.h"
#include "zol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using reference::Block;
using reference::Kind;
using reference::Kinds;
using reference::Setting;
using reference::Settings;

template <typename T> bool SameBits(const T* a, const T* b, size_t n) {
    return std::memcmp(a, b, n * sizeof(T)) == 0;
}

// The library's spectrum of a block at its present configuration; empty when a call fails.
std::vector<float> LibraryRun(const std::vector<int16_t>& block, uint32_t points) {
    std::vector<float> out(points);
    if (!ZOL_DLL_WriteInputArray(block.data(), int32_t(block.size())) || !ZOL_DLL_Run() ||
        !ZOL_DLL_ReadOutputArray(out.data(), int32_t(points)))
        out.clear();
    return out;
}

// Both ways of the recursion: with fused multiply-adds where the processor has them, and without.
class FastPathRecursion : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { UseFusedMultiplyAdd(GetParam()); }
    void TearDown() override { UseFusedMultiplyAdd(true); }
};

INSTANTIATE_TEST_SUITE_P(FusedMultiplyAdd, FastPathRecursion, testing::Bool());

TEST_P(FastPathRecursion, EveryStageAgreesBitForBitWithTheReference) {
    int blocks = 0;
    for (const Setting& s : Settings) {
        for (bool unbiased : {false, true}) {
            ConfigRecord c = Record(s);
            c.UnbiasedCorrelation = unbiased;
            for (bool correlogram : {false, true}) {
                reference::Chain reference(c, correlogram), fast(c, correlogram);
                const unsigned seeds = s.samples > 1000 ? 1 : 4;
                for (Kind kind : Kinds) {
                    for (unsigned seed = 0; seed < seeds; ++seed) {
                        const auto block = Block(kind, s.samples, seed * 7919 + s.samples);
                        reference.Run(block.data(), false);
                        fast.Run(block.data(), true);
                        const auto want = reference.Output(), got = fast.Output();
                        const std::string what = "samples " + std::to_string(s.samples) + " lags " +
                                                 std::to_string(s.lags) + " kind " +
                                                 std::to_string(int(kind)) + " seed " +
                                                 std::to_string(seed) + " unbiased " +
                                                 std::to_string(unbiased) + " correlogram " +
                                                 std::to_string(correlogram);
                        ASSERT_EQ(want.size(), got.size()) << what;
                        ASSERT_TRUE(SameBits(reference.r.Data(), fast.r.Data(), c.LagCount))
                            << what;
                        if (!correlogram) {
                            ASSERT_TRUE(SameBits(reference.a.Data(), fast.a.Data(), c.LagCount))
                                << what;
                        }
                        ASSERT_TRUE(SameBits(want.data(), got.data(), want.size())) << what;
                        ++blocks;
                    }
                }
            }
        }
    }
    EXPECT_GE(blocks, 300);
}

TEST(FastPath, LibraryRunsAgreeWithTheReferenceChain) {
    for (const Setting& s : Settings) {
        const ConfigRecord c = Record(s);
        for (bool correlogram : {false, true}) {
            ASSERT_TRUE(ZOL_DLL_Init(&c, correlogram));
            reference::Chain reference(c, correlogram);
            for (Kind kind : Kinds) {
                const auto block = Block(kind, s.samples, s.points);
                const auto got = LibraryRun(block, s.points);
                ASSERT_EQ(got.size(), s.points);
                reference.Run(block.data(), false);
                const auto want = reference.Output();
                ASSERT_TRUE(SameBits(want.data(), got.data(), got.size()))
                    << s.samples << " " << s.lags << " " << int(kind) << " " << correlogram;
            }
        }
    }
}

TEST(FastPath, IntegerMeanEqualsTheMeanOfTheDoubles) {
    for (uint32_t n : {1u, 7u, 552u, 2208u, 100000u}) {
        for (Kind kind : Kinds) {
            SampledArray<int16_t> input;
            SampledArray<double> work;
            input.Resize(n);
            const auto block = Block(kind, n, n);
            std::copy(block.begin(), block.end(), input.Data());
            ConvertSamples(work, input);
            const double a = BlockMean(input), b = BlockMean(work);
            ASSERT_TRUE(SameBits(&a, &b, 1)) << n << " " << int(kind);
        }
    }
    SampledArray<int16_t> extreme;
    extreme.Resize(4000);
    std::fill(extreme.Data(), extreme.Data() + 4000, int16_t{-32768});
    EXPECT_EQ(BlockMean(extreme), -32768.0);
}

// The angles written out plainly: the frequency of column q is FreqFirst plus q repeated additions
// of FreqStep, its base angle f * (-2*pi*dt) and the angle of term i the base angle added i-1
// times to itself, every sum and product rounded to double.
TEST(FastPath, AngleTableHoldsTheUnitSinesAndCosinesOfRepeatedlyAddedAngles) {
    using Ext = long double;
    for (const Setting& s : Settings) {
        const ConfigRecord c = Record(s);
        SpectrumFrameStack frames;
        frames.FreqFirst = c.FreqStart;
        frames.FreqStep = c.FreqStep;
        frames.FreqLast = static_cast<double>(Ext(c.LastPointIndex) * c.FreqStep + c.FreqStart);
        for (bool withSine : {false, true}) {
            AngleTable table;
            ASSERT_TRUE(table.Build(frames, c.SamplePeriod, c.LagCount, withSine));
            ASSERT_TRUE(table.Covers(c.PointCount, c.LagCount, withSine)) << s.points;
            const double w = static_cast<double>(-6.283185307179586477L * c.SamplePeriod);
            double f = c.FreqStart;
            for (uint32_t q = 0; q < c.PointCount; ++q) {
                const double theta = static_cast<double>(Ext(f) * w);
                double angle = theta;
                const double* row = table.Row(q);
                for (uint32_t i = 1; i < c.LagCount; ++i) {
                    const double cosine = Cos(angle), sine = Sin(angle);
                    const double* entry = row + (withSine ? 2 : 1) * (i - 1);
                    ASSERT_TRUE(SameBits(entry, &cosine, 1)) << s.points << " " << q << " " << i;
                    if (withSine) {
                        ASSERT_TRUE(SameBits(entry + 1, &sine, 1))
                            << s.points << " " << q << " " << i;
                    }
                    angle = static_cast<double>(Ext(theta) + angle);
                }
                f = static_cast<double>(Ext(c.FreqStep) + f);
            }
        }
    }
}

TEST(FastPath, TableBeyondTheMemoryLimitFallsBackToDirectEvaluation) {
    SpectrumFrameStack frames;
    frames.FreqFirst = 0;
    frames.FreqStep = 1;
    frames.FreqLast = 99999;
    AngleTable table;
    EXPECT_FALSE(table.Build(frames, 1.0 / 11025, 100, true));
    EXPECT_FALSE(table.Covers(100000, 100, true));
    EXPECT_TRUE(table.Build(frames, 1.0 / 11025, 40, true));
    EXPECT_TRUE(table.Covers(100000, 40, true));
    EXPECT_FALSE(table.Covers(100000, 40, false));
}

// A model whose table would pass the limit is evaluated directly, to the reference's bits, also
// after a configuration whose table was built.
TEST(FastPath, RefusedTableGivesTheReferenceValuesByDirectEvaluation) {
    const ConfigRecord small = Record(Settings[0]);
    ASSERT_TRUE(ZOL_DLL_Init(&small, false));
    const Setting s{4800, 1200, 3600, 40, 1200};
    const ConfigRecord c = Record(s);
    SpectrumFrameStack frames;
    frames.FreqFirst = c.FreqStart;
    frames.FreqStep = c.FreqStep;
    frames.FreqLast = c.FreqStop;
    AngleTable table;
    ASSERT_FALSE(table.Build(frames, c.SamplePeriod, c.LagCount, true));

    ASSERT_TRUE(ZOL_DLL_Init(&c, false));
    reference::Chain reference(c, false);
    const auto block = Block(Kind::Ar, s.samples, 3);
    const auto got = LibraryRun(block, s.points);
    ASSERT_EQ(got.size(), s.points);
    reference.Run(block.data(), false);
    const auto want = reference.Output();
    EXPECT_TRUE(SameBits(want.data(), got.data(), got.size()));
}

} // namespace

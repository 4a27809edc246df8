#include "EngineArrays.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(EngineArrays, ResizeZeroesRecountedElementsAndKeepsStorage) {
    SampledArray<double> a;
    EXPECT_EQ(a.Data(), nullptr);
    ASSERT_TRUE(a.Resize(5));
    for (uint32_t i = 0; i < 5; ++i)
        a[i] = i + 1.0;
    double* storage = a.Data();

    ASSERT_TRUE(a.Resize(2));
    EXPECT_EQ(a.Count(), 2u);
    EXPECT_EQ(a.Capacity(), 5u);
    ASSERT_TRUE(a.Resize(5));
    EXPECT_EQ(a.Data(), storage);
    EXPECT_EQ(a[1], 2.0);
    EXPECT_EQ(a[2], 0.0);
    EXPECT_EQ(a[4], 0.0);

    ASSERT_TRUE(a.Resize(0));
    EXPECT_EQ(a.Data(), storage);
    EXPECT_EQ(a.Capacity(), 5u);

    // Growing beyond the capacity keeps the counted elements and sizes exactly.
    ASSERT_TRUE(a.Resize(1));
    a[0] = 7.0;
    ASSERT_TRUE(a.Resize(9));
    EXPECT_EQ(a.Capacity(), 9u);
    EXPECT_EQ(a[0], 7.0);
    for (uint32_t i = 1; i < 9; ++i)
        EXPECT_EQ(a[i], 0.0);
}

TEST(EngineArrays, ImpossibleSizeFailsAndChangesNothing) {
    SampledArray<double> a;
    ASSERT_TRUE(a.Resize(3));
    a[0] = 1.5;
    EXPECT_FALSE(a.Resize(std::numeric_limits<uint32_t>::max()));
    EXPECT_EQ(a.Count(), 3u);
    EXPECT_EQ(a.Capacity(), 3u);
    EXPECT_EQ(a[0], 1.5);
}

TEST(EngineArrays, StepKeepsItsReciprocalAndTimesComeFromIndices) {
    SampledArray<int16_t> s;
    EXPECT_EQ(s.Step(), 1.0);
    EXPECT_EQ(s.InvStep(), 1.0);
    s.SetStep(1.0 / 11025);
    EXPECT_EQ(s.InvStep(), 11025.0);
    ASSERT_TRUE(s.Resize(552));
    EXPECT_EQ(s.TimeAt(0), 0.0);
    EXPECT_EQ(s.TimeAt(551), static_cast<double>(551.0L * (1.0 / 11025)));
}

TEST(EngineArrays, ReshapeTakesMaskedDimensionsAndKeepsSpareElements) {
    SpectrumFrameStack f;
    EXPECT_EQ(f.FrameCount(), 1u);
    EXPECT_EQ(f.CurrentFrame(), 0u);
    EXPECT_EQ(f.CurrentPtr(), nullptr);

    ASSERT_TRUE(f.Reshape(2, 10, 3, 7));
    EXPECT_EQ(f.Count(), 2u * 10 * 3 + 64);
    EXPECT_EQ(f.FrameSize(), 20u);
    ASSERT_TRUE(f.SelectFrame(2));
    EXPECT_EQ(f.CurrentPtr(), f.Data() + 40);

    // Mask 3: rows and columns change, the frames stay.
    ASSERT_TRUE(f.Reshape(1, 7, 99, 3));
    EXPECT_EQ(f.FrameCount(), 3u);
    EXPECT_EQ(f.Count(), 7u * 3 + 64);
    EXPECT_EQ(f.CurrentPtr(), f.Data() + 14);

    EXPECT_FALSE(f.SelectFrame(3));
    EXPECT_EQ(f.CurrentFrame(), 2u);

    // Frame 2 of three, then two frames: frame 2 is gone, the first is current.
    ASSERT_TRUE(f.Reshape(1, 7, 2, 4));
    EXPECT_EQ(f.CurrentFrame(), 0u);
    EXPECT_EQ(f.CurrentPtr(), f.Data());
    ASSERT_TRUE(f.SelectFrame(1));
    ASSERT_TRUE(f.Reshape(1, 7, 1, 4));
    EXPECT_FALSE(f.SelectFrame(1));
    EXPECT_EQ(f.CurrentFrame(), 0u);
    EXPECT_EQ(f.CurrentPtr(), f.Data());

    EXPECT_FALSE(f.Reshape(65536, 65536, 2, 7));
    EXPECT_EQ(f.Columns(), 7u);
}

TEST(EngineArrays, RangeConstantCoversItsClosedRangeOnly) {
    RangeConstant c;
    c.Low = 0.0;
    c.High = 1.0;
    c.Value = -3.5;
    EXPECT_EQ(c.Evaluate(0.0), -3.5);
    EXPECT_EQ(c.Evaluate(1.0), -3.5);
    EXPECT_EQ(c.Evaluate(0.5), -3.5);
    EXPECT_EQ(c.Evaluate(1.0000001), 0.0);
    EXPECT_EQ(c.Evaluate(-0.0000001), 0.0);
    EXPECT_EQ(c.Evaluate(std::numeric_limits<double>::quiet_NaN()), 0.0);
}

} // namespace

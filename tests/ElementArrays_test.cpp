#include "TOdnokanalniyBufer.h"
#include "TOdnomernoeMnogestvoElementov.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

using Shorts = TOdnomernoeMnogestvoElementov<short>;
using Floats = TOdnomernoeMnogestvoElementov<float>;

std::vector<short> Elements(const Shorts& a) {
    return {a.Data(), a.Data() + a.Count()};
}

std::vector<short> Counting(short from, short count) {
    std::vector<short> v(static_cast<size_t>(count));
    std::iota(v.begin(), v.end(), from);
    return v;
}

void Fill(Shorts& a, const std::vector<short>& values) {
    ASSERT_TRUE(a.SetCount(uint32_t(values.size()), false, false));
    std::copy(values.begin(), values.end(), a.Data());
}

TEST(ElementArrays, OverlappingWindowsComeOutOfTheFifoAndCompactKeepsTheRest) {
    TOdnokanalniyBufer<short> fifo(183, 552, 128, false);
    TOdnomernayaViborkaElementov<short> source(16);
    Fill(source, Counting(0, 751));
    ASSERT_TRUE(source.Select(0, 1, 0));
    ASSERT_TRUE(fifo.Append(source));
    EXPECT_EQ(fifo.Items().Capacity(), 768u);
    EXPECT_EQ(fifo.BlocksAvailable(), 2u);

    Shorts block(16);
    ASSERT_TRUE(fifo.ReadBlock(block, true));
    EXPECT_TRUE(block.External());
    EXPECT_EQ(Elements(block), Counting(0, 552));
    ASSERT_TRUE(fifo.ReadBlock(block, false));
    EXPECT_FALSE(block.External());
    EXPECT_EQ(Elements(block), Counting(183, 552));
    EXPECT_FALSE(fifo.ReadBlock(block, true));
    EXPECT_EQ(fifo.ReadPos(), 366u);

    ASSERT_TRUE(fifo.Compact());
    EXPECT_EQ(fifo.ReadPos(), 0u);
    EXPECT_EQ(Elements(fifo.Items()), Counting(366, 385));
    EXPECT_EQ(fifo.Items().Capacity(), 768u);
    EXPECT_TRUE(fifo.Compact());
    EXPECT_EQ(Elements(fifo.Items()), Counting(366, 385));

    // More samples continue the stream where it left off.
    Fill(source, Counting(751, 200));
    source.Select(0, 1, 0);
    ASSERT_TRUE(fifo.Append(source));
    EXPECT_EQ(fifo.BlocksAvailable(), 1u);
    ASSERT_TRUE(fifo.ReadBlock(block, true));
    EXPECT_EQ(Elements(block), Counting(366, 552));
}

TEST(ElementArrays, BlockCountsForTouchingAndPartialBlocks) {
    TOdnokanalniyBufer<float> lines(280, 280, 128, false);
    Floats line(16);
    ASSERT_TRUE(line.SetCount(840, false, false));
    ASSERT_TRUE(lines.Append(line));
    EXPECT_EQ(lines.BlocksAvailable(), 3u);

    TOdnokanalniyBufer<float> partial(4, 10, 16, true);
    ASSERT_TRUE(line.SetCount(6, false, false));
    ASSERT_TRUE(partial.Append(line));
    EXPECT_EQ(partial.BlocksAvailable(), 0u);
    Floats out(16);
    ASSERT_TRUE(partial.ReadBlock(out, false));
    EXPECT_EQ(out.Count(), 6u);
    EXPECT_EQ(partial.ReadPos(), 4u);

    // Zero advance and block length count as one, so reading always moves on.
    TOdnokanalniyBufer<float> zero(0, 0, 0, false);
    ASSERT_TRUE(zero.Append(line));
    EXPECT_EQ(zero.BlocksAvailable(), 6u);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(zero.ReadBlock(out, true));
    EXPECT_FALSE(zero.ReadBlock(out, true));
}

// A copy read after a view read lands in memory of the block's own, never in the FIFO's.
TEST(ElementArrays, ACopyIntoAFormerViewLeavesTheFifoAlone) {
    TOdnokanalniyBufer<short> fifo(183, 552, 128, false);
    Shorts samples(16);
    Fill(samples, Counting(0, 751));
    ASSERT_TRUE(fifo.Append(samples));
    Shorts block(8);
    ASSERT_TRUE(fifo.ReadBlock(block, true));
    ASSERT_TRUE(fifo.ReadBlock(block, false));
    EXPECT_FALSE(block.External());
    EXPECT_EQ(Elements(block), Counting(183, 552));
    EXPECT_EQ(Elements(fifo.Items()), Counting(0, 751));
    ASSERT_TRUE(fifo.Compact());
    EXPECT_EQ(Elements(fifo.Items()), Counting(366, 385));
}

TEST(ElementArrays, ARangeCopiedIntoItsOwnArray) {
    Shorts own(16);
    Fill(own, Counting(0, 100));
    ASSERT_TRUE(own.GetRange(own, 50, 10, false));
    EXPECT_EQ(Elements(own), Counting(50, 10));
    EXPECT_EQ(own.Capacity(), 16u);

    short foreign[6] = {1, 2, 3, 4, 5, 6};
    Shorts view(16);
    view.Attach(foreign, 6);
    ASSERT_TRUE(view.GetRange(view, 2, 3, false));
    EXPECT_FALSE(view.External());
    EXPECT_EQ(Elements(view), (std::vector<short>{3, 4, 5}));
    EXPECT_EQ(foreign[0], 1);
}

// Blocks further apart than they are long: reading moves on by the block length, and the
// read position never passes the elements, also with a partial last block.
TEST(ElementArrays, AdvancesBeyondTheBlockLengthAndPartialLastBlocks) {
    TOdnokanalniyBufer<float> sparse(10, 4, 16, false);
    Floats values(16);
    ASSERT_TRUE(values.SetCount(25, false, false));
    for (uint32_t i = 0; i < 25; ++i)
        values[i] = float(i);
    ASSERT_TRUE(sparse.Append(values));
    EXPECT_EQ(sparse.BlocksAvailable(), 3u);
    Floats block(16);
    for (uint32_t start = 0; start + 4 <= 25; start += 4) {
        ASSERT_TRUE(sparse.ReadBlock(block, false)) << start;
        EXPECT_EQ(block[0], float(start));
        EXPECT_EQ(block.Count(), 4u);
    }
    EXPECT_EQ(sparse.ReadPos(), 24u);
    EXPECT_FALSE(sparse.ReadBlock(block, false));
    EXPECT_EQ(sparse.ReadPos(), 24u);

    TOdnokanalniyBufer<float> partial(10, 8, 16, true);
    ASSERT_TRUE(values.SetCount(13, false, false));
    ASSERT_TRUE(partial.Append(values));
    ASSERT_TRUE(partial.ReadBlock(block, false));
    EXPECT_EQ(partial.ReadPos(), 8u);
    ASSERT_TRUE(partial.ReadBlock(block, false));
    EXPECT_EQ(block.Count(), 5u);
    EXPECT_EQ(block[4], 12.0f);
    EXPECT_EQ(partial.ReadPos(), 13u);
    EXPECT_EQ(partial.BlocksAvailable(), 0u);
    EXPECT_FALSE(partial.ReadBlock(block, false));
    EXPECT_EQ(partial.ReadPos(), 13u);
    ASSERT_TRUE(partial.Compact());
    EXPECT_EQ(partial.Items().Count(), 0u);
}

TEST(ElementArrays, SelectionPicksOneChannelOfInterleavedFrames) {
    TOdnomernayaViborkaElementov<short> frames(16);
    Fill(frames, {10, -10, 11, -11, 12, -12, 13, -13});
    ASSERT_TRUE(frames.Select(1, 2, 8));
    EXPECT_EQ(frames.SelectedCount(), 4u);
    TOdnokanalniyBufer<short> right(1, 1, 128, false);
    ASSERT_TRUE(right.Append(frames));
    EXPECT_EQ(Elements(right.Items()), (std::vector<short>{-10, -11, -12, -13}));

    EXPECT_FALSE(frames.Select(8, 2, 8));
    EXPECT_EQ(frames.First(), 0u);
    EXPECT_EQ(frames.End(), 8u);
    EXPECT_EQ(frames.Stride(), 2u);
    EXPECT_EQ(frames.SelectedCount(), 4u);
    EXPECT_FALSE(frames.Select(0, 1, 9));
    EXPECT_FALSE(frames.Select(0, 0, 8));
    EXPECT_EQ(frames.Stride(), 1u);

    // A selection made before the array changed covers only the elements it still has.
    TOdnomernayaViborkaElementov<short> changed(16);
    Fill(changed, Counting(0, 100));
    ASSERT_TRUE(changed.Select(0, 1, 100));
    short foreign[10] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 9};
    changed.Attach(foreign, 10);
    EXPECT_EQ(changed.SelectedCount(), 10u);
    TOdnokanalniyBufer<short> fifo(1, 1, 128, false);
    ASSERT_TRUE(fifo.Append(changed));
    EXPECT_EQ(fifo.Items().Count(), 10u);
    EXPECT_EQ(fifo.Items()[9], 9);
    ASSERT_TRUE(changed.Select(5, 1, 10));
    changed.Attach(foreign, 3);
    EXPECT_EQ(changed.SelectedCount(), 0u);
    ASSERT_TRUE(fifo.Append(changed));
    EXPECT_EQ(fifo.Items().Count(), 10u);
}

TEST(ElementArrays, SetCountGrowsAndShrinksInGranularitySteps) {
    Shorts a(16);
    ASSERT_TRUE(a.SetCount(20, false, false));
    EXPECT_EQ(a.Capacity(), 32u);
    ASSERT_TRUE(a.SetCount(15, false, false));
    EXPECT_EQ(a.Capacity(), 32u);
    ASSERT_TRUE(a.SetCount(0, false, true));
    EXPECT_EQ(a.Capacity(), 32u);
    ASSERT_TRUE(a.SetCount(0, false, false));
    EXPECT_EQ(a.Capacity(), 0u);
    EXPECT_EQ(a.Data(), nullptr);

    for (uint32_t before : {128u, 40u}) {
        Shorts b(16);
        Fill(b, Counting(0, 128));
        ASSERT_TRUE(b.SetCount(before, false, true));
        ASSERT_TRUE(b.SetCount(40, false, false));
        EXPECT_EQ(b.Capacity(), 48u) << before;
        EXPECT_EQ(Elements(b), Counting(0, 40)) << before;
    }
}

// Newly counted elements are zero, whether they come in new memory or in memory the array
// already had (where earlier contents would otherwise show through).
TEST(ElementArrays, NewlyCountedElementsAreZero) {
    Shorts a(16);
    Fill(a, std::vector<short>(32, 9));
    ASSERT_TRUE(a.SetCount(0, false, true));
    ASSERT_TRUE(a.SetCount(32, false, false));
    EXPECT_EQ(a.Capacity(), 32u);
    EXPECT_EQ(Elements(a), std::vector<short>(32, 0));

    Shorts b(4);
    Fill(b, std::vector<short>(8, 9));
    ASSERT_TRUE(b.SetCount(3, false, true));
    ASSERT_TRUE(b.SetCount(6, true, false));
    EXPECT_EQ(Elements(b), (std::vector<short>{0, 0, 0, 9, 9, 9}));
    ASSERT_TRUE(b.SetCount(40, false, false));
    std::vector<short> grown(40, 0);
    grown[3] = grown[4] = grown[5] = 9;
    EXPECT_EQ(Elements(b), grown);
}

TEST(ElementArrays, KeepTailPlacesOrKeepsTheOldElementsAtTheEnd) {
    Shorts a(4);
    Fill(a, {1, 2, 3});
    ASSERT_TRUE(a.SetCount(6, true, false));
    EXPECT_EQ(a[3], 1);
    EXPECT_EQ(a[5], 3);
    Fill(a, {1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(a.SetCount(2, true, true));
    EXPECT_EQ(Elements(a), (std::vector<short>{5, 6}));
}

TEST(ElementArrays, ViewsAreNeverFreedAndAreForgottenWhenMemoryIsNeeded) {
    short foreign[5] = {1, 2, 3, 4, 5};
    Shorts view(16);
    ASSERT_TRUE(view.Attach(foreign, 5));
    EXPECT_TRUE(view.External());
    view.FreeItems();
    EXPECT_EQ(view.Data(), foreign);
    ASSERT_TRUE(view.SetCount(40, false, false));
    EXPECT_FALSE(view.External());
    EXPECT_NE(view.Data(), foreign);
    EXPECT_EQ(foreign[0], 1);

    Shorts other(16);
    other.Attach(foreign, 5);
    EXPECT_TRUE(other.Forget());
    EXPECT_EQ(other.Data(), nullptr);
    EXPECT_FALSE(other.Forget());

    Shorts range(16);
    EXPECT_FALSE(view.GetRange(range, 30, 11, true));
    ASSERT_TRUE(view.GetRange(range, 30, 10, true));
    EXPECT_EQ(range.Data(), view.Data() + 30);
    ASSERT_TRUE(view.GetRange(range, 0, 10, false));
    EXPECT_NE(range.Data(), view.Data());
}

TEST(ElementArrays, CountsBeyondTheMemoryLimitFailAndKeepTheContents) {
    EXPECT_GT(Shorts::MemoryLimit(), 1000000u);
    EXPECT_LE(uint64_t{Floats::MemoryLimit()} * sizeof(float), uint64_t{UINT32_MAX});
    Shorts a(16);
    Fill(a, {7, 8});
    EXPECT_FALSE(a.SetCount(Shorts::MemoryLimit() + 1, false, false));
    EXPECT_EQ(Elements(a), (std::vector<short>{7, 8}));
}

TEST(ElementArrays, MaxElementOfFloats) {
    Floats f(16);
    EXPECT_EQ(f.MaxElement(), 0.0f);
    ASSERT_TRUE(f.SetCount(3, false, false));
    f[0] = -3.0f;
    f[1] = -1.5f;
    f[2] = -2.0f;
    EXPECT_EQ(f.MaxElement(), -1.5f);
}

} // namespace

#include "Operaciispamyatyu.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

namespace {

std::array<unsigned char, 16> Counting() {
    std::array<unsigned char, 16> a{};
    std::iota(a.begin(), a.end(), 1);
    return a;
}

TEST(Operaciispamyatyu, CopyBytesCopiesWordsAndTailInEitherDirection) {
    for (bool forward : {true, false}) {
        const auto src = Counting();
        std::array<unsigned char, 16> dst{};
        CopyBytes(dst.data(), src.data(), 7, forward);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(dst[i], src[i]) << i;
        for (int i = 7; i < 16; ++i)
            EXPECT_EQ(dst[i], 0) << i;

        std::array<unsigned char, 16> untouched{};
        CopyBytes(untouched.data(), src.data(), 0, forward);
        EXPECT_EQ(untouched, (std::array<unsigned char, 16>{}));
    }
}

// The caller chooses the direction: a forward copy onto an overlapping block just above its
// source repeats what it has already written, one word at a time.
TEST(Operaciispamyatyu, CopyBytesKeepsTheWordOrderOnOverlap) {
    auto a = Counting();
    CopyBytes(a.data() + 1, a.data(), 9, true);
    const std::array<unsigned char, 16> forward = {1, 1, 2,  3,  4,  4,  6,  7,
                                                   8, 8, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(a, forward);

    auto b = Counting();
    CopyBytes(b.data(), b.data() + 1, 9, false);
    const std::array<unsigned char, 16> backward = {3,  3,  4,  5,  7,  7,  8,  9,
                                                    10, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(b, backward);
}

TEST(Operaciispamyatyu, MoveBytesHandlesOverlapBothWays) {
    auto up = Counting();
    MoveBytes(up.data() + 1, up.data(), 10);
    const std::array<unsigned char, 16> shiftedUp = {1, 1, 2,  3,  4,  5,  6,  7,
                                                     8, 9, 10, 12, 13, 14, 15, 16};
    EXPECT_EQ(up, shiftedUp);

    auto down = Counting();
    MoveBytes(down.data(), down.data() + 3, 13);
    const std::array<unsigned char, 16> shiftedDown = {4,  5,  6,  7,  8,  9,  10, 11,
                                                       12, 13, 14, 15, 16, 14, 15, 16};
    EXPECT_EQ(down, shiftedDown);
}

TEST(Operaciispamyatyu, ZeroBytesClearsExactlyTheCount) {
    auto a = Counting();
    ZeroBytes(a.data() + 1, 6);
    EXPECT_EQ(a[0], 1);
    for (int i = 1; i < 7; ++i)
        EXPECT_EQ(a[i], 0);
    EXPECT_EQ(a[7], 8);
}

TEST(Operaciispamyatyu, CopyRowsGathersOneChannelOfInterleavedFrames) {
    const int16_t stereo[] = {1, -1, 2, -2, 3, -3, 4, -4};
    int16_t left[4] = {}, right[4] = {};
    CopyRows(left, stereo, 2, 4, 0, 2);
    CopyRows(right, stereo + 1, 2, 4, 0, 2);
    EXPECT_EQ((std::array<int16_t, 4>{left[0], left[1], left[2], left[3]}),
              (std::array<int16_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ((std::array<int16_t, 4>{right[0], right[1], right[2], right[3]}),
              (std::array<int16_t, 4>{-1, -2, -3, -4}));

    int16_t none[2] = {7, 7};
    CopyRows(none, stereo, 2, 0, 0, 2);
    EXPECT_EQ(none[0], 7);
    EXPECT_EQ(none[1], 7);
}

} // namespace

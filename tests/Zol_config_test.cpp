#include "Zol_config.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

ConfigRecord Defaults() {
    ConfigRecord r;
    std::memset(&r, 0xAB, sizeof r);
    InitConfigRecord(r);
    return r;
}

TEST(Zol_config, DefaultsValidateToTheKnownDerivedFields) {
    ConfigMessage.clear();
    ConfigRecord r = Defaults();
    EXPECT_TRUE(ValidateConfig(r));
    EXPECT_TRUE(ConfigMessage.empty());
    EXPECT_EQ(+r.LagCount, 151u);
    EXPECT_EQ(+r.ModelOrder, 150u);
    EXPECT_EQ(+r.LastSampleIndex, 199u);
    EXPECT_EQ(+r.PenultimateSampleIndex, 198u);
    EXPECT_EQ(+r.LastPointIndex, 399u);
    EXPECT_EQ(+r.FreqStep, 0.019 / 399);
    EXPECT_EQ(+r.PaddedSampleCount, 200u);
    EXPECT_EQ(+r.SlotCapacity, 16380u);
    EXPECT_EQ(+r.GroupCapacity, 65520u);
    EXPECT_EQ(+r.PaddedZoneCount, 2880u);
    const uint32_t zones[8] = {1440, 0, 0, 0, 1440, 0, 0, 0};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(+r.SlotZones[k], zones[k]) << k;
    EXPECT_EQ(+r.SlotWord[0], 0x00C805A0u);
    EXPECT_EQ(+r.SlotWord[1], 0x00C80000u);
    EXPECT_EQ(+r.SlotLastWord[0], 71999u);
    EXPECT_EQ(+r.SlotLastWord[1], 0xFFFFFFFFu);
    EXPECT_EQ(+r.SlotQuarterA[4], 360u);
    EXPECT_EQ(+r.SlotQuarterB[4], 360u);
    EXPECT_EQ(+r.QuarterSum, 360u);
    EXPECT_EQ(+r.FreqStartFixInt, 0u);
    EXPECT_EQ(+r.FreqStartFixFrac, 262u);
    EXPECT_EQ(+r.FreqStepFixInt, 0u);
    EXPECT_EQ(+r.FreqStepFixFrac, 204522u);
    EXPECT_EQ(+r.SamplePeriodFixInt, 3u);
    EXPECT_EQ(+r.SamplePeriodFixFrac, 196608u);
    EXPECT_EQ(+r.Reserved1399, 0u);
    EXPECT_EQ(+r.Reserved1403, 0);
    EXPECT_EQ(+r.Reserved1404, 0);
    EXPECT_EQ(+r.Reserved1405, 0);
    // Slot entries beyond the eight in use keep what they held.
    EXPECT_EQ(+r.SlotZones[8], 0xABABABABu);
}

TEST(Zol_config, SetConfigDefaultsTouchesOnlyTheSettableFields) {
    ConfigRecord r;
    std::memset(&r, 0x5A, sizeof r);
    SetConfigDefaults(r);
    EXPECT_EQ(+r.SampleCount, 200u);
    EXPECT_EQ(+r.ZoneSpread, 2);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    for (size_t i = 51; i < sizeof r; ++i)
        ASSERT_EQ(bytes[i], 0x5A) << i;
}

TEST(Zol_config, EncodeFixedMatchesItsExamples) {
    uint32_t i = 0, f = 0;
    EncodeFixed(0.001, 18, 18, i, f);
    EXPECT_EQ(i, 0u);
    EXPECT_EQ(f, 262u);
    EncodeFixed(3.75, 18, 18, i, f);
    EXPECT_EQ(i, 3u);
    EXPECT_EQ(f, 196608u);
    EncodeFixed(-1.5, 18, 18, i, f);
    EXPECT_EQ(i, 262142u);
    EXPECT_EQ(f, 131071u);
    EncodeFixed(0.019 / 399, 18, 32, i, f);
    EXPECT_EQ(i, 0u);
    EXPECT_EQ(f, 204522u);
    // A value that is not a number still gives defined fields.
    EncodeFixed(std::numeric_limits<double>::quiet_NaN(), 18, 18, i, f);
    EXPECT_EQ(i, 0u);
    EXPECT_EQ(f, 0u);
}

TEST(Zol_config, EmptyBlockAndZeroZonesAreRepairedWithComplaints) {
    ConfigRecord r = Defaults();
    r.SampleCount = 0;
    EXPECT_FALSE(ValidateConfig(r));
    EXPECT_EQ(ConfigMessage, "Длина выборки не должна быть меньше Delitel");
    EXPECT_EQ(+r.PaddedSampleCount, 8u);
    EXPECT_EQ(+r.LastSampleIndex, 0xFFFFFFFFu);
    EXPECT_EQ(+r.SlotCapacity, 16380u);

    r = Defaults();
    r.ZoneCount = 0;
    EXPECT_FALSE(ValidateConfig(r));
    EXPECT_EQ(ConfigMessage, "Количество зон равно нулю");
    EXPECT_EQ(+r.PaddedZoneCount, 8u);

    // Two complaints in one run: the later one stays.
    r = Defaults();
    r.SampleCount = 0;
    r.ZoneCount = 0;
    EXPECT_FALSE(ValidateConfig(r));
    EXPECT_EQ(ConfigMessage, "Количество зон равно нулю");

    // A run without complaints leaves the last complaint in place.
    r = Defaults();
    EXPECT_TRUE(ValidateConfig(r));
    EXPECT_EQ(ConfigMessage, "Количество зон равно нулю");
}

TEST(Zol_config, LagCountIsClampedAndBlocksArePadded) {
    ConfigRecord r = Defaults();
    r.SampleCount = 552;
    r.LagCount = 1000;
    EXPECT_TRUE(ValidateConfig(r));
    EXPECT_EQ(+r.LagCount, 552u);
    EXPECT_EQ(+r.ModelOrder, 551u);
    EXPECT_EQ(+r.PaddedSampleCount, 552u);

    r.SampleCount = 551;
    ValidateConfig(r);
    EXPECT_EQ(+r.PaddedSampleCount, 552u);
    EXPECT_EQ(+r.LagCount, 551u);
}

TEST(Zol_config, ZonesOverflowIntoTheFollowingSlotsOfTheirGroup) {
    ConfigRecord r = Defaults();
    r.ZoneSpread = 1;
    EXPECT_TRUE(ValidateConfig(r));
    EXPECT_EQ(+r.SlotZones[0], 2880u);
    EXPECT_EQ(+r.SlotZones[4], 0u);

    r.SampleCount = 16000;
    EXPECT_FALSE(ValidateConfig(r));
    EXPECT_EQ(+r.SlotCapacity, 524u);
    EXPECT_EQ(+r.GroupCapacity, 2096u);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(+r.SlotZones[k], 524u) << k;
    EXPECT_EQ(ConfigMessage, "Число зон для данного размера выборки не должно превышать 4192");

    r.ZoneSpread = 2;
    EXPECT_TRUE(ValidateConfig(r));
    const uint32_t zones[8] = {524, 524, 392, 0, 524, 524, 392, 0};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(+r.SlotZones[k], zones[k]) << k;
}

// The zone arithmetic is 32-bit and wraps: 3e9 zones are a negative count, which the share
// taken by the first group brings back to 1.5e9 for the last group.
TEST(Zol_config, ZoneSpreadWrapsAroundIn32Bits) {
    ConfigRecord r = Defaults();
    r.ZoneCount = 3000000000u;
    EXPECT_FALSE(ValidateConfig(r));
    EXPECT_EQ(+r.PaddedZoneCount, 3000000000u);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(+r.SlotZones[k], 16380u) << k;
    EXPECT_EQ(+r.QuarterSum, 16380u);
    EXPECT_EQ(ConfigMessage, "Число зон для данного размера выборки не должно превышать 131040");

    // 4294967288 zones: the share 2147483644 leaves -2147483652, which wraps to 2147483644.
    r.ZoneCount = 4294967288u;
    ValidateConfig(r);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(+r.SlotZones[k], 16380u) << k;
}

TEST(Zol_config, FewerThanTwoPointsGiveNoStepAndAComplaint) {
    for (uint32_t points : {0u, 1u}) {
        ConfigRecord r = Defaults();
        r.PointCount = points;
        EXPECT_FALSE(ValidateConfig(r));
        EXPECT_EQ(+r.FreqStep, 0.0);
        EXPECT_EQ(ConfigMessage, "Число точек спектра должно быть не меньше 2");
    }
}

TEST(Zol_config, IntToTextIsPlainDecimal) {
    EXPECT_EQ(IntToText(0), "0");
    EXPECT_EQ(IntToText(-42), "-42");
    EXPECT_EQ(IntToText(INT32_MIN), "-2147483648");
}

} // namespace

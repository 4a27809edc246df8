#include "Zol_config.h"
#include "Zol_dll.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <vector>

#include "Matematicheskieoperacii.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

// The record the program passes: 552 samples, 138 lags, 280 points from 40 to 1200 Hz.
ConfigRecord ProgramRecord(uint32_t samples = 552, uint32_t points = 280) {
    ConfigRecord r;
    InitConfigRecord(r);
    r.SampleCount = samples;
    r.LagCount = samples >> 2;
    r.PointCount = points;
    r.UnbiasedCorrelation = 0;
    r.FreqStart = 40.0;
    r.FreqStop = 1200.0;
    r.SamplePeriod = 1.0 / 11025;
    ValidateConfig(r);
    return r;
}

std::vector<int16_t> Tone(size_t n, double freq) {
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(std::lround(6000 * std::sin(2 * Pi * freq * i / 11025.0) +
                                                50 * std::sin(0.37 * i * i)));
    return s;
}

std::vector<float> Spectrum(const std::vector<int16_t>& block, int32_t points = 280) {
    std::vector<float> out(points, -1.0f);
    EXPECT_TRUE(ZOL_DLL_WriteInputArray(block.data(), static_cast<int32_t>(block.size())));
    EXPECT_TRUE(ZOL_DLL_Run());
    EXPECT_TRUE(ZOL_DLL_ReadOutputArray(out.data(), points));
    return out;
}

TEST(Zol_dll, CallsBeforeInitReportFalse) {
    const std::vector<int16_t> block(200);
    std::vector<float> out(400);
    EXPECT_FALSE(ZOL_DLL_WriteInputArray(block.data(), 200));
    EXPECT_FALSE(ZOL_DLL_Run());
    EXPECT_FALSE(ZOL_DLL_ReadOutputArray(out.data(), 400));
}

TEST(Zol_dll, RecordsThatCannotBeAnalysedAreRefused) {
    EXPECT_FALSE(ZOL_DLL_Init(nullptr, false));
    auto refused = [](auto change) {
        ConfigRecord r = ProgramRecord();
        change(r);
        return !ZOL_DLL_Init(&r, false);
    };
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.PointCount = 1; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.PointCount = 0; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.FreqStop = r.FreqStart; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.LagCount = 1; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.SampleCount = 1; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.SampleCount = 0; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.FreqStart = std::nan(""); }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.SamplePeriod = INFINITY; }));
    // Refusal leaves the engine unconfigured.
    const std::vector<int16_t> block(552);
    EXPECT_FALSE(ZOL_DLL_WriteInputArray(block.data(), 552));
    EXPECT_FALSE(ZOL_DLL_Run());
}

TEST(Zol_dll, OutputReadsZerosUntilTheFirstRun) {
    ConfigRecord r = ProgramRecord();
    ASSERT_TRUE(ZOL_DLL_Init(&r, false));
    std::vector<float> out(280, -1.0f);
    ASSERT_TRUE(ZOL_DLL_ReadOutputArray(out.data(), 280));
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
    EXPECT_FALSE(ZOL_DLL_ReadOutputArray(out.data(), 279));
    EXPECT_FALSE(ZOL_DLL_ReadOutputArray(out.data(), -280));
    EXPECT_FALSE(ZOL_DLL_ReadOutputArray(nullptr, 280));
}

TEST(Zol_dll, ToneAtTheProgramSettingsPeaksAtItsFrequency) {
    ConfigRecord r = ProgramRecord();
    ASSERT_TRUE(ZOL_DLL_Init(&r, false));
    const double step = (1200.0 - 40.0) / 279;
    for (double f : {60.0, 440.0, 1000.0}) {
        const auto psd = Spectrum(Tone(552, f));
        const auto peak = std::max_element(psd.begin(), psd.end()) - psd.begin();
        EXPECT_NEAR(40.0 + peak * step, f, step) << f;
    }
}

TEST(Zol_dll, ShortWriteKeepsThePreviousBlock) {
    ConfigRecord r = ProgramRecord();
    ASSERT_TRUE(ZOL_DLL_Init(&r, false));
    const auto first = Spectrum(Tone(552, 440.0));
    const auto other = Tone(552, 900.0);
    EXPECT_FALSE(ZOL_DLL_WriteInputArray(other.data(), 551));
    EXPECT_FALSE(ZOL_DLL_WriteInputArray(nullptr, 552));
    ASSERT_TRUE(ZOL_DLL_Run());
    std::vector<float> again(280);
    ASSERT_TRUE(ZOL_DLL_ReadOutputArray(again.data(), 280));
    EXPECT_EQ(again, first);
}

TEST(Zol_dll, SilenceGivesZerosInBothModes) {
    for (bool correlogram : {false, true}) {
        ConfigRecord r = ProgramRecord();
        ASSERT_TRUE(ZOL_DLL_Init(&r, correlogram));
        Spectrum(Tone(552, 300.0));
        for (float v : Spectrum(std::vector<int16_t>(552)))
            ASSERT_EQ(v, 0.0f) << correlogram;
    }
}

TEST(Zol_dll, ReinitialisingResizesTheBlockAndTheSpectrum) {
    ConfigRecord small = ProgramRecord(200, 100);
    ASSERT_TRUE(ZOL_DLL_Init(&small, false));
    const auto before = Spectrum(Tone(200, 500.0), 100);
    ConfigRecord large = ProgramRecord(2208, 600);
    ASSERT_TRUE(ZOL_DLL_Init(&large, false));
    const std::vector<int16_t> shortBlock(200);
    EXPECT_FALSE(ZOL_DLL_WriteInputArray(shortBlock.data(), 200));
    EXPECT_EQ(Spectrum(Tone(2208, 500.0), 600).size(), 600u);
    ASSERT_TRUE(ZOL_DLL_Init(&small, false));
    EXPECT_EQ(Spectrum(Tone(200, 500.0), 100), before);
}

TEST(Zol_dll, RunLeavesTheUnitRoundingToNearestWithExceptionsMasked) {
    ConfigRecord r = ProgramRecord();
    ASSERT_TRUE(ZOL_DLL_Init(&r, false));
    std::fesetround(FE_UPWARD);
    Spectrum(Tone(552, 440.0));
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(RoundToInt(std::nan("")), INT32_MIN);
    std::fesetround(FE_TONEAREST);
}

} // namespace

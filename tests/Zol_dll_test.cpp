#include "Zol_config.h"
#include "zol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <vector>
#include <xmmintrin.h>

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

// A record refused keeps the configuration in force: the block and the spectrum keep their sizes.
TEST(Zol_dll, RecordsThatCannotBeServedAreRefused) {
    EXPECT_FALSE(ZOL_DLL_Init(nullptr, false));
    const ConfigRecord program = ProgramRecord();
    ASSERT_TRUE(ZOL_DLL_Init(&program, false));
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
    // Values formed from the record that are not finite: the angle step, the period's inverse,
    // the largest angle, the block's duration.
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.SamplePeriod = 1e308; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.SamplePeriod = 1e-320; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.FreqStop = 1e306, r.SamplePeriod = 1; }));
    EXPECT_TRUE(refused([](ConfigRecord& r) { r.SampleCount = 4000, r.SamplePeriod = 1e305; }));
    const std::vector<float> spectrum = Spectrum(Tone(552, 440));
    EXPECT_GT(*std::max_element(spectrum.begin(), spectrum.end()), 0.0f);
}

// A spectrum that does not fit a float (a period of 1e300 s scales the correlogram past it) is
// a failed run, not a success.
TEST(Zol_dll, ARunWhoseSpectrumIsNotFiniteFails) {
    ConfigRecord r = ProgramRecord();
    r.SamplePeriod = 1e300;
    r.FreqStart = 1e-305;
    r.FreqStop = 1e-304;
    ASSERT_TRUE(ZOL_DLL_Init(&r, 1));
    const std::vector<int16_t> block = Tone(552, 440);
    ASSERT_TRUE(ZOL_DLL_WriteInputArray(block.data(), 552));
    EXPECT_FALSE(ZOL_DLL_Run());
}

bool ReadsZeros(int32_t points) {
    std::vector<float> out(points, -1.0f);
    return ZOL_DLL_ReadOutputArray(out.data(), points) &&
           std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; });
}

TEST(Zol_dll, OutputReadsZerosUntilTheFirstRun) {
    ConfigRecord r = ProgramRecord();
    ASSERT_TRUE(ZOL_DLL_Init(&r, false));
    EXPECT_TRUE(ReadsZeros(280));
    std::vector<float> out(280, -1.0f);
    EXPECT_FALSE(ZOL_DLL_ReadOutputArray(out.data(), 279));
    EXPECT_FALSE(ZOL_DLL_ReadOutputArray(out.data(), -280));
    EXPECT_FALSE(ZOL_DLL_ReadOutputArray(nullptr, 280));

    // Also after a re-initialisation, none of the earlier spectrum shows through.
    Spectrum(Tone(552, 440.0));
    ASSERT_TRUE(ZOL_DLL_Init(&r, false));
    EXPECT_TRUE(ReadsZeros(280));
    Spectrum(Tone(552, 440.0));
    ConfigRecord fewer = ProgramRecord(552, 100);
    ASSERT_TRUE(ZOL_DLL_Init(&fewer, true));
    EXPECT_TRUE(ReadsZeros(100));
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

TEST(Zol_dll, AnyNonZeroModeByteSelectsTheCorrelogram) {
    ConfigRecord r = ProgramRecord();
    const auto block = Tone(552, 440.0);
    ASSERT_TRUE(ZOL_DLL_Init(&r, 0));
    const auto model = Spectrum(block);
    ASSERT_TRUE(ZOL_DLL_Init(&r, 1));
    const auto correlogram = Spectrum(block);
    EXPECT_NE(model, correlogram);
    for (uint8_t mode : {2, 3, 0x80, 0xFE, 0xFF}) {
        ASSERT_TRUE(ZOL_DLL_Init(&r, mode));
        EXPECT_EQ(Spectrum(block), correlogram) << int(mode);
    }
}

// What a host may have left in the two floating-point units of the calling thread.
struct UnitState {
    uint16_t x87;
    uint32_t sse;
    bool operator==(const UnitState&) const = default;
};

UnitState CurrentState() {
    uint16_t cw;
    asm volatile("fnstcw %0" : "=m"(cw));
    return {cw, _mm_getcsr()};
}

void LoadState(UnitState s) {
    asm volatile("fnclex\n\tfldcw %0" : : "m"(s.x87));
    _mm_setcsr(s.sse);
}

// Every combination of rounding mode, exception masks, x87 precision and SSE denormal flushing.
std::vector<UnitState> HostStates() {
    std::vector<UnitState> states;
    for (uint32_t rounding = 0; rounding < 4; ++rounding)
        for (bool unmasked : {false, true})
            for (bool narrow : {false, true}) {
                const auto x87 = static_cast<uint16_t>(
                    (rounding << 10) | (narrow ? 0x0200 : 0x0300) | (unmasked ? 0x0040 : 0x007F));
                const uint32_t sse =
                    (rounding << 13) | (unmasked ? 0 : 0x1F80) | (narrow ? 0x8040 : 0);
                states.push_back({x87, sse});
            }
    return states;
}

// Calls f with the host's state loaded, and gives back the state f left and the test's own.
template <typename F> UnitState UnderHostState(UnitState host, F f) {
    const UnitState own = CurrentState();
    LoadState(host);
    f();
    const UnitState after = CurrentState();
    LoadState(own);
    return after;
}

std::vector<float> Read(int32_t points) {
    std::vector<float> out(points);
    EXPECT_TRUE(ZOL_DLL_ReadOutputArray(out.data(), points));
    return out;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(Zol_dll, RunsAlikeWhateverTheHostSetInEitherUnit) {
    const UnitState reset{0x037F, 0x1F80};
    for (bool correlogram : {false, true}) {
        for (uint32_t lags : {4u, 138u}) {
            ConfigRecord r = ProgramRecord();
            r.LagCount = lags;
            ValidateConfig(r);
            const auto block = Tone(552, 440.0);
            ASSERT_TRUE(ZOL_DLL_Init(&r, correlogram));
            const auto want = Spectrum(block);
            for (UnitState host : HostStates()) {
                bool ok = false;
                const UnitState left =
                    UnderHostState(host, [&] { ok = ZOL_DLL_Init(&r, correlogram); });
                ASSERT_TRUE(ok);
                EXPECT_EQ(left, host) << std::hex << host.x87 << " " << host.sse;
                ASSERT_TRUE(ZOL_DLL_WriteInputArray(block.data(), 552));
                const UnitState afterRun = UnderHostState(host, [&] { ok = ZOL_DLL_Run(); });
                EXPECT_TRUE(ok);
                // The run's reset of the x87 unit stays; the SSE register is given back.
                EXPECT_EQ(afterRun, (UnitState{reset.x87, host.sse}))
                    << std::hex << host.x87 << " " << host.sse;
                EXPECT_TRUE(SameBits(Read(280), want)) << std::hex << host.x87 << " " << host.sse;
            }
        }
    }
}

TEST(Zol_dll, ConstantBlocksGiveZerosWhateverTheHostRoundedDuringInit) {
    int spectra = 0;
    for (int mode : {FE_DOWNWARD, FE_TOWARDZERO, FE_UPWARD}) {
        for (uint32_t samples = 16; samples <= 2300; ++samples) {
            ConfigRecord r = ProgramRecord(samples, 4);
            r.LagCount = 2;
            // No zone spreading, whose ceiling would reset the rounding mode early.
            r.ZoneSpread = 0;
            std::fesetround(mode);
            const bool ok = ZOL_DLL_Init(&r, false);
            const int left = std::fegetround();
            std::fesetround(FE_TONEAREST);
            ASSERT_TRUE(ok);
            ASSERT_EQ(left, mode) << samples;
            ASSERT_TRUE(ZOL_DLL_WriteInputArray(std::vector<int16_t>(samples, 1234).data(),
                                                int32_t(samples)));
            ASSERT_TRUE(ZOL_DLL_Run());
            ASSERT_TRUE(ReadsZeros(4)) << samples << " mode " << mode;
            ++spectra;
        }
    }
    EXPECT_EQ(spectra, 3 * 2285);
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

// Once ZOL_DLL_Init has sized the buffers, write, run and read allocate nothing. Every malloc of
// the process, the engine library's included, is counted here.
#include "Zol_config.h"
#include "zol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" void* __libc_malloc(size_t size);

namespace {
std::atomic<long> Allocations{0};
std::atomic<size_t> AllocatedBytes{0};
} // namespace

extern "C" void* malloc(size_t size) {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    AllocatedBytes.fetch_add(size, std::memory_order_relaxed);
    return __libc_malloc(size);
}

namespace {

ConfigRecord Record(uint32_t samples, uint32_t lags, uint32_t points) {
    ConfigRecord r;
    InitConfigRecord(r);
    r.SampleCount = samples;
    r.LagCount = lags;
    r.PointCount = points;
    r.FreqStart = 40.0;
    r.FreqStop = 1200.0;
    r.SamplePeriod = 1.0 / 11025;
    ValidateConfig(r);
    return r;
}

TEST(Zol_dll, RunsAfterInitAllocateNothing) {
    for (bool correlogram : {false, true}) {
        for (uint32_t samples : {552u, 2208u}) {
            const ConfigRecord r = Record(samples, samples >> 2, samples == 552 ? 280 : 600);
            ASSERT_TRUE(ZOL_DLL_Init(&r, correlogram));
            std::vector<int16_t> block(samples);
            std::vector<float> out(r.PointCount);
            bool ok = true;
            const long before = Allocations.load();
            for (int run = 0; run < 20; ++run) {
                for (uint32_t i = 0; i < samples; ++i)
                    block[i] = static_cast<int16_t>(std::lround(9000 * std::sin(0.05 * i * run)));
                ok = ZOL_DLL_WriteInputArray(block.data(), int32_t(samples)) && ZOL_DLL_Run() &&
                     ZOL_DLL_ReadOutputArray(out.data(), int32_t(r.PointCount)) && ok;
            }
            const long during = Allocations.load() - before;
            EXPECT_TRUE(ok);
            EXPECT_EQ(during, 0) << samples << " samples, correlogram " << correlogram;
        }
    }
    // The counter does see the engine's allocations.
    const long before = Allocations.load();
    const ConfigRecord larger = Record(4000, 100, 300);
    ASSERT_TRUE(ZOL_DLL_Init(&larger, false));
    EXPECT_GT(Allocations.load() - before, 0);
}

// Every non-zero mode byte is the correlogram, whose table of cosines is the one built for 1:
// re-initialising with another such byte needs no storage beyond it.
TEST(Zol_dll, AnyNonZeroModeByteReusesTheCorrelogramTable) {
    const ConfigRecord r = Record(552, 138, 280);
    ASSERT_TRUE(ZOL_DLL_Init(&r, 1));
    const long before = Allocations.load();
    for (uint8_t mode : {2, 3, 0x80, 0xFE, 0xFF, 1})
        ASSERT_TRUE(ZOL_DLL_Init(&r, mode));
    EXPECT_EQ(Allocations.load() - before, 0);
}

// Records whose buffers would pass the engine's bound are refused before any buffer is allocated
// (the validation's complaint is a short text): the block, the spectrum, and the two together
// just over it.
TEST(Zol_dll, RecordsOverTheBoundAllocateNothing) {
    const ConfigRecord records[] = {Record(1000000000, 138, 280), Record(552, 138, 1000000000),
                                    Record(16000000, 2, 12000000)};
    const size_t before = AllocatedBytes.load();
    for (const ConfigRecord& r : records)
        EXPECT_FALSE(ZOL_DLL_Init(&r, false)) << r.SampleCount << " " << r.PointCount;
    EXPECT_LT(AllocatedBytes.load() - before, 1024u);
}

} // namespace

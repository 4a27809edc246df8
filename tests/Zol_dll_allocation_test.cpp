// Once ZOL_DLL_Init has sized the buffers, write, run and read allocate nothing. Every malloc of
// the process, the engine library's included, is counted here.
#include "Zol_config.h"
#include "Zol_dll.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" void* __libc_malloc(size_t size);

namespace {
std::atomic<long> Allocations{0};
}

extern "C" void* malloc(size_t size) {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

namespace {

TEST(Zol_dll, RunsAfterInitAllocateNothing) {
    for (bool correlogram : {false, true}) {
        for (uint32_t samples : {552u, 2208u}) {
            ConfigRecord r;
            InitConfigRecord(r);
            r.SampleCount = samples;
            r.LagCount = samples >> 2;
            r.PointCount = samples == 552 ? 280 : 600;
            r.FreqStart = 40.0;
            r.FreqStop = 1200.0;
            r.SamplePeriod = 1.0 / 11025;
            ValidateConfig(r);
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
    ConfigRecord larger;
    InitConfigRecord(larger);
    larger.SampleCount = 4000;
    larger.LagCount = 100;
    larger.PointCount = 300;
    larger.FreqStart = 40.0;
    larger.FreqStop = 1200.0;
    larger.SamplePeriod = 1.0 / 11025;
    ValidateConfig(larger);
    ASSERT_TRUE(ZOL_DLL_Init(&larger, false));
    EXPECT_GT(Allocations.load() - before, 0);
}

} // namespace

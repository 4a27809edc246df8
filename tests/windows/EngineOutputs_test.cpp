// This build's engine against the outputs another build wrote (the Linux one, when the Windows
// build runs this under Wine): the same records, and the same answers and spectra bit for bit
// from every case's block, whatever floating-point state the host calls the engine with.
#include "EngineOutputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

const char* WrittenPath = nullptr;

struct Written {
    std::vector<engine_outputs::Case> cases;
    std::vector<engine_outputs::Result> results;
};

Written ReadWritten() {
    Written w;
    EXPECT_TRUE(engine_outputs::Read(WrittenPath, w.cases, w.results))
        << "no engine outputs in " << WrittenPath
        << " (another build's zol_write_engine_outputs writes them)";
    return w;
}

// Equal in the settable and derived scalar fields, where the rounding of validation shows (the
// frequency step, the fixed-point images); the slot tables are integer work, and validation
// leaves their entries past the slots in use as the caller had them.
bool SameScalarFields(const ConfigRecord& a, const ConfigRecord& b) {
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    constexpr size_t tail = offsetof(ConfigRecord, PaddedSampleCount);
    return std::memcmp(x, y, offsetof(ConfigRecord, SlotLastWord)) == 0 &&
           std::memcmp(x + tail, y + tail, sizeof(ConfigRecord) - tail) == 0;
}

TEST(EngineOutputs, RecordsAreValidatedAlike) {
    const Written w = ReadWritten();
    const std::vector<engine_outputs::Case> own = engine_outputs::Cases();
    ASSERT_EQ(w.cases.size(), own.size());
    for (size_t i = 0; i < own.size(); ++i) {
        EXPECT_TRUE(SameScalarFields(w.cases[i].record, own[i].record)) << "case " << i;
        EXPECT_EQ(w.cases[i].mode, own[i].mode) << "case " << i;
    }
}

TEST(EngineOutputs, SpectraAreTheWrittenOnesBitForBit) {
    const Written w = ReadWritten();
    ASSERT_FALSE(w.cases.empty());
    size_t analysed = 0;
    for (size_t i = 0; i < w.cases.size(); ++i) {
        const engine_outputs::Result& expected = w.results[i];
        analysed += expected.init && expected.write && expected.run && expected.read;
        for (const engine_outputs::HostState& host : engine_outputs::HostStates) {
            const engine_outputs::Result r = engine_outputs::Run(w.cases[i], host);
            SCOPED_TRACE(testing::Message() << "case " << i << ", host x87 " << std::hex << host.x87
                                            << ", sse " << host.sse);
            EXPECT_EQ(r.init, expected.init);
            EXPECT_EQ(r.write, expected.write);
            EXPECT_EQ(r.run, expected.run);
            EXPECT_EQ(r.read, expected.read);
            ASSERT_EQ(r.bits.size(), expected.bits.size());
            const auto [own, written] =
                std::mismatch(r.bits.begin(), r.bits.end(), expected.bits.begin());
            EXPECT_TRUE(own == r.bits.end())
                << "point " << std::dec << (own - r.bits.begin()) << ": " << std::hex << *own
                << " instead of " << *written;
        }
    }
    // The comparison means something only where the writer's engine produced spectra.
    EXPECT_GT(analysed, w.cases.size() / 2);
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE (engine outputs written by another build)\n", argv[0]);
        return 2;
    }
    WrittenPath = argv[1];
    return RUN_ALL_TESTS();
}

// The engine's outputs on a fixed set of blocks and settings, as one build writes them to a file
// and another build compares: every case's record, mode and block, and what the four exports
// answered and read out for it.
#pragma once

#include "Zol_config.h"

#include <cstdint>
#include <vector>

namespace engine_outputs {

// The floating-point state a host program calls the engine with: the x87 control word and the
// SSE control register.
struct HostState {
    uint16_t x87;
    uint32_t sse;
};

// The state a program of this toolchain starts with; the 53-bit precision other Windows
// compilers start programs with; truncation at 24-bit precision with denormals flushed.
extern const HostState HostStates[3];

struct Case {
    ConfigRecord record;
    uint8_t mode;
    std::vector<int16_t> block;
};

struct Result {
    uint8_t init, write, run, read;
    // The spectrum as read, bit for bit.
    std::vector<uint32_t> bits;
    bool operator==(const Result&) const = default;
};

// Every test setting with every kind of block, in both modes; the blocks come from the C
// library's mathematics, so only the writing build's blocks are replayed elsewhere.
std::vector<Case> Cases();

// Initialises the engine with the case, writes its block, runs and reads PointCount values, all
// under the host state given; the caller's state is restored afterwards.
Result Run(const Case& c, const HostState& host);

bool Write(const char* path, const std::vector<Case>& cases, const std::vector<Result>& results);
// False, with nothing trusted, when the file is missing, truncated or not such a file.
bool Read(const char* path, std::vector<Case>& cases, std::vector<Result>& results);

} // namespace engine_outputs

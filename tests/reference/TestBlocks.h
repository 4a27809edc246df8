// Blocks of every kind the engine meets (tones, noise, resonances, silence, offsets, clipping)
// and the settings they are analysed at, shared by the tests that compare engine builds and
// paths with the reference chain.
#pragma once

#include "Zol_config.h"

#include <cstdint>
#include <vector>

namespace reference {

struct Setting {
    uint32_t samples, lags, points;
    double fmin, fmax;
};

// Short and long blocks, orders from 1 to 551, odd point counts, a falling axis.
extern const Setting Settings[9];

enum class Kind { Tone, Noise, Ar, Silence, Dc, Clipped };
extern const Kind Kinds[6];

// n samples at 11025 Hz of the given kind; the seed picks amplitude, frequency and offset.
std::vector<int16_t> Block(Kind kind, uint32_t n, unsigned seed);

// The validated record of a setting.
ConfigRecord Record(const Setting& s);

} // namespace reference

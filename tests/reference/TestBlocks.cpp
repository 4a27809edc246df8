#include "TestBlocks.h"

#include "ReferenceStages.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace reference {

const Setting Settings[9] = {
    {552, 138, 280, 40.0, 1200.0}, {2208, 552, 600, 10.0, 1200.0}, {200, 2, 7, 100.0, 5000.0},
    {200, 3, 33, 0.0, 5512.5},     {301, 4, 101, 300.0, 30.0},     {64, 17, 64, 50.0, 4000.0},
    {1000, 64, 257, 20.0, 2000.0}, {16, 16, 5, 1000.0, 1001.0},    {552, 137, 281, 40.0, 1200.0},
};

const Kind Kinds[6] = {Kind::Tone, Kind::Noise, Kind::Ar, Kind::Silence, Kind::Dc, Kind::Clipped};

std::vector<int16_t> Block(Kind kind, uint32_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::normal_distribution<double> e(0.0, 1.0);
    const double f = 20 + 3000 * u(gen), amp = 30000 * u(gen), offset = 20000 * (u(gen) - 0.5);
    std::vector<double> v(n);
    double x1 = 0, x2 = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const double tone = amp * std::sin(2 * 3.141592653589793 * f * i / 11025.0);
        switch (kind) {
        case Kind::Tone:
            v[i] = tone + 20 * e(gen);
            break;
        case Kind::Noise:
            v[i] = amp * e(gen) / 3;
            break;
        case Kind::Ar:
            v[i] = 1.6 * x1 - 0.8 * x2 + 500 * e(gen);
            break;
        case Kind::Silence:
            v[i] = 0;
            break;
        case Kind::Dc:
            v[i] = offset + (seed % 2 ? e(gen) : 0);
            break;
        case Kind::Clipped:
            v[i] = 4 * tone + offset;
            break;
        }
        x2 = x1;
        x1 = v[i];
    }
    std::vector<int16_t> s(n);
    for (uint32_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(std::clamp(std::lround(v[i]), -32768L, 32767L));
    return s;
}

ConfigRecord Record(const Setting& s) {
    return Record(s.samples, s.lags, s.points, s.fmin, s.fmax);
}

} // namespace reference

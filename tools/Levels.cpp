#include "Levels.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

double Unit(double x) {
    return std::clamp(x, 0.0, 1.0);
}

uint32_t Byte(double x) {
    return uint32_t(std::lround(Unit(x) * 255.0));
}

} // namespace

uint32_t DecibelLevel(float value, float peak, double range) {
    if (!(peak > 0.0f) || !(value > 0.0f) || !std::isfinite(value) || !std::isfinite(peak))
        return 0;
    const double below = 10.0 * std::log10(double(value) / double(peak));
    return uint32_t(std::floor(Unit(1.0 + below / range) * 255.0));
}

uint32_t HeatColour(uint32_t level) {
    const double t = std::min(level, 255u) / 255.0;
    // Red rises first, then green, then blue; the touch of blue at the dark end (a purple) is
    // small against red's rise, so every step is lighter than the one before.
    const double red = 1.8 * t, green = 1.8 * t - 0.8;
    const double blue = std::max(3.0 * t - 2.0, 0.35 * std::sin(Pi * Unit(2.0 * t)));
    return Byte(red) << 16 | Byte(green) << 8 | Byte(blue);
}

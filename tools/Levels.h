// kavrel-render's other scale and colours: the level of a value in decibels below the peak,
// and a colour map whose colours grow lighter from black to white, so that order reads at a
// glance in colour and in grey print alike.
#pragma once

#include <cstdint>

// The grey level (0 to 255) of a power value against the peak over `range` decibels: 255 at
// the peak and above, 0 at range dB below it and lower, for no peak and for anything that is
// not a positive number.
uint32_t DecibelLevel(float value, float peak, double range);

// The heat map's colour (0x00RRGGBB) of a grey level: black through purple, red, orange and
// yellow to white.
uint32_t HeatColour(uint32_t level);

// kavrel-render's command line.
#pragma once

#include "Render.h"

#include <cstdint>
#include <string>

// The decibels --range spans at most: far below any level a float holds.
constexpr int MaxRange = 1000;

struct RenderOptions {
    std::string input;
    std::string output; // default: the input's name with .png
    std::string settings = "kavrel.ini";
    bool settingsGiven = false;
    uint32_t channel = 0; // 0-based
    bool side = false;    // given as left or right
    uint32_t width = 0;   // 0: one column per window, at most MaxRenderColumns
    double from = 0.0, to = -1.0;
    std::string lines; // empty: no lines file
    SettingsOverride overrides;
    Scale scale = Scale::Linear;
    double range = 80.0;
    Palette palette = Palette::Grey;
    uint32_t jobs = 0; // worker processes; 0: one for every available processor
    bool quiet = false;
    bool help = false, version = false;
};

// False with the reason in `error` for anything that is not a valid command line.
bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& options,
                        std::string& error);

extern const char* const RenderUsage;

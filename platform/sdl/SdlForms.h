// The SDL backend's own operations, for its tests.
#pragma once

#include "platform/Forms.h"

#include <cstdint>
#include <vector>

// The pixels the window shows, read back from its renderer (0x00RRGGBB); false when the window
// has none.
bool SdlReadWindowPixels(HWND window, std::vector<uint32_t>& pixels, int& width, int& height);

// Closes SDL's connection to the desktop; the backend starts again on next use.
void SdlShutdown();

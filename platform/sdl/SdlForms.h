// The SDL backend's own operations, for its tests.
#pragma once

#include "platform/Forms.h"

#include <cstdint>
#include <vector>

// The X11 window that shows the window, for reading back what the desktop shows; 0 when there
// is none (another desktop, or no window).
unsigned long SdlX11Window(HWND window);

// Closes SDL's connection to the desktop; the backend starts again on next use.
void SdlShutdown();

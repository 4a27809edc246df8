// The system's message box drawn on the layer's own windows, with GDI and the fonts the rest of
// the layer uses, so that code page 1251 text reads right on any desktop.
#pragma once

#include "platform/Forms.h"

// Shows text (code page 1251; lines end at CR, LF or CR LF) under the caption ("Error" when null)
// with an OK button, and runs messages until OK, Enter, Space, Escape or the frame's close ends
// it; IDOK then, 0 when no window could be made.
int DrawnMessageBox(const char* text, const char* caption);

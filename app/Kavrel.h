// The program's entry: the application object with the control window as its main form.
#pragma once

#include "platform/Forms.h"

// Runs the program until the control window closes: 0, or 1 when there is no display to show
// windows on (said once on standard error, before any window is made), or 2 when memory ran
// out (said on standard error and in the error box).
int WinMain(HINSTANCE instance, HINSTANCE previous, char* commandLine, int show);

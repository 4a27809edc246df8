// The virtual backend, for tests: a screen in memory, windows as pixel buffers, input and time
// scripted by the test, the system message box recorded instead of shown.
#pragma once

#include "platform/Forms.h"
#include "platform/window/WindowBackend.h"

#include <functional>
#include <string>
#include <vector>

struct RecordedMessageBox {
    std::string text;
    bool defaultCaption;
    unsigned style;
};

// Every message box shown since the last call, oldest first; the record is then cleared.
std::vector<RecordedMessageBox> TakeRecordedMessageBoxes();

// A 1024 x 768 screen with a work area above a 30-pixel task bar, a 32-bit 0x00RRGGBB display,
// the clock at 0, no scripted input.
void VirtualReset();
void VirtualSetScreen(RECT screen, RECT workArea);
// readable false: the display mode cannot be read.
void VirtualSetDisplayFormat(const DisplayFormat& format, bool readable = true);

// Input delivered, in order, while a message loop waits; a delay advances the clock.
void VirtualQueueKey(UINT message, UINT key);
void VirtualQueueMouse(UINT message, int screenX, int screenY);
void VirtualQueueDelay(uint32_t milliseconds);
// Runs code of the test at its place in the input, as if the user did something else.
void VirtualQueueCall(std::function<void()> call);
uint32_t VirtualNow();

// A window's pixels, frame included, as a PNG file; false when it cannot be written.
bool VirtualSavePng(HWND window, const char* path);
// The pixel at a client point of a window, 0x00RRGGBB.
uint32_t VirtualClientPixel(HWND window, int x, int y);
// The topmost visible window with this title, or null.
HWND VirtualFindWindow(const char* title);

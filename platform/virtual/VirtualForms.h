// The virtual backend, for tests: a screen in memory, windows as pixel buffers, input and time
// scripted by the test on a virtual clock, the system message box recorded instead of shown.
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

// A full reset between tests: every window destroyed, timers, messages and input forgotten, a
// 1024 x 768 screen with a work area above a 30-pixel task bar, the classic desktop's frames, a
// 32-bit 0x00RRGGBB display at 96 dots per inch, the clock at 0, no scripted input, the loop bounds
// cleared; then the hooks other parts of the virtual backend registered run.
void VirtualReset();
// A hook run by every VirtualReset (registering the same one twice keeps one).
void VirtualOnReset(void (*hook)());
// The primary screen and its work area; a second screen, when given, widens the virtual screen
// round both.
void VirtualSetScreen(RECT screen, RECT workArea, const RECT* second = nullptr);
// readable false: the display mode cannot be read.
void VirtualSetDisplayFormat(const DisplayFormat& format, bool readable = true);
// The dots per inch the desktop asks programs to draw at (GetDeviceCaps); 96 after a reset.
void VirtualSetDpi(int dpi);
// The widths of the frames the desktop draws round captioned windows (left, top, right,
// bottom); null: the classic desktop's, as AdjustWindowRectEx gives them.
void VirtualSetDesktopFrame(const RECT* frame);
// refuse: no native window can be made (a display object is granted, windows are not).
void VirtualRefuseWindows(bool refuse);

// Scripted input, delivered in order at its time on the virtual clock: everything queued
// together is due at once; a delay moves the time of what is queued after it, and a message
// loop waiting at the end of the script lets the time run on to its last delay. Modifier keys
// (VK_SHIFT, VK_CONTROL, VK_MENU) and mouse buttons stay held from their press to their release
// and are carried by the input that follows.
void VirtualQueueKey(UINT message, UINT key);
void VirtualQueueMouse(UINT message, int screenX, int screenY);
// The desktop gives the keyboard focus to the window (or takes it away), or asks it to close.
void VirtualQueueFocus(HWND window, bool gained = true);
void VirtualQueueClose(HWND window);
void VirtualQueueDelay(uint32_t milliseconds);
// Runs code of the test at its place in the script, once the program waits for input (as a user
// acts while the program is idle).
void VirtualQueueCall(std::function<void()> call);
uint32_t VirtualNow();
// Time spent working (in a handler): the clock moves on, nothing is delivered.
void VirtualAdvanceClock(uint32_t milliseconds);

// Lets the given time pass on the virtual clock with a message loop running: every timer fires
// when due, in order, and scripted input arrives at its time. False when a loop bound stopped it.
bool VirtualIdle(uint32_t milliseconds);
// Message loops end (GetMessageA gives -1) once they have asked for messages maxMessages times
// or the clock has gone maxMilliseconds past the last reset, so that a test whose periodic
// timer lives on fails instead of running for ever. The defaults: 1 000 000 and 15 minutes.
void VirtualSetLoopBounds(uint32_t maxMessages, uint32_t maxMilliseconds);
// Whether a bound ended a loop since the last reset.
bool VirtualLoopBounded();

// The window as the virtual desktop shows it, 0x00RRGGBB: its whole rectangle, with the classic
// frame and caption bar (active or inactive colours) round windows with a caption; false when
// the window has no pixels.
bool VirtualWindowImage(HWND window, std::vector<uint32_t>& image, int& width, int& height);
// That image as a PNG file; false when it cannot be written.
bool VirtualSavePng(HWND window, const char* path);
// The pixel at a client point of a window, 0x00RRGGBB; 0 outside the client area.
uint32_t VirtualClientPixel(HWND window, int x, int y);
// The topmost visible window with this title, or null.
HWND VirtualFindWindow(const char* title);

// What a backend provides to the window layer: windows on a screen, their pixels presented,
// input delivered, a clock. The backend is chosen when the program is linked: exactly one
// backend library defines Backend().
#pragma once

#include "platform/Forms.h"

#include <cstdint>

struct NativeWindow;

// The display's pixel format as the screen reports it.
struct DisplayFormat {
    bool rgb = true;
    int bitsPerPixel = 32;
    uint32_t redMask = 0x00FF0000, greenMask = 0x0000FF00, blueMask = 0x000000FF;
};

class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    // Whether windows can be shown at all (a display exists).
    virtual bool HasDisplay() = 0;
    virtual RECT Screen() = 0;
    virtual RECT WorkArea() = 0;
    // False when the mode cannot be read.
    virtual bool Format(DisplayFormat& format) = 0;
    // A native window for the window's frame rectangle on the screen; null on failure.
    virtual NativeWindow* Create(HWND window, const char* title, RECT frame, DWORD style) = 0;
    virtual void Destroy(NativeWindow* native) = 0;
    virtual void Show(NativeWindow* native, bool visible) = 0;
    virtual void Move(NativeWindow* native, RECT frame) = 0;
    virtual void SetTitle(NativeWindow* native, const char* title) = 0;
    // The window's pixels (frame included for windows that draw their own), 0x00RRGGBB.
    virtual void Present(NativeWindow* native, const uint32_t* pixels, int width, int height) = 0;
    // Waits up to timeout milliseconds (UINT32_MAX: no limit) for input and delivers it through
    // the Input functions below. False when no input can ever come.
    virtual bool Wait(uint32_t timeout) = 0;
    virtual uint32_t Now() = 0;
    virtual int ShowSystemMessage(const char* text, const char* caption, UINT style) = 0;
};

WindowBackend& Backend();

// Input from the backend: mouse messages at a screen point (they go to the window under it, or
// to the window that holds the mouse), keys to the active window, a close request from the
// desktop's frame.
void InputMouse(UINT message, POINT screen, WPARAM keys);
void InputKey(UINT message, UINT key);
void InputClose(HWND window);
// The desktop moved the window (its frame's top left is now at the point) or uncovered it.
void InputMoved(HWND window, POINT topLeft);
void InputExposed(HWND window);
// The answer of the window's procedure to a hit test at a screen point.
LRESULT HitTest(HWND window, POINT screen);
// The window's pixels and size, frame included, for the backend and for tests.
const uint32_t* WindowPixels(HWND window, int& width, int& height);
// The window's client pixels (0x00RRGGBB, pitch in bytes) for drawing without a context; tell
// the window when they changed so that it is presented again.
uint32_t* WindowClientPixels(HWND window, int& width, int& height, int& pitch);
void WindowPixelsChanged(HWND window);
// The backend's native window of a window, or null.
NativeWindow* WindowNative(HWND window);
// All windows that exist, from the bottom of the stack to the top.
int WindowCount();
HWND WindowAt(int index);

// What a backend provides to the window layer: windows on a screen, their pixels presented,
// input delivered, a clock. The backend is chosen when the program is linked: exactly one
// backend library defines Backend().
//
// A window's native window is what the desktop shows inside its own frame: the client area for
// windows with a caption (the desktop draws their frame), the whole window for those that draw
// their own frame or have none.
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
    // The primary screen, and the rectangle round every screen of the desktop.
    virtual RECT Screen() = 0;
    virtual RECT VirtualScreen() = 0;
    virtual RECT WorkArea() = 0;
    // False when the mode cannot be read.
    virtual bool Format(DisplayFormat& format) = 0;
    // The dots per inch the desktop asks programs to draw at: 96 without scaling.
    virtual int Dpi() = 0;
    // The widths of the frame the desktop draws around a window of the style (left, top, right,
    // bottom); zero each for windows without a caption.
    virtual RECT DesktopFrame(DWORD style) = 0;
    // A native window at the rectangle on the screen; null on failure.
    virtual NativeWindow* Create(HWND window, const char* title, RECT native, DWORD style) = 0;
    virtual void Destroy(NativeWindow* native) = 0;
    virtual void Show(NativeWindow* native, bool visible) = 0;
    virtual void Move(NativeWindow* native, RECT rect) = 0;
    virtual void SetTitle(NativeWindow* native, const char* title) = 0;
    // The native window's pixels, 0x00RRGGBB.
    virtual void Present(NativeWindow* native, const uint32_t* pixels, int width, int height) = 0;
    // Delivers the input that has arrived, without waiting. False when a message loop must end
    // (the backend's test bounds were reached).
    virtual bool Poll() = 0;
    // Waits up to timeout milliseconds (UINT32_MAX: no limit) for input and delivers it through
    // the Input functions below. False when no input can ever come.
    virtual bool Wait(uint32_t timeout) = 0;
    virtual uint32_t Now() = 0;
    virtual int ShowSystemMessage(const char* text, const char* caption, UINT style) = 0;
};

WindowBackend& Backend();

// Key flags of input: the mouse messages' MK_ flags, and the Alt key.
constexpr WPARAM InputAlt = 0x10000;

// Input from the backend, queued and routed when a message loop takes it: mouse messages at a
// screen point (to the window holding the capture, or else the one under the point), keys to
// the focus window, or first to the window the desktop names as having the focus.
void InputMouse(UINT message, POINT screen, WPARAM keys);
void InputKey(UINT message, UINT key, WPARAM keys, HWND focus = nullptr);
// The desktop gave the keyboard focus to the window, or took it from it.
void InputFocusChanged(HWND window, bool gained);
// A close request from the desktop's frame.
void InputClose(HWND window);
// The desktop moved the native window (its top left is now at the point), resized it (to the
// size given), told the widths of its frame, or uncovered it.
void InputMoved(HWND window, POINT nativeTopLeft);
void InputResized(HWND window, int nativeWidth, int nativeHeight);
void InputFrame(HWND window, RECT desktopFrame);
void InputExposed(HWND window);
// The answer of the window's procedure to a hit test at a screen point.
LRESULT HitTest(HWND window, POINT screen);
// The native window's pixels and size, for the backend and for tests.
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
// Milliseconds until the next timer is due (0 when one is), UINT32_MAX when there is none.
uint32_t TimeToNextTimer();
// Destroys every window and forgets timers, messages, input, focus and capture (tests).
void WindowLayerReset();

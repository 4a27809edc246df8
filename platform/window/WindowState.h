// The window layer's own state, shared by its parts: window objects, the thread's message
// queue, raw input, timers, focus and capture.
#pragma once

#include "WindowBackend.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct WindowObject {
    std::string className;
    WNDPROC proc = nullptr;
    HBRUSH background = nullptr;
    std::string title;
    DWORD style = 0;
    RECT frame{};   // the window rectangle on the screen
    RECT insets{};  // frame widths on each side: the desktop's and the layer's own
    int border = 0; // the part of the insets the layer draws itself, on every side
    bool visible = false;
    RECT update{}; // bounding rectangle of the update region, client coordinates
    bool erase = false;
    bool dirty = false;
    LONG_PTR userData = 0;
    NativeWindow* native = nullptr;
    std::vector<uint32_t> pixels; // the native window's

    int Width() const { return frame.right - frame.left; }
    int Height() const { return frame.bottom - frame.top; }
    int ClientWidth() const { return std::max(Width() - insets.left - insets.right, 0); }
    int ClientHeight() const { return std::max(Height() - insets.top - insets.bottom, 0); }
    int NativeWidth() const { return ClientWidth() + 2 * border; }
    int NativeHeight() const { return ClientHeight() + 2 * border; }
    // The native window's rectangle on the screen.
    RECT Native() const;
};

namespace windowing {

struct WindowClass {
    std::string name;
    WNDPROC proc;
    HBRUSH background;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT interval;
    uint32_t due;
    TIMERPROC callback;
};

// Input as the desktop delivered it; routed to a window when a message loop takes it.
struct RawInput {
    enum class Kind { Mouse, Key, Focus } kind;
    UINT message;
    POINT screen;
    UINT key;
    WPARAM keys;
    HWND window;
    bool gained;
};

struct Drag {
    HWND window = nullptr;
    POINT grab{};
};

struct State {
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<WindowObject>> windows; // bottom to top
    std::deque<MSG> queue;
    std::deque<RawInput> input;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimer = 1;
    HWND active = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
    WPARAM keys = 0; // MK_ flags and InputAlt as of the input message taken last
    Drag drag;
};

State& S();
bool Alive(HWND w);
bool Matches(HWND messageWindow, HWND filter);
LPARAM PackPoint(int x, int y);
void Raise(HWND w);
bool IsEmpty(const RECT& r);

// Geometry (WindowPosition).
void SetFrame(HWND w, RECT frame);
HWND WindowUnder(POINT screen);
// Painting.
void PresentDirty();
bool TakePaint(MSG* out, HWND filter);
void InvalidateAll(HWND w);
LRESULT EraseBackground(HWND w, HDC dc);
// Frames the layer draws, hit tests.
void DrawOwnFrame(HWND w);
LRESULT DefaultHitTest(HWND w, POINT screen);
// Input: a message for the filter's window; used tells whether input was used up without one.
bool TakeInput(MSG* out, HWND filter, bool& used);
// Focus and activation.
void Activate(HWND w, WPARAM how);
void ActivateAnother(HWND leaving);
// Timers.
bool TakeTimer(MSG* out, HWND filter, uint32_t now);

} // namespace windowing

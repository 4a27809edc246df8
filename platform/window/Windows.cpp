// Window classes and window objects: creation, destruction, showing, texts, the window's long
// values, and the default window procedure.
#include "WindowState.h"

#include <utility>

using namespace windowing;

namespace windowing {

State& S() {
    static State state;
    return state;
}

bool Alive(HWND w) {
    if (w == nullptr) return false;
    for (const auto& p : S().windows)
        if (p.get() == w) return true;
    return false;
}

bool Matches(HWND messageWindow, HWND filter) {
    return filter == nullptr || messageWindow == filter;
}

LPARAM PackPoint(int x, int y) {
    return LPARAM(uint32_t(uint16_t(x)) | uint32_t(uint16_t(y)) << 16);
}

void Raise(HWND w) {
    auto& ws = S().windows;
    auto it = std::find_if(ws.begin(), ws.end(), [w](const auto& p) { return p.get() == w; });
    if (it == ws.end()) return;
    std::unique_ptr<WindowObject> moved = std::move(*it);
    ws.erase(it);
    ws.push_back(std::move(moved));
}

} // namespace windowing

namespace {

// Frames of windows without a caption are the layer's to draw; captions are the desktop's.
bool DrawsOwnFrame(DWORD style) {
    return (style & WS_CAPTION) != WS_CAPTION;
}

RECT InsetsOf(DWORD style) {
    if (!DrawsOwnFrame(style)) return Backend().DesktopFrame(style);
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, style, 0, 0);
    return {-r.left, -r.top, r.right, r.bottom};
}

void Forget(HWND w) {
    State& s = S();
    std::erase_if(s.timers, [w](const Timer& t) { return t.window == w; });
    std::erase_if(s.queue, [w](const MSG& m) { return m.hwnd == w; });
    if (s.capture == w) s.capture = nullptr;
    if (s.drag.window == w) s.drag.window = nullptr;
    if (s.focus == w) s.focus = nullptr;
    if (s.active == w) {
        s.active = nullptr;
        ActivateAnother(w);
    }
}

// Hidden from the desktop; the active window's place goes to the next visible one.
void Hide(HWND w) {
    w->visible = false;
    Backend().Show(w->native, false);
    if (S().active == w) ActivateAnother(w);
}

bool Activates(int command) {
    return command != SW_HIDE && command != SW_SHOWNOACTIVATE && command != SW_SHOWNA &&
           command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE;
}

} // namespace

ATOM RegisterClassExA(const WNDCLASSEXA* c) {
    if (c == nullptr || c->lpszClassName == nullptr || c->lpfnWndProc == nullptr) return 0;
    auto& classes = S().classes;
    for (const WindowClass& k : classes)
        if (k.name == c->lpszClassName) return 0;
    classes.push_back({c->lpszClassName, c->lpfnWndProc, c->hbrBackground});
    return ATOM(classes.size());
}

BOOL UnregisterClassA(const char* name, HINSTANCE) {
    if (name == nullptr) return 0;
    auto& classes = S().classes;
    const auto before = classes.size();
    std::erase_if(classes, [name](const WindowClass& k) { return k.name == name; });
    return classes.size() != before;
}

// As Windows does: WM_CREATE, then WM_SIZE and WM_MOVE, then showing when WS_VISIBLE is given.
HWND CreateWindowExA(DWORD, const char* className, const char* windowName, DWORD style, int x,
                     int y, int width, int height, HWND, HMENU, HINSTANCE, void*) {
    if (className == nullptr) return nullptr;
    const auto& classes = S().classes;
    auto k = std::find_if(classes.begin(), classes.end(),
                          [className](const WindowClass& c) { return c.name == className; });
    if (k == classes.end()) return nullptr;
    auto window = std::make_unique<WindowObject>();
    HWND w = window.get();
    w->className = k->name;
    w->proc = k->proc;
    w->background = k->background;
    w->title = windowName != nullptr ? windowName : "";
    w->style = style & ~WS_VISIBLE;
    w->insets = InsetsOf(style);
    w->border = DrawsOwnFrame(style) ? w->insets.left : 0;
    S().windows.push_back(std::move(window));
    SetFrame(w, {x, y, x + std::max(width, 0), y + std::max(height, 0)});
    w->native = Backend().Create(w, w->title.c_str(), w->Native(), style);
    if (w->native == nullptr) {
        std::erase_if(S().windows, [w](const auto& p) { return p.get() == w; });
        return nullptr;
    }
    if (w->proc(w, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(w);
        return nullptr;
    }
    SendMessageA(w, WM_SIZE, SIZE_RESTORED, PackPoint(w->ClientWidth(), w->ClientHeight()));
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    SendMessageA(w, WM_MOVE, 0, PackPoint(origin.x, origin.y));
    if ((style & WS_VISIBLE) && Alive(w)) ShowWindow(w, SW_SHOW);
    return Alive(w) ? w : nullptr;
}

BOOL DestroyWindow(HWND w) {
    if (!Alive(w)) return 0;
    if (w->visible) Hide(w); // without WM_SHOWWINDOW, as Windows hides a window it destroys
    w->proc(w, WM_DESTROY, 0, 0);
    if (!Alive(w)) return 1;
    Forget(w);
    if (w->native != nullptr) Backend().Destroy(w->native);
    std::erase_if(S().windows, [w](const auto& p) { return p.get() == w; });
    return 1;
}

BOOL IsWindow(HWND w) {
    return Alive(w);
}

// Showing sends WM_SHOWWINDOW, activates unless told not to, and asks for a full repaint;
// hiding the active window activates the next visible one.
BOOL ShowWindow(HWND w, int command) {
    if (!Alive(w)) return 0;
    const bool was = w->visible;
    const bool visible = command != SW_HIDE && command != SW_MINIMIZE;
    if (visible != was) SendMessageA(w, WM_SHOWWINDOW, visible, 0);
    if (!Alive(w)) return was;
    if (!visible) {
        Hide(w);
        return was;
    }
    w->visible = true;
    Backend().Show(w->native, true);
    Raise(w);
    if (!was) InvalidateAll(w);
    if (!Alive(w)) return was;
    w->dirty = true;
    if (Activates(command)) Activate(w, WA_ACTIVE);
    return was;
}

BOOL IsWindowVisible(HWND w) {
    return Alive(w) && w->visible;
}

BOOL SetWindowTextA(HWND w, const char* text) {
    if (!Alive(w)) return 0;
    w->title = text != nullptr ? text : "";
    Backend().SetTitle(w->native, w->title.c_str());
    return 1;
}

int GetWindowTextA(HWND w, char* text, int size) {
    if (!Alive(w) || text == nullptr || size <= 0) return 0;
    const int n = std::min(int(w->title.size()), size - 1);
    std::copy_n(w->title.data(), n, text);
    text[n] = 0;
    return n;
}

LONG_PTR SetWindowLongPtrA(HWND w, int index, LONG_PTR value) {
    if (!Alive(w)) return 0;
    if (index == GWLP_USERDATA) return std::exchange(w->userData, value);
    if (index == GWL_STYLE) return LONG_PTR(std::exchange(w->style, DWORD(value)));
    return 0;
}

LONG_PTR GetWindowLongPtrA(HWND w, int index) {
    if (!Alive(w)) return 0;
    return index == GWLP_USERDATA ? w->userData : index == GWL_STYLE ? LONG_PTR(w->style) : 0;
}

BOOL SetMenu(HWND w, HMENU) {
    return Alive(w);
}

LRESULT DefWindowProcA(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(w);
        return 0;
    case WM_NCHITTEST:
        return DefaultHitTest(w, {int16_t(lParam & 0xFFFF), int16_t((lParam >> 16) & 0xFFFF)});
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(w, &ps) != nullptr) EndPaint(w, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return EraseBackground(w, reinterpret_cast<HDC>(wParam));
    case WM_NCACTIVATE:
        return 1;
    case WM_ACTIVATE:
        if ((wParam & 0xFFFF) != WA_INACTIVE) SetFocus(w);
        return 0;
    default:
        return 0;
    }
}

const uint32_t* WindowPixels(HWND w, int& width, int& height) {
    if (!Alive(w)) return nullptr;
    width = w->NativeWidth();
    height = w->NativeHeight();
    return w->pixels.data();
}

NativeWindow* WindowNative(HWND w) {
    return Alive(w) ? w->native : nullptr;
}

int WindowCount() {
    return int(S().windows.size());
}

HWND WindowAt(int index) {
    return index >= 0 && index < WindowCount() ? S().windows[size_t(index)].get() : nullptr;
}

void WindowLayerReset() {
    State& s = S();
    while (!s.windows.empty())
        if (!DestroyWindow(s.windows.back().get())) s.windows.pop_back();
    s.queue.clear();
    s.input.clear();
    s.timers.clear();
    s.active = s.focus = s.capture = nullptr;
    s.keys = 0;
    s.drag = Drag{};
}

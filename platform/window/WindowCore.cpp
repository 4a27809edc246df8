// Windows, classes, the message queue, timers, painting and input routing, over the backend's
// native windows.
#include "WindowBackend.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct WindowObject {
    std::string className;
    WNDPROC proc = nullptr;
    HBRUSH background = nullptr;
    std::string title;
    DWORD style = 0;
    RECT frame{};
    int border = 0;
    bool visible = false;
    bool invalid = false;
    bool erase = false;
    bool dirty = false;
    LONG_PTR userData = 0;
    NativeWindow* native = nullptr;
    std::vector<uint32_t> pixels;

    int Width() const { return frame.right - frame.left; }
    int Height() const { return frame.bottom - frame.top; }
    int ClientWidth() const { return std::max(Width() - 2 * border, 0); }
    int ClientHeight() const { return std::max(Height() - 2 * border, 0); }
};

namespace {

constexpr PixelLayout WindowLayout{16, 8, 0};

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

struct Drag {
    HWND window = nullptr;
    POINT grab{};
};

struct State {
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<WindowObject>> windows; // bottom to top
    std::deque<MSG> queue;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimer = 1;
    HWND active = nullptr;
    HWND capture = nullptr;
    Drag drag;
};

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

void FillBackground(HWND w) {
    HDC dc = GetDC(w);
    RECT client{0, 0, w->ClientWidth(), w->ClientHeight()};
    FillRect(dc, &client, w->background);
    ReleaseDC(w, dc);
}

// The one-pixel frame of a window that draws its own.
void DrawFrame(HWND w) {
    if (w->border == 0) return;
    HDC dc = CreatePixelDC(w->pixels.data(), w->Width(), w->Height(), w->Width() * 4, WindowLayout);
    RECT all{0, 0, w->Width(), w->Height()};
    FrameRect(dc, &all, GetSysColorBrush(COLOR_WINDOWFRAME));
    DeleteDC(dc);
    w->dirty = true;
}

void Resize(HWND w, RECT frame) {
    w->frame = frame;
    w->pixels.assign(size_t(std::max(w->Width(), 0)) * size_t(std::max(w->Height(), 0)), 0);
    DrawFrame(w);
    FillBackground(w);
    w->invalid = w->erase = true;
}

void PresentDirty() {
    for (const auto& w : S().windows)
        if (w->dirty && w->visible && w->native != nullptr) {
            Backend().Present(w->native, w->pixels.data(), w->Width(), w->Height());
            w->dirty = false;
        }
}

bool Matches(HWND messageWindow, HWND filter) {
    return filter == nullptr || messageWindow == filter;
}

bool TakePosted(MSG* out, HWND filter) {
    auto& q = S().queue;
    for (auto it = q.begin(); it != q.end(); ++it) {
        if (it->message != WM_QUIT && !Matches(it->hwnd, filter)) continue;
        *out = *it;
        q.erase(it);
        return true;
    }
    return false;
}

bool TakeTimer(MSG* out, HWND filter, uint32_t now) {
    for (Timer& t : S().timers) {
        if (!Matches(t.window, filter) || int32_t(now - t.due) < 0) continue;
        t.due = now + t.interval;
        *out =
            MSG{t.window, WM_TIMER, t.id, LPARAM(reinterpret_cast<intptr_t>(t.callback)), now, {}};
        return true;
    }
    return false;
}

bool TakePaint(MSG* out, HWND filter) {
    for (const auto& w : S().windows) {
        if (!w->invalid || !w->visible || !Matches(w.get(), filter)) continue;
        if (w->erase) FillBackground(w.get());
        w->erase = false;
        *out = MSG{w.get(), WM_PAINT, 0, 0, Backend().Now(), {}};
        return true;
    }
    return false;
}

uint32_t NextTimeout(HWND filter, uint32_t now) {
    uint32_t timeout = UINT32_MAX;
    for (const Timer& t : S().timers)
        if (Matches(t.window, filter))
            timeout = std::min(timeout, int32_t(t.due - now) < 0 ? 0u : t.due - now);
    return timeout;
}

HWND WindowUnder(POINT p) {
    auto& ws = S().windows;
    for (auto it = ws.rbegin(); it != ws.rend(); ++it) {
        const RECT& f = (*it)->frame;
        if ((*it)->visible && p.x >= f.left && p.x < f.right && p.y >= f.top && p.y < f.bottom)
            return it->get();
    }
    return nullptr;
}

void MoveFrame(HWND w, POINT topLeft) {
    const int width = w->Width(), height = w->Height();
    w->frame = {topLeft.x, topLeft.y, topLeft.x + width, topLeft.y + height};
    if (w->native != nullptr) Backend().Move(w->native, w->frame);
}

bool IsButtonDown(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN;
}
bool IsButtonUp(UINT m) {
    return m == WM_LBUTTONUP || m == WM_RBUTTONUP;
}

} // namespace

TShiftState ShiftStateOf(WPARAM keys) {
    return (keys & MK_SHIFT ? ssShift : 0) | (keys & MK_CONTROL ? ssCtrl : 0) |
           (keys & MK_LBUTTON ? ssLeft : 0) | (keys & MK_RBUTTON ? ssRight : 0);
}

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
    w->border = (style & WS_BORDER) != 0 && (style & WS_CAPTION) != WS_CAPTION ? 1 : 0;
    S().windows.push_back(std::move(window));
    Resize(w, {x, y, x + std::max(width, 0), y + std::max(height, 0)});
    w->native = Backend().Create(w, w->title.c_str(), w->frame, style);
    if (w->native == nullptr) {
        std::erase_if(S().windows, [w](const auto& p) { return p.get() == w; });
        return nullptr;
    }
    if (w->proc(w, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(w);
        return nullptr;
    }
    if (style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
    return w;
}

BOOL DestroyWindow(HWND w) {
    if (!Alive(w)) return 0;
    w->proc(w, WM_DESTROY, 0, 0);
    State& s = S();
    std::erase_if(s.timers, [w](const Timer& t) { return t.window == w; });
    std::erase_if(s.queue, [w](const MSG& m) { return m.hwnd == w; });
    if (s.active == w) s.active = nullptr;
    if (s.capture == w) s.capture = nullptr;
    if (s.drag.window == w) s.drag.window = nullptr;
    if (w->native != nullptr) Backend().Destroy(w->native);
    std::erase_if(s.windows, [w](const auto& p) { return p.get() == w; });
    return 1;
}

BOOL IsWindow(HWND w) {
    return Alive(w);
}

BOOL ShowWindow(HWND w, int command) {
    if (!Alive(w)) return 0;
    const bool was = w->visible;
    w->visible = command != SW_HIDE && command != SW_MINIMIZE;
    if (w->visible) {
        w->invalid = true;
        w->dirty = true;
        S().active = w;
        Raise(w);
    }
    Backend().Show(w->native, w->visible);
    return was;
}

BOOL IsWindowVisible(HWND w) {
    return Alive(w) && w->visible;
}

BOOL UpdateWindow(HWND w) {
    if (!Alive(w)) return 0;
    MSG paint;
    if (w->invalid && w->visible && TakePaint(&paint, w)) DispatchMessageA(&paint);
    return 1;
}

BOOL InvalidateRect(HWND w, const RECT*, BOOL erase) {
    if (!Alive(w)) return 0;
    w->invalid = true;
    w->erase = w->erase || erase;
    return 1;
}

BOOL GetClientRect(HWND w, RECT* r) {
    if (!Alive(w) || r == nullptr) return 0;
    *r = {0, 0, w->ClientWidth(), w->ClientHeight()};
    return 1;
}

BOOL GetWindowRect(HWND w, RECT* r) {
    if (!Alive(w) || r == nullptr) return 0;
    *r = w->frame;
    return 1;
}

BOOL ClientToScreen(HWND w, POINT* p) {
    if (!Alive(w) || p == nullptr) return 0;
    p->x += w->frame.left + w->border;
    p->y += w->frame.top + w->border;
    return 1;
}

BOOL ScreenToClient(HWND w, POINT* p) {
    if (!Alive(w) || p == nullptr) return 0;
    p->x -= w->frame.left + w->border;
    p->y -= w->frame.top + w->border;
    return 1;
}

BOOL MoveWindow(HWND w, int x, int y, int width, int height, BOOL) {
    if (!Alive(w)) return 0;
    const bool resized = width != w->Width() || height != w->Height();
    if (!resized) {
        MoveFrame(w, {x, y});
        return 1;
    }
    Resize(w, {x, y, x + std::max(width, 0), y + std::max(height, 0)});
    if (w->native != nullptr) Backend().Move(w->native, w->frame);
    w->proc(w, WM_SIZE, SIZE_RESTORED, PackPoint(w->ClientWidth(), w->ClientHeight()));
    return 1;
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

BOOL GetMessageA(MSG* m, HWND filter, UINT, UINT) {
    if (m == nullptr) return -1;
    for (;;) {
        if (filter != nullptr && !Alive(filter)) return -1;
        PresentDirty();
        const uint32_t now = Backend().Now();
        if (TakePosted(m, filter)) return m->message == WM_QUIT ? 0 : 1;
        if (TakeTimer(m, filter, now) || TakePaint(m, filter)) return 1;
        if (!Backend().Wait(NextTimeout(filter, now))) return -1;
    }
}

LRESULT DispatchMessageA(const MSG* m) {
    if (m == nullptr) return 0;
    if (m->message == WM_TIMER && m->lParam != 0) {
        reinterpret_cast<TIMERPROC>(m->lParam)(m->hwnd, WM_TIMER, m->wParam, m->time);
        return 0;
    }
    if (!Alive(m->hwnd)) return 0;
    const LRESULT result = m->hwnd->proc(m->hwnd, m->message, m->wParam, m->lParam);
    if (m->message == WM_PAINT && Alive(m->hwnd)) {
        m->hwnd->invalid = false;
        m->hwnd->dirty = true;
    }
    return result;
}

BOOL PostMessageA(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (w != nullptr && !Alive(w)) return 0;
    S().queue.push_back(MSG{w, message, wParam, lParam, Backend().Now(), {}});
    return 1;
}

LRESULT SendMessageA(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    return Alive(w) ? w->proc(w, message, wParam, lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    PostMessageA(nullptr, WM_QUIT, WPARAM(exitCode), 0);
}

LRESULT DefWindowProcA(HWND w, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(w);
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_PAINT:
        if (Alive(w)) w->invalid = false;
        return 0;
    default:
        return 0;
    }
}

HDC GetDC(HWND w) {
    if (!Alive(w) || w->pixels.empty()) return nullptr;
    uint32_t* origin = w->pixels.data() + size_t(w->border) * size_t(w->Width()) + w->border;
    return CreatePixelDC(origin, w->ClientWidth(), w->ClientHeight(), w->Width() * 4, WindowLayout);
}

int ReleaseDC(HWND w, HDC dc) {
    if (dc == nullptr) return 0;
    DeleteDC(dc);
    if (Alive(w)) w->dirty = true;
    return 1;
}

UINT_PTR SetTimer(HWND w, UINT_PTR id, UINT ms, TIMERPROC callback) {
    if (w != nullptr && !Alive(w)) return 0;
    if (w == nullptr) id = S().nextThreadTimer++;
    KillTimer(w, id);
    S().timers.push_back({w, id, ms, Backend().Now() + ms, callback});
    return w == nullptr ? id : 1;
}

BOOL KillTimer(HWND w, UINT_PTR id) {
    return std::erase_if(S().timers, [&](const Timer& t) { return t.window == w && t.id == id; }) >
           0;
}

int GetSystemMetrics(int index) {
    const RECT screen = Backend().Screen();
    if (index == SM_CXSCREEN) return screen.right - screen.left;
    if (index == SM_CYSCREEN) return screen.bottom - screen.top;
    return 0;
}

DWORD GetSysColor(int index) {
    static const DWORD classic[] = {
        RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128),
        RGB(192, 192, 192), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(0, 0, 0),       RGB(255, 255, 255), RGB(192, 192, 192), RGB(192, 192, 192),
        RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255), RGB(192, 192, 192),
        RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(223, 223, 223), RGB(0, 0, 0),
        RGB(255, 255, 225)};
    return index >= 0 && index < int(std::size(classic)) ? classic[index] : 0;
}

// The brushes of the system colours live as long as the program.
HBRUSH GetSysColorBrush(int index) {
    constexpr int Count = 25;
    static HBRUSH brushes[Count] = {};
    if (index < 0 || index >= Count) return nullptr;
    if (brushes[index] == nullptr) brushes[index] = CreateSolidBrush(GetSysColor(index));
    return brushes[index];
}

BOOL SystemParametersInfoA(UINT action, UINT, void* data, UINT) {
    if (action != SPI_GETWORKAREA || data == nullptr) return 0;
    *static_cast<RECT*>(data) = Backend().WorkArea();
    return 1;
}

HINSTANCE GetModuleHandleA(const char*) {
    static int module;
    return &module;
}

HCURSOR LoadCursorA(HINSTANCE, const char*) {
    static int cursor;
    return &cursor;
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT style) {
    return Backend().ShowSystemMessage(text, caption, style);
}

LRESULT HitTest(HWND w, POINT screen) {
    return SendMessageA(w, WM_NCHITTEST, 0, PackPoint(screen.x, screen.y));
}

void InputMouse(UINT message, POINT screen, WPARAM keys) {
    State& s = S();
    if (s.drag.window != nullptr) {
        if (message == WM_MOUSEMOVE)
            MoveFrame(s.drag.window, {screen.x - s.drag.grab.x, screen.y - s.drag.grab.y});
        if (message == WM_LBUTTONUP) s.drag.window = nullptr;
        return;
    }
    HWND target = s.capture != nullptr ? s.capture : WindowUnder(screen);
    if (target == nullptr) return;
    if (IsButtonDown(message)) {
        s.active = target;
        Raise(target);
        if (message == WM_LBUTTONDOWN && HitTest(target, screen) == HTCAPTION) {
            s.drag = {target, {screen.x - target->frame.left, screen.y - target->frame.top}};
            return;
        }
        s.capture = target;
    }
    if (IsButtonUp(message)) s.capture = nullptr;
    POINT client = screen;
    ScreenToClient(target, &client);
    PostMessageA(target, message, keys, PackPoint(client.x, client.y));
}

void InputKey(UINT message, UINT key) {
    if (Alive(S().active) && S().active->visible) PostMessageA(S().active, message, key, 0);
}

void InputClose(HWND w) {
    PostMessageA(w, WM_CLOSE, 0, 0);
}

const uint32_t* WindowPixels(HWND w, int& width, int& height) {
    if (!Alive(w)) return nullptr;
    width = w->Width();
    height = w->Height();
    return w->pixels.data();
}

uint32_t* WindowClientPixels(HWND w, int& width, int& height, int& pitch) {
    if (!Alive(w) || w->pixels.empty()) return nullptr;
    width = w->ClientWidth();
    height = w->ClientHeight();
    pitch = w->Width() * 4;
    return w->pixels.data() + size_t(w->border) * size_t(w->Width()) + w->border;
}

void WindowPixelsChanged(HWND w) {
    if (Alive(w)) w->dirty = true;
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

void InputMoved(HWND w, POINT topLeft) {
    if (!Alive(w)) return;
    const int width = w->Width(), height = w->Height();
    w->frame = {topLeft.x, topLeft.y, topLeft.x + width, topLeft.y + height};
}

void InputExposed(HWND w) {
    WindowPixelsChanged(w);
}

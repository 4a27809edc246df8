// Painting: update regions, WM_PAINT, BeginPaint and EndPaint with the background erased on
// request, contexts on the windows' pixels, and presenting changed pixels.
#include "WindowState.h"

using namespace windowing;

namespace {

constexpr PixelLayout WindowLayout{16, 8, 0};

RECT Intersect(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

RECT Union(const RECT& a, const RECT& b) {
    if (IsEmpty(a)) return b;
    if (IsEmpty(b)) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

RECT ClientOf(HWND w) {
    return {0, 0, w->ClientWidth(), w->ClientHeight()};
}

// What is left of the update rectangle when a rectangle is validated: exact when the rest is a
// rectangle, otherwise the update rectangle stays (painting more is harmless).
RECT Subtract(const RECT& update, const RECT& valid) {
    const RECT cut = Intersect(update, valid);
    if (IsEmpty(cut)) return update;
    const bool fullWidth = cut.left == update.left && cut.right == update.right;
    const bool fullHeight = cut.top == update.top && cut.bottom == update.bottom;
    RECT rest = update;
    if (fullWidth && fullHeight) return RECT{};
    if (fullWidth && cut.top == update.top) rest.top = cut.bottom;
    if (fullWidth && cut.bottom == update.bottom) rest.bottom = cut.top;
    if (fullHeight && cut.left == update.left) rest.left = cut.right;
    if (fullHeight && cut.right == update.right) rest.right = cut.left;
    return rest;
}

} // namespace

namespace windowing {

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// As Windows does when a window is shown or resized: all of it invalid, and the background
// erased at once while the window is visible (WM_PAINT comes later).
void InvalidateAll(HWND w) {
    InvalidateRect(w, nullptr, 1);
    if (!w->visible || !w->erase) return;
    HDC dc = GetDC(w);
    if (dc == nullptr) return;
    w->erase = false;
    SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(w, dc);
}

void PresentDirty() {
    for (const auto& w : S().windows)
        if (w->dirty && w->visible && w->native != nullptr) {
            Backend().Present(w->native, w->pixels.data(), w->NativeWidth(), w->NativeHeight());
            w->dirty = false;
        }
}

bool TakePaint(MSG* out, HWND filter) {
    for (const auto& w : S().windows) {
        if (IsEmpty(w->update) || !w->visible || !Matches(w.get(), filter)) continue;
        *out = MSG{w.get(), WM_PAINT, 0, 0, Backend().Now(), {}};
        return true;
    }
    return false;
}

// The class's brush over the part being repainted.
LRESULT EraseBackground(HWND w, HDC dc) {
    if (!Alive(w) || dc == nullptr || w->background == nullptr) return 0;
    const RECT area = IsEmpty(w->update) ? ClientOf(w) : w->update;
    FillRect(dc, &area, w->background);
    return 1;
}

} // namespace windowing

BOOL InvalidateRect(HWND w, const RECT* rect, BOOL erase) {
    if (!Alive(w)) return 0;
    const RECT area = rect != nullptr ? Intersect(*rect, ClientOf(w)) : ClientOf(w);
    if (IsEmpty(area)) return 1;
    w->update = Union(w->update, area);
    w->erase = w->erase || erase;
    return 1;
}

BOOL ValidateRect(HWND w, const RECT* rect) {
    if (!Alive(w)) return 0;
    w->update = rect != nullptr ? Subtract(w->update, *rect) : RECT{};
    if (IsEmpty(w->update)) w->erase = false;
    return 1;
}

BOOL GetUpdateRect(HWND w, RECT* rect, BOOL) {
    if (!Alive(w)) return 0;
    if (rect != nullptr) *rect = IsEmpty(w->update) ? RECT{} : w->update;
    return !IsEmpty(w->update);
}

BOOL UpdateWindow(HWND w) {
    if (!Alive(w)) return 0;
    if (w->visible && !IsEmpty(w->update)) SendMessageA(w, WM_PAINT, 0, 0);
    return 1;
}

// The context covers the whole client area; rcPaint tells the part that needs painting.
HDC BeginPaint(HWND w, PAINTSTRUCT* ps) {
    if (!Alive(w) || ps == nullptr) return nullptr;
    *ps = PAINTSTRUCT{};
    ps->hdc = GetDC(w);
    ps->rcPaint = w->update;
    if (w->erase && ps->hdc != nullptr) {
        w->erase = false;
        ps->fErase = SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0) == 0;
    }
    if (Alive(w)) w->update = RECT{};
    return ps->hdc;
}

BOOL EndPaint(HWND w, const PAINTSTRUCT* ps) {
    if (ps == nullptr) return 0;
    ReleaseDC(w, ps->hdc);
    return 1;
}

HDC GetDC(HWND w) {
    int width = 0, height = 0, pitch = 0;
    uint32_t* origin = WindowClientPixels(w, width, height, pitch);
    return origin != nullptr ? CreatePixelDC(origin, width, height, pitch, WindowLayout) : nullptr;
}

int ReleaseDC(HWND w, HDC dc) {
    if (dc == nullptr) return 0;
    DeleteDC(dc);
    WindowPixelsChanged(w);
    return 1;
}

uint32_t* WindowClientPixels(HWND w, int& width, int& height, int& pitch) {
    if (!Alive(w) || w->pixels.empty()) return nullptr;
    width = w->ClientWidth();
    height = w->ClientHeight();
    pitch = w->NativeWidth() * 4;
    return w->pixels.data() + size_t(w->border) * size_t(w->NativeWidth()) + size_t(w->border);
}

void WindowPixelsChanged(HWND w) {
    if (Alive(w)) w->dirty = true;
}

void InputExposed(HWND w) {
    WindowPixelsChanged(w);
}

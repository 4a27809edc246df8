// Window geometry: window and client rectangles, frames, moving and resizing, as the program
// asks and as the desktop reports.
#include "WindowState.h"

using namespace windowing;

RECT WindowObject::Native() const {
    return {frame.left + insets.left - border, frame.top + insets.top - border,
            frame.right - insets.right + border, frame.bottom - insets.bottom + border};
}

namespace windowing {

// A new window rectangle; the pixels are rebuilt (and the window repainted) when the size of
// the native window changes.
void SetFrame(HWND w, RECT frame) {
    const int oldWidth = w->NativeWidth(), oldHeight = w->NativeHeight();
    w->frame = frame;
    if (!w->pixels.empty() && w->NativeWidth() == oldWidth && w->NativeHeight() == oldHeight)
        return;
    w->pixels.assign(size_t(w->NativeWidth()) * size_t(w->NativeHeight()), 0);
    DrawOwnFrame(w);
    InvalidateAll(w);
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

} // namespace windowing

namespace {

// WM_MOVE and WM_SIZE, as Windows sends them after a change of the window's rectangle.
void Notify(HWND w, bool moved, bool resized) {
    if (moved) {
        POINT origin{0, 0};
        ClientToScreen(w, &origin);
        SendMessageA(w, WM_MOVE, 0, PackPoint(origin.x, origin.y));
    }
    if (resized && Alive(w))
        SendMessageA(w, WM_SIZE, SIZE_RESTORED, PackPoint(w->ClientWidth(), w->ClientHeight()));
}

} // namespace

// The classic desktop's frames: a caption bar of SM_CYCAPTION, a fixed dialog frame of 3 pixels
// or a sizing frame of 4, a thin border of 1.
BOOL AdjustWindowRectEx(RECT* r, DWORD style, BOOL menu, DWORD) {
    if (r == nullptr) return 0;
    int edge = 0;
    if (style & WS_THICKFRAME)
        edge = GetSystemMetrics(SM_CXFRAME);
    else if (style & WS_DLGFRAME)
        edge = GetSystemMetrics(SM_CXDLGFRAME);
    else if ((style & WS_BORDER) || !(style & WS_POPUP))
        edge = GetSystemMetrics(SM_CXBORDER);
    r->left -= edge;
    r->right += edge;
    r->top -= edge + ((style & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0) +
              (menu ? GetSystemMetrics(SM_CYMENU) : 0);
    r->bottom += edge;
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
    p->x += w->frame.left + w->insets.left;
    p->y += w->frame.top + w->insets.top;
    return 1;
}

BOOL ScreenToClient(HWND w, POINT* p) {
    if (!Alive(w) || p == nullptr) return 0;
    p->x -= w->frame.left + w->insets.left;
    p->y -= w->frame.top + w->insets.top;
    return 1;
}

BOOL MoveWindow(HWND w, int x, int y, int width, int height, BOOL) {
    if (!Alive(w)) return 0;
    const RECT old = w->frame;
    SetFrame(w, {x, y, x + std::max(width, 0), y + std::max(height, 0)});
    if (w->native != nullptr) Backend().Move(w->native, w->Native());
    Notify(w, x != old.left || y != old.top,
           width != old.right - old.left || height != old.bottom - old.top);
    return 1;
}

void InputMoved(HWND w, POINT topLeft) {
    if (!Alive(w)) return;
    const RECT native = w->Native();
    if (topLeft.x == native.left && topLeft.y == native.top) return;
    const int dx = topLeft.x - native.left, dy = topLeft.y - native.top;
    w->frame = {w->frame.left + dx, w->frame.top + dy, w->frame.right + dx, w->frame.bottom + dy};
    Notify(w, true, false);
}

// The desktop decides the size (a tiling desktop does): the client area becomes what it shows.
void InputResized(HWND w, int width, int height) {
    if (!Alive(w) || width < 0 || height < 0) return;
    if (width == w->NativeWidth() && height == w->NativeHeight()) return;
    const RECT native = w->Native();
    SetFrame(w, {native.left - w->insets.left + w->border, native.top - w->insets.top + w->border,
                 native.left + width + w->insets.right - w->border,
                 native.top + height + w->insets.bottom - w->border});
    Notify(w, false, true);
}

// The desktop's frame turned out other than assumed: the client area stays where it is.
void InputFrame(HWND w, RECT desktop) {
    if (!Alive(w) || w->border != 0) return;
    const RECT native = w->Native();
    w->insets = desktop;
    w->frame = {native.left - desktop.left, native.top - desktop.top, native.right + desktop.right,
                native.bottom + desktop.bottom};
}

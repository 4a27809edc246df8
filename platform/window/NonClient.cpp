// The parts of a window outside its client area: the frame the layer draws for popups with a
// border, and the default answer to hit tests.
#include "WindowState.h"

namespace windowing {

// The outer line in the frame colour, any wider frame filled with the button face.
void DrawOwnFrame(HWND w) {
    if (w->border == 0 || w->pixels.empty()) return;
    const int width = w->NativeWidth(), height = w->NativeHeight();
    HDC dc = CreatePixelDC(w->pixels.data(), width, height, width * 4, PixelLayout{16, 8, 0});
    RECT all{0, 0, width, height};
    for (int i = 0; i < w->border; ++i) {
        FrameRect(dc, &all, GetSysColorBrush(i == 0 ? COLOR_WINDOWFRAME : COLOR_BTNFACE));
        all = {all.left + 1, all.top + 1, all.right - 1, all.bottom - 1};
    }
    DeleteDC(dc);
    w->dirty = true;
}

LRESULT DefaultHitTest(HWND w, POINT screen) {
    if (!Alive(w)) return HTNOWHERE;
    const RECT& f = w->frame;
    if (screen.x < f.left || screen.x >= f.right || screen.y < f.top || screen.y >= f.bottom)
        return HTNOWHERE;
    POINT p = screen;
    ScreenToClient(w, &p);
    if (p.x >= 0 && p.y >= 0 && p.x < w->ClientWidth() && p.y < w->ClientHeight()) return HTCLIENT;
    const bool captioned = (w->style & WS_CAPTION) == WS_CAPTION;
    const int frameTop = f.top + w->insets.left; // the side frame's width runs round the top too
    if (captioned && screen.y >= frameTop && screen.y < f.top + w->insets.top) return HTCAPTION;
    return HTBORDER;
}

} // namespace windowing

LRESULT HitTest(HWND w, POINT screen) {
    return SendMessageA(w, WM_NCHITTEST, 0, windowing::PackPoint(screen.x, screen.y));
}

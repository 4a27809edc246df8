#include "Tfrmizobragenie.h"

#include <new>

TfrmIzobragenie* frmIzobragenie = nullptr;

namespace {

const char* const ClassName = "TfrmIzobragenie";
constexpr DWORD DialogStyle = WS_CAPTION | WS_SYSMENU;

// Registers the window class once and creates a window of it at the form's design size.
HWND CreateFormWindow() {
    static const bool registered = [] {
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = TfrmIzobragenie::WindowProc;
        c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        c.lpszClassName = ClassName;
        return RegisterClassExA(&c) != 0;
    }();
    (void)registered;
    return CreateWindowExA(0, ClassName, "frmIzobragenie", DialogStyle, 208, 115, 422, 267, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

TMouseButton ButtonOf(UINT message) {
    return message == WM_RBUTTONDOWN || message == WM_RBUTTONUP ? mbRight : mbLeft;
}

int LowWord(LPARAM l) {
    return int16_t(l & 0xFFFF);
}
int HighWord(LPARAM l) {
    return int16_t((l >> 16) & 0xFFFF);
}

} // namespace

TfrmIzobragenie::TfrmIzobragenie(void*, DWORD styleMask, DWORD styleBits, bool presentOnPaint,
                                 int clientWidth, int clientHeight, IDirectDraw* display)
    : PresentOnPaint(presentOnPaint), window(CreateFormWindow()), Surface(window, display) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (styleMask != 0)
        SetWindowLongPtrA(window, GWL_STYLE,
                          (GetWindowLongPtrA(window, GWL_STYLE) & ~LONG_PTR(styleMask)) |
                              LONG_PTR(styleBits));
    SetClientHeight(clientHeight);
    SetClientWidth(clientWidth);
    if (ClientHeight() != clientHeight) SetClientHeight(clientHeight);
    if (ClientWidth() != clientWidth) SetClientWidth(clientWidth);
    Surface.CreateBackBuffer(nullptr, 1, -1, false);
    Surface.Clear(0);
    Ready = true;
}

TfrmIzobragenie::~TfrmIzobragenie() {
    Ready = false;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

int TfrmIzobragenie::ClientWidth() const {
    RECT r{};
    GetClientRect(window, &r);
    return r.right;
}

int TfrmIzobragenie::ClientHeight() const {
    RECT r{};
    GetClientRect(window, &r);
    return r.bottom;
}

// The desktop draws the frame around the client area, so the window is its client area.
void TfrmIzobragenie::MoveTo(int left, int top, int width, int height) {
    MoveWindow(window, left, top, width, height, 1);
}

void TfrmIzobragenie::SetClientWidth(int width) {
    MoveTo(Left(), Top(), width, Height());
}
void TfrmIzobragenie::SetClientHeight(int height) {
    MoveTo(Left(), Top(), Width(), height);
}

int TfrmIzobragenie::Left() const {
    RECT r{};
    GetWindowRect(window, &r);
    return r.left;
}

int TfrmIzobragenie::Top() const {
    RECT r{};
    GetWindowRect(window, &r);
    return r.top;
}

int TfrmIzobragenie::Width() const {
    RECT r{};
    GetWindowRect(window, &r);
    return r.right - r.left;
}

int TfrmIzobragenie::Height() const {
    RECT r{};
    GetWindowRect(window, &r);
    return r.bottom - r.top;
}

void TfrmIzobragenie::SetLeft(int left) {
    MoveTo(left, Top(), Width(), Height());
}
void TfrmIzobragenie::SetTop(int top) {
    MoveTo(Left(), top, Width(), Height());
}

void TfrmIzobragenie::SetCaption(const TAnsiString& caption) {
    SetWindowTextA(window, caption.Length() > 0 ? caption.Data() : "");
}

bool TfrmIzobragenie::Visible() const {
    return IsWindowVisible(window);
}
void TfrmIzobragenie::Show() {
    ShowWindow(window, SW_SHOW);
}

void TfrmIzobragenie::FormMouseDown(void*, TMouseButton button, TShiftState shift, int x, int y) {
    if (Tracking) return;
    LastShift = shift;
    TrackButton = button;
    Tracking = true;
    if (OnTrack != nullptr) OnTrack(x, y, CallbackData, this);
    if (OnDragStart != nullptr) Dragging = OnDragStart(x, y, CallbackData, this);
}

void TfrmIzobragenie::FormMouseMove(void*, TShiftState shift, int x, int y) {
    LastShift = shift;
    if (!Tracking) return;
    if (OnDrag != nullptr && Dragging) OnDrag(x, y, CallbackData, this);
    if (OnTrack != nullptr) OnTrack(x, y, CallbackData, this);
}

void TfrmIzobragenie::FormMouseUp(void*, TMouseButton button, TShiftState shift, int x, int y) {
    if (button != TrackButton) return;
    LastShift = shift;
    if (Tracking) {
        if (OnDrag != nullptr && Dragging) OnDrag(x, y, CallbackData, this);
        if (OnTrack != nullptr) OnTrack(x, y, CallbackData, this);
    }
    Tracking = false;
    Dragging = false;
}

// A resize rebuilds the back buffer only when the client size changed (a new buffer starts
// black), so a resize to the same size keeps the picture.
LRESULT TfrmIzobragenie::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = LowWord(lParam), y = HighWord(lParam);
    switch (message) {
    case WM_SIZE:
        if (Ready && wParam != SIZE_MINIMIZED) Surface.CreateBackBuffer(nullptr, -1, -1, false);
        break;
    case WM_PAINT:
        if (Ready && PresentOnPaint) Surface.Present(nullptr);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        FormMouseDown(this, ButtonOf(message), ShiftStateOf(wParam), x, y);
        break;
    case WM_MOUSEMOVE:
        FormMouseMove(this, ShiftStateOf(wParam), x, y);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        FormMouseUp(this, ButtonOf(message), ShiftStateOf(wParam), x, y);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TfrmIzobragenie::WindowProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TfrmIzobragenie*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, wParam, lParam)
                           : DefWindowProcA(w, message, wParam, lParam);
}

int PictureClientWidth(const TfrmIzobragenie* w) {
    return w->ClientWidth();
}

int PictureClientHeight(const TfrmIzobragenie* w) {
    const int height = w->ClientHeight();
    (void)w->FindComponent("DockSitePanel");
    return height;
}

bool CreatePictureWindow(TfrmIzobragenie** variable, int clientHeight, int clientWidth,
                         TAnsiString caption, bool placeTop, bool placeRight, bool clearIfSame,
                         bool show) {
    if (variable == nullptr) return false;
    if (TfrmIzobragenie* old = *variable) {
        const bool hidden = !old->Visible();
        if (clientHeight == PictureClientHeight(old) && clientWidth == PictureClientWidth(old)) {
            if (clearIfSame) old->Surface.Clear(0);
            old->SetCaption(caption);
            if (hidden && show) old->Show();
            return true;
        }
        delete old;
        *variable = nullptr;
    }
    auto* created =
        new (std::nothrow) TfrmIzobragenie(nullptr, 0, 0, true, clientWidth, clientHeight, nullptr);
    *variable = created;
    if (created == nullptr || created->Handle() == nullptr) {
        delete created;
        *variable = nullptr;
        return false;
    }
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    created->SetTop(placeTop ? area.top : area.bottom - created->Height());
    created->SetLeft(placeRight ? area.right - created->Width() : area.left);
    created->SetCaption(caption);
    if (show) created->Show();
    return true;
}

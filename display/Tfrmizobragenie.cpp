#include "Tfrmizobragenie.h"

#include <new>

TfrmIzobragenie* frmIzobragenie = nullptr;

namespace {

// A client coordinate in the picture's pixels, rounded down (the mouse, while captured, may be
// left of or above the window).
int Unzoomed(int coordinate, int zoom) {
    return coordinate >= 0 ? coordinate / zoom : -((zoom - 1 - coordinate) / zoom);
}

} // namespace

TfrmIzobragenie::TfrmIzobragenie(TComponent* owner, DWORD styleMask, DWORD styleBits,
                                 bool presentOnPaint, int clientWidth, int clientHeight,
                                 IDirectDraw* display, int zoom)
    : TForm(owner, bsDialog), PresentOnPaint(presentOnPaint), Surface(Handle(), display) {
    Surface.Zoom = zoom >= 1 ? zoom : 1;
    SetFont("Tahoma", -11);
    SetPosition(208, 115);
    OnMouseDown = [this](void* sender, TMouseButton b, TShiftState s, int x, int y) {
        FormMouseDown(sender, b, s, Unzoomed(x, Surface.Zoom), Unzoomed(y, Surface.Zoom));
    };
    OnMouseMove = [this](void* sender, TShiftState s, int x, int y) {
        FormMouseMove(sender, s, Unzoomed(x, Surface.Zoom), Unzoomed(y, Surface.Zoom));
    };
    OnMouseUp = [this](void* sender, TMouseButton b, TShiftState s, int x, int y) {
        FormMouseUp(sender, b, s, Unzoomed(x, Surface.Zoom), Unzoomed(y, Surface.Zoom));
    };
    clientWidth *= Surface.Zoom;
    clientHeight *= Surface.Zoom;
    if (styleMask != 0)
        SetWindowLongPtrA(Handle(), GWL_STYLE,
                          (GetWindowLongPtrA(Handle(), GWL_STYLE) & ~LONG_PTR(styleMask)) |
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
}

void TfrmIzobragenie::SetFormCaption(const TAnsiString& caption) {
    TForm::SetFormCaption(caption.Length() > 0 ? caption.Data() : "");
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
LRESULT TfrmIzobragenie::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && Ready && wParam != SIZE_MINIMIZED)
        Surface.CreateBackBuffer(nullptr, -1, -1, false);
    return TForm::WndProc(message, wParam, lParam);
}

// Painting (between BeginPaint and EndPaint) presents the back buffer first.
void TfrmIzobragenie::Paint(HDC dc) {
    if (Ready && PresentOnPaint) Surface.Present(nullptr);
    TForm::Paint(dc);
}

int PictureClientWidth(const TfrmIzobragenie* w) {
    return w->ClientWidth() / w->Surface.Zoom;
}

int PictureClientHeight(const TfrmIzobragenie* w) {
    const auto* dock = dynamic_cast<const TControl*>(w->FindComponent("DockSitePanel"));
    return (w->ClientHeight() - (dock != nullptr ? dock->Height : 0)) / w->Surface.Zoom;
}

bool CreatePictureWindow(TfrmIzobragenie** variable, int clientHeight, int clientWidth,
                         TAnsiString caption, bool placeTop, bool placeRight, bool clearIfSame,
                         bool show, int zoom) {
    if (variable == nullptr) return false;
    if (TfrmIzobragenie* old = *variable) {
        const bool hidden = !old->Visible();
        if (clientHeight == PictureClientHeight(old) && clientWidth == PictureClientWidth(old) &&
            zoom == old->Surface.Zoom) {
            if (clearIfSame) old->Surface.Clear(0);
            old->SetFormCaption(caption);
            if (hidden && show) old->Show();
            return true;
        }
        delete old;
        *variable = nullptr;
    }
    auto* created = new (std::nothrow)
        TfrmIzobragenie(nullptr, 0, 0, true, clientWidth, clientHeight, nullptr, zoom);
    if (created == nullptr || created->Handle() == nullptr) {
        delete created;
        return false;
    }
    *variable = created;
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    created->SetPosition(placeRight ? area.right - created->Width : area.left,
                         placeTop ? area.top : area.bottom - created->Height);
    created->SetFormCaption(caption);
    if (show) created->Show();
    return true;
}

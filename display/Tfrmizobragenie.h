// The picture window: a fixed-frame form that shows the spectrogram and its scales through its
// embedded drawing surface, keeps its back buffer as large as its client area and presents it
// when asked to repaint. Mouse presses are tracked for optional callbacks.
#pragma once

#include "Tgraficheskoeokno.h"
#include "Tstring.h"
#include "platform/Forms.h"

class TfrmIzobragenie;

using TTrackCallback = void (*)(int x, int y, void* data, TfrmIzobragenie* window);
using TDragStartCallback = bool (*)(int x, int y, void* data, TfrmIzobragenie* window);

class TfrmIzobragenie : public TForm {
public:
    // styleMask non-zero: the window style loses the mask's bits and gains styleBits. The
    // client area is zoom times the picture's size (clientWidth x clientHeight); mouse
    // positions reach the handlers in the picture's pixels.
    TfrmIzobragenie(TComponent* owner, DWORD styleMask, DWORD styleBits, bool presentOnPaint,
                    int clientWidth, int clientHeight, IDirectDraw* display, int zoom = 1);
    ~TfrmIzobragenie() override;

    void SetFormCaption(const TAnsiString& caption);

    void FormMouseDown(void* sender, TMouseButton button, TShiftState shift, int x, int y);
    void FormMouseMove(void* sender, TShiftState shift, int x, int y);
    void FormMouseUp(void* sender, TMouseButton button, TShiftState shift, int x, int y);

    bool PresentOnPaint;
    bool Ready = false;
    TGraficheskoeOkno Surface;
    TTrackCallback OnTrack = nullptr;
    TDragStartCallback OnDragStart = nullptr;
    TTrackCallback OnDrag = nullptr;
    void* CallbackData = nullptr;
    bool Tracking = false;
    bool Dragging = false;
    TShiftState LastShift = 0;
    TMouseButton TrackButton = mbLeft;

    void Paint(HDC dc) override;

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

extern TfrmIzobragenie* frmIzobragenie;

// Creates the picture window in a corner of the work area, or reuses the one the variable
// holds when its picture size and zoom are the ones asked for. False only when no window could
// be made.
bool CreatePictureWindow(TfrmIzobragenie** variable, int clientHeight, int clientWidth,
                         TAnsiString caption, bool placeTop, bool placeRight, bool clearIfSame,
                         bool show, int zoom = 1);
// The picture's size: the client area's in the picture's pixels.
int PictureClientWidth(const TfrmIzobragenie* window);
int PictureClientHeight(const TfrmIzobragenie* window);

// The drawing surface of the picture window: a display object, the primary surface clipped to
// the window and an off-screen 32-bit back buffer of the window's client size. The program
// draws into the back buffer (pixels directly, scales through its GDI context) and Present
// stretches it onto the window, keeping its aspect ratio, with bars beside it.
#pragma once

#include "platform/Display.h"
#include "platform/Forms.h"

#include <cstdint>

class TGraficheskoeOkno;

// Turns a colour 0x00BBGGRR into a pixel of the display's format.
using TColourConverter = uint32_t (*)(void* context, uint32_t colour);

uint32_t ColourAsIs(void* context, uint32_t colour);
uint32_t ColourSwapRedBlue(void* context, uint32_t colour);
uint32_t ColourByShifts(void* context, uint32_t colour);

class TGraficheskoeOkno {
public:
    // Sets up the display (its failures are shown in the message window) and the stock GDI
    // objects; display may be shared (its reference is raised) or null.
    TGraficheskoeOkno(HWND window, IDirectDraw* display);
    ~TGraficheskoeOkno();
    TGraficheskoeOkno(const TGraficheskoeOkno&) = delete;
    TGraficheskoeOkno& operator=(const TGraficheskoeOkno&) = delete;

    bool SetUpDirectDraw();
    // rect null: the client rectangle; memory 1 video, 0 system, negative keeps; margin
    // negative keeps; force rebuilds even when nothing changed. The buffer starts black.
    bool CreateBackBuffer(const RECT* rect, int memory, int margin, bool force);
    // The picture's size: the rectangle's, or the client rectangle's divided by Zoom.
    void UpdateSize(const RECT* rect);
    // Every pixel of the back buffer, margin included, set to the raw value.
    bool Clear(uint32_t pixel);
    // Stretches the surface (null: the back buffer) onto the window, aspect kept, bars filled
    // with its top-left pixel; each pixel copied whole (at Zoom, into Zoom x Zoom pixels).
    void Present(IDirectDrawSurface* surface);
    // The back (or primary) surface with the drawing lock held until EndDraw; null when none.
    IDirectDrawSurface* BeginDraw(bool back);
    void EndDraw();
    // The back buffer's context with the drawing lock held until ReleaseDrawDC; NoDC when none.
    HDC AcquireDrawDC();
    void ReleaseDrawDC();

    static int MaskShift(uint32_t mask);
    static int MaskWidth(uint32_t mask);

    static inline HDC const NoDC = reinterpret_cast<HDC>(intptr_t{-1});

    bool ComInitialised = false;
    bool VideoMemory = false;
    int Margin = 0;
    IDirectDrawClipper* Clipper = nullptr;
    IDirectDrawSurface* Primary = nullptr;
    IDirectDrawSurface* BackBuffer = nullptr;
    int Width = 0, Height = 0;
    // The window shows each pixel of the picture Zoom times as wide and high (a screen of
    // Zoom times 96 pixels per inch).
    int Zoom = 1;
    HWND WindowHandle;
    HDC DrawDC = NoDC;
    CRITICAL_SECTION DrawLock;
    CRITICAL_SECTION RectLock;
    IDirectDraw* DirectDraw;
    int RedShift = 0, GreenShift = 8, BlueShift = 16;
    TColourConverter ConvertColour = ColourAsIs;
    void* ConvertContext = nullptr;
    HPEN PenGreen = nullptr, PenBlack = nullptr, PenYellow = nullptr, PenWhite = nullptr,
         PenRed = nullptr;
    HBRUSH BrushBlack = nullptr, BrushRed = nullptr, BrushHollow = nullptr;
    HFONT LabelFont = nullptr;

private:
    bool Refuse(const char16_t* message);
    void CreateStockObjects();
};

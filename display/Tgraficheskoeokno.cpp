#include "Tgraficheskoeokno.h"

#include "Toknosoobzheniy.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

const char16_t* const ErrorCaption = u"Ошибка";
const char16_t* const NoDisplayObject = u"Не создаётся объект DirectDraw";
const char16_t* const NoDisplayMode = u"Не удаётся проверить режим экрана";
const char16_t* const Not32Bit = u"Формат пикселя неправильный. Должен быть - RGB 32 бита";
const char16_t* const NotEightBits =
    u"Формат пикселя неправильный. Должен быть - RGB 32 бита по 8 бит на цвет";
const char16_t* const NoPrimary = u"Не создаётся основная поверхность DirectDraw";

// The most unlocking attempts Clear makes on a surface that keeps refusing.
constexpr int UnlockAttempts = 100;

DDSURFACEDESC EmptyDesc() {
    DDSURFACEDESC d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    return d;
}

// An ASCII name in the platform's wide characters (wchar_t on Windows, char16_t elsewhere).
template <size_t N> std::array<WCHAR, N> Wide(const char (&ascii)[N]) {
    std::array<WCHAR, N> wide{};
    for (size_t i = 0; i < N; ++i)
        wide[i] = WCHAR(ascii[i]);
    return wide;
}

// One side of a Blt's source cut down as its destination [d0, d1) is cut to [c0, c1): at the same
// size by the same pixels, stretched in proportion.
void CutSource(LONG& s0, LONG& s1, LONG d0, LONG d1, LONG c0, LONG c1) {
    const int64_t sw = s1 - s0, dw = d1 - d0, from = s0;
    s0 = LONG(from + int64_t(c0 - d0) * sw / dw);
    s1 = LONG(from + (int64_t(c1 - d0) * sw + dw - 1) / dw);
}

// A Blt onto the primary of only the part of dest on the desktop's screens: Wine's DirectDraw
// refuses a destination that reaches past them, and a window may (a picture wider than the
// screen).
void BltOnScreen(IDirectDrawSurface* primary, RECT dest, IDirectDrawSurface* source, RECT from,
                 DDBLTFX* fx) {
    const LONG x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const RECT on{std::max<LONG>(dest.left, x), std::max<LONG>(dest.top, y),
                  std::min<LONG>(dest.right, x + GetSystemMetrics(SM_CXVIRTUALSCREEN)),
                  std::min<LONG>(dest.bottom, y + GetSystemMetrics(SM_CYVIRTUALSCREEN))};
    if (on.left >= on.right || on.top >= on.bottom) return;
    CutSource(from.left, from.right, dest.left, dest.right, on.left, on.right);
    CutSource(from.top, from.bottom, dest.top, dest.bottom, on.top, on.bottom);
    RECT to = on;
    primary->Blt(&to, source, &from, DDBLT_WAIT, fx);
}

TGraficheskoeOkno* Self(void* context) {
    return static_cast<TGraficheskoeOkno*>(context);
}

} // namespace

uint32_t ColourAsIs(void*, uint32_t colour) {
    return colour;
}

uint32_t ColourSwapRedBlue(void*, uint32_t colour) {
    return (colour & 0xFF00FF00) | (colour & 0xFF) << 16 | (colour >> 16 & 0xFF);
}

uint32_t ColourByShifts(void* context, uint32_t colour) {
    const TGraficheskoeOkno* s = Self(context);
    return (colour & 0xFF) << s->RedShift | ((colour >> 8) & 0xFF) << s->GreenShift |
           (colour >> 16) << s->BlueShift;
}

TGraficheskoeOkno::TGraficheskoeOkno(HWND window, IDirectDraw* display)
    : WindowHandle(window), DirectDraw(display) {
    if (DirectDraw != nullptr) DirectDraw->AddRef();
    InitializeCriticalSection(&DrawLock);
    InitializeCriticalSection(&RectLock);
    SetUpDirectDraw();
    CreateStockObjects();
}

void TGraficheskoeOkno::CreateStockObjects() {
    PenGreen = CreatePen(PS_SOLID, 0, 0x00FF00);
    PenBlack = CreatePen(PS_SOLID, 0, 0x000000);
    PenYellow = CreatePen(PS_SOLID, 0, 0x00FFFF);
    PenWhite = CreatePen(PS_SOLID, 0, 0xFFFFFF);
    PenRed = CreatePen(PS_SOLID, 0, 0x0000FF);
    LOGBRUSH solidBlack{BS_SOLID, 0, 0}, solidRed{BS_SOLID, 0x0000FF, 0}, hollow{BS_HOLLOW, 0, 0};
    BrushBlack = CreateBrushIndirect(&solidBlack);
    BrushRed = CreateBrushIndirect(&solidRed);
    BrushHollow = CreateBrushIndirect(&hollow);
    LabelFont = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, RUSSIAN_CHARSET, 0, 0,
                            ANTIALIASED_QUALITY, 16, Wide("MS Sans Serif").data());
}

TGraficheskoeOkno::~TGraficheskoeOkno() {
    for (HGDIOBJ o : std::initializer_list<HGDIOBJ>{PenGreen, PenBlack, PenYellow, PenWhite, PenRed,
                                                    BrushBlack, BrushRed, BrushHollow, LabelFont})
        DeleteObject(o);
    if (BackBuffer != nullptr) BackBuffer->Release();
    if (Clipper != nullptr) Clipper->Release();
    if (Primary != nullptr) Primary->Release();
    if (DirectDraw != nullptr) DirectDraw->Release();
    if (ComInitialised) CoUninitialize();
    DeleteCriticalSection(&DrawLock);
    DeleteCriticalSection(&RectLock);
}

bool TGraficheskoeOkno::Refuse(const char16_t* message) {
    if (DirectDraw != nullptr) DirectDraw->Release();
    DirectDraw = nullptr;
    ShowErrorMessage(message, ErrorCaption);
    return false;
}

bool TGraficheskoeOkno::SetUpDirectDraw() {
    if (DirectDraw == nullptr) {
        const int com = CoInitialize(nullptr);
        ComInitialised = com == S_OK || com == S_FALSE;
        void* object = nullptr;
        if (CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, &object) ==
                S_OK &&
            object != nullptr) {
            DirectDraw = static_cast<IDirectDraw*>(object);
            DirectDraw->Initialize(nullptr);
        }
        if (DirectDraw == nullptr) {
            ShowErrorMessage(NoDisplayObject, ErrorCaption);
            return false;
        }
        DirectDraw->SetCooperativeLevel(WindowHandle, DDSCL_NORMAL);
    }
    DDSURFACEDESC mode = EmptyDesc();
    if (DirectDraw->GetDisplayMode(&mode) != DD_OK) return Refuse(NoDisplayMode);
    const DDPIXELFORMAT& f = mode.ddpfPixelFormat;
    if (!(f.dwFlags & DDPF_RGB) || f.dwRGBBitCount != 32) return Refuse(Not32Bit);
    if (MaskWidth(f.dwRBitMask) != 8 || MaskWidth(f.dwGBitMask) != 8 ||
        MaskWidth(f.dwBBitMask) != 8)
        return Refuse(NotEightBits);

    RedShift = MaskShift(f.dwRBitMask);
    GreenShift = MaskShift(f.dwGBitMask);
    BlueShift = MaskShift(f.dwBBitMask);
    ConvertColour = RedShift == 0 && GreenShift == 8 && BlueShift == 16   ? ColourAsIs
                    : RedShift == 16 && GreenShift == 8 && BlueShift == 0 ? ColourSwapRedBlue
                                                                          : ColourByShifts;
    ConvertContext = this;

    if (Primary == nullptr) {
        DDSURFACEDESC desc = EmptyDesc();
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        DirectDraw->CreateSurface(&desc, &Primary, nullptr);
        if (Primary == nullptr) return Refuse(NoPrimary);
    }
    if (Clipper == nullptr) {
        DirectDraw->CreateClipper(0, &Clipper, nullptr);
        if (Clipper != nullptr) Clipper->SetHWnd(0, WindowHandle);
        Primary->SetClipper(Clipper);
    }
    return true;
}

void TGraficheskoeOkno::UpdateSize(const RECT* rect) {
    RECT r{};
    if (rect != nullptr) {
        r = *rect;
    } else {
        GetClientRect(WindowHandle, &r);
        r.right /= Zoom;
        r.bottom /= Zoom;
    }
    Width = r.right > 0 ? r.right : 1;
    Height = r.bottom > 0 ? r.bottom : 1;
}

bool TGraficheskoeOkno::CreateBackBuffer(const RECT* rect, int memory, int margin, bool force) {
    if (DirectDraw == nullptr) return false;
    const bool video = memory < 0 ? VideoMemory : memory != 0;
    if (margin < 0) margin = Margin;
    UpdateSize(rect);
    if (BackBuffer != nullptr && video == VideoMemory && margin == Margin && !force) {
        DDSURFACEDESC desc = EmptyDesc();
        if (BackBuffer->GetSurfaceDesc(&desc) == DD_OK && int(desc.dwWidth) == Width + 2 * margin &&
            int(desc.dwHeight) == Height + 2 * margin)
            return true;
    }
    EnterCriticalSection(&DrawLock);
    if (BackBuffer != nullptr) BackBuffer->Release();
    BackBuffer = nullptr;
    DDSURFACEDESC desc = EmptyDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps =
        DDSCAPS_OFFSCREENPLAIN | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    desc.dwWidth = DWORD(Width + 2 * margin);
    desc.dwHeight = DWORD(Height + 2 * margin);
    desc.ddpfPixelFormat = {
        sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    DirectDraw->CreateSurface(&desc, &BackBuffer, nullptr);
    // A display without video memory to spare (or without 3D support) still has system memory.
    if (BackBuffer == nullptr && video) {
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        DirectDraw->CreateSurface(&desc, &BackBuffer, nullptr);
    }
    VideoMemory = video;
    Margin = margin;
    LeaveCriticalSection(&DrawLock);
    return BackBuffer != nullptr && Clear(0);
}

bool TGraficheskoeOkno::Clear(uint32_t pixel) {
    if (BackBuffer == nullptr) return false;
    EnterCriticalSection(&DrawLock);
    DDSURFACEDESC desc = EmptyDesc();
    if (BackBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
        LeaveCriticalSection(&DrawLock);
        return false;
    }
    auto* row = static_cast<uint8_t*>(desc.lpSurface);
    for (int y = 0; y < Height + 2 * Margin; ++y, row += desc.lPitch) {
        auto* p = reinterpret_cast<uint32_t*>(row);
        for (int x = 0; x < Width + 2 * Margin; ++x)
            p[x] = pixel;
    }
    for (int attempt = 0; attempt < UnlockAttempts && BackBuffer->Unlock(nullptr) != DD_OK;)
        ++attempt;
    LeaveCriticalSection(&DrawLock);
    return true;
}

void TGraficheskoeOkno::Present(IDirectDrawSurface* surface) {
    if (surface == nullptr) surface = BackBuffer;
    if (Primary == nullptr || surface == nullptr || Width <= 0 || Height <= 0) return;
    if (Primary->IsLost() != DD_OK) Primary->Restore();
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    EnterCriticalSection(&DrawLock);
    EnterCriticalSection(&RectLock);
    RECT client{};
    GetClientRect(WindowHandle, &client);
    const int cw = client.right - client.left, ch = client.bottom - client.top;
    const double aspect = double(Height) / Width;
    const double windowAspect = cw > 0 ? double(ch) / cw : aspect;
    int pw = cw, ph = ch;
    if (windowAspect >= aspect)
        ph = int(std::trunc(cw * aspect));
    else
        pw = int(std::trunc(ch / aspect));
    const int gx = (cw - pw) / 2, gy = (ch - ph) / 2;
    POINT topLeft{client.left + gx, client.top + gy};
    POINT bottomRight{client.right - gx, client.bottom - gy};
    ClientToScreen(WindowHandle, &topLeft);
    ClientToScreen(WindowHandle, &bottomRight);
    const RECT dest{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    BltOnScreen(Primary, dest, surface, {Margin, Margin, Margin + Width, Margin + Height}, &fx);
    const RECT corner{0, 0, 1, 1};
    if (gx > 0) {
        BltOnScreen(Primary, {0, dest.top, dest.left, dest.bottom}, surface, corner, &fx);
        BltOnScreen(Primary, {dest.right, dest.top, dest.right + gx, dest.bottom}, surface, corner,
                    &fx);
    }
    if (gy > 0) {
        BltOnScreen(Primary, {dest.left, 0, dest.right, dest.top}, surface, corner, &fx);
        BltOnScreen(Primary, {dest.left, dest.bottom, dest.right, dest.bottom + gy}, surface,
                    corner, &fx);
    }
    LeaveCriticalSection(&RectLock);
    LeaveCriticalSection(&DrawLock);
}

IDirectDrawSurface* TGraficheskoeOkno::BeginDraw(bool back) {
    IDirectDrawSurface* surface = back ? BackBuffer : Primary;
    if (surface != nullptr) EnterCriticalSection(&DrawLock);
    return surface;
}

void TGraficheskoeOkno::EndDraw() {
    LeaveCriticalSection(&DrawLock);
}

HDC TGraficheskoeOkno::AcquireDrawDC() {
    if (DrawDC != NoDC) {
        EnterCriticalSection(&DrawLock);
        return DrawDC;
    }
    if (BackBuffer == nullptr) return NoDC;
    EnterCriticalSection(&DrawLock);
    HDC dc = nullptr;
    if (BackBuffer->GetDC(&dc) != DD_OK || dc == nullptr) {
        LeaveCriticalSection(&DrawLock);
        return NoDC;
    }
    DrawDC = dc;
    return DrawDC;
}

void TGraficheskoeOkno::ReleaseDrawDC() {
    if (DrawDC == NoDC) return;
    BackBuffer->ReleaseDC(DrawDC);
    DrawDC = NoDC;
    LeaveCriticalSection(&DrawLock);
}

int TGraficheskoeOkno::MaskShift(uint32_t mask) {
    int shift = 0;
    while (shift < 32 && !(mask >> shift & 1))
        ++shift;
    return shift;
}

int TGraficheskoeOkno::MaskWidth(uint32_t mask) {
    int shift = MaskShift(mask), width = 0;
    while (shift + width < 32 && (mask >> (shift + width) & 1))
        ++width;
    return width;
}

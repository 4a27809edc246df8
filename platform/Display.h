// The display object, its surfaces and clipper, each call a thin image of the DirectDraw call
// it stands for: a primary surface that stands for the screen and draws into the window of its
// clipper, off-screen 32-bit surfaces with Lock/Unlock, stretching and filling Blt, GDI contexts
// on a surface's pixels, and the display's pixel format.
#pragma once

#include "platform/Forms.h"
#include "platform/Ole32.h"

#include <cstdint>

#ifdef _WIN32
#include <ddraw.h>
#else
constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = HRESULT(0x80004005u);
constexpr HRESULT DDERR_INVALIDPARAMS = HRESULT(0x80070057u);
constexpr HRESULT DDERR_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT DDERR_NOTLOCKED = HRESULT(0x88760248u);
constexpr HRESULT DDERR_NODC = HRESULT(0x8876023Eu);
constexpr HRESULT DDERR_INVALIDRECT = HRESULT(0x88760096u);

constexpr GUID CLSID_DirectDraw{
    0xD7B70EE0, 0x4340, 0x11CF, {0xB0, 0x63, 0x00, 0x20, 0xAF, 0xC2, 0xCD, 0x35}};
constexpr GUID IID_IDirectDraw{
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

constexpr DWORD DDSCL_NORMAL = 8;
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDBLT_WAIT = 0x1000000;

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS {
    DWORD dwCaps;
};

struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    DWORD colourKeys[8];
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};

struct DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwFillColor;
};

class IDirectDrawClipper {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;

protected:
    virtual ~IDirectDrawClipper() = default;
};

class IDirectDrawSurface {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // The pixels of the whole surface: lpSurface, lPitch (bytes), size and pixel format.
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(void* rect) = 0;
    // Copies source's rectangle stretched onto this surface's rectangle (null: whole surfaces);
    // a 1 x 1 source fills. On the primary surface, rectangles are screen coordinates and the
    // copy is confined to the client area of the clipper's window.
    virtual HRESULT Blt(RECT* destination, IDirectDrawSurface* source, RECT* sourceRect,
                        DWORD flags, DDBLTFX* fx) = 0;
    // A GDI context on the surface's pixels, also while the surface is locked.
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
    virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;

protected:
    virtual ~IDirectDrawSurface() = default;
};

class IDirectDraw {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT Initialize(GUID* driver) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // The display's pixel format.
    virtual HRESULT GetDisplayMode(DDSURFACEDESC* desc) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface,
                                  void* outer) = 0;
    virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, void* outer) = 0;

protected:
    virtual ~IDirectDraw() = default;
};
#endif

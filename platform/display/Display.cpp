// The display object over the window layer: off-screen surfaces are memory, the primary
// surface draws into the client pixels of its clipper's window.
#include "platform/Display.h"
#include "platform/com/ComClasses.h"
#include "platform/window/WindowBackend.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int MaxSide = 16384;

int ShiftOf(DWORD mask) {
    return mask == 0 ? 0 : std::countr_zero(mask);
}

PixelLayout LayoutOf(const DDPIXELFORMAT& f) {
    return {ShiftOf(f.dwRBitMask), ShiftOf(f.dwGBitMask), ShiftOf(f.dwBBitMask)};
}

DDPIXELFORMAT Rgb32() {
    return {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
}

// Pixels with a pitch and a layout: a surface's or a window's client area.
struct PixelView {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0, pitch = 0;
    PixelLayout layout;
    uint32_t* Row(int y) const {
        return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) +
                                           ptrdiff_t(y) * pitch);
    }
};

uint32_t Convert(uint32_t p, const PixelLayout& from, const PixelLayout& to) {
    if (from.redShift == to.redShift && from.greenShift == to.greenShift &&
        from.blueShift == to.blueShift)
        return p;
    return ((p >> from.redShift) & 0xFF) << to.redShift |
           ((p >> from.greenShift) & 0xFF) << to.greenShift |
           ((p >> from.blueShift) & 0xFF) << to.blueShift;
}

// The reference counting of a display interface: the object deletes itself with the last
// reference.
template <typename Interface> class Counted : public Interface {
public:
    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        const ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

private:
    ULONG references = 1;
};

class Clipper final : public Counted<IDirectDrawClipper> {
public:
    HRESULT SetHWnd(DWORD, HWND w) override {
        window = w;
        return DD_OK;
    }
    HWND window = nullptr;
};

class Surface final : public Counted<IDirectDrawSurface> {
public:
    Surface(bool isPrimary, int w, int h, DDPIXELFORMAT f, DWORD surfaceCaps)
        : primary(isPrimary), width(w), height(h), format(f), caps(surfaceCaps) {}
    ~Surface() override {
        if (clipper != nullptr) clipper->Release();
        delete[] pixels;
    }
    bool Allocate() {
        if (primary) return true;
        pixels = new (std::nothrow) uint32_t[size_t(width) * size_t(height)]();
        return pixels != nullptr;
    }

    HRESULT Lock(RECT*, DDSURFACEDESC* desc, DWORD, HANDLE) override {
        if (primary || desc == nullptr) return DDERR_INVALIDPARAMS;
        Describe(desc);
        locked = true;
        return DD_OK;
    }
    HRESULT Unlock(void*) override {
        if (!locked) return DDERR_NOTLOCKED;
        locked = false;
        return DD_OK;
    }
    HRESULT Blt(RECT* destination, IDirectDrawSurface* source, RECT* sourceRect, DWORD,
                DDBLTFX*) override;
    HRESULT GetDC(HDC* dc) override {
        if (primary || dc == nullptr) return DDERR_NODC;
        *dc = CreatePixelDC(pixels, width, height, width * 4, LayoutOf(format));
        return *dc != nullptr ? DD_OK : DDERR_NODC;
    }
    HRESULT ReleaseDC(HDC dc) override { return DeleteDC(dc) ? DD_OK : DDERR_INVALIDPARAMS; }
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Restore() override { return DD_OK; }
    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override {
        if (desc == nullptr) return DDERR_INVALIDPARAMS;
        Describe(desc);
        return DD_OK;
    }
    HRESULT SetClipper(IDirectDrawClipper* c) override {
        if (c != nullptr) c->AddRef();
        if (clipper != nullptr) clipper->Release();
        clipper = static_cast<Clipper*>(c);
        return DD_OK;
    }

    // The pixels a Blt reads or writes, and the offset of screen coordinates on the primary.
    PixelView View(POINT& origin) const {
        origin = {0, 0};
        if (!primary) return {pixels, width, height, width * 4, LayoutOf(format)};
        PixelView v;
        HWND w = clipper != nullptr ? clipper->window : nullptr;
        v.pixels = WindowClientPixels(w, v.width, v.height, v.pitch);
        v.layout = PixelLayout{16, 8, 0};
        ClientToScreen(w, &origin);
        return v;
    }

    HWND Window() const { return primary && clipper != nullptr ? clipper->window : nullptr; }

private:
    void Describe(DDSURFACEDESC* d) const {
        std::memset(d, 0, sizeof *d);
        d->dwSize = sizeof *d;
        d->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        d->dwWidth = DWORD(width);
        d->dwHeight = DWORD(height);
        d->lPitch = width * 4;
        d->lpSurface = pixels;
        d->ddpfPixelFormat = format;
        d->ddsCaps.dwCaps = caps;
    }

    bool primary;
    int width, height;
    DDPIXELFORMAT format;
    DWORD caps;
    uint32_t* pixels = nullptr;
    bool locked = false;
    Clipper* clipper = nullptr;
};

RECT Whole(const PixelView& v, POINT origin) {
    return {origin.x, origin.y, origin.x + v.width, origin.y + v.height};
}

// Nearest-pixel stretch of src's rectangle onto dst's, clipped to the destination; the source
// rectangle is read from a copy so that a copy within one surface may overlap.
void Stretch(const PixelView& dst, RECT d, const PixelView& src, RECT s) {
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    if (s.left < 0 || s.top < 0 || s.right > src.width || s.bottom > src.height) return;
    std::vector<uint32_t> copy(size_t(sw) * size_t(sh));
    for (int y = 0; y < sh; ++y)
        std::copy_n(src.Row(s.top + y) + s.left, sw, copy.begin() + ptrdiff_t(y) * sw);
    const int x0 = std::max(d.left, 0), x1 = std::min(d.right, dst.width);
    const int y0 = std::max(d.top, 0), y1 = std::min(d.bottom, dst.height);
    for (int y = y0; y < y1; ++y) {
        const int sy = int(int64_t(y - d.top) * sh / dh);
        uint32_t* row = dst.Row(y);
        for (int x = x0; x < x1; ++x) {
            const int sx = int(int64_t(x - d.left) * sw / dw);
            row[x] = Convert(copy[size_t(sy) * size_t(sw) + size_t(sx)], src.layout, dst.layout);
        }
    }
}

HRESULT Surface::Blt(RECT* destination, IDirectDrawSurface* source, RECT* sourceRect, DWORD,
                     DDBLTFX*) {
    if (source == nullptr) return DDERR_INVALIDPARAMS;
    auto* src = static_cast<Surface*>(source);
    POINT dstOrigin{}, srcOrigin{};
    const PixelView dst = View(dstOrigin);
    const PixelView from = src->View(srcOrigin);
    if (dst.pixels == nullptr || from.pixels == nullptr) return DDERR_GENERIC;
    RECT d = destination != nullptr ? *destination : Whole(dst, dstOrigin);
    d = {d.left - dstOrigin.x, d.top - dstOrigin.y, d.right - dstOrigin.x, d.bottom - dstOrigin.y};
    RECT s = sourceRect != nullptr ? *sourceRect : Whole(from, srcOrigin);
    Stretch(dst, d, from, s);
    if (HWND w = Window()) WindowPixelsChanged(w);
    return DD_OK;
}

class DirectDraw final : public Counted<IDirectDraw> {
public:
    HRESULT Initialize(GUID*) override { return DD_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DD_OK; }
    HRESULT GetDisplayMode(DDSURFACEDESC* desc) override {
        DisplayFormat f;
        if (desc == nullptr || !Backend().Format(f)) return DDERR_GENERIC;
        desc->ddpfPixelFormat = {
            sizeof(DDPIXELFORMAT), f.rgb ? DDPF_RGB : 0, 0, DWORD(f.bitsPerPixel), f.redMask,
            f.greenMask,           f.blueMask,           0};
        const RECT screen = Backend().Screen();
        desc->dwWidth = DWORD(screen.right - screen.left);
        desc->dwHeight = DWORD(screen.bottom - screen.top);
        return DD_OK;
    }
    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void*) override;
    HRESULT CreateClipper(DWORD, IDirectDrawClipper** out, void*) override {
        if (out == nullptr) return DDERR_INVALIDPARAMS;
        *out = new (std::nothrow) Clipper;
        return *out != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
    }
};

HRESULT DirectDraw::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void*) {
    if (desc == nullptr || out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    const DWORD caps = desc->dwFlags & DDSD_CAPS ? desc->ddsCaps.dwCaps : 0;
    const bool primary = caps & DDSCAPS_PRIMARYSURFACE;
    int width = 0, height = 0;
    DDPIXELFORMAT format = Rgb32();
    if (!primary) {
        if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT))
            return DDERR_INVALIDPARAMS;
        width = int(desc->dwWidth);
        height = int(desc->dwHeight);
        if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)
            return DDERR_INVALIDPARAMS;
        if (desc->dwFlags & DDSD_PIXELFORMAT) format = desc->ddpfPixelFormat;
        if (format.dwRGBBitCount != 32) return DDERR_INVALIDPARAMS;
    }
    auto* surface = new (std::nothrow) Surface(primary, width, height, format, caps);
    if (surface == nullptr || !surface->Allocate()) {
        if (surface != nullptr) surface->Release();
        return DDERR_OUTOFMEMORY;
    }
    *out = surface;
    return DD_OK;
}

} // namespace

HRESULT CreateDisplayObject(void** object) {
    if (!Backend().HasDisplay()) return DDERR_GENERIC;
    IDirectDraw* display = new (std::nothrow) DirectDraw;
    *object = display;
    return display != nullptr ? S_OK : DDERR_OUTOFMEMORY;
}

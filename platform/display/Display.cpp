// The display object over the window layer: off-screen surfaces are memory, the primary
// surface draws into the client pixels of its clipper's window.
#include "platform/Display.h"
#include "platform/com/ComClasses.h"
#include "platform/com/Counted.h"
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

// Whether the rectangle is non-empty and inside a surface of this size.
bool Within(const RECT& r, int width, int height) {
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height &&
           r.left < r.right && r.top < r.bottom;
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

    // The description of the whole surface, with lpSurface at the rectangle's top-left pixel.
    HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD, HANDLE) override {
        if (primary || desc == nullptr) return DDERR_INVALIDPARAMS;
        const RECT r = rect != nullptr ? *rect : RECT{0, 0, width, height};
        if (!Within(r, width, height)) return DDERR_INVALIDRECT;
        Describe(desc);
        desc->lpSurface = pixels + ptrdiff_t(r.top) * width + r.left;
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

// A rectangle of the view's own pixels, in coordinates that hold any difference of two ints.
struct Area {
    int64_t left, top, right, bottom;
    int64_t Width() const { return right - left; }
    int64_t Height() const { return bottom - top; }
};

// The rectangle (null: the whole view) in the view's pixel coordinates.
Area InView(const RECT* r, const PixelView& v, POINT origin) {
    if (r == nullptr) return {0, 0, v.width, v.height};
    return {int64_t(r->left) - origin.x, int64_t(r->top) - origin.y, int64_t(r->right) - origin.x,
            int64_t(r->bottom) - origin.y};
}

// Nearest-pixel stretch of src's rectangle onto dst's, clipped to the destination; the source
// rectangle lies inside its view and is read from a copy, so that a copy within one surface may
// overlap in any direction.
void Stretch(const PixelView& dst, Area d, const PixelView& src, Area s) {
    const int64_t dw = d.Width(), dh = d.Height(), sw = s.Width(), sh = s.Height();
    std::vector<uint32_t> copy(size_t(sw) * size_t(sh));
    for (int64_t y = 0; y < sh; ++y)
        std::copy_n(src.Row(int(s.top + y)) + s.left, sw, copy.begin() + y * sw);
    const int64_t x0 = std::max<int64_t>(d.left, 0), x1 = std::min<int64_t>(d.right, dst.width);
    const int64_t y0 = std::max<int64_t>(d.top, 0), y1 = std::min<int64_t>(d.bottom, dst.height);
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t sy = (y - d.top) * sh / dh;
        uint32_t* row = dst.Row(int(y));
        for (int64_t x = x0; x < x1; ++x) {
            const int64_t sx = (x - d.left) * sw / dw;
            row[x] = Convert(copy[size_t(sy * sw + sx)], src.layout, dst.layout);
        }
    }
}

// A source rectangle must lie inside its surface and both must be non-empty, as DirectDraw
// requires; the destination is clipped.
HRESULT Surface::Blt(RECT* destination, IDirectDrawSurface* source, RECT* sourceRect, DWORD,
                     DDBLTFX*) {
    if (source == nullptr) return DDERR_INVALIDPARAMS;
    auto* src = static_cast<Surface*>(source);
    POINT dstOrigin{}, srcOrigin{};
    const PixelView dst = View(dstOrigin);
    const PixelView from = src->View(srcOrigin);
    if (dst.pixels == nullptr || from.pixels == nullptr) return DDERR_GENERIC;
    const Area d = InView(destination, dst, dstOrigin);
    const Area s = InView(sourceRect, from, srcOrigin);
    if (d.Width() <= 0 || d.Height() <= 0 || s.left < 0 || s.top < 0 || s.right > from.width ||
        s.bottom > from.height || s.Width() <= 0 || s.Height() <= 0)
        return DDERR_INVALIDRECT;
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

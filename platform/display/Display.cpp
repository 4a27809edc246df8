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

bool SameLayout(const PixelLayout& a, const PixelLayout& b) {
    return a.redShift == b.redShift && a.greenShift == b.greenShift && a.blueShift == b.blueShift;
}

uint32_t Convert(uint32_t p, const PixelLayout& from, const PixelLayout& to) {
    if (SameLayout(from, to)) return p;
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

// The destination's rows and columns inside clip from the source at the same size, a row at a
// time in the order that reads every source row before it is written over: within one surface
// the rectangles may overlap in any direction.
void CopyUnstretched(const PixelView& dst, Area d, const PixelView& src, Area s, Area clip) {
    const int64_t dx = s.left - d.left, dy = s.top - d.top;
    const size_t bytes = size_t(clip.Width()) * 4;
    const bool upwards = src.pixels == dst.pixels && dy < 0;
    for (int64_t k = 0; k < clip.Height(); ++k) {
        const int64_t y = upwards ? clip.bottom - 1 - k : clip.top + k;
        std::memmove(dst.Row(int(y)) + clip.left, src.Row(int(y + dy)) + clip.left + dx, bytes);
    }
}

// Nearest-pixel stretch of src's rectangle onto dst's, clipped to the destination; the source
// rectangle lies inside its view. A stretch within one surface reads from a copy of the source
// rectangle. The copy and the column map are kept from call to call, so that a Blt of the same
// size as the one before allocates nothing.
void Stretch(const PixelView& dst, Area d, const PixelView& src, Area s) {
    const int64_t dw = d.Width(), dh = d.Height(), sw = s.Width(), sh = s.Height();
    const Area clip{std::max<int64_t>(d.left, 0), std::max<int64_t>(d.top, 0),
                    std::min<int64_t>(d.right, dst.width), std::min<int64_t>(d.bottom, dst.height)};
    if (clip.Width() <= 0 || clip.Height() <= 0) return;
    if (dw == sw && dh == sh && SameLayout(src.layout, dst.layout))
        return CopyUnstretched(dst, d, src, s, clip);
    thread_local std::vector<uint32_t> copy;
    thread_local std::vector<int64_t> columns;
    PixelView from = src;
    if (src.pixels == dst.pixels) {
        copy.resize(size_t(sw) * size_t(sh));
        for (int64_t y = 0; y < sh; ++y)
            std::copy_n(src.Row(int(s.top + y)) + s.left, sw, copy.begin() + y * sw);
        from = {copy.data(), int(sw), int(sh), int(sw) * 4, src.layout};
        s = {0, 0, sw, sh};
    }
    columns.resize(size_t(clip.Width()));
    for (int64_t x = clip.left; x < clip.right; ++x)
        columns[size_t(x - clip.left)] = s.left + (x - d.left) * sw / dw;
    for (int64_t y = clip.top; y < clip.bottom; ++y) {
        const uint32_t* in = from.Row(int(s.top + (y - d.top) * sh / dh));
        uint32_t* row = dst.Row(int(y)) + clip.left;
        for (int64_t x : columns)
            *row++ = Convert(in[x], src.layout, dst.layout);
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

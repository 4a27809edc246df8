#include "platform/Gdi.h"

#include "GdiFonts.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Pen final : HPEN__ {
    Pen(int penStyle, int penWidth, COLORREF penColour)
        : style(penStyle), width(penWidth), colour(penColour) {}
    int style, width;
    COLORREF colour;
};

struct Brush final : HBRUSH__ {
    Brush(UINT brushStyle, COLORREF brushColour) : style(brushStyle), colour(brushColour) {}
    UINT style;
    COLORREF colour;
};

struct Font final : HFONT__ {
    explicit Font(std::unique_ptr<GdiFont> f) : font(std::move(f)) {}
    std::unique_ptr<GdiFont> font;
};

} // namespace

struct DeviceContext {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0, pitch = 0;
    PixelLayout layout;
    Pen* pen = nullptr;
    Brush* brush = nullptr;
    Font* font = nullptr;
    COLORREF textColour = 0;
    COLORREF backColour = RGB(255, 255, 255);
    int backMode = OPAQUE;
    UINT align = TA_LEFT | TA_TOP;
    POINT position{0, 0};
    RECT clip{0, 0, 0, 0};
};

namespace {

// The objects a new context starts with: black pen, white brush, the system font.
struct StockObjects {
    Pen pen{PS_SOLID, 0, 0};
    Brush brush{BS_SOLID, RGB(255, 255, 255)};
    Font font{GdiFont::Create("System", 16, FW_BOLD, false)};
};

StockObjects& Stock() {
    static StockObjects stock;
    return stock;
}

HDC NewContext(uint32_t* pixels, int width, int height, int pitch, PixelLayout layout) {
    auto* dc = new (std::nothrow) DeviceContext;
    if (dc == nullptr) return nullptr;
    dc->pixels = pixels;
    dc->width = pixels == nullptr ? 0 : std::max(width, 0);
    dc->height = pixels == nullptr ? 0 : std::max(height, 0);
    dc->pitch = pitch;
    dc->layout = layout;
    dc->pen = &Stock().pen;
    dc->brush = &Stock().brush;
    dc->font = &Stock().font;
    dc->clip = {0, 0, dc->width, dc->height};
    return dc;
}

uint32_t Pixel(const DeviceContext* dc, COLORREF c) {
    const PixelLayout& l = dc->layout;
    return (c & 0xFF) << l.redShift | ((c >> 8) & 0xFF) << l.greenShift |
           ((c >> 16) & 0xFF) << l.blueShift;
}

// Coordinates of the layer's own arithmetic: every sum or difference of two ints fits.
using Coord = int64_t;

struct Box {
    Coord left, top, right, bottom;
};

uint32_t* At(DeviceContext* dc, Coord x, Coord y) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(dc->pixels) +
                                       ptrdiff_t(y) * dc->pitch) +
           x;
}

// Mixes colour c over the pixel with coverage a (1..255).
void Blend(const DeviceContext* dc, uint32_t* p, COLORREF c, int a) {
    if (a == 255) {
        *p = Pixel(dc, c);
        return;
    }
    const PixelLayout& l = dc->layout;
    auto mix = [&](int shift, int byte) {
        const int old = int((*p >> shift) & 0xFF);
        return uint32_t((byte * a + old * (255 - a) + 127) / 255) << shift;
    };
    *p = mix(l.redShift, int(c & 0xFF)) | mix(l.greenShift, int((c >> 8) & 0xFF)) |
         mix(l.blueShift, int((c >> 16) & 0xFF));
}

// Fills the part of the box inside the clip rectangle; an empty or inverted box fills nothing.
void Fill(DeviceContext* dc, Box b, COLORREF c) {
    const Coord left = std::max<Coord>(b.left, dc->clip.left);
    const Coord top = std::max<Coord>(b.top, dc->clip.top);
    const Coord right = std::min<Coord>(b.right, dc->clip.right);
    const Coord bottom = std::min<Coord>(b.bottom, dc->clip.bottom);
    if (left >= right || top >= bottom) return;
    const uint32_t p = Pixel(dc, c);
    for (Coord y = top; y < bottom; ++y)
        std::fill(At(dc, left, y), At(dc, right, y), p);
}

// The brush behind a handle: every brush handle is made by this layer.
const Brush* BrushOf(HBRUSH brush) {
    return static_cast<const Brush*>(brush);
}

bool Paints(const Brush* brush) {
    return brush != nullptr && brush->style != BS_HOLLOW;
}
bool Draws(const Pen* pen) {
    return pen != nullptr && pen->style != PS_NULL;
}

struct Point {
    Coord x, y;
};

// The square a pen of this context paints around a point. A pen wider than twice the
// surface's larger side paints as such a pen: wider squares add nothing where lines stay near
// the surface, and the walk along a line stays short.
Box PenSquare(const DeviceContext* dc, Point p) {
    const Coord widest = 2 * Coord(std::max(dc->width, dc->height)) + 2;
    const Coord w = std::clamp<Coord>(dc->pen->width, 1, widest);
    const Coord from = -(w / 2);
    return {p.x + from, p.y + from, p.x + from + w, p.y + from + w};
}

// The steps of a line along its major axis: step i is at major + i * majorSign, with the
// minor coordinate rounded to the nearest pixel (halves away from the start).
struct LineWalk {
    Point from;
    Coord major, minor; // lengths along each axis, major >= minor >= 0
    int majorSign, minorSign;
    bool xMajor;

    Point At(Coord i) const {
        const Coord along = i * majorSign;
        const auto num = static_cast<__int128>(2 * i) * minor + major;
        const Coord across = Coord(num / (2 * major)) * minorSign;
        return xMajor ? Point{from.x + along, from.y + across}
                      : Point{from.x + across, from.y + along};
    }
};

// Draws the line from a to b with the context's pen, b itself left out. Only the steps whose
// pen square can reach the clip rectangle along the major axis are walked; each step fills
// what its square adds to the previous one.
void DrawLine(DeviceContext* dc, Point a, Point b) {
    const Coord dx = b.x - a.x, dy = b.y - a.y;
    LineWalk walk{a, std::max(std::abs(dx), std::abs(dy)), std::min(std::abs(dx), std::abs(dy)), 1,
                  1, std::abs(dx) >= std::abs(dy)};
    if (walk.major == 0 || dc->clip.left >= dc->clip.right || dc->clip.top >= dc->clip.bottom)
        return;
    walk.majorSign = (walk.xMajor ? dx : dy) < 0 ? -1 : 1;
    walk.minorSign = (walk.xMajor ? dy : dx) < 0 ? -1 : 1;
    const Box square = PenSquare(dc, {0, 0});
    const Coord start = walk.xMajor ? a.x : a.y;
    const Coord lo = (walk.xMajor ? dc->clip.left : dc->clip.top) - square.right + 1;
    const Coord hi = (walk.xMajor ? dc->clip.right : dc->clip.bottom) - square.left;
    // Steps whose centre lies in [lo, hi) along the major axis.
    Coord first = walk.majorSign > 0 ? lo - start : start - (hi - 1);
    Coord last = walk.majorSign > 0 ? hi - 1 - start : start - lo;
    first = std::max<Coord>(first, 0);
    last = std::min<Coord>(last, walk.major - 1);
    if (first > last) return;
    Box previous = PenSquare(dc, walk.At(first));
    if (walk.minor == 0) { // a straight line's squares make one box (the scales' lines)
        const Box end = PenSquare(dc, walk.At(last));
        Fill(dc,
             {std::min(previous.left, end.left), std::min(previous.top, end.top),
              std::max(previous.right, end.right), std::max(previous.bottom, end.bottom)},
             dc->pen->colour);
        return;
    }
    Fill(dc, previous, dc->pen->colour);
    for (Coord i = first + 1; i <= last; ++i) {
        const Box next = PenSquare(dc, walk.At(i));
        if (next.left > previous.left)
            Fill(dc, {previous.right, next.top, next.right, next.bottom}, dc->pen->colour);
        if (next.left < previous.left)
            Fill(dc, {next.left, next.top, previous.left, next.bottom}, dc->pen->colour);
        if (next.top > previous.top)
            Fill(dc, {next.left, previous.bottom, next.right, next.bottom}, dc->pen->colour);
        if (next.top < previous.top)
            Fill(dc, {next.left, next.top, next.right, previous.top}, dc->pen->colour);
        previous = next;
    }
}

GdiFont* FontOf(HDC dc) {
    return dc->font->font.get();
}

// The advance of count characters.
Coord RunWidth(HDC dc, const char* text, int count) {
    GdiFont* font = FontOf(dc);
    Coord width = 0;
    for (int i = 0; i < count; ++i)
        width += font->Advance(static_cast<unsigned char>(text[i]));
    return width;
}

LONG Saturated(Coord v) {
    return LONG(
        std::clamp<Coord>(v, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// Blends one glyph image with its bitmap's top-left at (x, y), clipped.
void DrawGlyph(DeviceContext* dc, const GdiFont::Glyph& g, Coord x, Coord y) {
    const RECT& clip = dc->clip;
    const Coord col0 = std::max<Coord>(0, clip.left - x),
                col1 = std::min<Coord>(g.width, clip.right - x);
    const Coord row0 = std::max<Coord>(0, clip.top - y),
                row1 = std::min<Coord>(g.rows, clip.bottom - y);
    for (Coord row = row0; row < row1; ++row) {
        const uint8_t* cover = g.coverage.data() + row * g.width;
        for (Coord col = col0; col < col1; ++col)
            if (cover[col] != 0) Blend(dc, At(dc, x + col, y + row), dc->textColour, cover[col]);
    }
}

// Draws count characters with the top-left of the first cell at (x, y). A glyph reaches at
// most a cell's height beyond its advance and its cell; glyphs that cannot reach the clip
// rectangle are neither rendered nor walked past its right edge.
void DrawRun(DeviceContext* dc, Coord x, Coord y, const char* text, int count) {
    GdiFont* font = FontOf(dc);
    const Coord reach = font->Height();
    if (y + 2 * reach <= dc->clip.top || y - reach >= dc->clip.bottom) return;
    const Coord baseline = y + font->Ascent();
    Coord pen = x;
    for (int i = 0; i < count && pen - reach < dc->clip.right; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int advance = font->Advance(byte);
        if (pen + advance + reach > dc->clip.left) {
            const GdiFont::Glyph& g = font->Image(byte);
            DrawGlyph(dc, g, pen + g.left, baseline - g.top);
        }
        pen += advance;
    }
}

// Text with the top-left of its first cell at (x, y), on its background when opaque.
void TextRun(DeviceContext* dc, Coord x, Coord y, const char* text, int count) {
    if (dc->backMode == OPAQUE)
        Fill(dc, {x, y, x + RunWidth(dc, text, count), y + FontOf(dc)->Height()}, dc->backColour);
    DrawRun(dc, x, y, text, count);
}

struct Line {
    const char* text;
    int count;
};

// The lines of a text: a line ends at CR, LF or CR LF.
std::vector<Line> SplitLines(const char* text, int count, bool single) {
    std::vector<Line> lines;
    int start = 0;
    for (int i = 0; i < count && !single; ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back({text + start, i - start});
        if (text[i] == '\r' && i + 1 < count && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < count || lines.empty()) lines.push_back({text + start, count - start});
    return lines;
}

} // namespace

HPEN CreatePen(int style, int width, COLORREF colour) {
    return new (std::nothrow) Pen(style, width, colour);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    if (brush == nullptr) return nullptr;
    return new (std::nothrow) Brush(brush->lbStyle, brush->lbColor);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    return new (std::nothrow) Brush(BS_SOLID, colour);
}

HFONT CreateFontIndirectA(const LOGFONTA* f) {
    if (f == nullptr) return nullptr;
    return new (std::nothrow) Font(GdiFont::Create(f->lfFaceName, f->lfHeight, f->lfWeight,
                                                   f->lfQuality == ANTIALIASED_QUALITY));
}

HFONT CreateFontW(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                  DWORD quality, DWORD, const WCHAR* face) {
    LOGFONTA f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfQuality = static_cast<BYTE>(quality);
    for (int i = 0; face != nullptr && face[i] != 0 && i < LF_FACESIZE - 1; ++i)
        f.lfFaceName[i] = static_cast<char>(face[i] < 128 ? face[i] : '?');
    return CreateFontIndirectA(&f);
}

BOOL DeleteObject(HGDIOBJ object) {
    StockObjects& stock = Stock();
    if (object == nullptr || object == &stock.pen || object == &stock.brush ||
        object == &stock.font)
        return 0;
    delete object;
    return 1;
}

HDC CreateCompatibleDC(HDC) {
    return NewContext(nullptr, 0, 0, 0, {});
}

HDC CreatePixelDC(uint32_t* pixels, int width, int height, int pitch, PixelLayout layout) {
    return NewContext(pixels, width, height, pitch, layout);
}

BOOL DeleteDC(HDC dc) {
    delete dc;
    return dc != nullptr;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (dc == nullptr) return nullptr;
    if (auto* pen = dynamic_cast<Pen*>(object)) return std::exchange(dc->pen, pen);
    if (auto* brush = dynamic_cast<Brush*>(object)) return std::exchange(dc->brush, brush);
    if (auto* font = dynamic_cast<Font*>(object)) return std::exchange(dc->font, font);
    return nullptr;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    return dc == nullptr ? 0 : std::exchange(dc->textColour, colour);
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
    return dc == nullptr ? 0 : std::exchange(dc->backColour, colour);
}

int SetBkMode(HDC dc, int mode) {
    return dc == nullptr ? 0 : std::exchange(dc->backMode, mode);
}

UINT SetTextAlign(HDC dc, UINT align) {
    return dc == nullptr ? 0 : std::exchange(dc->align, align);
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    if (dc == nullptr) return 0;
    if (previous != nullptr) *previous = dc->position;
    dc->position = {x, y};
    return 1;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (dc == nullptr) return 0;
    const Point from{dc->position.x, dc->position.y};
    dc->position = {x, y};
    if (Draws(dc->pen)) DrawLine(dc, from, {x, y});
    return 1;
}

// GDI orders the corners; the frame is drawn with the pen on the edge pixels.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    if (dc == nullptr) return 0;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (Paints(dc->brush)) Fill(dc, {left, top, right, bottom}, dc->brush->colour);
    if (Draws(dc->pen) && right > left && bottom > top) {
        const Point corners[] = {{left, top},
                                 {Coord(right) - 1, top},
                                 {Coord(right) - 1, Coord(bottom) - 1},
                                 {left, Coord(bottom) - 1},
                                 {left, top}};
        for (int i = 0; i < 4; ++i)
            DrawLine(dc, corners[i], corners[i + 1]);
    }
    return 1;
}

int FillRect(HDC dc, const RECT* r, HBRUSH brush) {
    if (dc == nullptr || r == nullptr) return 0;
    if (Paints(BrushOf(brush)))
        Fill(dc, {r->left, r->top, r->right, r->bottom}, BrushOf(brush)->colour);
    return 1;
}

int FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
    if (dc == nullptr || r == nullptr) return 0;
    if (!Paints(BrushOf(brush)) || r->right <= r->left || r->bottom <= r->top) return 1;
    const Coord left = r->left, top = r->top, right = r->right, bottom = r->bottom;
    const COLORREF colour = BrushOf(brush)->colour;
    Fill(dc, {left, top, right, top + 1}, colour);
    Fill(dc, {left, bottom - 1, right, bottom}, colour);
    Fill(dc, {left, top, left + 1, bottom}, colour);
    Fill(dc, {right - 1, top, right, bottom}, colour);
    return 1;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
    if (dc == nullptr || size == nullptr || (text == nullptr && count > 0) || count < 0) return 0;
    size->cx = Saturated(RunWidth(dc, text, count));
    size->cy = FontOf(dc)->Height();
    return 1;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
    if (dc == nullptr || (text == nullptr && count > 0) || count < 0) return 0;
    TextRun(dc, x, y, text, count);
    return 1;
}

int DrawTextA(HDC dc, const char* text, int count, RECT* rect, UINT format) {
    if (dc == nullptr || rect == nullptr || text == nullptr) return 0;
    if (count < 0) count = int(std::char_traits<char>::length(text));
    const auto lines = SplitLines(text, count, (format & DT_SINGLELINE) != 0);
    const Coord lineHeight = FontOf(dc)->Height();
    const Coord height = Coord(lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        Coord widest = 0;
        for (const Line& l : lines)
            widest = std::max(widest, RunWidth(dc, l.text, l.count));
        rect->right = Saturated(rect->left + widest);
        rect->bottom = Saturated(rect->top + height);
        return Saturated(height);
    }
    const RECT savedClip = dc->clip;
    if (!(format & DT_NOCLIP)) {
        dc->clip.left = std::max(dc->clip.left, rect->left);
        dc->clip.top = std::max(dc->clip.top, rect->top);
        dc->clip.right = std::min(dc->clip.right, rect->right);
        dc->clip.bottom = std::min(dc->clip.bottom, rect->bottom);
    }
    const Coord left = rect->left, right = rect->right;
    Coord y = rect->top;
    for (const Line& l : lines) {
        const Coord w = RunWidth(dc, l.text, l.count);
        const Coord x = (format & DT_CENTER)  ? left + (right - left - w) / 2
                        : (format & DT_RIGHT) ? right - w
                                              : left;
        TextRun(dc, x, y, l.text, l.count);
        y += lineHeight;
    }
    dc->clip = savedClip;
    return Saturated(height);
}

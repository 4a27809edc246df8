#include "platform/Gdi.h"

#include "GdiFonts.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

struct GdiObject {
    enum class Kind { Pen, Brush, Font } kind;
    int style = 0;
    int width = 0;
    COLORREF colour = 0;
    std::unique_ptr<GdiFont> font;
};

struct DeviceContext {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0, pitch = 0;
    PixelLayout layout;
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
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
    GdiObject pen{GdiObject::Kind::Pen, PS_SOLID, 0, 0, nullptr};
    GdiObject brush{GdiObject::Kind::Brush, BS_SOLID, 0, RGB(255, 255, 255), nullptr};
    GdiObject font{GdiObject::Kind::Font, 0, 0, 0, GdiFont::Create("System", 16, FW_BOLD, false)};
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

uint32_t* At(DeviceContext* dc, int x, int y) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(dc->pixels) +
                                       ptrdiff_t(y) * dc->pitch) +
           x;
}

bool Inside(const DeviceContext* dc, int x, int y) {
    return x >= dc->clip.left && x < dc->clip.right && y >= dc->clip.top && y < dc->clip.bottom;
}

void Plot(DeviceContext* dc, int x, int y, COLORREF c) {
    if (Inside(dc, x, y)) *At(dc, x, y) = Pixel(dc, c);
}

// Mixes colour c over the pixel with coverage a (0..255).
void Blend(DeviceContext* dc, int x, int y, COLORREF c, int a) {
    if (a == 0 || !Inside(dc, x, y)) return;
    if (a == 255) {
        *At(dc, x, y) = Pixel(dc, c);
        return;
    }
    uint32_t* p = At(dc, x, y);
    const PixelLayout& l = dc->layout;
    auto mix = [&](int shift, int byte) {
        const int old = int((*p >> shift) & 0xFF);
        return uint32_t((byte * a + old * (255 - a) + 127) / 255) << shift;
    };
    *p = mix(l.redShift, int(c & 0xFF)) | mix(l.greenShift, int((c >> 8) & 0xFF)) |
         mix(l.blueShift, int((c >> 16) & 0xFF));
}

void Fill(DeviceContext* dc, RECT r, COLORREF c) {
    r.left = std::max(r.left, dc->clip.left);
    r.top = std::max(r.top, dc->clip.top);
    r.right = std::min(r.right, dc->clip.right);
    r.bottom = std::min(r.bottom, dc->clip.bottom);
    const uint32_t p = Pixel(dc, c);
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(At(dc, r.left, y), At(dc, r.right, y), p);
}

bool Paints(HBRUSH brush) {
    return brush != nullptr && brush->style != int(BS_HOLLOW);
}
bool Draws(HPEN pen) {
    return pen != nullptr && pen->style != PS_NULL;
}

// One pen point: a pixel for widths 0 and 1, a square for wider pens.
void PenPoint(DeviceContext* dc, int x, int y) {
    const int w = std::max(dc->pen->width, 1);
    const int from = -(w / 2);
    for (int dy = from; dy < from + w; ++dy)
        for (int dx = from; dx < from + w; ++dx)
            Plot(dc, x + dx, y + dy, dc->pen->colour);
}

GdiFont* FontOf(HDC dc) {
    return dc->font->font.get();
}

HGDIOBJ NewObject(GdiObject::Kind kind, int style, int width, COLORREF colour) {
    auto* o = new (std::nothrow) GdiObject{kind, style, width, colour, nullptr};
    return o;
}

// Draws count characters with the pen position at (x, y) top-left; returns the advance.
int DrawRun(HDC dc, int x, int y, const char* text, int count) {
    GdiFont* font = FontOf(dc);
    const int baseline = y + font->Ascent();
    int pen = x;
    for (int i = 0; i < count; ++i) {
        const GdiFont::Glyph g = font->Render(UnicodeOf1251(static_cast<unsigned char>(text[i])));
        for (int row = 0; row < g.rows; ++row)
            for (int col = 0; col < g.width; ++col)
                Blend(dc, pen + g.left + col, baseline - g.top + row, dc->textColour,
                      g.coverage[row * g.pitch + col]);
        pen += g.advance;
    }
    return pen - x;
}

int RunWidth(HDC dc, const char* text, int count) {
    GdiFont* font = FontOf(dc);
    int width = 0;
    for (int i = 0; i < count; ++i)
        width += font->Render(UnicodeOf1251(static_cast<unsigned char>(text[i]))).advance;
    return width;
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
    return NewObject(GdiObject::Kind::Pen, style, width, colour);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    if (brush == nullptr) return nullptr;
    return NewObject(GdiObject::Kind::Brush, int(brush->lbStyle), 0, brush->lbColor);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    return NewObject(GdiObject::Kind::Brush, BS_SOLID, 0, colour);
}

HFONT CreateFontIndirectA(const LOGFONTA* f) {
    if (f == nullptr) return nullptr;
    auto* o = NewObject(GdiObject::Kind::Font, 0, 0, 0);
    if (o == nullptr) return nullptr;
    o->font = GdiFont::Create(f->lfFaceName, f->lfHeight, f->lfWeight,
                              f->lfQuality == ANTIALIASED_QUALITY);
    return o;
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
    if (dc == nullptr || object == nullptr) return nullptr;
    HGDIOBJ* slot = object->kind == GdiObject::Kind::Pen     ? &dc->pen
                    : object->kind == GdiObject::Kind::Brush ? &dc->brush
                                                             : &dc->font;
    HGDIOBJ previous = *slot;
    *slot = object;
    return previous;
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

// Bresenham from the current position; the end point is not drawn.
BOOL LineTo(HDC dc, int x, int y) {
    if (dc == nullptr) return 0;
    int x0 = dc->position.x, y0 = dc->position.y;
    dc->position = {x, y};
    if (!Draws(dc->pen)) return 1;
    const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    while (x0 != x || y0 != y) {
        PenPoint(dc, x0, y0);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    if (dc == nullptr) return 0;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (Paints(dc->brush)) Fill(dc, {left, top, right, bottom}, dc->brush->colour);
    if (Draws(dc->pen) && right > left && bottom > top) {
        const POINT saved = dc->position;
        MoveToEx(dc, left, top, nullptr);
        LineTo(dc, right - 1, top);
        LineTo(dc, right - 1, bottom - 1);
        LineTo(dc, left, bottom - 1);
        LineTo(dc, left, top);
        dc->position = saved;
    }
    return 1;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    if (dc == nullptr || rect == nullptr) return 0;
    if (Paints(brush)) Fill(dc, *rect, brush->colour);
    return 1;
}

int FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
    if (dc == nullptr || r == nullptr) return 0;
    if (!Paints(brush) || r->right <= r->left || r->bottom <= r->top) return 1;
    Fill(dc, {r->left, r->top, r->right, r->top + 1}, brush->colour);
    Fill(dc, {r->left, r->bottom - 1, r->right, r->bottom}, brush->colour);
    Fill(dc, {r->left, r->top, r->left + 1, r->bottom}, brush->colour);
    Fill(dc, {r->right - 1, r->top, r->right, r->bottom}, brush->colour);
    return 1;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
    if (dc == nullptr || size == nullptr || (text == nullptr && count > 0) || count < 0) return 0;
    size->cx = RunWidth(dc, text, count);
    size->cy = FontOf(dc)->Height();
    return 1;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
    if (dc == nullptr || (text == nullptr && count > 0) || count < 0) return 0;
    if (dc->backMode == OPAQUE)
        Fill(dc, {x, y, x + RunWidth(dc, text, count), y + FontOf(dc)->Height()}, dc->backColour);
    DrawRun(dc, x, y, text, count);
    return 1;
}

int DrawTextA(HDC dc, const char* text, int count, RECT* rect, UINT format) {
    if (dc == nullptr || rect == nullptr || text == nullptr) return 0;
    if (count < 0) count = int(std::char_traits<char>::length(text));
    const auto lines = SplitLines(text, count, (format & DT_SINGLELINE) != 0);
    const int lineHeight = FontOf(dc)->Height();
    const int height = int(lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& l : lines)
            widest = std::max(widest, RunWidth(dc, l.text, l.count));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }
    const RECT savedClip = dc->clip;
    if (!(format & DT_NOCLIP)) {
        dc->clip.left = std::max(dc->clip.left, rect->left);
        dc->clip.top = std::max(dc->clip.top, rect->top);
        dc->clip.right = std::min(dc->clip.right, rect->right);
        dc->clip.bottom = std::min(dc->clip.bottom, rect->bottom);
    }
    int y = rect->top;
    for (const Line& l : lines) {
        const int w = RunWidth(dc, l.text, l.count);
        const int x = (format & DT_CENTER)  ? rect->left + (rect->right - rect->left - w) / 2
                      : (format & DT_RIGHT) ? rect->right - w
                                            : rect->left;
        TextOutA(dc, x, y, l.text, l.count);
        y += lineHeight;
    }
    dc->clip = savedClip;
    return height;
}

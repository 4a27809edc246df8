#include "platform/Gdi.h"
#include "platform/gdi/GdiFonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t White = 0x00FFFFFF;

// Handles as in Windows' STRICT headers: each kind converts to HGDIOBJ and to no other kind.
static_assert(std::is_convertible_v<HPEN, HGDIOBJ> && std::is_convertible_v<HBRUSH, HGDIOBJ> &&
              std::is_convertible_v<HFONT, HGDIOBJ>);
static_assert(!std::is_convertible_v<HPEN, HBRUSH> && !std::is_convertible_v<HBRUSH, HPEN> &&
              !std::is_convertible_v<HFONT, HPEN> && !std::is_convertible_v<HPEN, HFONT> &&
              !std::is_convertible_v<HBRUSH, HFONT> && !std::is_convertible_v<HFONT, HBRUSH>);
static_assert(!std::is_convertible_v<HGDIOBJ, HPEN> && !std::is_convertible_v<HGDIOBJ, HFONT>);
#ifndef _WIN32
static_assert(std::is_same_v<WCHAR, char16_t>);
#endif

// A 0x00RRGGBB pixel buffer with a context on it.
struct Canvas {
    int width, height;
    std::vector<uint32_t> pixels;
    HDC dc;

    Canvas(int w, int h, PixelLayout layout = {})
        : width(w), height(h), pixels(size_t(w) * size_t(h), White),
          dc(CreatePixelDC(pixels.data(), w, h, w * 4, layout)) {}
    ~Canvas() { DeleteDC(dc); }

    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    int Count(uint32_t value) const {
        int n = 0;
        for (uint32_t p : pixels)
            n += p == value;
        return n;
    }
    // The bounding box of the pixels that are not white.
    RECT Ink() const {
        RECT r{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != White) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
};

TEST(Gdi, LinesLeaveTheirEndPixelUnset) {
    Canvas c(20, 20);
    HPEN red = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
    SelectObject(c.dc, red);
    MoveToEx(c.dc, 2, 5, nullptr);
    LineTo(c.dc, 10, 5);
    LineTo(c.dc, 10, 12);
    EXPECT_EQ(c.at(2, 5), 0x00FF0000u);
    EXPECT_EQ(c.at(9, 5), 0x00FF0000u);
    EXPECT_EQ(c.at(10, 5), 0x00FF0000u); // start of the second line
    EXPECT_EQ(c.at(10, 11), 0x00FF0000u);
    EXPECT_EQ(c.at(10, 12), White);
    EXPECT_EQ(c.Count(0x00FF0000u), 8 + 7);
    MoveToEx(c.dc, 0, 0, nullptr);
    LineTo(c.dc, 4, 4);
    EXPECT_EQ(c.at(3, 3), 0x00FF0000u);
    EXPECT_EQ(c.at(4, 4), White);
    DeleteObject(red);
}

TEST(Gdi, RectanglesExcludeTheirRightAndBottomEdges) {
    Canvas c(12, 12);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HPEN black = CreatePen(PS_SOLID, 0, 0);
    SelectObject(c.dc, blue);
    SelectObject(c.dc, black);
    Rectangle(c.dc, 1, 1, 6, 5);
    EXPECT_EQ(c.at(1, 1), 0u);
    EXPECT_EQ(c.at(5, 4), 0u);
    EXPECT_EQ(c.at(6, 4), White);
    EXPECT_EQ(c.at(5, 5), White);
    EXPECT_EQ(c.at(2, 2), 0x000000FFu);
    EXPECT_EQ(c.Count(0), 2 * 5 + 2 * 2);
    EXPECT_EQ(c.Count(0x000000FF), 3 * 2);

    Canvas f(12, 12);
    RECT r{2, 3, 7, 9};
    FillRect(f.dc, &r, blue);
    EXPECT_EQ(f.Count(0x000000FF), 5 * 6);
    EXPECT_EQ(f.at(6, 8), 0x000000FFu);
    EXPECT_EQ(f.at(7, 8), White);
    Canvas fr(12, 12);
    FrameRect(fr.dc, &r, blue);
    EXPECT_EQ(fr.Count(0x000000FF), 2 * 5 + 2 * 4);
    EXPECT_EQ(fr.at(4, 5), White);

    LOGBRUSH hollow{BS_HOLLOW, 0, 0};
    HBRUSH none = CreateBrushIndirect(&hollow);
    FillRect(f.dc, &r, none);
    EXPECT_EQ(f.Count(0x000000FF), 5 * 6);
    DeleteObject(none);
    DeleteObject(blue);
    DeleteObject(black);
    // Drawing beyond the buffer is clipped.
    RECT huge{-50, -50, 500, 500};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(c.dc, &huge, green);
    EXPECT_EQ(c.Count(0x0000FF00), 144);
    DeleteObject(green);
}

TEST(Gdi, SelectObjectReplacesTheObjectOfItsOwnKind) {
    Canvas c(4, 4);
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    const LOGFONTA plain{};
    HFONT font = CreateFontIndirectA(&plain);
    const HGDIOBJ stockPen = SelectObject(c.dc, pen);
    const HGDIOBJ stockBrush = SelectObject(c.dc, brush);
    const HGDIOBJ stockFont = SelectObject(c.dc, font);
    EXPECT_NE(stockPen, stockBrush);
    EXPECT_EQ(SelectObject(c.dc, stockBrush), brush);
    EXPECT_EQ(SelectObject(c.dc, stockPen), pen);
    EXPECT_EQ(SelectObject(c.dc, stockFont), font);
    EXPECT_EQ(SelectObject(c.dc, nullptr), nullptr);
    EXPECT_FALSE(DeleteObject(stockPen)); // stock objects stay
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(font));
}

TEST(Gdi, ColoursFollowThePixelLayout) {
    Canvas swapped(2, 1, PixelLayout{0, 8, 16});
    HBRUSH orange = CreateSolidBrush(RGB(0xFF, 0x80, 0x10));
    RECT r{0, 0, 2, 1};
    FillRect(swapped.dc, &r, orange);
    EXPECT_EQ(swapped.at(0, 0), 0x001080FFu);
    Canvas usual(2, 1);
    FillRect(usual.dc, &r, orange);
    EXPECT_EQ(usual.at(1, 0), 0x00FF8010u);
    DeleteObject(orange);
}

HFONT Font(int height, BYTE quality, const char* face = "MS Sans Serif") {
    LOGFONTA f{};
    f.lfHeight = height;
    f.lfWeight = FW_NORMAL;
    f.lfQuality = quality;
    std::snprintf(f.lfFaceName, LF_FACESIZE, "%s", face);
    return CreateFontIndirectA(&f);
}

constexpr int Min = std::numeric_limits<int>::min();
constexpr int Max = std::numeric_limits<int>::max();

TEST(Gdi, RectanglesOutsideInvertedOrHugeAreClippedOrIgnored) {
    Canvas c(20, 20);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    const RECT ignored[] = {
        {30, 0, 40, 5},                                            // wholly right
        {-40, 0, -30, 5},                                          // wholly left
        {0, 25, 5, 30},                                            // wholly below
        {10, 10, 5, 15},                                           // inverted horizontally
        {2, 15, 8, 10},                                            // inverted vertically
        {Max, Max, Min, Min}, {Max - 1, 0, Max, 5}, {5, 5, 5, 10}, // empty
    };
    for (const RECT& r : ignored) {
        FillRect(c.dc, &r, blue);
        FrameRect(c.dc, &r, blue);
    }
    EXPECT_EQ(c.Count(White), 400);
    const RECT whole{Min, Min, Max, Max};
    FillRect(c.dc, &whole, blue);
    EXPECT_EQ(c.Count(0x000000FF), 400);

    // Rectangle orders its corners as GDI does; its frame may lie far outside.
    Canvas r(20, 20);
    HPEN black = CreatePen(PS_SOLID, 0, 0);
    SelectObject(r.dc, blue);
    SelectObject(r.dc, black);
    Rectangle(r.dc, 6, 5, 1, 1);
    EXPECT_EQ(r.Count(0), 2 * 5 + 2 * 2);
    EXPECT_EQ(r.Count(0x000000FF), 3 * 2);
    Rectangle(r.dc, Min, Min, Max, Max);
    EXPECT_EQ(r.Count(0x000000FF), 400);
    Rectangle(r.dc, Max, 0, Max - 5, 10);
    Rectangle(r.dc, -100, 3, Min, 8);
    EXPECT_EQ(r.Count(0x000000FF), 400);
    DeleteObject(blue);
    DeleteObject(black);
}

TEST(Gdi, LinesFarOutsideAreClippedWithoutWalkingThem) {
    Canvas c(20, 20);
    HPEN red = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
    SelectObject(c.dc, red);
    MoveToEx(c.dc, Min, 5, nullptr);
    LineTo(c.dc, Max, 5);
    EXPECT_EQ(c.Count(0x00FF0000), 20);
    MoveToEx(c.dc, Min + 10, Min + 10, nullptr);
    LineTo(c.dc, Max, Max);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(c.at(i, i), 0x00FF0000u) << i;
    MoveToEx(c.dc, 3, Max, nullptr);
    LineTo(c.dc, 3, Min);
    EXPECT_EQ(c.at(3, 0), 0x00FF0000u);
    EXPECT_EQ(c.at(3, 19), 0x00FF0000u);
    // A line that only passes by leaves the surface as it was.
    Canvas by(20, 20);
    SelectObject(by.dc, red);
    MoveToEx(by.dc, -1000000000, 30, nullptr);
    LineTo(by.dc, 1000000000, 40);
    MoveToEx(by.dc, Max, Min, nullptr);
    LineTo(by.dc, Max, Max);
    EXPECT_EQ(by.Count(White), 400);
    // Its slope inside the surface is that of the whole line.
    Canvas slope(20, 20);
    SelectObject(slope.dc, red);
    MoveToEx(slope.dc, -1000000, -500000, nullptr);
    LineTo(slope.dc, 1000000, 500000);
    EXPECT_EQ(slope.at(0, 0), 0x00FF0000u);
    EXPECT_EQ(slope.at(10, 5), 0x00FF0000u);
    EXPECT_EQ(slope.at(18, 9), 0x00FF0000u);
    EXPECT_EQ(slope.Count(0x00FF0000), 20);
    DeleteObject(red);

    // A pen wider than the surface paints it once, not pixel by pixel of its width.
    Canvas wide(20, 20);
    HPEN huge = CreatePen(PS_SOLID, Max, RGB(0, 255, 0));
    SelectObject(wide.dc, huge);
    MoveToEx(wide.dc, 10, 10, nullptr);
    LineTo(wide.dc, 12, 10);
    EXPECT_EQ(wide.Count(0x0000FF00), 400);
    Canvas framed(20, 20);
    LOGBRUSH hollow{BS_HOLLOW, 0, 0};
    HBRUSH none = CreateBrushIndirect(&hollow);
    SelectObject(framed.dc, huge);
    SelectObject(framed.dc, none);
    Rectangle(framed.dc, -5, -5, 25, 25);
    EXPECT_EQ(framed.Count(0x0000FF00), 400);
    DeleteObject(huge);
    DeleteObject(none);
}

// Clipping changes nothing inside: a line on a small surface matches the same part of that
// line on a surface large enough to hold all of it.
TEST(Gdi, ClippedLinesMatchTheirUnclippedPixels) {
    constexpr int Small = 24, Margin = 40, Large = Small + 2 * Margin;
    unsigned seed = 7;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % unsigned(range));
    };
    for (int width : {0, 1, 3, 6}) {
        HPEN pen = CreatePen(PS_SOLID, width, RGB(255, 0, 0));
        for (int n = 0; n < 300; ++n) {
            Canvas small(Small, Small), large(Large, Large);
            SelectObject(small.dc, pen);
            SelectObject(large.dc, pen);
            const int x0 = next(Large - 8) - Margin + 4, y0 = next(Large - 8) - Margin + 4;
            const int x1 = next(Large - 8) - Margin + 4, y1 = next(Large - 8) - Margin + 4;
            MoveToEx(small.dc, x0, y0, nullptr);
            LineTo(small.dc, x1, y1);
            MoveToEx(large.dc, x0 + Margin, y0 + Margin, nullptr);
            LineTo(large.dc, x1 + Margin, y1 + Margin);
            int differ = 0;
            for (int y = 0; y < Small; ++y)
                for (int x = 0; x < Small; ++x)
                    differ += small.at(x, y) != large.at(x + Margin, y + Margin);
            ASSERT_EQ(differ, 0) << "pen " << width << ": " << x0 << "," << y0 << " to " << x1
                                 << "," << y1;
        }
        DeleteObject(pen);
    }
}

TEST(Gdi, TextFarOutsideTheSurfaceDrawsNothing) {
    Canvas c(40, 20);
    HFONT font = Font(-11, 0);
    SelectObject(c.dc, font);
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, RGB(0, 0, 255));
    SIZE size{};
    GetTextExtentPoint32A(c.dc, "-9,900", 6, &size);
    for (POINT at :
         {POINT{-size.cx - 5, 2}, POINT{-size.cx, 2}, POINT{Min, Min}, POINT{Min, 3}, POINT{Max, 3},
          POINT{Max - 3, Max - 3}, POINT{45, 2}, POINT{2, 25}, POINT{2, Min + 1}})
        TextOutA(c.dc, at.x, at.y, "-9,900", 6);
    EXPECT_EQ(c.Count(White), 800);
    // A label whose start lies left of the surface shows its end.
    TextOutA(c.dc, -size.cx / 2, 2, "-9,900", 6);
    EXPECT_EQ(c.Ink().left, 0);
    EXPECT_EQ(c.Ink().right, size.cx - size.cx / 2);

    Canvas d(40, 20);
    SelectObject(d.dc, font);
    for (RECT r :
         {RECT{Min, Min, Max, Max}, RECT{Max - 2, 0, Max, 10}, RECT{Min, 0, Min + 2, 20}}) {
        DrawTextA(d.dc, "ab\ncd", 5, &r, DT_CENTER);
        DrawTextA(d.dc, "ab", 2, &r, DT_RIGHT | DT_NOCLIP);
        RECT calc = r;
        DrawTextA(d.dc, "ab", 2, &calc, DT_CALCRECT);
        EXPECT_GE(calc.right, calc.left);
    }
    DeleteObject(font);
}

TEST(Gdi, TextIsMeasuredAndDrawnInItsCell) {
    Canvas c(200, 60);
    HFONT font = Font(-11, 0);
    SelectObject(c.dc, font);
    const char* error = "\xCE\xF8\xE8\xE1\xEA\xE0"; // "Ошибка" in code page 1251
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(c.dc, error, 6, &size));
    EXPECT_GT(size.cx, 30);
    EXPECT_LT(size.cx, 60);
    EXPECT_GE(size.cy, 12);
    EXPECT_LE(size.cy, 15);
    SIZE one{}, two{};
    GetTextExtentPoint32A(c.dc, error, 1, &one);
    GetTextExtentPoint32A(c.dc, error + 1, 5, &two);
    EXPECT_EQ(one.cx + two.cx, size.cx);

    // Opaque text fills exactly its cell with the background colour.
    SetBkColor(c.dc, RGB(0, 0, 255));
    SetTextColor(c.dc, RGB(0, 0, 0));
    SetBkMode(c.dc, OPAQUE);
    TextOutA(c.dc, 10, 20, error, 6);
    const RECT ink = c.Ink();
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.top, 20);
    EXPECT_EQ(ink.right, 10 + size.cx);
    EXPECT_EQ(ink.bottom, 20 + size.cy);
    EXPECT_GT(c.Count(0), 20);
    // A monochrome font sets whole pixels only.
    for (uint32_t p : c.pixels)
        ASSERT_TRUE(p == White || p == 0 || p == 0x000000FF) << p;

    HFONT cell = Font(13, 0);
    SelectObject(c.dc, cell);
    GetTextExtentPoint32A(c.dc, "Hz", 2, &size);
    EXPECT_EQ(size.cy, 13);
    DeleteObject(font);
    DeleteObject(cell);
}

TEST(Gdi, AntialiasedTransparentTextBlendsOverTheBackground) {
    Canvas c(100, 30);
    std::fill(c.pixels.begin(), c.pixels.end(), 0x00FF0032u); // red 255, green 0, blue 50
    HFONT font = Font(-11, ANTIALIASED_QUALITY, "Tahoma");
    SelectObject(c.dc, font);
    SetBkMode(c.dc, TRANSPARENT);
    SetTextColor(c.dc, RGB(0, 255, 100));
    TextOutA(c.dc, 2, 2, "Sample 123", 10);
    std::set<uint32_t> shades(c.pixels.begin(), c.pixels.end());
    EXPECT_GT(shades.size(), 4u);
    // Each channel mixes text and background by the coverage a, rounded to the nearest: green
    // gives a, red is 255 - a, blue (100 a + 50 (255 - a)) / 255.
    for (uint32_t p : shades) {
        const uint32_t a = (p >> 8) & 0xFF;
        EXPECT_EQ(p >> 16, 255 - a) << std::hex << p;
        EXPECT_EQ(p & 0xFF, (100 * a + 50 * (255 - a) + 127) / 255) << std::hex << p;
    }
    DeleteObject(font);
}

TEST(Gdi, DrawTextPlacesLinesAndCalculatesTheirRectangle) {
    Canvas c(120, 60);
    HFONT font = Font(-11, 0);
    SelectObject(c.dc, font);
    SIZE line{};
    GetTextExtentPoint32A(c.dc, "long line", 9, &line);
    RECT calc{5, 5, 5, 5};
    const char* text = "long line\r\nab\nc";
    EXPECT_EQ(DrawTextA(c.dc, text, -1, &calc, DT_CALCRECT), 3 * line.cy);
    EXPECT_EQ(calc.right, 5 + line.cx);
    EXPECT_EQ(calc.bottom, 5 + 3 * line.cy);
    EXPECT_EQ(c.Count(White), 120 * 60);

    SetBkMode(c.dc, TRANSPARENT);
    RECT right{0, 0, 120, 60};
    DrawTextA(c.dc, "ab", 2, &right, DT_RIGHT);
    EXPECT_LE(c.Ink().right, 120);
    EXPECT_GT(c.Ink().left, 100);

    Canvas centred(120, 20);
    SelectObject(centred.dc, font);
    SetBkMode(centred.dc, TRANSPARENT);
    RECT all{0, 0, 120, 20};
    DrawTextA(centred.dc, "W", 1, &all, DT_CENTER);
    const RECT ink = centred.Ink();
    EXPECT_NEAR(ink.left + ink.right, 120, 3);

    // Without DT_NOCLIP nothing is drawn outside the rectangle.
    Canvas clipped(120, 20);
    SelectObject(clipped.dc, font);
    RECT narrow{0, 0, 6, 20};
    DrawTextA(clipped.dc, "WWWW", 4, &narrow, DT_LEFT);
    EXPECT_LE(clipped.Ink().right, 6);
    DeleteObject(font);
}

} // namespace

namespace {

// Width and height of a text in a font.
std::pair<LONG, LONG> Extent(HFONT font, const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
    DeleteDC(dc);
    return {size.cx, size.cy};
}

TEST(GdiFonts, MsSansSerifIsTheRasterFontOfCodePage1251WithItsWindowsStrikes) {
    HFONT label = Font(-11, ANTIALIASED_QUALITY);
    EXPECT_EQ(Extent(label, "-9,900"), (std::pair<LONG, LONG>{30, 13}));
    EXPECT_EQ(Extent(label, "0,010"), (std::pair<LONG, LONG>{27, 13}));
    EXPECT_EQ(Extent(label, "1200"), (std::pair<LONG, LONG>{24, 13}));
    for (char digit = '0'; digit <= '9'; ++digit)
        EXPECT_EQ(Extent(label, std::string(1, digit).c_str()).first, 6) << digit;
    EXPECT_EQ(Extent(label, "-").first, 3);
    EXPECT_EQ(Extent(label, ",").first, 3);
    DeleteObject(label);
    HFONT larger = Font(-13, 0);
    EXPECT_EQ(Extent(larger, "-9,900"), (std::pair<LONG, LONG>{35, 16}));
    DeleteObject(larger);
    HFONT doubled = Font(-33, 0); // the 20-pixel strike, "Pause" 45 x 20, made 2 x 2
    EXPECT_EQ(Extent(doubled, "Pause"), (std::pair<LONG, LONG>{90, 40}));
    DeleteObject(doubled);
    auto strike = GdiFont::Create("MS Sans Serif", -16, FW_NORMAL, false);
    auto twice = GdiFont::Create("MS Sans Serif", -33, FW_NORMAL, false);
    const GdiFont::Glyph &one = strike->Image('P'), &two = twice->Image('P');
    EXPECT_EQ(std::vector<int>({two.top, two.width, two.rows}),
              std::vector<int>({2 * one.top, 2 * one.width, 2 * one.rows}));
    EXPECT_EQ(std::count(two.coverage.begin(), two.coverage.end(), 255),
              4 * std::count(one.coverage.begin(), one.coverage.end(), 255));

    // The strike by em height (negative) or cell height (positive), as Wine's font mapper; the
    // largest one doubled where the height comes close enough to twice its own.
    struct Case {
        int height, cell, ascent;
    };
    for (Case c : {Case{-11, 13, 11}, Case{-8, 13, 11}, Case{13, 13, 11}, Case{15, 13, 11},
                   Case{-13, 16, 13}, Case{16, 16, 13}, Case{17, 16, 13}, Case{-16, 20, 16},
                   Case{-22, 20, 16}, Case{-26, 20, 16}, Case{26, 20, 16}, Case{-33, 40, 32},
                   Case{-44, 40, 32}, Case{40, 40, 32}}) {
        auto font = GdiFont::Create("MS Sans Serif", c.height, FW_NORMAL, true);
        EXPECT_EQ(font->Height(), c.cell) << c.height;
        EXPECT_EQ(font->Ascent(), c.ascent) << c.height;
        EXPECT_FALSE(font->Antialiased()) << "raster glyphs are whole pixels";
        EXPECT_NE(font->File().find("sserifer.fon"), std::string::npos) << font->File();
    }
}

TEST(GdiFonts, RasterGlyphsAreIndexedByCodePageBytes) {
    auto font = GdiFont::Create("MS Sans Serif", -11, FW_NORMAL, false);
    // Ж, Ш and A in code page 1251: three different glyphs, none of them the default one that
    // an unmapped control byte gets.
    const GdiFont::Glyph& zhe = font->Image(0xC6);
    const GdiFont::Glyph& sha = font->Image(0xD8);
    const GdiFont::Glyph& fallback = font->Image(0x01);
    EXPECT_NE(zhe.coverage, sha.coverage);
    EXPECT_NE(zhe.coverage, fallback.coverage);
    EXPECT_NE(font->Image('A').coverage, fallback.coverage);
    EXPECT_GT(std::count(zhe.coverage.begin(), zhe.coverage.end(), 255), 8);
}

TEST(GdiFonts, TahomaIsItsTrueTypeFileAndDejaVuStandsInForMissingFiles) {
    HFONT tahoma = Font(-11, 0, "Tahoma");
    EXPECT_EQ(Extent(tahoma, "-9,900"), (std::pair<LONG, LONG>{31, 13}));
    DeleteObject(tahoma);
    auto font = GdiFont::Create("Tahoma", -11, FW_NORMAL, true);
    EXPECT_EQ(font->Family(), "Tahoma");

    const std::vector<std::string> nowhere{"/proc/no-such-dir"};
    for (const char* face : {"MS Sans Serif", "Tahoma"}) {
        auto missing = GdiFont::Create(face, -11, FW_NORMAL, false, nowhere);
        EXPECT_EQ(missing->Family(), "DejaVu Sans") << face;
        EXPECT_EQ(missing->Height(), 13) << face;
    }
}

TEST(GdiFonts, MeasuringRendersNothingAndEachGlyphIsRenderedOnce) {
    for (const char* face : {"MS Sans Serif", "Tahoma"}) {
        auto font = GdiFont::Create(face, -11, FW_NORMAL, true);
        int width = 0;
        for (unsigned char byte : std::string("-9,900 0,010"))
            width += font->Advance(byte);
        EXPECT_GT(width, 40) << face;
        EXPECT_EQ(font->RenderedImages(), 0) << face;
        for (int pass = 0; pass < 2; ++pass)
            for (unsigned char byte : std::string("-9,900"))
                font->Image(byte);
        EXPECT_EQ(font->RenderedImages(), 4) << face; // - 9 , 0
    }
}

} // namespace

#include "Preobrazovaniechisel.h"
#include "Risovanieshkal.h"
#include "VirtualDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t Green = 0x0000FF00, Black = 0;
// What the back buffer holds where no scale drew.
constexpr uint32_t Untouched = 0x00000080;

// The picture window of the default settings: 280 rows and 600 columns of spectrogram with a
// 70-pixel band at the left and a 50-pixel band below.
constexpr int Rows = 280, Cols = 600, ClientW = Cols + 70, ClientH = Rows + 50;

// The time at the oldest column with the default hop of 183 samples at 11025 Hz.
const double OldestTime = static_cast<double>(183.0L / 11025 * -(Cols - 1));

const char* const FrequencyTitle = "F,\n\xC3\xF6"; // "F," line feed "Гц"
const char* const TimeTitle = "t, \xF1";           // "t, с"

bool IsGreen(uint32_t p) {
    return (p & 0x00FF00FF) == 0 && p != 0;
}

// A value as the labels write it: three decimals with a comma, trailing zeros removed.
std::string Decimal(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", v);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    std::replace(s.begin(), s.end(), '.', ',');
    return s == "-0" ? "0" : s;
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> at;
    uint32_t operator()(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height ? at[size_t(y) * width + x] : Untouched;
    }
};

class ScaleTest : public testing::Test {
public:
    // True when the box around the tip holds exactly an arrow: a shaft of `length` pixels
    // ending in the tip and two 45-degree barbs of 4 pixels; (dx, dy) points from tail to tip.
    static ::testing::AssertionResult ArrowAt(const Pixels& p, int tipX, int tipY, int dx, int dy,
                                              int length);

protected:
    void SetUp() override {
        CleanDesktop();
        separator = NumberSymbols[0];
        FillNumberSymbols(",");
        ASSERT_TRUE(CreatePictureWindow(&frmIzobragenie, ClientH, ClientW, TAnsiString("Ornalux"),
                                        true, false, true, true));
        window = frmIzobragenie;
        ASSERT_TRUE(window->Surface.Clear(Untouched));
        measure = CreateCompatibleDC(nullptr);
        SelectObject(measure, window->Surface.LabelFont);
    }
    void TearDown() override {
        DeleteDC(measure);
        delete frmIzobragenie;
        frmIzobragenie = nullptr;
        const char locale[2] = {separator, 0};
        FillNumberSymbols(locale);
    }

    TScaleSpec Frequency(double from = 40, double to = 1200) const {
        return {window, Rows, 70, 0, from, to, true, FrequencyTitle, 3, 0, 0};
    }
    TScaleSpec Time(double from = OldestTime, double to = 0) const {
        return {window, Cols, 50, 70, from, to, false, TimeTitle, 3, 0, 0};
    }

    Pixels Read() const {
        Pixels p;
        IDirectDrawSurface* back = window->Surface.BackBuffer;
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        if (back == nullptr || back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return p;
        p.width = int(d.dwWidth);
        p.height = int(d.dwHeight);
        for (int y = 0; y < p.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(
                static_cast<const uint8_t*>(d.lpSurface) + ptrdiff_t(y) * d.lPitch);
            p.at.insert(p.at.end(), row, row + p.width);
        }
        back->Unlock(nullptr);
        return p;
    }

    // The box a text takes in the label font (line feeds break lines).
    SIZE Extent(const std::string& text) const {
        RECT r{0, 0, 0, 0};
        DrawTextA(measure, text.c_str(), int(text.size()), &r, DT_CALCRECT);
        return {r.right, r.bottom};
    }

    // True when the picture shows the text at (x, y) exactly as the label font draws it in
    // green on black, its box and nothing else, as far as it lies in the picture.
    ::testing::AssertionResult TextAt(const Pixels& p, int x, int y,
                                      const std::string& text) const {
        const SIZE size = Extent(text);
        std::vector<uint32_t> want(size_t(size.cx) * size.cy, Black);
        HDC dc = CreatePixelDC(want.data(), size.cx, size.cy, size.cx * 4, PixelLayout{});
        SelectObject(dc, window->Surface.LabelFont);
        SetTextColor(dc, Green);
        SetBkColor(dc, Black);
        RECT r{0, 0, size.cx, size.cy};
        DrawTextA(dc, text.c_str(), int(text.size()), &r, DT_NOCLIP);
        DeleteDC(dc);
        int lit = 0;
        for (int row = 0; row < size.cy; ++row)
            for (int col = 0; col < size.cx; ++col) {
                const uint32_t w = want[size_t(row) * size.cx + col];
                lit += w != Black;
                const bool shown =
                    x + col >= 0 && x + col < p.width && y + row >= 0 && y + row < p.height;
                if (shown && p(x + col, y + row) != w)
                    return ::testing::AssertionFailure() << "\"" << text << "\" at " << x << ","
                                                         << y << ": pixel " << col << "," << row;
            }
        if (lit == 0) return ::testing::AssertionFailure() << "\"" << text << "\" draws nothing";
        return ::testing::AssertionSuccess();
    }

    // Inside the band only black and green; outside it nothing changed but, in `spill`, green
    // text on black.
    static void ExpectBandOnly(const Pixels& p, RECT band, RECT spill = {}) {
        auto in = [](RECT r, int x, int y) {
            return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        };
        int outside = 0, coloured = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const uint32_t v = p(x, y);
                if (in(band, x, y) || (in(spill, x, y) && v != Untouched))
                    coloured += v != Black && !IsGreen(v);
                else
                    outside += v != Untouched;
            }
        EXPECT_EQ(outside, 0);
        EXPECT_EQ(coloured, 0);
    }

    char separator = ',';
    TfrmIzobragenie* window = nullptr;
    HDC measure = nullptr;
};

::testing::AssertionResult ScaleTest::ArrowAt(const Pixels& p, int tipX, int tipY, int dx, int dy,
                                              int length) {
    std::set<std::pair<int, int>> lit;
    for (int i = 0; i < length; ++i)
        lit.insert({tipX - dx * i, tipY - dy * i});
    for (int i = 1; i <= 4; ++i) {
        lit.insert({tipX - dx * i + dy * i, tipY - dy * i + dx * i});
        lit.insert({tipX - dx * i - dy * i, tipY - dy * i - dx * i});
    }
    int left = tipX, top = tipY, right = tipX, bottom = tipY;
    for (const auto& [x, y] : lit) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
    for (int y = top - 1; y <= bottom + 1; ++y)
        for (int x = left - 1; x <= right + 1; ++x) {
            const bool inside = x >= left && x <= right && y >= top && y <= bottom;
            const uint32_t want = lit.count({x, y}) ? Green : Black;
            if (inside && p(x, y) != want)
                return ::testing::AssertionFailure() << "arrow pixel " << x << "," << y;
        }
    return ::testing::AssertionSuccess();
}

TEST_F(ScaleTest, DefaultFrequencyScale) {
    ASSERT_TRUE(DrawScale(Frequency()));
    const Pixels p = Read();
    ASSERT_EQ(p.width, ClientW);
    ExpectBandOnly(p, {0, 0, 70, Rows});

    // Every 100 Hz a long mark from x 60 to 69 on the row nearest the value, 1200 Hz at the top.
    const std::vector<int> tickRows{265, 241, 216, 192, 168, 144, 120, 96, 72, 48, 24, 0};
    for (int y = 0; y < Rows; ++y) {
        const bool tick = std::count(tickRows.begin(), tickRows.end(), y) > 0;
        for (int x = 60; x < 70; ++x)
            ASSERT_EQ(p(x, y), tick ? Green : Black) << x << "," << y;
        for (int x = 56; x < 60; ++x)
            ASSERT_EQ(p(x, y), Black) << x << "," << y;
    }

    // Title at the top left, arrow up beside it, as long as the two-line title is high.
    const SIZE title = Extent(FrequencyTitle);
    EXPECT_TRUE(TextAt(p, 5, 7, FrequencyTitle));
    const int arrowLeft = 5 + title.cx + 5, arrowLength = std::max<int>(title.cy, 20);
    EXPECT_TRUE(ArrowAt(p, arrowLeft + 4, 7, 0, -1, arrowLength));

    // Labels end 14 pixels inside the band's edge, centred on their ticks, except near the
    // title: the band is too narrow for a label beside title and arrow, so a label must lie
    // below the title zone (title or arrow height plus 14) by half its height.
    const SIZE widest = Extent("1210,000");
    const double unitsPerPixel = 1160.0 / 279;
    const double limit = 1200 - (arrowLength + 14 + widest.cy / 2) * unitsPerPixel;
    int labelled = 0;
    for (int i = 0; i < 12; ++i) {
        const std::string text = std::to_string(100 * (i + 1));
        const SIZE s = Extent(text);
        const int y = tickRows[size_t(i)] - s.cy / 2;
        if (100 * (i + 1) < limit) {
            EXPECT_TRUE(TextAt(p, 56 - s.cx, y, text));
            ++labelled;
            continue;
        }
        // The label's place right of the arrow stays black.
        for (int row = std::max(y, 0); row < y + s.cy; ++row)
            for (int x = std::max<int>(56 - s.cx, arrowLeft + 9); x < 56; ++x)
                ASSERT_EQ(p(x, row), Black) << text << " " << x << "," << row;
    }
    EXPECT_GE(labelled, 9);
    EXPECT_LE(labelled, 10);
}

TEST_F(ScaleTest, DefaultTimeScale) {
    ASSERT_TRUE(DrawScale(Time()));
    const Pixels p = Read();
    const int top = Rows;
    // The first label, centred under its tick 3 pixels from the band's start, reaches into the
    // corner below the frequency scale.
    ExpectBandOnly(p, {70, top, ClientW, ClientH}, {0, top, 70, ClientH});

    // Ticks every 0.1 s from -9.9 s to 0 s; a long mark with a label on every n-th tick from
    // the first on, where n ticks are the first count that leaves 5 pixels between the widest
    // labels ("-9,900" and "0,010"). Scale factor, step and first tick are single precision:
    // the tick at -6.1 s, at 231.5 pixels in exact arithmetic, lies at 231.49997.
    const float pixelsPerSecond = float((Cols - 1) / float(-OldestTime));
    const SIZE widest = Extent(Extent("-9,900").cx > Extent("0,010").cx ? "-9,900" : "0,010");
    const int every = int(std::ceil((widest.cx + 5) / (0.1 * pixelsPerSecond)));
    EXPECT_GE(every, 6);
    // No label next to the title: its arrow stands in the label row.
    const SIZE title = Extent(TimeTitle);
    const double limit = -(std::max<int>(title.cx, 20) + 20 + widest.cx / 2) / pixelsPerSecond;
    std::vector<int> tickColumns;
    int labels = 0;
    double v = float(-99 * double(0.1f));
    for (int k = 0; k < 100; ++k, v += 0.1f) {
        const int x = 70 + int(std::lround((v - OldestTime) * pixelsPerSecond));
        tickColumns.push_back(x);
        const bool longMark = k % every == 0;
        for (int y = top; y < top + 10; ++y)
            ASSERT_EQ(p(x, y), y < top + 5 || longMark ? Green : Black) << k << " " << y;
        if (longMark && v < limit) {
            const SIZE s = Extent(Decimal(v));
            EXPECT_TRUE(TextAt(p, x - s.cx / 2, top + 12, Decimal(v)));
            ++labels;
        }
    }
    EXPECT_EQ(tickColumns.front(), 73);
    EXPECT_EQ(tickColumns[38], 70 + 231);
    EXPECT_EQ(tickColumns.back(), ClientW - 1);
    EXPECT_GE(labels, 12);
    for (int x = 70; x < ClientW; ++x) {
        if (std::count(tickColumns.begin(), tickColumns.end(), x) == 0) {
            ASSERT_EQ(p(x, top), Black) << x;
        }
    }
    EXPECT_TRUE(TextAt(p, 73 - Extent("-9,9").cx / 2, top + 12, "-9,9"));

    // Title right-aligned 10 pixels inside the right end, 7 above the bottom; the arrow to the
    // right above it, its bottom-right corner 4 pixels above the title.
    EXPECT_TRUE(TextAt(p, ClientW - 10 - title.cx, ClientH - 7 - title.cy, TimeTitle));
    const int corner = ClientH - 7 - (title.cy + 4);
    EXPECT_TRUE(ArrowAt(p, ClientW - 10, corner - 4, 1, 0, std::max<int>(title.cx, 20)));
}

TEST_F(ScaleTest, ReversedScalesPutTheSmallValueAtTheTopOrRightAndTheArrowDownOrLeft) {
    ASSERT_TRUE(DrawScale(Frequency(1200, 40)));
    ASSERT_TRUE(DrawScale(Time(0, OldestTime)));
    const Pixels p = Read();

    // 100 Hz now 14 rows below the top, 1200 Hz on the bottom row.
    const std::vector<int> tickRows{14, 38, 63, 87, 111, 135, 159, 183, 207, 231, 255, 279};
    for (int y = 0; y < Rows; ++y) {
        const bool tick = std::count(tickRows.begin(), tickRows.end(), y) > 0;
        ASSERT_EQ(p(60, y), tick ? Green : Black) << y;
    }
    EXPECT_TRUE(TextAt(p, 56 - Extent("100").cx, 14 - Extent("100").cy / 2, "100"));
    const SIZE fTitle = Extent(FrequencyTitle);
    EXPECT_TRUE(TextAt(p, 5, Rows - 7 - fTitle.cy, FrequencyTitle));
    EXPECT_TRUE(ArrowAt(p, 5 + fTitle.cx + 5 + 4, Rows - 7, 0, 1, std::max<int>(fTitle.cy, 20)));

    // -9.9 s three columns inside the right end; title and arrow at the left end.
    for (int y = Rows; y < Rows + 10; ++y) {
        ASSERT_EQ(p(ClientW - 1 - 3, y), Green);
        ASSERT_EQ(p(ClientW - 1 - 2, y), Black);
    }
    EXPECT_TRUE(TextAt(p, ClientW - 4 - Extent("-9,9").cx / 2, Rows + 12, "-9,9"));
    EXPECT_EQ(p(70, Rows), Green); // 0 s on the first column
    const SIZE tTitle = Extent(TimeTitle);
    EXPECT_TRUE(TextAt(p, 80, ClientH - 7 - tTitle.cy, TimeTitle));
    EXPECT_TRUE(
        ArrowAt(p, 80, ClientH - 7 - tTitle.cy - 4 - 4, -1, 0, std::max<int>(tTitle.cx, 20)));
}

TEST_F(ScaleTest, MoreThanFiveIntegerDigitsAtEitherEndSwitchEveryLabelToExponentForm) {
    // 1 to 5 MHz: a tick every 100 kHz (6.975 pixels), labels on every n-th from the bottom.
    ASSERT_TRUE(DrawScale(Frequency(1e6, 5e6)));
    Pixels p = Read();
    const SIZE label = Extent("5,010e6"), title = Extent(FrequencyTitle);
    const int every = int(std::ceil((label.cy + 5) / (1e5 * 279 / 4e6)));
    const double limit = 5e6 - (std::max<int>(title.cy, 20) + 14 + label.cy / 2) * 4e6 / 279;
    int labels = 0;
    for (int k = 0; 1e6 + k * 1e5 < limit; k += every, ++labels) {
        const int y = Rows - 1 - int(std::lround(k * 1e5 * 279 / 4e6));
        const std::string text = Decimal(1 + k * 0.1) + "e6";
        EXPECT_TRUE(TextAt(p, 56 - Extent(text).cx, y - Extent(text).cy / 2, text));
    }
    EXPECT_GE(labels, 8);
    EXPECT_TRUE(TextAt(p, 56 - Extent("1e6").cx, Rows - 1 - Extent("1e6").cy / 2, "1e6"));

    // 90000 to 99000 stays fixed; up to 140000 the high end has six integer digits.
    ASSERT_TRUE(DrawScale(Frequency(90000, 99000)));
    p = Read();
    EXPECT_TRUE(TextAt(p, 56 - Extent("90000").cx, Rows - 1 - Extent("90000").cy / 2, "90000"));
    ASSERT_TRUE(DrawScale(Frequency(90000, 140000)));
    p = Read();
    EXPECT_TRUE(TextAt(p, 56 - Extent("9e4").cx, Rows - 1 - Extent("9e4").cy / 2, "9e4"));
}

TEST_F(ScaleTest, TicksReachATenthOfAStepBeyondTheEnds) {
    // 105 to 1195 Hz in a band from row 20 to 299: 100 and 1200 Hz lie within a tenth of the
    // 100 Hz step outside the ends and get their ticks one row outside the band.
    TScaleSpec s = Frequency(105, 1195);
    s.Offset = 20;
    ASSERT_TRUE(DrawScale(s));
    Pixels p = Read();
    auto ticks = [&p] {
        int n = 0;
        for (int y = 0; y < ClientH; ++y)
            n += p(69, y) == Green;
        return n;
    };
    EXPECT_EQ(ticks(), 12);
    EXPECT_EQ(p(60, 300), Green); // the first tick, long
    EXPECT_EQ(p(69, 19), Green);

    // 111 to 1189 Hz: 100 and 1200 Hz are more than a tenth of a step away and get none.
    ASSERT_TRUE(window->Surface.Clear(Untouched));
    s.ValueFrom = 111;
    s.ValueTo = 1189;
    ASSERT_TRUE(DrawScale(s));
    p = Read();
    EXPECT_EQ(ticks(), 10);
    EXPECT_EQ(p(60, 299 - 23), Green);  // 200 Hz is now the first tick, long
    EXPECT_EQ(p(69, 299 - 256), Green); // 1100 Hz
}

TEST_F(ScaleTest, EqualEndsSpanOneUnitAndOnlyTheVerticalScaleLabelsNextToTheTitle) {
    ASSERT_TRUE(DrawScale(Frequency(5, 5)));
    ASSERT_TRUE(DrawScale(Time(5, 5)));
    const Pixels p = Read();
    // One tick each, at the start, long; the vertical one labelled although it stands at the
    // high end, the horizontal one, under the arrow, not.
    EXPECT_EQ(p(60, Rows - 1), Green);
    EXPECT_EQ(p(69, Rows - 2), Black);
    EXPECT_TRUE(TextAt(p, 56 - Extent("5").cx, Rows - 1 - Extent("5").cy / 2, "5"));
    EXPECT_EQ(p(70, Rows + 9), Green);
    EXPECT_EQ(p(71, Rows), Black);
    for (int x = 60; x < 80; ++x)
        for (int y = Rows + 12; y < Rows + 20; ++y)
            EXPECT_EQ(p(x, y), x < 70 ? Untouched : Black) << x << "," << y;

    // One unit over 599 pixels gives a step of 0.01: 5 lies more than a tenth of it below
    // 5.004 and gets no tick.
    ASSERT_TRUE(DrawScale(Time(5.004, 5.004)));
    const Pixels q = Read();
    for (int x = 60; x < ClientW; ++x)
        EXPECT_EQ(q(x, Rows), x < 70 ? Untouched : Black) << x;
}

TEST_F(ScaleTest, ShortScalesDrawTheBandOnlyAndNoBufferDrawsNothing) {
    TScaleSpec vertical = Frequency();
    vertical.Length = 1;
    vertical.Offset = 100;
    vertical.ExtendBefore = 3;
    vertical.ExtendAfter = 2;
    TScaleSpec horizontal = Time();
    horizontal.Length = 0;
    horizontal.ExtendBefore = 4;
    horizontal.ExtendAfter = 6;
    EXPECT_TRUE(DrawScale(vertical));
    EXPECT_EQ(window->Surface.DrawDC, TGraficheskoeOkno::NoDC);
    EXPECT_TRUE(DrawScale(horizontal));
    EXPECT_EQ(window->Surface.DrawDC, TGraficheskoeOkno::NoDC);
    const Pixels p = Read();
    for (int y = 0; y < ClientH; ++y)
        for (int x = 0; x < ClientW; ++x) {
            const bool band = (x < 70 && y >= 97 && y < 103) || (x >= 66 && x < 76 && y >= Rows);
            ASSERT_EQ(p(x, y), band ? Black : Untouched) << x << "," << y;
        }

    // Geometry beyond any screen, and a surface without a back buffer: nothing to draw on.
    TScaleSpec far = Frequency();
    far.Offset = 1 << 30;
    EXPECT_FALSE(DrawScale(far));
    TScaleSpec none = Frequency();
    none.Window = nullptr;
    EXPECT_FALSE(DrawScale(none));
    window->Surface.BackBuffer->Release();
    window->Surface.BackBuffer = nullptr;
    EXPECT_FALSE(DrawScale(Frequency()));
    EXPECT_EQ(window->Surface.DrawDC, TGraficheskoeOkno::NoDC);
}

TEST_F(ScaleTest, ValuesTooLargeForTheirSpanOrNotNumbersDrawNoTicks) {
    auto noTicks = [this] {
        const Pixels p = Read();
        int green = 0;
        for (int y = 0; y < Rows; ++y)
            green += p(69, y) != Black;
        for (int x = 70; x < ClientW - 60; ++x)
            green += p(x, Rows) != Black;
        return green == 0;
    };
    // At 1e20 a 100 Hz step is far below the precision of the values.
    ASSERT_TRUE(DrawScale(Frequency(1e20, 1e20 + 1e6)));
    ASSERT_TRUE(DrawScale(Time(std::nan(""), 0)));
    EXPECT_TRUE(noTicks());
    EXPECT_TRUE(TextAt(Read(), 5, 7, FrequencyTitle));
    // A span beyond the double range: no step, no place for any value.
    ASSERT_TRUE(DrawScale(Time(-1e308, 1e308)));
    ASSERT_TRUE(DrawScale(Frequency(1e308, -1e308)));
    EXPECT_TRUE(noTicks());
}

TEST_F(ScaleTest, TextIsPlacedByItsAnchorsAndAlignedInsideItsBox) {
    const std::string text = "WWWWW\nI";
    const SIZE size = Extent(text);
    const int w = size.cx, h = size.cy, x = 60, y = 40;
    struct Case {
        uint16_t code;
        RECT box;
        UINT align;
    };
    const Case cases[] = {
        {AnchorLeft | AnchorTop | AlignLeft, {x, y, x + w, y + h}, DT_LEFT},
        {AnchorRight | AnchorBottom | AlignLeft, {x - w, y - h, x, y}, DT_LEFT},
        {AnchorCentre | AnchorMiddle | AlignRight,
         {x - w / 2, y - h / 2, x - w / 2 + w, y - h / 2 + h},
         DT_RIGHT},
        {AnchorLeft | AnchorBottom | AlignCentre, {x, y - h, x + w, y}, DT_CENTER},
        {0, {0, 0, w, h}, DT_LEFT},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> got(120 * 90, Black), want(120 * 90, Black);
        HDC dcs[2] = {CreatePixelDC(got.data(), 120, 90, 120 * 4, PixelLayout{}),
                      CreatePixelDC(want.data(), 120, 90, 120 * 4, PixelLayout{})};
        for (HDC dc : dcs) {
            SelectObject(dc, window->Surface.LabelFont);
            SetTextColor(dc, Green);
            SetBkColor(dc, Black);
        }
        RECT box{};
        DrawTextAnchored(window, dcs[0], &box, x, y, text.c_str(), c.code);
        RECT expected = c.box;
        DrawTextA(dcs[1], text.c_str(), int(text.size()), &expected, DT_NOCLIP | c.align);
        EXPECT_EQ(std::vector<LONG>({box.left, box.top, box.right, box.bottom}),
                  std::vector<LONG>({c.box.left, c.box.top, c.box.right, c.box.bottom}))
            << c.code;
        EXPECT_TRUE(got == want) << c.code;
        DrawTextAnchored(window, dcs[0], &box, x, y, nullptr, c.code);
        EXPECT_EQ(box.right, box.left) << c.code;
        for (HDC dc : dcs)
            DeleteDC(dc);
    }
}

// The arrow's box: `length` along, 9 pixels across for barb 4, its corner on the point.
TEST(ScaleParts, ArrowCornersTailAndTip) {
    std::vector<uint32_t> buffer(60 * 60);
    HDC dc = CreatePixelDC(buffer.data(), 60, 60, 60 * 4, PixelLayout{});
    HPEN green = CreatePen(PS_SOLID, 0, Green);
    SelectObject(dc, green);
    const int dx[4] = {1, 0, -1, 0}, dy[4] = {0, -1, 0, 1};
    for (int anchor = 0; anchor <= 5; ++anchor)
        for (int direction = 0; direction < 4; ++direction) {
            std::fill(buffer.begin(), buffer.end(), Black);
            RECT box{};
            DrawArrow(nullptr, dc, &box, 30, 30, int8_t(anchor), int8_t(direction), 12, 4);
            const bool across = direction % 2 == 1;
            EXPECT_EQ(box.right - box.left, across ? 9 : 12) << anchor << direction;
            EXPECT_EQ(box.bottom - box.top, across ? 12 : 9) << anchor << direction;
            const POINT corners[4] = {{box.left, box.top},
                                      {box.right - 1, box.top},
                                      {box.right - 1, box.bottom - 1},
                                      {box.left, box.bottom - 1}};
            POINT tip{};
            if (anchor >= 2) {
                EXPECT_EQ(corners[anchor - 2].x, 30) << anchor << direction;
                EXPECT_EQ(corners[anchor - 2].y, 30) << anchor << direction;
                const int midX = (box.left + box.right - 1) / 2,
                          midY = (box.top + box.bottom - 1) / 2;
                tip = {dx[direction] > 0   ? box.right - 1
                       : dx[direction] < 0 ? box.left
                                           : midX,
                       dy[direction] > 0   ? box.bottom - 1
                       : dy[direction] < 0 ? box.top
                                           : midY};
            } else {
                const int back = anchor == 0 ? 11 : 0;
                tip = {30 + dx[direction] * back, 30 + dy[direction] * back};
            }
            Pixels p{60, 60, buffer};
            EXPECT_TRUE(ScaleTest::ArrowAt(p, tip.x, tip.y, dx[direction], dy[direction], 12))
                << anchor << direction;
        }
    DeleteDC(dc);
    DeleteObject(green);
}

} // namespace

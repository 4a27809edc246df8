#include "Risovanieshkal.h"

#include "Matematicheskieoperacii.h"
#include "Preobrazovaniechisel.h"

#include <algorithm>
#include <cstring>

namespace {

using Extended = long double;

constexpr COLORREF TextGreen = 0x0000FF00;
constexpr COLORREF Black = 0;
constexpr int Barb = 4;
constexpr int MinArrowLength = 20;
// Ticks stand at least this many pixels apart.
constexpr Extended MinTickPixels = 4;
// Geometry beyond this many pixels lies off every screen; it keeps all sums of coordinates
// inside the integer range.
constexpr int64_t FarCoordinate = 1 << 24;

constexpr uint16_t TitleAtTop = AnchorLeft | AnchorTop | AlignLeft;             // 73
constexpr uint16_t TitleAtBottomLeft = AnchorLeft | AnchorBottom | AlignLeft;   // 81
constexpr uint16_t TitleAtBottomRight = AnchorRight | AnchorBottom | AlignLeft; // 82
enum ArrowCorner : int8_t { TopLeft = 2, BottomRight = 4, BottomLeft = 5 };
enum ArrowDirection : int8_t { Right = 0, Up = 1, Left = 2, Down = 3 };

struct Point {
    int x, y;
};

Point Turn(Point p, int direction) {
    switch (direction & 3) {
    case Up:
        return {p.y, -p.x};
    case Left:
        return {-p.x, -p.y};
    case Down:
        return {-p.y, p.x};
    default:
        return p;
    }
}

// Where a box of `size` starts when its anchor is at `at`.
int AnchoredStart(int at, int size, int anchor) {
    switch (anchor) {
    case AnchorLeft:
        return at;
    case AnchorRight:
        return at - size;
    case AnchorCentre:
        return at - size / 2;
    default:
        return 0;
    }
}

UINT Alignment(int bits) {
    return bits == AnchorRight ? DT_RIGHT : bits == AnchorCentre ? DT_CENTER : DT_LEFT;
}

SIZE Measure(HDC dc, const TAnsiString& text) {
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text.Data(), int(text.Length()), &size);
    return size;
}

bool Near(int64_t v) {
    return v >= -FarCoordinate && v <= FarCoordinate;
}

struct Band {
    int left, top, width, height;
};

// The numbers of one drawing of a scale, in the order they are found.
struct Layout {
    float pixelsPerUnit, unitsPerPixel, step;
    bool zeroSpan;
    int dir;
    double lo, hi;
    float tickPixels, first, last, labelLimit;
    bool exponentForm;
    int maxW, maxH, labelEvery;
};

Band BandOf(const TScaleSpec& s) {
    if (s.Vertical) return {0, s.Offset, s.Thickness, int(s.Length)};
    return {s.Offset, PictureClientHeight(s.Window) - s.Thickness, int(s.Length), s.Thickness};
}

void PaintBand(HDC dc, const TScaleSpec& s, const Band& b) {
    if (s.Vertical)
        Rectangle(dc, 0, b.top - s.ExtendBefore, b.width, b.top + b.height + s.ExtendAfter);
    else
        Rectangle(dc, b.left - s.ExtendBefore, b.top, b.left + b.width + s.ExtendAfter,
                  b.top + b.height);
}

// Scale factor and a power-of-ten tick step at least MinTickPixels apart.
void ChooseStep(const TScaleSpec& s, Layout& l) {
    float span = static_cast<float>(Abs(s.ValueTo - s.ValueFrom));
    l.zeroSpan = span == 0;
    if (l.zeroSpan) span = 1.0f;
    l.pixelsPerUnit = static_cast<float>(Extended(s.Length - 1) / span);
    l.unitsPerPixel = static_cast<float>(1 / Extended(l.pixelsPerUnit));
    int e = EstimateDecimalExponent(l.unitsPerPixel);
    l.step = static_cast<float>(Pow(10, e));
    // A step that overflows to infinity ends the search (its product is then not below 4).
    while (Extended(l.step) * l.pixelsPerUnit < MinTickPixels)
        l.step = static_cast<float>(Pow(10, ++e));
}

void PlaceTicks(const TScaleSpec& s, Layout& l) {
    l.dir = s.ValueFrom > s.ValueTo ? -1 : 1;
    l.lo = std::min(s.ValueFrom, s.ValueTo);
    l.hi = std::max(s.ValueFrom, s.ValueTo);
    const Extended tenth = 0.1L * l.step;
    l.tickPixels = static_cast<float>(Extended(l.step) * l.pixelsPerUnit);
    const int firstIndex = CeilToInt(static_cast<double>((l.lo - tenth) / l.step));
    l.first = static_cast<float>(Extended(firstIndex) * l.step);
    l.last = static_cast<float>(l.hi + tenth);
    l.labelLimit = l.last;
}

TAnsiString Label(const TScaleSpec& s, const Layout& l, double v, bool keepZeros) {
    return FormatNumber(v, 1, s.Decimals, l.exponentForm, keepZeros);
}

// Label form and the largest label, from the labels of both ends.
void SizeLabels(HDC dc, const TScaleSpec& s, Layout& l) {
    l.exponentForm = DecimalExponent(l.first) > 5 || DecimalExponent(l.last) > 5;
    const SIZE a = Measure(dc, Label(s, l, l.last, true));
    const SIZE b = Measure(dc, Label(s, l, l.first, true));
    l.maxW = std::max(a.cx, b.cx);
    l.maxH = std::max(a.cy, b.cy);
    const int extent = (s.Vertical ? l.maxH : l.maxW) + 5;
    l.labelEvery = CeilToInt(static_cast<double>(Extended(extent) / l.tickPixels));
    if (l.labelEvery < 1) l.labelEvery = 1;
}

// Title at the scale's high end with the arrow beside it (vertical) or above it (horizontal);
// the labels then keep clear of both when the band is too narrow to hold them side by side.
void DrawTitle(HDC dc, const TScaleSpec& s, const Band& b, Layout& l) {
    const char* title = s.Title != nullptr ? s.Title : "";
    RECT t{}, a{};
    int zone = 0, half = 0;
    bool crowded = false;
    if (s.Vertical) {
        const int y = l.dir > 0 ? b.top + 7 : b.top + b.height - 7;
        DrawTextAnchored(s.Window, dc, &t, b.left + 5, y, title,
                         l.dir > 0 ? TitleAtTop : TitleAtBottomLeft);
        const int titleW = t.right - t.left, titleH = t.bottom - t.top;
        DrawArrow(s.Window, dc, &a, b.left + 5 + titleW + 5, y, l.dir > 0 ? TopLeft : BottomLeft,
                  l.dir > 0 ? Up : Down, std::max(titleH, MinArrowLength), Barb);
        crowded = titleW + 5 + (a.right - a.left) + 10 + l.maxW + 14 > s.Thickness && !l.zeroSpan;
        zone = std::max(titleH, MinArrowLength) + 14;
        half = l.maxH / 2;
    } else {
        const int x = l.dir > 0 ? b.left + b.width - 10 : b.left + 10;
        const int y = b.top + b.height - 7;
        DrawTextAnchored(s.Window, dc, &t, x, y, title,
                         l.dir > 0 ? TitleAtBottomRight : TitleAtBottomLeft);
        const int titleW = t.right - t.left, titleH = t.bottom - t.top;
        DrawArrow(s.Window, dc, &a, x, y - (titleH + 4), l.dir > 0 ? BottomRight : BottomLeft,
                  l.dir > 0 ? Right : Left, std::max(titleW, MinArrowLength), Barb);
        crowded = titleH + 4 + (a.bottom - a.top) + 14 + l.maxH + 13 > s.Thickness;
        zone = std::max(titleW, MinArrowLength) + 20;
        half = l.maxW / 2;
    }
    if (crowded) l.labelLimit = static_cast<float>(l.hi - Extended(zone + half) * l.unitsPerPixel);
}

void DrawTick(HDC dc, const TScaleSpec& s, const Band& b, int at, bool longMark,
              const TAnsiString* label) {
    const int mark = longMark ? 10 : 5;
    if (s.Vertical) {
        const int edge = b.left + b.width;
        MoveToEx(dc, edge - mark, at, nullptr);
        LineTo(dc, edge, at);
    } else {
        MoveToEx(dc, at, b.top + mark - 1, nullptr);
        LineTo(dc, at, b.top - 1);
    }
    if (label == nullptr) return;
    const SIZE size = Measure(dc, *label);
    if (s.Vertical)
        TextOutA(dc, b.left + b.width - 14 - size.cx, at - size.cy / 2, label->Data(),
                 int(label->Length()));
    else
        TextOutA(dc, at - size.cx / 2, b.top + 12, label->Data(), int(label->Length()));
}

// Ticks from the first multiple of the step on, a long mark and a label on every labelEvery-th.
void DrawTicks(HDC dc, const TScaleSpec& s, const Band& b, const Layout& l) {
    // Ends that cannot be told apart at this step (values far larger than the span) leave
    // more passes than pixels; such a scale gets no ticks rather than a run without end.
    if (!(Extended(l.last) - l.first <= Extended(s.Length) * l.step)) return;
    int origin = 0, along = 0;
    if (s.Vertical) {
        origin = l.dir > 0 ? b.top + b.height - 1 : b.top;
        along = -l.dir;
    } else {
        origin = l.dir > 0 ? b.left : b.left + b.width - 1;
        along = l.dir;
    }
    int countdown = 1;
    for (double v = l.first; v < l.last;) {
        const bool longMark = --countdown == 0;
        if (longMark) countdown = l.labelEvery;
        const int p = RoundToInt(static_cast<double>((Extended(v) - l.lo) * l.pixelsPerUnit));
        const int64_t at = origin + int64_t(p) * along;
        if (Near(at)) {
            const bool labelled = longMark && v < l.labelLimit;
            const TAnsiString label = labelled ? Label(s, l, v, false) : TAnsiString();
            DrawTick(dc, s, b, int(at), longMark, labelled ? &label : nullptr);
        }
        const double next = static_cast<double>(Extended(v) + l.step);
        if (!(next > v)) break;
        v = next;
    }
}

bool OnScreen(const TScaleSpec& s) {
    return s.Length <= FarCoordinate && Near(s.Thickness) && Near(s.Offset) &&
           Near(s.ExtendBefore) && Near(s.ExtendAfter);
}

} // namespace

bool DrawScale(TScaleSpec spec) {
    if (spec.Window == nullptr || !OnScreen(spec)) return false;
    TGraficheskoeOkno& surface = spec.Window->Surface;
    HDC dc = surface.AcquireDrawDC();
    if (dc == TGraficheskoeOkno::NoDC) return false;
    HGDIOBJ oldPen = SelectObject(dc, surface.PenBlack);
    HGDIOBJ oldBrush = SelectObject(dc, surface.BrushBlack);
    HGDIOBJ oldFont = SelectObject(dc, surface.LabelFont);
    SetTextColor(dc, TextGreen);
    SetBkColor(dc, Black);

    const Band band = BandOf(spec);
    PaintBand(dc, spec, band);
    if (spec.Length >= 2) {
        SelectObject(dc, surface.PenGreen);
        Layout layout{};
        ChooseStep(spec, layout);
        PlaceTicks(spec, layout);
        SizeLabels(dc, spec, layout);
        DrawTitle(dc, spec, band, layout);
        DrawTicks(dc, spec, band, layout);
    }

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldFont);
    surface.ReleaseDrawDC();
    return true;
}

void DrawArrow(TfrmIzobragenie*, HDC dc, RECT* box, int x, int y, int8_t anchor, int8_t direction,
               int length, int barb) {
    const int end = length - 1;
    Point shift{0, 0};
    if (anchor >= 2) {
        const int m = (anchor + direction - 2) & 3;
        shift = {m == 1 || m == 2 ? -end : 0, m < 2 ? barb : -barb};
    }
    const bool atTip = anchor == 1;
    Point tail{atTip ? -end : 0, 0}, tip{atTip ? 0 : end, 0};
    Point barbs[2] = {{tip.x - barb, -barb}, {tip.x - barb, barb}};
    shift = Turn(shift, direction);
    for (Point* p : {&tail, &tip, &barbs[0], &barbs[1]}) {
        *p = Turn(*p, direction);
        p->x += x + shift.x;
        p->y += y + shift.y;
    }
    if (box != nullptr) {
        *box = {tail.x, tail.y, tail.x, tail.y};
        for (const Point& p : {tip, barbs[0], barbs[1]}) {
            box->left = std::min<LONG>(box->left, p.x);
            box->top = std::min<LONG>(box->top, p.y);
            box->right = std::max<LONG>(box->right, p.x);
            box->bottom = std::max<LONG>(box->bottom, p.y);
        }
        ++box->right;
        ++box->bottom;
    }
    for (const Point& from : {tail, barbs[0], barbs[1]}) {
        MoveToEx(dc, from.x, from.y, nullptr);
        LineTo(dc, tip.x, tip.y);
    }
    // LineTo leaves its end pixel out; one more step sets the tip itself.
    LineTo(dc, tip.x + 1, tip.y);
}

void DrawTextAnchored(TfrmIzobragenie*, HDC dc, RECT* box, int x, int y, const char* text,
                      uint16_t code) {
    if (text == nullptr) text = "";
    const int n = int(std::strlen(text));
    RECT measured{x, y, x, y};
    DrawTextA(dc, text, n, &measured, DT_NOCLIP | DT_CALCRECT);
    const int w = measured.right - x, h = measured.bottom - y;
    const int left = AnchoredStart(x, w, code & 7), top = AnchoredStart(y, h, code >> 3 & 7);
    RECT placed{left, top, left + w, top + h};
    DrawTextA(dc, text, n, &placed, DT_NOCLIP | Alignment(code >> 6 & 7));
    if (box != nullptr) *box = placed;
}

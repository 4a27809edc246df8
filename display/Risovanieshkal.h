// Axis scales of the picture window: a black band with green tick marks a power of ten apart,
// numeric labels on every n-th tick, the axis title and an arrow towards growing values, drawn
// with GDI on the back buffer of the window's drawing surface.
#pragma once

#include "Tfrmizobragenie.h"

#include <cstdint>

struct TScaleSpec {
    TfrmIzobragenie* Window;
    uint32_t Length;   // pixels along the axis
    int32_t Thickness; // band size across the axis
    int32_t Offset;    // vertical: y of the band's top; horizontal: x of its left end
    double ValueFrom;  // bottom of a vertical scale, left end of a horizontal one
    double ValueTo;    // top, right end
    bool Vertical;     // true: at the surface's left edge; false: at its bottom edge
    const char* Title; // code page 1251; a line feed breaks it into two lines
    int32_t Decimals;  // decimals of the labels
    int32_t ExtendBefore, ExtendAfter; // band pixels beyond the start and the end
};

// Placement of DrawTextAnchored. Bits 0-2 horizontal anchor at x, bits 3-5 vertical anchor at
// y (1: box's left or top edge, 2: right or bottom edge, 4: centred, other: the box at 0),
// bits 6-8 alignment inside the box (1 left, 2 right, 4 centred, other left).
enum AnchorCode : uint16_t {
    AnchorLeft = 1,
    AnchorRight = 2,
    AnchorCentre = 4,
    AnchorTop = 1 << 3,
    AnchorBottom = 2 << 3,
    AnchorMiddle = 4 << 3,
    AlignLeft = 1 << 6,
    AlignRight = 2 << 6,
    AlignCentre = 4 << 6,
};

// Repaints the scale's whole band; false (nothing drawn) when the back buffer has no drawing
// context to give, or the geometry lies beyond any screen. Length under 2 draws the band only.
bool DrawScale(TScaleSpec spec);

// An arrow of `length` pixels with barbs `barb` pixels long and wide, turned by direction
// (0 right, 1 up, 2 left, 3 down). anchor 0: (x, y) is the tail; 1: the tip; 2 to 5: a corner
// of the arrow's bounding box (top-left, top-right, bottom-right, bottom-left). box, when
// given, receives that bounding box.
void DrawArrow(TfrmIzobragenie* window, HDC dc, RECT* box, int x, int y, int8_t anchor,
               int8_t direction, int length, int barb);

// Draws a text, line feeds breaking lines, in a box placed at (x, y) by code; box, when given,
// receives where it was drawn.
void DrawTextAnchored(TfrmIzobragenie* window, HDC dc, RECT* box, int x, int y, const char* text,
                      uint16_t code);

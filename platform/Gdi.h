// GDI on 32-bit pixel buffers, with GDI's pixel rules: LineTo leaves its end pixel unset,
// Rectangle and FillRect exclude the right and bottom edges, width-0 pens are one pixel,
// colours are 0x00BBGGRR. Rectangles that are empty, inverted (Rectangle orders its corners)
// or outside the buffer, and coordinates anywhere in the range of int, draw only what falls
// inside. Text is code page 1251, drawn with FreeType glyphs of the named faces' Wine files or
// of fontconfig's fonts; a negative font height is the em height, a positive one the cell height.
#pragma once

#include "platform/Kernel32.h"

#include <cstdint>

#ifndef _WIN32
using COLORREF = uint32_t;
using BYTE = uint8_t;
using LONG = int32_t;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return r | g << 8 | COLORREF(b) << 16;
}

struct RECT {
    LONG left, top, right, bottom;
};
struct POINT {
    LONG x, y;
};
struct SIZE {
    LONG cx, cy;
};

// GDI objects have distinct handle types, as in Windows' STRICT headers: a pen, a brush and a
// font each convert to HGDIOBJ, never to each other. Objects are made by the Create calls only.
struct HGDIOBJ__ {
    virtual ~HGDIOBJ__() = default;
    HGDIOBJ__(const HGDIOBJ__&) = delete;
    HGDIOBJ__& operator=(const HGDIOBJ__&) = delete;

protected:
    HGDIOBJ__() = default;
};
struct HPEN__ : HGDIOBJ__ {
protected:
    HPEN__() = default;
};
struct HBRUSH__ : HGDIOBJ__ {
protected:
    HBRUSH__() = default;
};
struct HFONT__ : HGDIOBJ__ {
protected:
    HFONT__() = default;
};
using HGDIOBJ = HGDIOBJ__*;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;

struct DeviceContext;
using HDC = DeviceContext*;

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_HOLLOW = 1;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_TOP = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    uintptr_t lbHatch;
};

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};

HPEN CreatePen(int style, int width, COLORREF colour);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
HBRUSH CreateSolidBrush(COLORREF colour);
HFONT CreateFontIndirectA(const LOGFONTA* font);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const WCHAR* face);
BOOL DeleteObject(HGDIOBJ object);

// A context on no pixels, for measuring text.
HDC CreateCompatibleDC(HDC reference);
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
// LOGPIXELSX and LOGPIXELSY: the dots per inch the desktop asks programs to draw at (96 without
// scaling), the same for every context; 0 for other indexes. The window layer answers it, since
// the desktop knows its scale.
int GetDeviceCaps(HDC dc, int index);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
UINT SetTextAlign(HDC dc, UINT align);

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
// Lines end at CR, LF or CR LF. With DT_CALCRECT the rectangle's right and bottom are set to
// fit the text and nothing is drawn. Returns the text's height.
int DrawTextA(HDC dc, const char* text, int count, RECT* rect, UINT format);

// The pixel layout of a buffer that a context draws on: the bit position of each colour byte.
struct PixelLayout {
    int redShift = 16, greenShift = 8, blueShift = 0;
};

// A context drawing on 32-bit pixels (pitch in bytes), for the platform's surfaces and windows.
HDC CreatePixelDC(uint32_t* pixels, int width, int height, int pitch, PixelLayout layout);
#endif

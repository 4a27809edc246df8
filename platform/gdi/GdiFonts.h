// Fonts of the GDI stand-in: faces found through fontconfig, glyphs rendered by FreeType.
#pragma once

#include <cstdint>
#include <memory>

// A face at one pixel size.
class GdiFont {
public:
    // height < 0: em height in pixels; > 0: cell height (ascent + descent); 0: a cell of 16.
    // A face that cannot cover Cyrillic falls back to DejaVu Sans.
    static std::unique_ptr<GdiFont> Create(const char* face, int height, int weight,
                                           bool antialiased);
    ~GdiFont();
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;

    int Ascent() const { return ascent; }
    int Height() const { return ascent + descent; }
    bool Antialiased() const { return antialiased; }

    // Coverage of one glyph, one byte per pixel (0..255), row by row.
    struct Glyph {
        int advance = 0;
        int left = 0, top = 0; // offset of the bitmap from the pen position on the baseline
        int width = 0, rows = 0;
        const uint8_t* coverage = nullptr;
        int pitch = 0;
    };
    // The glyph of a Unicode character; valid until the next call. Without a face the glyph
    // has an advance of half the height and no pixels.
    Glyph Render(char32_t character);

private:
    GdiFont() = default;
    struct Face;
    std::unique_ptr<Face> face;
    int ascent = 0, descent = 0;
    bool antialiased = false;
};

// The Unicode character of a code page 1251 byte.
char32_t UnicodeOf1251(unsigned char byte);

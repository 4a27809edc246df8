// Fonts of the GDI stand-in. The faces the program names come from the files Windows' own
// replacements ship under Wine ("MS Sans Serif": the 96-dpi code page 1251 raster font,
// "Tahoma": its TrueType file); other faces are found through fontconfig; DejaVu Sans stands in
// where a face is missing. Glyphs are kept per code page 1251 byte: measuring reads advances
// only, and a glyph's image is rendered once, the first time it is drawn.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Where the named faces' files are looked for, in order: Debian's fonts-wine, then a Wine
// installed from its own packages.
inline constexpr const char* WineFontDirectories[] = {"/usr/share/wine/fonts",
                                                      "/opt/wine-stable/share/wine/fonts"};

// A face at one pixel size.
class GdiFont {
public:
    // height < 0: em height in pixels; > 0: cell height (ascent + descent); 0: a cell of 16.
    // A raster face takes the largest strike whose em (or cell) height is not above the one
    // asked for, or its smallest, drawn at a whole multiple where the height comes close to it. The
    // named faces' files are looked for in the directories given (empty: WineFontDirectories).
    static std::unique_ptr<GdiFont> Create(const char* face, int height, int weight,
                                           bool antialiased,
                                           const std::vector<std::string>& directories = {});
    ~GdiFont();
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;

    int Ascent() const { return ascent; }
    int Height() const { return ascent + descent; }
    bool Antialiased() const { return antialiased; }
    // The family of the file in use, empty when no file could be opened.
    const std::string& Family() const { return family; }
    // The file in use.
    const std::string& File() const { return file; }

    // Coverage of one glyph, one byte per pixel (0..255), row by row.
    struct Glyph {
        int left = 0, top = 0; // offset of the bitmap from the pen position on the baseline
        int width = 0, rows = 0;
        std::vector<uint8_t> coverage;
    };
    // The advance of a code page 1251 byte's glyph; renders nothing. Without a face every
    // glyph advances half the height.
    int Advance(unsigned char byte);
    // The image of a byte's glyph, rendered the first time and kept with the font.
    const Glyph& Image(unsigned char byte);
    // How many glyph images this font has rendered.
    int RenderedImages() const { return rendered; }

private:
    GdiFont() = default;
    bool Open(const std::string& path, int faceIndex);
    bool UseRaster(const std::string& path, int height);
    bool UseScalable(int height);
    unsigned GlyphIndex(unsigned char byte) const;
    int LoadFlags() const;
    void Enlarge(Glyph& glyph) const;

    struct Face;
    std::unique_ptr<Face> face;
    int ascent = 0, descent = 0;
    bool antialiased = false;
    bool raster = false;
    int scale = 1; // a raster strike's pixels are drawn scale x scale
    std::string family, file;
    int rendered = 0;
    std::array<int, 256> advances{};
    std::array<bool, 256> measured{};
    std::array<std::unique_ptr<Glyph>, 256> images;
};

// The Unicode character of a code page 1251 byte.
char32_t UnicodeOf1251(unsigned char byte);

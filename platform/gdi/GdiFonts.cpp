#include "GdiFonts.h"

#include "platform/Kernel32.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr FcChar32 CyrillicProbe = 0x0416; // Ж

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return library;
}

// The families that stand in for the program's Windows faces.
std::string FamilyFor(const char* face) {
    if (face == nullptr || *face == '\0' || std::strcmp(face, "MS Sans Serif") == 0 ||
        std::strcmp(face, "Tahoma") == 0 || std::strcmp(face, "System") == 0)
        return "sans-serif";
    return face;
}

// The file of the best match for the family that covers Cyrillic, or empty.
std::string MatchFile(const std::string& family, int weight) {
    if (FcInit() == FcFalse) return {};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcCharSet* needed = FcCharSetCreate();
    FcCharSetAddChar(needed, CyrillicProbe);
    FcPatternAddCharSet(pattern, FC_CHARSET, needed);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    FcCharSet* covered = nullptr;
    FcChar8* path = nullptr;
    if (match != nullptr && FcPatternGetCharSet(match, FC_CHARSET, 0, &covered) == FcResultMatch &&
        FcCharSetHasChar(covered, CyrillicProbe) &&
        FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
        file = reinterpret_cast<const char*>(path);
    if (match != nullptr) FcPatternDestroy(match);
    FcCharSetDestroy(needed);
    FcPatternDestroy(pattern);
    return file;
}

} // namespace

struct GdiFont::Face {
    FT_Face ft = nullptr;
    std::vector<uint8_t> coverage;
    ~Face() {
        if (ft != nullptr) FT_Done_Face(ft);
    }
};

std::unique_ptr<GdiFont> GdiFont::Create(const char* faceName, int height, int weight,
                                         bool antialiased) {
    std::unique_ptr<GdiFont> font(new GdiFont);
    font->antialiased = antialiased;
    std::string file = MatchFile(FamilyFor(faceName), weight);
    if (file.empty()) file = MatchFile("DejaVu Sans", weight);
    const int cell = height == 0 ? 16 : std::abs(height);
    font->face = std::make_unique<Face>();
    FT_Library library = Library();
    if (file.empty() || library == nullptr ||
        FT_New_Face(library, file.c_str(), 0, &font->face->ft) != 0) {
        font->face->ft = nullptr;
        font->ascent = cell * 4 / 5;
        font->descent = cell - font->ascent;
        return font;
    }
    FT_Face ft = font->face->ft;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    const double up = ft->units_per_EM > 0 ? ft->units_per_EM : 2048;
    const double winAscent = os2 != nullptr ? os2->usWinAscent : ft->ascender;
    const double winDescent = os2 != nullptr ? os2->usWinDescent : -ft->descender;
    const double em = height < 0 ? -height : cell * up / (winAscent + winDescent);
    FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(std::lround(em)));
    font->ascent = static_cast<int>(std::lround(winAscent * em / up));
    font->descent = static_cast<int>(std::lround(winDescent * em / up));
    return font;
}

GdiFont::~GdiFont() = default;

GdiFont::Glyph GdiFont::Render(char32_t character) {
    Glyph g;
    FT_Face ft = face->ft;
    if (ft == nullptr) {
        g.advance = Height() / 2;
        return g;
    }
    const FT_Int32 flags =
        FT_LOAD_RENDER |
        (antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME);
    if (FT_Load_Char(ft, character, flags) != 0) return g;
    const FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bitmap.width);
    g.rows = static_cast<int>(bitmap.rows);
    std::vector<uint8_t>& cover = face->coverage;
    cover.assign(size_t(g.width) * size_t(g.rows), 0);
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* row = bitmap.buffer + y * bitmap.pitch;
        for (int x = 0; x < g.width; ++x) {
            const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
            cover[size_t(y) * size_t(g.width) + size_t(x)] =
                mono ? ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0) : row[x];
        }
    }
    g.coverage = cover.data();
    g.pitch = g.width;
    return g;
}

char32_t UnicodeOf1251(unsigned char byte) {
    static const std::vector<char32_t> table = [] {
        std::vector<char32_t> t(256);
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            WCHAR unit = 0;
            t[size_t(b)] = MultiByteToWideChar(CP_1251, 0, &c, 1, &unit, 1) > 0 ? unit : U'?';
        }
        return t;
    }();
    return table[byte];
}

#include "GdiFonts.h"

#include "platform/Kernel32.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_WINFONTS_H

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr FcChar32 CyrillicProbe = 0x0416; // Ж
// The cell height of a font asked for with height 0.
constexpr int DefaultCell = 16;

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return library;
}

// A face the program names, and the files that carry it under Wine.
struct NamedFace {
    const char* name;
    const char* regular;
    const char* bold;
    bool raster;
};

// "MS Sans Serif" is the raster font of 96 dpi for code page 1251 (its glyphs are indexed by
// that code page's bytes); Wine takes it, not its TrueType namesake, for this face.
constexpr NamedFace NamedFaces[] = {
    {"MS Sans Serif", "sserifer.fon", "sserifer.fon", true},
    {"Tahoma", "tahoma.ttf", "tahomabd.ttf", false},
};

const NamedFace* Named(const char* face) {
    for (const NamedFace& f : NamedFaces)
        if (face != nullptr && std::strcmp(face, f.name) == 0) return &f;
    return nullptr;
}

bool Bold(int weight) {
    return weight >= 600;
}

// The first of the directories that holds the file, as a path; empty when none does.
std::string FindFile(const char* name, const std::vector<std::string>& directories) {
    for (const std::string& d : directories) {
        std::string path = d + "/" + name;
        if (access(path.c_str(), R_OK) == 0) return path;
    }
    return {};
}

// The fontconfig family that stands in for a face without a file of its own.
std::string FamilyFor(const char* face) {
    if (face == nullptr || *face == '\0' || Named(face) != nullptr ||
        std::strcmp(face, "System") == 0)
        return "DejaVu Sans";
    return face;
}

// The file of the best match for the family that covers Cyrillic, or empty.
std::string MatchFile(const std::string& family, int weight) {
    if (FcInit() == FcFalse) return {};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, Bold(weight) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
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

// The cell and em heights of each strike of a raster font file, in face order.
struct Strike {
    int cell, em, ascent;
};

std::vector<Strike> Strikes(const std::string& path) {
    std::vector<Strike> strikes;
    FT_Face ft = nullptr;
    if (Library() == nullptr || FT_New_Face(Library(), path.c_str(), -1, &ft) != 0) return {};
    const FT_Long faces = ft->num_faces;
    FT_Done_Face(ft);
    for (FT_Long i = 0; i < faces; ++i) {
        FT_WinFNT_HeaderRec header{};
        if (FT_New_Face(Library(), path.c_str(), i, &ft) != 0) return {};
        const bool read = FT_Get_WinFNT_Header(ft, &header) == 0;
        FT_Done_Face(ft);
        if (!read) return {};
        strikes.push_back(
            {header.pixel_height, header.pixel_height - header.internal_leading, header.ascent});
    }
    return strikes;
}

// The strike GDI maps a height to: the largest whose em (height < 0) or cell (height > 0) is
// not above the height asked for; the smallest when every one is above it.
size_t ChooseStrike(const std::vector<Strike>& strikes, int height) {
    const int wanted = height < 0 ? -height : height > 0 ? height : DefaultCell;
    auto size = [&](size_t i) { return height < 0 ? strikes[i].em : strikes[i].cell; };
    size_t fitting = strikes.size(), smallest = 0;
    for (size_t i = 0; i < strikes.size(); ++i) {
        if (size(i) <= wanted && (fitting == strikes.size() || size(i) > size(fitting)))
            fitting = i;
        if (size(i) < size(smallest)) smallest = i;
    }
    return fitting < strikes.size() ? fitting : smallest;
}

// The whole factor a strike is drawn at: GDI draws a raster strike 2, 3... times as wide and
// high where the height asked for comes close enough to that multiple, as Wine's font mapper
// does (measured there: em heights -33 and -44 and cell height 40 give the 20-pixel strike
// doubled, -22 and -26 leave it as it is).
int StrikeScale(const Strike& strike, int height) {
    const int asked = height < 0 ? -height + strike.cell - strike.em : height;
    if (height == 0 || asked <= strike.cell) return 1;
    int scale = (asked + strike.cell - 1) / strike.cell;
    const int over = scale * strike.cell - asked;
    if ((scale > 2 && over > strike.cell / 4) || (scale == 2 && over > strike.cell / 4 - 1))
        --scale;
    return scale;
}

} // namespace

struct GdiFont::Face {
    FT_Face ft = nullptr;
    ~Face() {
        if (ft != nullptr) FT_Done_Face(ft);
    }
};

std::unique_ptr<GdiFont> GdiFont::Create(const char* faceName, int height, int weight,
                                         bool antialiased,
                                         const std::vector<std::string>& directories) {
    std::unique_ptr<GdiFont> font(new GdiFont);
    font->face = std::make_unique<Face>();
    font->antialiased = antialiased;
    bool ready = false;
    if (const NamedFace* named = Named(faceName)) {
        const std::vector<std::string> wine(std::begin(WineFontDirectories),
                                            std::end(WineFontDirectories));
        const std::string path = FindFile(Bold(weight) ? named->bold : named->regular,
                                          directories.empty() ? wine : directories);
        ready = !path.empty() && (named->raster ? font->UseRaster(path, height)
                                                : font->Open(path, 0) && font->UseScalable(height));
    }
    if (!ready) {
        std::string path = MatchFile(FamilyFor(faceName), weight);
        if (path.empty()) path = MatchFile("DejaVu Sans", weight);
        ready = !path.empty() && font->Open(path, 0) && font->UseScalable(height);
    }
    if (!ready) {
        font->face = std::make_unique<Face>();
        font->family.clear();
        font->file.clear();
        const int cell = height == 0 ? DefaultCell : std::abs(height);
        font->ascent = cell * 4 / 5;
        font->descent = cell - font->ascent;
    }
    return font;
}

GdiFont::~GdiFont() = default;

bool GdiFont::Open(const std::string& path, int faceIndex) {
    if (face->ft != nullptr) FT_Done_Face(face->ft);
    face->ft = nullptr;
    if (Library() == nullptr || FT_New_Face(Library(), path.c_str(), faceIndex, &face->ft) != 0) {
        face->ft = nullptr;
        return false;
    }
    file = path;
    family = face->ft->family_name != nullptr ? face->ft->family_name : "";
    return true;
}

bool GdiFont::UseRaster(const std::string& path, int height) {
    const std::vector<Strike> strikes = Strikes(path);
    if (strikes.empty()) return false;
    const size_t chosen = ChooseStrike(strikes, height);
    if (!Open(path, int(chosen))) return false;
    FT_Face ft = face->ft;
    if (ft->num_fixed_sizes < 1 || FT_Select_Size(ft, 0) != 0 || ft->num_charmaps < 1 ||
        FT_Set_Charmap(ft, ft->charmaps[0]) != 0)
        return false;
    raster = true;
    antialiased = false; // raster glyphs have whole pixels only
    scale = StrikeScale(strikes[chosen], height);
    ascent = strikes[chosen].ascent * scale;
    descent = strikes[chosen].cell * scale - ascent;
    return true;
}

bool GdiFont::UseScalable(int height) {
    FT_Face ft = face->ft;
    if (!FT_IS_SCALABLE(ft)) return false;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    const double up = ft->units_per_EM > 0 ? ft->units_per_EM : 2048;
    const double winAscent = os2 != nullptr ? os2->usWinAscent : ft->ascender;
    const double winDescent = os2 != nullptr ? os2->usWinDescent : -ft->descender;
    const int cell = height == 0 ? DefaultCell : std::abs(height);
    const double em = height < 0 ? cell : cell * up / (winAscent + winDescent);
    if (FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(std::lround(em))) != 0) return false;
    ascent = static_cast<int>(std::lround(winAscent * em / up));
    descent = static_cast<int>(std::lround(winDescent * em / up));
    return true;
}

unsigned GdiFont::GlyphIndex(unsigned char byte) const {
    return FT_Get_Char_Index(face->ft, raster ? FT_ULong{byte} : FT_ULong{UnicodeOf1251(byte)});
}

// Outlines, not a TrueType file's embedded bitmaps, so that advances are the outline's hinted
// ones at every size.
int GdiFont::LoadFlags() const {
    if (raster) return FT_LOAD_DEFAULT;
    return FT_LOAD_NO_BITMAP | (antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
}

int GdiFont::Advance(unsigned char byte) {
    if (measured[byte]) return advances[byte];
    int advance = Height() / 2;
    if (face->ft != nullptr)
        advance = FT_Load_Glyph(face->ft, GlyphIndex(byte), LoadFlags()) == 0
                      ? static_cast<int>((face->ft->glyph->advance.x + 32) >> 6) * scale
                      : 0;
    advances[byte] = advance;
    measured[byte] = true;
    return advance;
}

const GdiFont::Glyph& GdiFont::Image(unsigned char byte) {
    std::unique_ptr<Glyph>& image = images[byte];
    if (image != nullptr) return *image;
    image = std::make_unique<Glyph>();
    ++rendered;
    FT_Face ft = face->ft;
    const int mono = antialiased ? 0 : FT_LOAD_MONOCHROME;
    if (ft == nullptr || FT_Load_Glyph(ft, GlyphIndex(byte), LoadFlags() | FT_LOAD_RENDER | mono))
        return *image;
    const FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    Glyph& g = *image;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bitmap.width);
    g.rows = static_cast<int>(bitmap.rows);
    g.coverage.assign(size_t(g.width) * size_t(g.rows), 0);
    const bool bits = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* row = bitmap.buffer + ptrdiff_t(y) * bitmap.pitch;
        for (int x = 0; x < g.width; ++x)
            g.coverage[size_t(y) * size_t(g.width) + size_t(x)] =
                bits ? ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0) : row[x];
    }
    if (scale > 1) Enlarge(g);
    return g;
}

// Each pixel of the glyph made scale x scale.
void GdiFont::Enlarge(Glyph& g) const {
    Glyph large{g.left * scale, g.top * scale, g.width * scale, g.rows * scale, {}};
    large.coverage.resize(size_t(large.width) * size_t(large.rows));
    for (int y = 0; y < large.rows; ++y)
        for (int x = 0; x < large.width; ++x)
            large.coverage[size_t(y) * size_t(large.width) + size_t(x)] =
                g.coverage[size_t(y / scale) * size_t(g.width) + size_t(x / scale)];
    g = std::move(large);
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

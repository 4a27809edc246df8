// The message window's font under a code page other than 1251 (CTest runs this in C.UTF-8):
// its code page 1251 bytes, drawn as the window draws them (TextOutA), come out as the same
// Cyrillic words drawn from UTF-16, so the caption and buttons read in Russian on any system.
#include "Toknosoobzheniy.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Draws text (wide when ansi is null) in font on white, and returns the pixels.
std::vector<uint32_t> Drawn(HFONT font, const char* ansi, const wchar_t* wide) {
    constexpr int W = 120, H = 24;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    PatBlt(dc, 0, 0, W, H, WHITENESS);
    if (ansi != nullptr)
        TextOutA(dc, 2, 2, ansi, int(strlen(ansi)));
    else
        TextOutW(dc, 2, 2, wide, int(wcslen(wide)));
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> pixels(p, p + W * H);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

TEST(MessageWindowFont, DrawsCodePage1251AsCyrillicUnderAnyCodePage) {
    if (GetACP() == 1251) GTEST_SKIP() << "the system's code page is 1251";
    const LOGFONTA request = TOknoSoobzheniy::Font();
    HFONT font = CreateFontIndirectA(&request);
    ASSERT_NE(font, nullptr);
    // The caption and the buttons' captions, and what they read as in code page 1252.
    const struct {
        const char* bytes;
        const wchar_t* russian;
        const wchar_t* western;
    } words[] = {{"\xCE\xF8\xE8\xE1\xEA\xE0", L"Ошибка", L"Îøèáêà"},
                 {"\xCF\xF0\xE8\xED\xFF\xF2\xFC", L"Принять", L"Ïðèíÿòü"},
                 {"\xCE\xF2\xEC\xE5\xED\xE8\xF2\xFC", L"Отменить", L"Îòìåíèòü"}};
    for (const auto& w : words) {
        const std::vector<uint32_t> russian = Drawn(font, nullptr, w.russian);
        ASSERT_TRUE(russian != Drawn(font, nullptr, w.western)) << "no Cyrillic to tell apart";
        EXPECT_TRUE(Drawn(font, w.bytes, nullptr) == russian)
            << "word " << &w - words << " does not read in Russian";
    }
    DeleteObject(font);
}

} // namespace

#include "Kernel.h"
#include "TestText.h"
#include "Tfrmizobragenie.h"
#include "Tgraficheskoeokno.h"
#include "Toknosoobzheniy.h"
#include "VirtualDesktop.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t Red = 0x00FF0000, Green = 0x0000FF00;

RECT Frame(const TForm* form) {
    RECT r{};
    GetWindowRect(form->Handle(), &r);
    return r;
}

std::string Utf8(const TAnsiString& cp1251) {
    return Utf8Of1251(cp1251.Length() > 0 ? cp1251.Data() : "");
}

LRESULT PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

HWND PlainWindow(int width, int height) {
    static const bool registered = [] {
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = PlainProc;
        c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        c.lpszClassName = "Plain";
        return RegisterClassExA(&c) != 0;
    }();
    (void)registered;
    RECT r{0, 0, width, height}; // the client size asked for
    AdjustWindowRectEx(&r, WS_CAPTION, 0, 0);
    return CreateWindowExA(0, "Plain", "plain", WS_CAPTION | WS_VISIBLE, 10, 20, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

class DisplayTest : public testing::Test {
protected:
    void SetUp() override {
        CleanDesktop();
        CoInitialize(nullptr);
        Ansi1251.Load("/proc/no-such-dir/table");
    }
    void TearDown() override {
        delete frmIzobragenie;
        frmIzobragenie = nullptr;
        Ansi1251.Free();
        CoUninitialize();
    }

    // The texts of the error messages shown while making a surface on this display.
    static std::vector<std::string> Refusals(const DisplayFormat& format, bool readable = true) {
        VirtualSetDisplayFormat(format, readable);
        std::vector<std::string> shown;
        auto record = [&shown] {
            auto* box = reinterpret_cast<TOknoSoobzheniy*>(
                GetWindowLongPtrA(VirtualFindWindow("\xCE\xF8\xE8\xE1\xEA\xE0"), GWLP_USERDATA));
            if (box != nullptr) shown.push_back(Utf8(box->Text()));
        };
        for (int i = 0; i < 3; ++i) {
            VirtualQueueCall(record);
            QueueKeyPress(VK_RETURN);
        }
        HWND w = PlainWindow(50, 40);
        {
            TGraficheskoeOkno surface(w, nullptr);
            EXPECT_EQ(surface.CreateBackBuffer(nullptr, 1, -1, false), shown.empty());
            EXPECT_EQ(surface.Primary != nullptr, shown.empty());
        }
        DestroyWindow(w);
        // Input queued for messages that did not come is dropped with the rest of the script.
        VirtualReset();
        return shown;
    }

    // Fills a back buffer green with a red top-left pixel.
    static void Paint(TGraficheskoeOkno& s) {
        IDirectDrawSurface* back = s.BeginDraw(true);
        ASSERT_NE(back, nullptr);
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                static_cast<uint32_t*>(d.lpSurface)[y * DWORD(d.lPitch) / 4 + x] =
                    x == 0 && y == 0 ? Red : Green;
        back->Unlock(nullptr);
        s.EndDraw();
    }
};

TEST_F(DisplayTest, ColourConvertersFollowTheDisplaysByteOrder) {
    HWND w = PlainWindow(20, 20);
    VirtualSetDisplayFormat({true, 32, 0x000000FF, 0x0000FF00, 0x00FF0000});
    {
        TGraficheskoeOkno s(w, nullptr);
        EXPECT_EQ(s.ConvertColour, &ColourAsIs);
        EXPECT_EQ(s.ConvertColour(s.ConvertContext, 0x0000FF), 0x0000FFu);
    }
    VirtualSetDisplayFormat({true, 32, 0x00FF0000, 0x0000FF00, 0x000000FF});
    {
        TGraficheskoeOkno s(w, nullptr);
        EXPECT_EQ(s.ConvertColour, &ColourSwapRedBlue);
        EXPECT_EQ(s.ConvertColour(s.ConvertContext, 0x808080), 0x808080u);
        EXPECT_EQ(s.ConvertColour(s.ConvertContext, 0x0000FF), 0x00FF0000u);
    }
    VirtualSetDisplayFormat({true, 32, 0x0000FF00, 0x00FF0000, 0xFF000000});
    {
        TGraficheskoeOkno s(w, nullptr);
        EXPECT_EQ(s.ConvertColour, &ColourByShifts);
        EXPECT_EQ(s.RedShift, 8);
        EXPECT_EQ(s.ConvertColour(s.ConvertContext, 0x123456), 0x12345600u);
        EXPECT_EQ(s.ConvertColour(s.ConvertContext, 0x7F7F7F), 0x7F7F7F00u);
    }
    EXPECT_EQ(TGraficheskoeOkno::MaskShift(0x00FF0000), 16);
    EXPECT_EQ(TGraficheskoeOkno::MaskWidth(0x00FF0000), 8);
    EXPECT_EQ(TGraficheskoeOkno::MaskWidth(0x0003FC00), 8);
    EXPECT_EQ(TGraficheskoeOkno::MaskWidth(0), 0);
    DestroyWindow(w);
}

TEST_F(DisplayTest, UnusableDisplaysAreRefusedWithTheirMessages) {
    const std::string mode = "Не удаётся проверить режим экрана";
    const std::string bits = "Формат пикселя неправильный. Должен быть - RGB 32 бита";
    const std::string eight = bits + " по 8 бит на цвет";
    EXPECT_EQ(Refusals({}, false), std::vector<std::string>{mode});
    EXPECT_EQ(Refusals({true, 24, 0xFF0000, 0xFF00, 0xFF}), std::vector<std::string>{bits});
    EXPECT_EQ(Refusals({true, 16, 0xF800, 0x07E0, 0x001F}), std::vector<std::string>{bits});
    EXPECT_EQ(Refusals({false, 32, 0, 0, 0}), std::vector<std::string>{bits});
    EXPECT_EQ(Refusals({true, 32, 0x3FF00000, 0x000FFC00, 0x000003FF}),
              std::vector<std::string>{eight});
    EXPECT_EQ(Refusals({true, 32, 0x00FF0000, 0x0000FF00, 0x000000FF}), std::vector<std::string>{});
}

TEST_F(DisplayTest, PresentKeepsTheAspectAndFillsTheBars) {
    struct Case {
        int cw, ch;
        RECT picture;
    };
    const Case cases[] = {
        {300, 100, {50, 0, 250, 100}},  // wider: bars left and right
        {301, 100, {50, 0, 251, 100}},  // odd difference: one pixel wider
        {100, 300, {0, 125, 100, 175}}, // taller: bars above and below
        {100, 50, {0, 0, 100, 50}},     // equal: no bars
    };
    for (const Case& c : cases) {
        HWND w = PlainWindow(c.cw, c.ch);
        TGraficheskoeOkno s(w, nullptr);
        RECT size{0, 0, 100, 50};
        ASSERT_TRUE(s.CreateBackBuffer(&size, 1, -1, false));
        Paint(s);
        s.Present(nullptr);
        int wrong = 0;
        for (int y = 0; y < c.ch; ++y)
            for (int x = 0; x < c.cw; ++x) {
                const bool inside = x >= c.picture.left && x < c.picture.right &&
                                    y >= c.picture.top && y < c.picture.bottom;
                const bool corner = x == c.picture.left && y == c.picture.top;
                const uint32_t want = inside && !corner ? Green : Red;
                const uint32_t got = VirtualClientPixel(w, x, y);
                // The picture's own top-left pixels are red too.
                if (got != want &&
                    !(inside && got == Red && x < c.picture.left + 3 && y < c.picture.top + 3))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0) << c.cw << "x" << c.ch;
        DestroyWindow(w);
    }
}

TEST_F(DisplayTest, DrawingContextWorksWhileThePixelsAreLocked) {
    HWND w = PlainWindow(40, 30);
    TGraficheskoeOkno s(w, nullptr);
    ASSERT_TRUE(s.CreateBackBuffer(nullptr, 0, -1, false));
    EXPECT_EQ(s.Width, 40);
    IDirectDrawSurface* back = s.BeginDraw(true);
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    HDC dc = s.AcquireDrawDC();
    ASSERT_NE(dc, TGraficheskoeOkno::NoDC);
    SelectObject(dc, s.PenWhite);
    MoveToEx(dc, 0, 5, nullptr);
    LineTo(dc, 40, 5);
    s.ReleaseDrawDC();
    EXPECT_EQ(static_cast<uint32_t*>(d.lpSurface)[5 * d.lPitch / 4 + 7], 0x00FFFFFFu);
    back->Unlock(nullptr);
    s.EndDraw();
    EXPECT_EQ(s.DrawDC, TGraficheskoeOkno::NoDC);

    RECT empty{0, 0, 0, 0};
    s.UpdateSize(&empty);
    EXPECT_EQ(s.Width, 1);
    EXPECT_EQ(s.Height, 1);
    DestroyWindow(w);
}

TEST_F(DisplayTest, PictureWindowIsReusedAtTheSameSizeAndReplacedOtherwise) {
    ASSERT_TRUE(CreatePictureWindow(&frmIzobragenie, 330, 670, TAnsiString("Ornalux"), true, false,
                                    true, true));
    TfrmIzobragenie* first = frmIzobragenie;
    EXPECT_EQ(PictureClientWidth(first), 670);
    EXPECT_EQ(PictureClientHeight(first), 330);
    EXPECT_EQ(Frame(first).left, 0);
    EXPECT_EQ(Frame(first).top, 0);
    EXPECT_TRUE(first->Visible());
    Paint(first->Surface);
    ShowWindow(first->Handle(), SW_HIDE);
    ASSERT_TRUE(CreatePictureWindow(&frmIzobragenie, 330, 670, TAnsiString("Again"), false, true,
                                    true, true));
    EXPECT_EQ(frmIzobragenie, first);
    EXPECT_TRUE(first->Visible());
    char title[32];
    GetWindowTextA(first->Handle(), title, sizeof title);
    EXPECT_STREQ(title, "Again");
    first->Surface.Present(nullptr);
    EXPECT_EQ(VirtualClientPixel(first->Handle(), 300, 100), 0u); // cleared to black

    ASSERT_TRUE(CreatePictureWindow(&frmIzobragenie, 200, 300, TAnsiString("Other"), false, true,
                                    true, false));
    EXPECT_NE(frmIzobragenie, nullptr);
    EXPECT_EQ(Frame(frmIzobragenie).left, 1024 - (300 + 2 * 3)); // the frame inside the work area
    EXPECT_EQ(Frame(frmIzobragenie).top, 738 - (200 + 22 + 3));
    EXPECT_FALSE(frmIzobragenie->Visible());
}

TEST_F(DisplayTest, BackBufferIsKeptAtTheSameSizeAndRebuiltBlackOtherwise) {
    ASSERT_TRUE(
        CreatePictureWindow(&frmIzobragenie, 100, 200, TAnsiString("P"), true, false, true, true));
    TfrmIzobragenie* w = frmIzobragenie;
    Paint(w->Surface);
    IDirectDrawSurface* before = w->Surface.BackBuffer;
    SendMessageA(w->Handle(), WM_SIZE, SIZE_RESTORED, 200 | 100 << 16);
    SendMessageA(w->Handle(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(w->Surface.BackBuffer, before);
    w->Surface.Present(nullptr);
    EXPECT_EQ(VirtualClientPixel(w->Handle(), 100, 50), Green);

    w->SetClientWidth(240);
    EXPECT_EQ(w->Surface.Width, 240);
    w->Surface.Present(nullptr);
    EXPECT_EQ(VirtualClientPixel(w->Handle(), 100, 50), 0u);
    // A repaint presents the back buffer.
    Paint(w->Surface);
    InvalidateRect(w->Handle(), nullptr, 1);
    UpdateWindow(w->Handle());
    EXPECT_EQ(VirtualClientPixel(w->Handle(), 100, 50), Green);
}

// A display with no video memory to give (as Wine's without 3D support): it refuses the
// surfaces asked for there and passes everything else to the display it wraps.
class NoVideoMemory : public IDirectDraw {
public:
    explicit NoVideoMemory(IDirectDraw* wrapped) : inner(wrapped) {}
    ~NoVideoMemory() override = default;
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    HRESULT Initialize(GUID* driver) override { return inner->Initialize(driver); }
    HRESULT SetCooperativeLevel(HWND w, DWORD flags) override {
        return inner->SetCooperativeLevel(w, flags);
    }
    HRESULT GetDisplayMode(DDSURFACEDESC* desc) override { return inner->GetDisplayMode(desc); }
    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, void* outer) override {
        if (desc != nullptr && (desc->ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY)) {
            *surface = nullptr;
            return DDERR_OUTOFMEMORY;
        }
        return inner->CreateSurface(desc, surface, outer);
    }
    HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, void* outer) override {
        return inner->CreateClipper(flags, clipper, outer);
    }

private:
    IDirectDraw* inner;
    ULONG references = 1;
};

TEST_F(DisplayTest, ADisplayWithoutVideoMemoryGetsTheBackBufferInSystemMemory) {
    IDirectDraw* real = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw,
                               reinterpret_cast<void**>(&real)),
              S_OK);
    NoVideoMemory display(real);
    HWND w = PlainWindow(50, 40);
    {
        TGraficheskoeOkno surface(w, &display);
        EXPECT_TRUE(surface.CreateBackBuffer(nullptr, 1, -1, false));
        ASSERT_NE(surface.BackBuffer, nullptr);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(surface.BackBuffer->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_NE(desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
        EXPECT_EQ(desc.dwWidth, 50u);
        EXPECT_EQ(desc.dwHeight, 40u);
    }
    DestroyWindow(w);
    real->Release();
}

TEST_F(DisplayTest, BackBufferWhoseHeightAloneChangesIsRebuiltBlack) {
    HWND w = PlainWindow(120, 80);
    TGraficheskoeOkno s(w, nullptr);
    RECT size{0, 0, 100, 50};
    ASSERT_TRUE(s.CreateBackBuffer(&size, 0, -1, false));
    Paint(s);
    IDirectDrawSurface* before = s.BackBuffer;
    before->AddRef();
    ASSERT_TRUE(s.CreateBackBuffer(&size, -1, -1, false));
    EXPECT_EQ(s.BackBuffer, before);
    size.bottom = 60;
    ASSERT_TRUE(s.CreateBackBuffer(&size, -1, -1, false));
    EXPECT_NE(s.BackBuffer, before);
    before->Release();
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(s.BackBuffer->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(d.dwWidth, 100u);
    EXPECT_EQ(d.dwHeight, 60u);
    EXPECT_EQ(s.Height, 60);
    int black = 0;
    for (DWORD y = 0; y < d.dwHeight; ++y)
        for (DWORD x = 0; x < d.dwWidth; ++x)
            black += static_cast<uint32_t*>(d.lpSurface)[y * DWORD(d.lPitch) / 4 + x] == 0;
    EXPECT_EQ(black, 100 * 60);
    s.BackBuffer->Unlock(nullptr);
    DestroyWindow(w);
}

// Off-screen surfaces whose pixels each tell their own place.
class SurfaceTest : public DisplayTest {
protected:
    static constexpr int Side = 16;
    static constexpr int Min = std::numeric_limits<int>::min();
    static constexpr int Max = std::numeric_limits<int>::max();

    void SetUp() override {
        DisplayTest::SetUp();
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, &object),
                  S_OK);
        display = static_cast<IDirectDraw*>(object);
    }
    void TearDown() override {
        for (IDirectDrawSurface* s : surfaces)
            s->Release();
        display->Release();
        DisplayTest::TearDown();
    }

    IDirectDrawSurface* Surface() {
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        d.dwWidth = d.dwHeight = Side;
        IDirectDrawSurface* s = nullptr;
        EXPECT_EQ(display->CreateSurface(&d, &s, nullptr), DD_OK);
        surfaces.push_back(s);
        Mark(s, 0);
        return s;
    }
    static uint32_t Mark(int x, int y, uint32_t tag) {
        return tag | uint32_t(y) << 8 | uint32_t(x);
    }
    // Sets every pixel to its mark with the tag.
    static void Mark(IDirectDrawSurface* s, uint32_t tag) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                static_cast<uint32_t*>(d.lpSurface)[y * d.lPitch / 4 + x] = Mark(x, y, tag);
        s->Unlock(nullptr);
    }
    static std::vector<uint32_t> Pixels(IDirectDrawSurface* s) {
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        std::vector<uint32_t> p;
        if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return p;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                p.push_back(static_cast<uint32_t*>(d.lpSurface)[y * d.lPitch / 4 + x]);
        s->Unlock(nullptr);
        return p;
    }
    // The pixels expected after copying source's rectangle s unstretched to (left, top) of a
    // destination whose pixels were marked with tag.
    static std::vector<uint32_t> Copied(RECT s, int left, int top, uint32_t tag,
                                        uint32_t sourceTag) {
        std::vector<uint32_t> p;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                const int sx = x - left + s.left, sy = y - top + s.top;
                const bool inside = sx >= s.left && sx < s.right && sy >= s.top && sy < s.bottom;
                p.push_back(inside ? Mark(sx, sy, sourceTag) : Mark(x, y, tag));
            }
        return p;
    }

    IDirectDraw* display = nullptr;
    std::vector<IDirectDrawSurface*> surfaces;
};

TEST_F(SurfaceTest, BltFromOutsideTheSourceIsRefusedAndCopiesNothing) {
    IDirectDrawSurface* from = Surface();
    IDirectDrawSurface* to = Surface();
    Mark(to, 0x01000000);
    const std::vector<uint32_t> before = Pixels(to);
    for (RECT bad : {RECT{-1, 0, 4, 4}, RECT{0, -1, 4, 4}, RECT{12, 0, Side + 1, 4},
                     RECT{0, 12, 4, Side + 1}, RECT{8, 2, 4, 6}, RECT{2, 8, 6, 4}, RECT{3, 3, 3, 9},
                     RECT{Min, Min, Max, Max}, RECT{Max - 1, 0, Max, 1}}) {
        RECT where{0, 0, 4, 4};
        EXPECT_EQ(to->Blt(&where, from, &bad, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT)
            << bad.left << "," << bad.top << "," << bad.right << "," << bad.bottom;
    }
    EXPECT_EQ(Pixels(to), before);
    RECT whole{0, 0, Side, Side};
    EXPECT_EQ(to->Blt(nullptr, from, &whole, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixels(to), Copied(whole, 0, 0, 0x01000000, 0));
}

TEST_F(SurfaceTest, BltWithinOneSurfaceOverlapsInEveryDirection) {
    IDirectDrawSurface* s = Surface();
    const RECT source{4, 4, 12, 12};
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            Mark(s, 0);
            RECT to{source.left + dx, source.top + dy, source.right + dx, source.bottom + dy};
            RECT from = source;
            ASSERT_EQ(s->Blt(&to, s, &from, DDBLT_WAIT, nullptr), DD_OK);
            EXPECT_EQ(Pixels(s), Copied(source, to.left, to.top, 0, 0)) << dx << "," << dy;
        }
    // Stretched twice over itself: every pixel is the nearest source pixel as it was before.
    Mark(s, 0);
    RECT from{4, 4, 10, 10}, to{2, 2, 14, 14};
    ASSERT_EQ(s->Blt(&to, s, &from, DDBLT_WAIT, nullptr), DD_OK);
    const std::vector<uint32_t> p = Pixels(s);
    for (int y = to.top; y < to.bottom; ++y)
        for (int x = to.left; x < to.right; ++x)
            ASSERT_EQ(p[y * Side + x], Mark(4 + (x - 2) / 2, 4 + (y - 2) / 2, 0)) << x << "," << y;
}

TEST_F(SurfaceTest, BltDestinationPastTheSurfaceIsClipped) {
    IDirectDrawSurface* from = Surface();
    IDirectDrawSurface* to = Surface();
    Mark(from, 0x02000000);
    const RECT part{0, 0, 10, 10};
    for (POINT at : {POINT{10, 10}, POINT{-4, -6}, POINT{12, -3}, POINT{-7, 13}}) {
        Mark(to, 0);
        RECT where{at.x, at.y, at.x + 10, at.y + 10};
        RECT source = part;
        EXPECT_EQ(to->Blt(&where, from, &source, DDBLT_WAIT, nullptr), DD_OK);
        EXPECT_EQ(Pixels(to), Copied(part, at.x, at.y, 0, 0x02000000)) << at.x << "," << at.y;
    }
    // Destinations near the limits of int stretch without overflow or stray writes.
    for (RECT where : {RECT{Min, Min, Max, Max}, RECT{Max - 2, Max - 2, Max, Max},
                       RECT{Min, 0, Min + 3, 3}, RECT{-3, -3, Max, Max}}) {
        Mark(to, 0);
        RECT source = part;
        EXPECT_EQ(to->Blt(&where, from, &source, DDBLT_WAIT, nullptr), DD_OK);
    }
    RECT toEnd{-3, -3, Max, Max};
    RECT source = part;
    to->Blt(&toEnd, from, &source, DDBLT_WAIT, nullptr);
    EXPECT_EQ(Pixels(to)[0], Mark(0, 0, 0x02000000));
    // The primary surface clips to its window's client area however far the rectangle reaches.
    HWND w = PlainWindow(30, 20);
    TGraficheskoeOkno window(w, display);
    RECT everywhere{Min, Min, Max, Max};
    EXPECT_EQ(window.Primary->Blt(&everywhere, from, &source, DDBLT_WAIT, nullptr), DD_OK);
    // The client's first pixel lies half way along that rectangle.
    EXPECT_EQ(VirtualClientPixel(w, 0, 0), Mark(5, 5, 0)); // the client keeps no top byte
    DestroyWindow(w);
}

TEST_F(SurfaceTest, LockHonoursItsRectangle) {
    IDirectDrawSurface* s = Surface();
    DDSURFACEDESC whole{}, part{};
    whole.dwSize = part.dwSize = sizeof whole;
    ASSERT_EQ(s->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
    s->Unlock(nullptr);
    RECT r{3, 5, 9, 7};
    ASSERT_EQ(s->Lock(&r, &part, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(part.lPitch, whole.lPitch);
    EXPECT_EQ(*static_cast<uint32_t*>(part.lpSurface), Mark(3, 5, 0));
    EXPECT_EQ(static_cast<uint32_t*>(part.lpSurface)[part.lPitch / 4 + 5], Mark(8, 6, 0));
    s->Unlock(&r);
    for (RECT bad : {RECT{-1, 0, 4, 4}, RECT{0, 0, Side + 1, 4}, RECT{5, 5, 2, 8}, RECT{4, 4, 4, 4},
                     RECT{Min, Min, Max, Max}}) {
        EXPECT_EQ(s->Lock(&bad, &part, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
        EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    }
}

struct Tracked {
    std::vector<std::string> calls;
    bool allowDrag = true;
};

void OnTrack(int x, int y, void* data, TfrmIzobragenie*) {
    static_cast<Tracked*>(data)->calls.push_back("track " + std::to_string(x) + "," +
                                                 std::to_string(y));
}
bool OnDragStart(int, int, void* data, TfrmIzobragenie*) {
    static_cast<Tracked*>(data)->calls.push_back("start");
    return static_cast<Tracked*>(data)->allowDrag;
}
void OnDrag(int x, int, void* data, TfrmIzobragenie*) {
    static_cast<Tracked*>(data)->calls.push_back("drag " + std::to_string(x));
}

TEST_F(DisplayTest, MouseIsTrackedFromPressToReleaseOfTheSameButton) {
    ASSERT_TRUE(
        CreatePictureWindow(&frmIzobragenie, 100, 200, TAnsiString("P"), true, false, true, true));
    TfrmIzobragenie* w = frmIzobragenie;
    Tracked t;
    w->OnTrack = OnTrack;
    w->OnDragStart = OnDragStart;
    w->OnDrag = OnDrag;
    w->CallbackData = &t;
    w->FormMouseMove(w, 0, 1, 1);
    w->FormMouseDown(w, mbLeft, ssLeft, 5, 6);
    w->FormMouseDown(w, mbRight, ssLeft | ssRight, 7, 8);
    w->FormMouseMove(w, ssLeft, 9, 9);
    w->FormMouseUp(w, mbRight, ssLeft, 9, 9);
    EXPECT_TRUE(w->Tracking);
    w->FormMouseUp(w, mbLeft, 0, 10, 11);
    EXPECT_FALSE(w->Tracking);
    EXPECT_FALSE(w->Dragging);
    EXPECT_EQ(t.calls, (std::vector<std::string>{"track 5,6", "start", "drag 9", "track 9,9",
                                                 "drag 10", "track 10,11"}));
    t.calls.clear();
    t.allowDrag = false;
    w->FormMouseDown(w, mbRight, ssRight, 1, 2);
    w->FormMouseMove(w, ssRight, 3, 4);
    w->FormMouseUp(w, mbRight, 0, 3, 4);
    EXPECT_EQ(t.calls, (std::vector<std::string>{"track 1,2", "start", "track 3,4", "track 3,4"}));
    EXPECT_EQ(w->LastShift, 0u);

    // Input through the window reaches the same handlers.
    t.calls.clear();
    POINT p{20, 30};
    ClientToScreen(w->Handle(), &p);
    VirtualQueueMouse(WM_LBUTTONDOWN, p.x, p.y);
    VirtualQueueMouse(WM_LBUTTONUP, p.x, p.y);
    RunMessages();
    EXPECT_EQ(t.calls, (std::vector<std::string>{"track 20,30", "start", "track 20,30"}));
}

} // namespace

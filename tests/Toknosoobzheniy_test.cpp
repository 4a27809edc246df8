#include "Kernel.h"
#include "Toknosoobzheniy.h"
#include "VirtualDesktop.h"

#include <gtest/gtest.h>

namespace {

class MessageWindow : public testing::Test {
protected:
    void SetUp() override {
        CleanDesktop();
        Ansi1251.Load("/proc/no-such-dir/table");
    }
    void TearDown() override { Ansi1251.Free(); }

    static void Key(UINT key) { QueueKeyPress(key); }
    static int Show(uint32_t style, const char16_t* text = u"Текст") {
        return ShowMessageWindow(nullptr, text, u"Заголовок", style);
    }
    // The screen point of the middle of a button of a box's window.
    static POINT ButtonCentre(const TOknoSoobzheniy& box, uint32_t buttons, uint32_t index) {
        RECT client{};
        GetClientRect(box.Window(), &client);
        const int rowLeft = (client.right - int(buttons) * 104 + 8) / 2;
        POINT p{rowLeft + int(index) * 104 + 48, client.bottom - 33 + 12};
        ClientToScreen(box.Window(), &p);
        return p;
    }
};

TEST_F(MessageWindow, KeyboardChoosesAndEscapeCancelsOrTakesTheLastButton) {
    Key(VK_RETURN);
    EXPECT_EQ(Show(1), IDOK);
    Key(VK_ESCAPE);
    EXPECT_EQ(Show(1), IDCANCEL);
    Key(VK_ESCAPE);
    EXPECT_EQ(Show(0), IDOK);
    Key(VK_ESCAPE);
    EXPECT_EQ(Show(4), 7);
    Key(VK_TAB);
    Key(VK_SPACE);
    EXPECT_EQ(Show(1), IDCANCEL);
    Key(VK_LEFT);
    Key(VK_RETURN);
    EXPECT_EQ(Show(2), IDCANCEL);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Key(VK_RETURN);
    EXPECT_EQ(Show(5), 4);
    // A key released without its press does not choose.
    VirtualQueueKey(WM_KEYUP, VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_EQ(Show(4), 7);
}

TEST_F(MessageWindow, StyleBitsChooseTheFirstSelectedButton) {
    TOknoSoobzheniy third(TAnsiString("c"), TAnsiString("t"), 3 | 0x200);
    EXPECT_EQ(third.Selected(), 2u);
    TOknoSoobzheniy clamped(TAnsiString("c"), TAnsiString("t"), 3 | 0x300);
    EXPECT_EQ(clamped.Selected(), 2u);
    TOknoSoobzheniy single(TAnsiString("c"), TAnsiString("t"), 0 | 0x300);
    EXPECT_EQ(single.Selected(), 0u);
    Key(VK_RETURN);
    EXPECT_EQ(third.RunModal(), IDCANCEL);
}

TEST_F(MessageWindow, LayoutFollowsTheTextLinesAndTheCaption) {
    TOknoSoobzheniy three(TAnsiString("c"), TAnsiString("one\rtwo\r\nthree"), 0);
    RECT frame{};
    GetWindowRect(three.Window(), &frame);
    EXPECT_EQ(frame.bottom - frame.top, 17 * 3 + 70);
    EXPECT_EQ(frame.right - frame.left, 1 * 104 + 8);
    EXPECT_EQ(frame.left, (1024 - (frame.right - frame.left)) / 2);
    EXPECT_EQ(frame.top, (768 - (frame.bottom - frame.top)) / 2);
    EXPECT_FALSE(IsWindowVisible(three.Window()));

    const std::string longCaption(60, 'W');
    TOknoSoobzheniy wide(TAnsiString(longCaption.c_str()), TAnsiString("x"), 1);
    LOGFONTA f{};
    f.lfHeight = 15;
    std::snprintf(f.lfFaceName, LF_FACESIZE, "MS Sans Serif");
    HFONT font = CreateFontIndirectA(&f);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    int width = 0, height = 0;
    MeasureTextPerChar(dc, longCaption.c_str(), 60, width, height);
    DeleteDC(dc);
    DeleteObject(font);
    GetWindowRect(wide.Window(), &frame);
    EXPECT_EQ(frame.right - frame.left, width + 24);
}

TEST_F(MessageWindow, MouseChoosesOnReleaseOverThePressedButton) {
    // Pressed on "Принять", released on "Отменить": nothing yet; then Escape cancels.
    {
        TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("t"), 1);
        const POINT accept = ButtonCentre(box, 2, 0), cancel = ButtonCentre(box, 2, 1);
        VirtualQueueMouse(WM_LBUTTONDOWN, accept.x, accept.y);
        VirtualQueueMouse(WM_LBUTTONUP, cancel.x, cancel.y);
        Key(VK_ESCAPE);
        EXPECT_EQ(box.RunModal(), IDCANCEL);
    }
    {
        TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("t"), 1);
        const POINT cancel = ButtonCentre(box, 2, 1);
        VirtualQueueMouse(WM_LBUTTONDOWN, cancel.x, cancel.y);
        VirtualQueueMouse(WM_MOUSEMOVE, cancel.x + 3, cancel.y);
        VirtualQueueMouse(WM_LBUTTONUP, cancel.x + 3, cancel.y);
        EXPECT_EQ(box.RunModal(), IDCANCEL);
    }
    {
        TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("t"), 3);
        const POINT gap = ButtonCentre(box, 3, 0);
        // The gap between buttons takes no press; a right click anywhere cancels.
        VirtualQueueMouse(WM_LBUTTONDOWN, gap.x + 50, gap.y);
        VirtualQueueMouse(WM_LBUTTONUP, gap.x + 50, gap.y);
        VirtualQueueMouse(WM_RBUTTONDOWN, gap.x, gap.y - 40);
        VirtualQueueMouse(WM_RBUTTONUP, gap.x, gap.y - 40);
        EXPECT_EQ(box.RunModal(), IDCANCEL);
    }
}

// The window holds the mouse while its button is down: a trip out of the window and back keeps
// the press, and the release on the pressed button chooses it.
TEST_F(MessageWindow, APressSurvivesATripOutOfTheWindowAndBack) {
    TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("t"), 1);
    const POINT accept = ButtonCentre(box, 2, 0);
    RECT frame{};
    GetWindowRect(box.Window(), &frame);
    VirtualQueueMouse(WM_LBUTTONDOWN, accept.x, accept.y);
    VirtualQueueMouse(WM_MOUSEMOVE, frame.left - 30, accept.y); // out sideways
    VirtualQueueCall([&] { EXPECT_EQ(GetCapture(), box.Window()); });
    VirtualQueueMouse(WM_MOUSEMOVE, accept.x, accept.y);
    VirtualQueueMouse(WM_LBUTTONUP, accept.x, accept.y);
    Key(VK_ESCAPE); // only reached when the release did not choose
    EXPECT_EQ(box.RunModal(), IDOK);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MessageWindow, AReleaseOutsideTheWindowChoosesNothing) {
    TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("t"), 1);
    const POINT accept = ButtonCentre(box, 2, 0);
    VirtualQueueMouse(WM_LBUTTONDOWN, accept.x, accept.y);
    VirtualQueueMouse(WM_MOUSEMOVE, 5, 5);
    VirtualQueueMouse(WM_LBUTTONUP, 5, 5);
    Key(VK_ESCAPE);
    EXPECT_EQ(box.RunModal(), IDCANCEL);
}

TEST_F(MessageWindow, CaptionBarDragsTheWindow) {
    TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("t"), 0);
    RECT before{};
    GetWindowRect(box.Window(), &before);
    VirtualQueueMouse(WM_LBUTTONDOWN, before.left + 30, before.top + 5);
    VirtualQueueMouse(WM_MOUSEMOVE, before.left + 60, before.top + 25);
    VirtualQueueMouse(WM_LBUTTONUP, before.left + 60, before.top + 25);
    Key(VK_RETURN);
    EXPECT_EQ(box.RunModal(), IDOK);
    RECT after{};
    GetWindowRect(box.Window(), &after);
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 20);
}

TEST_F(MessageWindow, PaintingShowsCaptionBarButtonsAndText) {
    TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("Text"), 1);
    VirtualQueueCall([&] {
        HWND w = box.Window();
        ASSERT_TRUE(IsWindowVisible(w));
        RECT client{};
        GetClientRect(w, &client);
        ASSERT_EQ(client.right, 214);
        ASSERT_EQ(client.bottom, 85);
        EXPECT_EQ(VirtualClientPixel(w, 100, 2), 0x000080u);  // caption bar
        EXPECT_EQ(VirtualClientPixel(w, 200, 40), 0xC0C0C0u); // face
        EXPECT_EQ(VirtualClientPixel(w, 7, 52), 0xFFFFFFu);   // raised button: light top left
        EXPECT_EQ(VirtualClientPixel(w, 102, 76), 0x808080u); // and dark bottom right
        EXPECT_EQ(VirtualClientPixel(w, 7, 76), 0x808080u);   // the whole bottom row dark
        EXPECT_EQ(VirtualClientPixel(w, 7, 75), 0xFFFFFFu);   // the left edge stops above it
        EXPECT_EQ(VirtualClientPixel(w, 9, 54), 0x808080u);   // focus frame of the selected
        EXPECT_EQ(VirtualClientPixel(w, 113, 54), 0xC0C0C0u); // none on the other button
        EXPECT_EQ(VirtualClientPixel(w, 10, 60), 0xC0C0C0u);
        int dark = 0;
        for (int y = 29; y < 46; ++y)
            for (int x = 8; x < 40; ++x)
                dark += VirtualClientPixel(w, x, y) == 0;
        EXPECT_GT(dark, 10); // the text line
        int captionText = 0;
        for (int y = 0; y < 21; ++y)
            for (int x = 8; x < 40; ++x)
                captionText += VirtualClientPixel(w, x, y) == 0xFFFFFF;
        EXPECT_GT(captionText, 5); // white on the caption bar
    });
    Key(VK_ESCAPE);
    EXPECT_EQ(box.RunModal(), IDCANCEL);
}

TEST_F(MessageWindow, DirectCloseEndsTheLoop) {
    TOknoSoobzheniy box(TAnsiString("c"), TAnsiString("t"), 4);
    VirtualQueueCall([&] { SendMessageA(box.Window(), WM_CLOSE, 0, 0); });
    EXPECT_EQ(box.RunModal(), 6); // the first button stayed selected
    EXPECT_FALSE(IsWindow(box.Window()));
}

TEST_F(MessageWindow, CancelledErrorsAreDroppedForTenSeconds) {
    Key(VK_ESCAPE);
    EXPECT_TRUE(ShowErrorMessage(u"Первая", u"Ошибка"));
    EXPECT_FALSE(ShowErrorMessage(u"Вторая", u"Ошибка"));
    // The main loop dispatches the suppression timer when it is due, ten seconds on.
    VirtualQueueDelay(9999);
    VirtualQueueCall([] { EXPECT_FALSE(ShowErrorMessage(u"Третья", u"Ошибка")); });
    MSG m{};
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), 1);
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(VirtualNow(), 10000u);
    DispatchMessageA(&m);
    Key(VK_RETURN);
    EXPECT_TRUE(ShowErrorMessage(u"Четвёртая", u"Ошибка"));
    Key(VK_RETURN);
    EXPECT_TRUE(ShowErrorMessage(u"Пятая", u"Ошибка"));
    // The timer is gone: nothing more comes.
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), -1);
}

} // namespace

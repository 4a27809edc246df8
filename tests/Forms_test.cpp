#include "VirtualDesktop.h"
#include "platform/Forms.h"
#include "platform/forms/DrawnMessageBox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A control window like the program's: a push button, a group box with two radio buttons.
struct ControlForm : TForm {
    TButton* button;
    TGroupBox* group;
    TRadioButton* left;
    TRadioButton* right;
    std::vector<std::string> clicks;

    ControlForm() : TForm(nullptr, bsSingle) {
        SetClientWidth(307);
        SetClientHeight(58);
        SetPosition(100, 100);
        button = new TButton(this, this);
        button->SetBounds(192, 15, 96, 25);
        button->SetCaption("Pause");
        button->OnClick = [this](void*) { clicks.push_back("button"); };
        group = new TGroupBox(this, this);
        group->SetBounds(16, 8, 137, 41);
        group->SetCaption(" Audio channel: ");
        group->TabOrder = 1;
        left = new TRadioButton(this, group);
        left->SetBounds(16, 16, 49, 17);
        left->SetCaption("Left");
        left->SetChecked(true);
        left->OnClick = [this](void*) { clicks.push_back("left"); };
        right = new TRadioButton(this, group);
        right->SetBounds(64, 16, 49, 17);
        right->SetCaption("Right");
        right->TabOrder = 1;
        right->OnClick = [this](void*) { clicks.push_back("right"); };
    }
};

class FormsTest : public testing::Test {
protected:
    void SetUp() override { CleanDesktop(); }
    static void Run() { RunMessages(); }
    static POINT Screen(const TForm& f, int x, int y) {
        POINT p{x, y};
        ClientToScreen(f.Handle(), &p);
        return p;
    }
    static void Click(const TForm& f, int x, int y) {
        const POINT p = Screen(f, x, y);
        VirtualQueueMouse(WM_LBUTTONDOWN, p.x, p.y);
        VirtualQueueMouse(WM_LBUTTONUP, p.x, p.y);
    }
    static void Key(UINT key) { QueueKeyPress(key); }
};

TEST_F(FormsTest, ControlsAreDrawnInTheClassicLook) {
    ControlForm f;
    f.Show();
    Run();
    HWND w = f.Handle();
    EXPECT_EQ(f.ClientWidth(), 307);
    EXPECT_EQ(VirtualClientPixel(w, 5, 5), 0xC0C0C0u); // form face
    // The button has the keyboard from the start: a black frame round its raised edges.
    EXPECT_EQ(VirtualClientPixel(w, 192, 15), 0x000000u);
    EXPECT_EQ(VirtualClientPixel(w, 193, 16), 0xFFFFFFu); // light top left
    EXPECT_EQ(VirtualClientPixel(w, 286, 38), 0x000000u); // dark bottom right
    EXPECT_EQ(VirtualClientPixel(w, 285, 37), 0x808080u); // inner shadow
    EXPECT_EQ(VirtualClientPixel(w, 16, 48), 0xFFFFFFu);  // etched group frame, bottom
    EXPECT_EQ(VirtualClientPixel(w, 16, 47), 0x808080u);
    EXPECT_EQ(VirtualClientPixel(w, 32 + 5, 24 + 2 + 5), 0x000000u); // the checked dot
    EXPECT_EQ(VirtualClientPixel(w, 80 + 5, 24 + 2 + 5), 0xFFFFFFu); // unchecked face
}

// Pixels where the group box and the radio buttons are drawn as Windows draws them (measured on
// Wine's controls in the classic colours), each one where an earlier drawing was a pixel off.
TEST_F(FormsTest, GroupBoxAndRadioButtonsAreDrawnAsWindowsDrawsThem) {
    ControlForm f;
    f.Show();
    Run();
    HWND w = f.Handle();
    // The etched top line one pixel above the middle of the 13 pixel caption (group top 8).
    EXPECT_EQ(VirtualClientPixel(w, 17, 13), 0x808080u);
    EXPECT_EQ(VirtualClientPixel(w, 17, 14), 0xFFFFFFu);
    // The caption " Audio channel: " (77 wide at x 24) clears the line one pixel each side.
    EXPECT_EQ(VirtualClientPixel(w, 22, 13), 0x808080u);
    EXPECT_EQ(VirtualClientPixel(w, 23, 13), 0xC0C0C0u);
    EXPECT_EQ(VirtualClientPixel(w, 101, 14), 0xC0C0C0u);
    EXPECT_EQ(VirtualClientPixel(w, 102, 13), 0x808080u);
    // The circle one pixel into its box (x 32), from the caption's top row (y 26) down 12 rows.
    EXPECT_EQ(VirtualClientPixel(w, 32, 30), 0xC0C0C0u);
    EXPECT_EQ(VirtualClientPixel(w, 33, 30), 0x808080u); // shadow at the left
    EXPECT_EQ(VirtualClientPixel(w, 43, 30), 0xDFDFDFu); // light inside the highlight at the right
    EXPECT_EQ(VirtualClientPixel(w, 44, 30), 0xFFFFFFu);
    EXPECT_EQ(VirtualClientPixel(w, 35, 30), 0xFFFFFFu); // the window face inside
    EXPECT_EQ(VirtualClientPixel(w, 37, 26), 0x808080u); // top row
    EXPECT_EQ(VirtualClientPixel(w, 39, 37), 0xFFFFFFu); // bottom row
    EXPECT_EQ(VirtualClientPixel(w, 39, 38), 0xC0C0C0u);
    EXPECT_EQ(VirtualClientPixel(w, 41, 28), 0x000000u); // dark shadow at the upper right
    EXPECT_EQ(VirtualClientPixel(w, 42, 28), 0xC0C0C0u); // and the face showing beside it
    // "Left" after the 13 pixel box, half a digit and a pixel: its L stands at x 50.
    EXPECT_EQ(VirtualClientPixel(w, 49, 30), 0xC0C0C0u);
    EXPECT_EQ(VirtualClientPixel(w, 50, 30), 0x000000u);
}

TEST_F(FormsTest, AGroupBoxWithoutCaptionHasItsFrameUnbroken) {
    ControlForm f;
    f.group->SetCaption("");
    f.Show();
    Run();
    for (int x = 17; x < 151; ++x) {
        ASSERT_EQ(VirtualClientPixel(f.Handle(), x, 13), 0x808080u) << x;
        ASSERT_EQ(VirtualClientPixel(f.Handle(), x, 14), 0xFFFFFFu) << x;
    }
}

TEST_F(FormsTest, MouseClicksButtonsAndChecksRadioButtons) {
    ControlForm f;
    f.Show();
    Click(f, 240, 27);
    // Released off the button, on the pixel just past its right or bottom edge, or on its last
    // pixel (the only click of these): the button spans x 192..287 and y 15..39.
    const POINT in = Screen(f, 240, 27);
    for (const POINT up : {POINT{240, 50}, POINT{288, 27}, POINT{240, 40}, POINT{287, 39}}) {
        const POINT out = Screen(f, up.x, up.y);
        VirtualQueueMouse(WM_LBUTTONDOWN, in.x, in.y);
        VirtualQueueMouse(WM_LBUTTONUP, out.x, out.y);
    }
    Click(f, 16 + 64 + 20, 8 + 16 + 8);
    Run();
    EXPECT_EQ(f.clicks, (std::vector<std::string>{"button", "button", "right"}));
    EXPECT_TRUE(f.right->Checked());
    EXPECT_FALSE(f.left->Checked());
    EXPECT_EQ(f.ActiveControl(), f.right);
}

TEST_F(FormsTest, KeyboardMovesFocusAndActsOnTheFocusedControl) {
    ControlForm f;
    f.Show(); // the first control in tab order, the button, has the keyboard
    Key(VK_SPACE);
    Key(VK_TAB); // the checked radio button of the group
    Key(VK_RIGHT);
    Key(VK_LEFT);
    Key(VK_TAB); // back to the button
    Key(VK_RETURN);
    Run();
    EXPECT_EQ(f.clicks, (std::vector<std::string>{"button", "right", "left", "button"}));
    EXPECT_EQ(f.ActiveControl(), f.button);
    EXPECT_TRUE(f.left->Checked());
}

TEST_F(FormsTest, ShiftTabMovesTheFocusBackwards) {
    ControlForm f;
    auto* stop = new TButton(&f, &f);
    stop->SetBounds(192, 42, 96, 12);
    stop->TabOrder = 2;
    f.Show(); // the button has the keyboard
    VirtualQueueKey(WM_KEYDOWN, VK_SHIFT);
    Key(VK_TAB); // back round to the last
    VirtualQueueKey(WM_KEYUP, VK_SHIFT);
    Run();
    EXPECT_EQ(f.ActiveControl(), stop);
    VirtualQueueKey(WM_KEYDOWN, VK_SHIFT);
    Key(VK_TAB);
    VirtualQueueKey(WM_KEYUP, VK_SHIFT);
    Run();
    EXPECT_EQ(f.ActiveControl(), f.left);
    Key(VK_TAB); // forwards again
    Run();
    EXPECT_EQ(f.ActiveControl(), stop);
}

// The arrows wrap round the group at both ends.
TEST_F(FormsTest, ArrowsWrapRoundTheRadioGroup) {
    ControlForm f;
    f.Show();
    f.SetActiveControl(f.left);
    Key(VK_LEFT); // from the first to the last
    Run();
    EXPECT_EQ(f.ActiveControl(), f.right);
    EXPECT_TRUE(f.right->Checked());
    Key(VK_DOWN); // from the last to the first
    Run();
    EXPECT_EQ(f.ActiveControl(), f.left);
    EXPECT_TRUE(f.left->Checked());
    Key(VK_UP);
    Key(VK_RIGHT);
    Run();
    EXPECT_EQ(f.clicks, (std::vector<std::string>{"right", "left", "right", "left"}));
}

// The desktop moves the focus to another window and back: keys follow it, and the form
// keeps its focused control.
TEST_F(FormsTest, KeysFollowTheDesktopsFocusBetweenWindows) {
    ControlForm f;
    TForm other(nullptr, bsDialog);
    other.SetPosition(500, 100);
    f.Show();
    f.SetActiveControl(f.button);
    other.Show(); // shown last, as the picture window is
    VirtualQueueFocus(f.Handle());
    Key(VK_RETURN);
    VirtualQueueFocus(other.Handle());
    Key(VK_RETURN);
    VirtualQueueFocus(f.Handle());
    Key(VK_RETURN);
    Run();
    EXPECT_EQ(f.clicks, (std::vector<std::string>{"button", "button"}));
    EXPECT_EQ(GetFocus(), f.Handle());
}

// A press released outside the window still reaches the control, which lets go without a
// click; the next click works.
TEST_F(FormsTest, APressReleasedOutsideTheWindowClicksNothing) {
    ControlForm f;
    f.Show();
    const POINT in = Screen(f, 240, 27);
    VirtualQueueMouse(WM_LBUTTONDOWN, in.x, in.y);
    VirtualQueueMouse(WM_MOUSEMOVE, 900, 700);
    VirtualQueueCall([&] { EXPECT_TRUE(f.button->Pressed()); });
    VirtualQueueMouse(WM_LBUTTONUP, 900, 700);
    Run();
    EXPECT_FALSE(f.button->Pressed());
    EXPECT_TRUE(f.clicks.empty());
    EXPECT_EQ(GetCapture(), nullptr);
    Click(f, 240, 27);
    Run();
    EXPECT_EQ(f.clicks, (std::vector<std::string>{"button"}));
}

TEST_F(FormsTest, MiddleButtonAndShiftStateReachTheMouseEvents) {
    ControlForm f;
    std::vector<std::string> events;
    f.OnMouseDown = [&](void*, TMouseButton b, TShiftState s, int x, int y) {
        events.push_back("down " + std::to_string(b) + " " + std::to_string(s) + " " +
                         std::to_string(x) + "," + std::to_string(y));
    };
    f.OnMouseUp = [&](void*, TMouseButton b, TShiftState s, int, int) {
        events.push_back("up " + std::to_string(b) + " " + std::to_string(s));
    };
    f.Show();
    const POINT p = Screen(f, 5, 6);
    VirtualQueueKey(WM_KEYDOWN, VK_CONTROL);
    VirtualQueueMouse(WM_MBUTTONDOWN, p.x, p.y);
    VirtualQueueMouse(WM_MBUTTONUP, p.x, p.y);
    VirtualQueueKey(WM_KEYUP, VK_CONTROL);
    Run();
    EXPECT_EQ(events, (std::vector<std::string>{"down 2 36 5,6", "up 2 4"}));
}

// Client size and window size are told apart: the frame lies round the client area, and a
// form placed by its window size in a corner of the work area keeps its frame inside.
TEST_F(FormsTest, ClientSizeExcludesTheFrameAndWidthIncludesIt) {
    ControlForm f;
    EXPECT_EQ(f.ClientWidth(), 307);
    EXPECT_EQ(f.ClientHeight(), 58);
    EXPECT_EQ(f.Width, 307 + 2 * 3);
    EXPECT_EQ(f.Height, 58 + 22 + 3);
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    f.SetPosition(area.right - f.Width, area.bottom - f.Height);
    RECT frame{};
    GetWindowRect(f.Handle(), &frame);
    EXPECT_EQ(frame.right, area.right);
    EXPECT_EQ(frame.bottom, area.bottom);
    EXPECT_EQ(f.Left, frame.left);
    // The desktop resizes it: the form's sizes follow and it hears of it.
    int resized = 0;
    f.OnResize = [&](void*) { ++resized; };
    InputResized(f.Handle(), 400, 100);
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(f.ClientWidth(), 400);
    EXPECT_EQ(f.Width, 406);
}

TEST_F(FormsTest, TimersTickFromTheMessageLoopWhileEnabled) {
    ControlForm f;
    auto* timer = new TTimer(&f);
    timer->SetEnabled(false);
    timer->SetInterval(50);
    int ticks = 0;
    timer->OnTimer = [&](void*) {
        if (++ticks == 4) timer->SetEnabled(false);
    };
    VirtualQueueDelay(500);
    Run();
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(VirtualNow(), 500u); // the time ran on to the script's end
    timer->SetEnabled(true);
    const uint32_t start = VirtualNow();
    Run();
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(VirtualNow() - start, 200u);
}

TEST_F(FormsTest, ApplicationRunsUntilTheMainFormCloses) {
    TApplication app;
    app.Title = "Vespira";
    std::vector<std::string> events;
    auto* form = new ControlForm;
    form->OnCreate = [&](void*) { events.push_back("create"); };
    form->OnDestroy = [&](void*) { events.push_back("destroy"); };
    app.CreateForm(form);
    VirtualQueueCall([&] {
        events.push_back(form->Visible() ? "shown" : "hidden");
        InputClose(form->Handle());
    });
    app.Run();
    EXPECT_EQ(events, (std::vector<std::string>{"create", "shown", "destroy"}));
    app.ShowException("boom");
    const auto boxes = TakeRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "boom");
    delete form;
    EXPECT_EQ(events.size(), 3u);
}

TEST_F(FormsTest, DesktopFactsComeFromTheBackend) {
    VirtualSetScreen({0, 0, 1280, 1024}, {0, 24, 1280, 1024});
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    RECT area{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.top, 24);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), 0xC0C0C0u);
    EXPECT_EQ(GetSysColor(COLOR_ACTIVECAPTION), 0x800000u);
}

} // namespace

// The system message box as the layer draws it: Russian lines in the form's font (the same
// pixels as that font's own text on the face colour), an OK button under them, and every way of
// answering it ends it with IDOK.
TEST(DrawnMessageBox, ShowsItsLinesAndEndsOnEveryAnswer) {
    const char* text = "\xD7\xE8\xF1\xEB\xEE \xE7\xE0 \xEF\xF0\xE5\xE4\xE5\xEB\xE0\xEC\xE8\r\n"
                       "\xD8\xE8\xF0\xE8\xED\xE0"; // "Число за пределами", "Ширина" in 1251
    const std::vector<std::function<void(HWND)>> answers = {
        [](HWND) { QueueKeyPress(VK_RETURN); }, [](HWND) { QueueKeyPress(VK_SPACE); },
        [](HWND) { QueueKeyPress(VK_ESCAPE); }, [](HWND w) { VirtualQueueClose(w); },
        [](HWND w) {
            RECT r{};
            GetWindowRect(w, &r);
            VirtualQueueMouse(WM_LBUTTONDOWN, (r.left + r.right) / 2, r.bottom - 20);
            VirtualQueueMouse(WM_LBUTTONUP, (r.left + r.right) / 2, r.bottom - 20);
        }};
    // Set by a call that runs only after the box ended, in the next loop: it outlives the loop.
    bool stillOpen = false;
    for (size_t i = 0; i < answers.size(); ++i) {
        CleanDesktop();
        int ink = 0, differing = -1;
        stillOpen = false;
        VirtualQueueCall([&] {
            HWND w = VirtualFindWindow("Caption");
            ASSERT_NE(w, nullptr);
            // The same text drawn by GDI on its own.
            std::vector<uint32_t> own(200 * 40, 0xC0C0C0);
            HDC dc = CreatePixelDC(own.data(), 200, 40, 800, PixelLayout{16, 8, 0});
            LOGFONTA f{};
            f.lfHeight = -11;
            std::snprintf(f.lfFaceName, LF_FACESIZE, "MS Sans Serif");
            HFONT font = CreateFontIndirectA(&f);
            SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            RECT r{0, 0, 200, 40};
            DrawTextA(dc, text, -1, &r, DT_LEFT);
            DeleteDC(dc);
            DeleteObject(font);
            RECT client{};
            GetClientRect(w, &client);
            differing = 0;
            for (int y = 0; y < 2 * 13; ++y) // two lines of the 13-pixel strike
                for (int x = 0; x < client.right - 24; ++x) {
                    ink += own[size_t(y * 200 + x)] == 0;
                    differing += VirtualClientPixel(w, 12 + x, 12 + y) != own[size_t(y * 200 + x)];
                }
            answers[i](w);
            // Runs only if the box's loop still waits once the answer is in.
            VirtualQueueCall([&] { stillOpen = true; });
        });
        EXPECT_EQ(DrawnMessageBox(text, "Caption"), IDOK) << i;
        EXPECT_GT(ink, 150) << i;
        EXPECT_EQ(differing, 0) << i;
        EXPECT_FALSE(stillOpen) << i;
        EXPECT_EQ(VirtualFindWindow("Caption"), nullptr) << i;
    }
    CleanDesktop();
}

// Program messages go to standard error; with standard error closed (as a Windows program
// started from Explorer has none) they are kept and shown together in one message box.
TEST(ProgramMessages, GoToStandardErrorOrTogetherIntoOneBox) {
    CleanDesktop();
    TakeRecordedMessageBoxes();
    testing::internal::CaptureStderr();
    ProgramMessage("first");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "first\n");
    const int error = dup(2);
    close(2);
    ProgramMessage("kavrel.ini: one");
    ProgramMessage("kavrel.ini: two");
    dup2(error, 2);
    close(error);
    ShowProgramMessages();
    ShowProgramMessages(); // nothing kept any more
    const auto boxes = TakeRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "kavrel.ini: one\r\nkavrel.ini: two");
}

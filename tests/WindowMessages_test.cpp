// The window layer as Windows behaves: the messages each call sends, in order, as the window
// procedure sees them; the order a message loop takes messages in; geometry, painting, focus
// and capture; and the virtual desktop's test controls.
#include "VirtualDesktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> seen;
// What the recording procedure does beyond recording, per test.
LRESULT (*react)(HWND, UINT, WPARAM, LPARAM) = nullptr;

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    seen.push_back({w, m, wp, lp});
    if (react != nullptr) {
        const LRESULT r = react(w, m, wp, lp);
        if (r != -1) return r;
    }
    return DefWindowProcA(w, m, wp, lp);
}

const char* const Recording = "Recording";

HWND MakeWindow(DWORD style, int x, int y, int width, int height) {
    static const bool registered = [] {
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = RecordingProc;
        c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        c.lpszClassName = Recording;
        return RegisterClassExA(&c) != 0;
    }();
    (void)registered;
    return CreateWindowExA(0, Recording, "w", style, x, y, width, height, nullptr, nullptr, nullptr,
                           nullptr);
}

using Sequence = std::vector<std::pair<HWND, UINT>>;

// The windows and messages seen, less those of the kinds ignored.
Sequence Names(const std::vector<Seen>& got, const std::vector<UINT>& ignore) {
    Sequence names;
    for (const Seen& s : got)
        if (std::find(ignore.begin(), ignore.end(), s.message) == ignore.end())
            names.push_back({s.window, s.message});
    return names;
}

// Takes and dispatches one message; its kind, or WM_NULL when none could come.
UINT Step() {
    MSG m{};
    if (GetMessageA(&m, nullptr, 0, 0) <= 0) return WM_NULL;
    DispatchMessageA(&m);
    return m.message;
}

class WindowLayer : public testing::Test {
protected:
    void SetUp() override {
        CleanDesktop();
        seen.clear();
        react = nullptr;
    }
    void TearDown() override {
        react = nullptr;
        VirtualReset();
    }
};

TEST_F(WindowLayer, ShowingActivatesAndFocusesThenPaintsWithTheBackgroundErasedFirst) {
    HWND a = MakeWindow(WS_POPUP | WS_BORDER, 10, 10, 100, 80);
    seen.clear();
    ShowWindow(a, SW_SHOW);
    EXPECT_EQ(Names(seen, {}), Sequence({{a, WM_SHOWWINDOW},
                                         {a, WM_ERASEBKGND},
                                         {a, WM_NCACTIVATE},
                                         {a, WM_ACTIVATE},
                                         {a, WM_SETFOCUS}}));
    EXPECT_EQ(GetFocus(), a);
    seen.clear();
    EXPECT_EQ(Step(), WM_PAINT);
    EXPECT_EQ(Names(seen, {}), Sequence({{a, WM_PAINT}})); // erased already, while shown
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(a, &update, 0));

    // A second window takes activation and focus: the first hears of it before the second.
    HWND b = MakeWindow(WS_POPUP | WS_BORDER, 200, 10, 100, 80);
    seen.clear();
    ShowWindow(b, SW_SHOW);
    EXPECT_EQ(Names(seen, {WM_SHOWWINDOW, WM_ERASEBKGND}), Sequence({{a, WM_NCACTIVATE},
                                                                     {a, WM_ACTIVATE},
                                                                     {b, WM_NCACTIVATE},
                                                                     {b, WM_ACTIVATE},
                                                                     {a, WM_KILLFOCUS},
                                                                     {b, WM_SETFOCUS}}));
    const auto activate = std::find_if(seen.begin(), seen.end(), [b](const Seen& s) {
        return s.window == b && s.message == WM_ACTIVATE;
    });
    ASSERT_NE(activate, seen.end());
    EXPECT_EQ(activate->wParam & 0xFFFF, WA_ACTIVE);
    EXPECT_EQ(activate->lParam, reinterpret_cast<LPARAM>(a)); // the window that lost it
    // Hiding the active window hands activation back.
    seen.clear();
    ShowWindow(b, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
    // Showing without activation leaves it where it is.
    ShowWindow(b, SW_SHOWNA);
    EXPECT_EQ(GetActiveWindow(), a);
}

TEST_F(WindowLayer, CreatingAndMovingSendWhatWindowsSends) {
    HWND w = MakeWindow(WS_CAPTION, 10, 20, 100, 80);
    EXPECT_EQ(Names(seen, {}), Sequence({{w, WM_CREATE}, {w, WM_SIZE}, {w, WM_MOVE}}));
    EXPECT_EQ(seen[1].lParam, LPARAM(94 | 55 << 16));
    EXPECT_EQ(seen[2].lParam, LPARAM(13 | 42 << 16));
    seen.clear();
    MoveWindow(w, 30, 20, 110, 80, 1);
    EXPECT_EQ(Names(seen, {}), Sequence({{w, WM_MOVE}, {w, WM_SIZE}}));
    seen.clear();
    MoveWindow(w, 30, 20, 110, 80, 1); // nowhere new: nothing to tell
    MoveWindow(w, 31, 20, 110, 80, 1);
    EXPECT_EQ(Names(seen, {}), Sequence({{w, WM_MOVE}}));
}

TEST_F(WindowLayer, InvalidatedPartsArePaintedThroughBeginPaintWhichErasesOnRequest) {
    HWND w = MakeWindow(WS_POPUP, 0, 0, 60, 40);
    ShowWindow(w, SW_SHOW);
    ValidateRect(w, nullptr);
    EXPECT_NE(Step(), WM_PAINT);
    static PAINTSTRUCT painted;
    react = [](HWND w, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m != WM_PAINT) return -1;
        BeginPaint(w, &painted);
        EndPaint(w, &painted);
        return 0;
    };
    HDC dc = GetDC(w);
    const RECT all{0, 0, 60, 40};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOWTEXT));
    ReleaseDC(w, dc);
    const RECT a{5, 5, 10, 10}, b{20, 8, 30, 12};
    InvalidateRect(w, &a, 0);
    InvalidateRect(w, &b, 1);
    seen.clear();
    UpdateWindow(w);
    EXPECT_EQ(Names(seen, {}), Sequence({{w, WM_PAINT}, {w, WM_ERASEBKGND}}));
    EXPECT_EQ(painted.rcPaint.left, 5);
    EXPECT_EQ(painted.rcPaint.top, 5);
    EXPECT_EQ(painted.rcPaint.right, 30);
    EXPECT_EQ(painted.rcPaint.bottom, 12);
    EXPECT_FALSE(painted.fErase); // the default procedure erased
    EXPECT_EQ(VirtualClientPixel(w, 25, 10), 0xC0C0C0u);
    EXPECT_EQ(VirtualClientPixel(w, 40, 30), 0u); // outside the update: untouched
    // Validated, nothing more comes; a validated part leaves the rest to paint.
    seen.clear();
    UpdateWindow(w);
    EXPECT_TRUE(seen.empty());
    const RECT left{0, 0, 30, 40};
    InvalidateRect(w, &all, 0);
    ValidateRect(w, &left);
    RECT update{};
    ASSERT_TRUE(GetUpdateRect(w, &update, 0));
    EXPECT_EQ(update.left, 30);
    EXPECT_EQ(update.right, 60);
    // Outside the client area: nothing to paint.
    const RECT outside{100, 100, 120, 120};
    ValidateRect(w, nullptr);
    InvalidateRect(w, &outside, 1);
    EXPECT_FALSE(GetUpdateRect(w, nullptr, 0));
}

TEST_F(WindowLayer, PostedMessagesComeBeforeInputPaintingAndTimers) {
    HWND w = MakeWindow(WS_POPUP, 0, 0, 50, 50);
    ShowWindow(w, SW_SHOW);
    SetTimer(w, 7, 10, nullptr);
    VirtualQueueDelay(20);
    VirtualQueueKey(WM_KEYDOWN, 'A');
    VirtualQueueCall([w] {
        InvalidateRect(w, nullptr, 0);
        PostMessageA(w, WM_NULL, 0, 0);
        VirtualAdvanceClock(30); // the timer is due too, and the key's release has arrived
    });
    VirtualQueueKey(WM_KEYUP, 'A');
    std::vector<UINT> order;
    while (order.size() < 8)
        order.push_back(Step());
    KillTimer(w, 7);
    // Shown: painted first; the timer at 10; the key at 20; then everything at once.
    EXPECT_EQ(order, (std::vector<UINT>{WM_PAINT, WM_TIMER, WM_KEYDOWN, WM_TIMER, WM_NULL, WM_KEYUP,
                                        WM_PAINT, WM_TIMER}));
}

// A tick whose handler takes longer than the interval must leave room for everything else.
TEST_F(WindowLayer, ASlowTimerStarvesNeitherInputNorPainting) {
    HWND w = MakeWindow(WS_POPUP, 0, 0, 50, 50);
    ShowWindow(w, SW_SHOW);
    static int ticks, paints, keys;
    static uint32_t closedAt;
    ticks = paints = keys = 0;
    closedAt = 0;
    react = [](HWND w, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_TIMER) {
            ++ticks;
            VirtualAdvanceClock(60);
            InvalidateRect(w, nullptr, 0);
        }
        if (m == WM_PAINT) ++paints;
        if (m == WM_KEYDOWN) ++keys;
        if (m == WM_CLOSE) {
            closedAt = VirtualNow();
            PostQuitMessage(0);
            return 0;
        }
        return -1;
    };
    SetTimer(w, 1, 50, nullptr);
    VirtualQueueDelay(500);
    VirtualQueueKey(WM_KEYDOWN, 'K');
    VirtualQueueDelay(500);
    VirtualQueueClose(w);
    ASSERT_TRUE(RunAtMost(1000));
    EXPECT_EQ(keys, 1);
    EXPECT_GE(closedAt, 1000u);
    EXPECT_LE(closedAt, 1060u); // seen after the tick running when it came
    // One tick per handler's run (no pile of late ones), a paint after each.
    EXPECT_EQ(ticks, int(closedAt / 60));
    EXPECT_GE(paints, ticks);
}

TEST_F(WindowLayer, IdleTimeFiresEveryDueTimerInOrderOnTheVirtualClock) {
    HWND w = MakeWindow(WS_POPUP, 0, 0, 50, 50);
    static std::vector<std::pair<uint32_t, WPARAM>> fired;
    fired.clear();
    react = [](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_TIMER) fired.push_back({VirtualNow(), wp});
        return -1;
    };
    SetTimer(w, 1, 30, nullptr);
    SetTimer(w, 2, 50, nullptr);
    ASSERT_TRUE(VirtualIdle(100));
    EXPECT_EQ(VirtualNow(), 100u);
    EXPECT_EQ(fired, (std::vector<std::pair<uint32_t, WPARAM>>{
                         {30, 1}, {50, 2}, {60, 1}, {90, 1}, {100, 2}}));
    // Timers that fell due while the program was busy fire in the order they fell due, once;
    // setting a window's timer again replaces it.
    fired.clear();
    SetTimer(w, 1, 40, nullptr);
    VirtualAdvanceClock(100); // 2 was due at 150, 1 at 140
    ASSERT_TRUE(VirtualIdle(40));
    EXPECT_EQ(fired, (std::vector<std::pair<uint32_t, WPARAM>>{{200, 1}, {200, 2}, {240, 1}}));
    // Idle time with nothing due still passes.
    KillTimer(w, 1);
    KillTimer(w, 2);
    ASSERT_TRUE(VirtualIdle(250));
    EXPECT_EQ(VirtualNow(), 490u);
}

void CountReset() {
    static int resets = 0;
    ++resets;
    seen.push_back({nullptr, UINT(resets), 0, 0});
}

TEST_F(WindowLayer, ResetForgetsWindowsTimersQueueAndClockAndRunsTheHooks) {
    HWND w = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 50, 50);
    SetTimer(w, 1, 10, nullptr);
    SetTimer(nullptr, 0, 10, nullptr);
    PostMessageA(nullptr, WM_NULL, 0, 0);
    SetCapture(w);
    VirtualQueueKey(WM_KEYDOWN, 'X');
    VirtualAdvanceClock(500);
    VirtualOnReset(CountReset);
    VirtualOnReset(CountReset);
    seen.clear();
    VirtualReset();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(WindowCount(), 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(VirtualNow(), 0u);
    EXPECT_EQ(TimeToNextTimer(), UINT32_MAX);
    // Hidden, deactivated, destroyed; then the hook ran once.
    EXPECT_EQ(Names(seen, {}), Sequence({{w, WM_NCACTIVATE},
                                         {w, WM_ACTIVATE},
                                         {w, WM_KILLFOCUS},
                                         {w, WM_DESTROY},
                                         {nullptr, seen.back().message}}));
    MSG m{};
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), -1); // nothing queued, nothing scripted
}

TEST_F(WindowLayer, ALoopWithALivePeriodicTimerEndsAtItsBounds) {
    SetTimer(nullptr, 0, 50, nullptr);
    VirtualSetLoopBounds(1000000, 60000);
    MSG m{};
    int ticks = 0;
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        ++ticks;
    EXPECT_TRUE(VirtualLoopBounded());
    EXPECT_EQ(ticks, 60000 / 50);
    VirtualReset();
    SetTimer(nullptr, 0, 1, nullptr);
    VirtualSetLoopBounds(500, 1000000);
    ticks = 0;
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        ++ticks;
    EXPECT_TRUE(VirtualLoopBounded());
    EXPECT_LT(ticks, 500);
    VirtualReset();
    EXPECT_FALSE(VirtualLoopBounded());
}

TEST_F(WindowLayer, WindowRectangleIncludesTheFrameAndTheClientRectangleDoesNot) {
    RECT r{0, 0, 300, 200};
    ASSERT_TRUE(AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, 0, 0));
    EXPECT_EQ(r.left, -3);
    EXPECT_EQ(r.top, -22);
    EXPECT_EQ(r.right, 303);
    EXPECT_EQ(r.bottom, 203);
    r = {0, 0, 300, 200};
    AdjustWindowRectEx(&r, WS_CAPTION | WS_THICKFRAME, 0, 0);
    EXPECT_EQ(r.left, -4);
    EXPECT_EQ(r.top, -23);
    r = {0, 0, 300, 200};
    AdjustWindowRectEx(&r, WS_POPUP | WS_BORDER, 0, 0);
    EXPECT_EQ(r.left, -1);
    EXPECT_EQ(r.top, -1);
    r = {0, 0, 300, 200};
    AdjustWindowRectEx(&r, WS_POPUP, 0, 0);
    EXPECT_EQ(r.left, 0);

    HWND w = MakeWindow(WS_CAPTION | WS_SYSMENU, 100, 50, 306, 225);
    RECT frame{}, client{};
    GetWindowRect(w, &frame);
    GetClientRect(w, &client);
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.right, 406);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    EXPECT_EQ(origin.x, 103);
    EXPECT_EQ(origin.y, 72);
    // Hit tests know the parts.
    EXPECT_EQ(HitTest(w, {200, 60}), HTCAPTION);
    EXPECT_EQ(HitTest(w, {101, 150}), HTBORDER);
    EXPECT_EQ(HitTest(w, {200, 150}), HTCLIENT);
    EXPECT_EQ(HitTest(w, {50, 150}), HTNOWHERE);

    HWND popup = MakeWindow(WS_POPUP | WS_BORDER, 0, 0, 50, 40);
    GetClientRect(popup, &client);
    EXPECT_EQ(client.right, 48);
    EXPECT_EQ(client.bottom, 38);
}

TEST_F(WindowLayer, TheDesktopsOwnFramesAndSizesAreTakenAsTheyAre) {
    const RECT wide{5, 30, 5, 5};
    VirtualSetDesktopFrame(&wide);
    HWND w = MakeWindow(WS_CAPTION | WS_VISIBLE, 0, 0, 210, 135);
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
    // A tiling desktop gives the window another size, one dimension at a time here: WM_SIZE
    // tells the client size it has.
    for (const POINT size : {POINT{200, 240}, POINT{320, 240}}) {
        seen.clear();
        InputResized(w, size.x, size.y);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().message, WM_SIZE);
        EXPECT_EQ(seen.back().lParam, LPARAM(size.x | size.y << 16));
    }
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 320);
    RECT frame{};
    GetWindowRect(w, &frame);
    EXPECT_EQ(frame.right - frame.left, 330);
    // Mouse points still land right: the client's top left is frame + (5, 30).
    seen.clear();
    VirtualQueueMouse(WM_LBUTTONDOWN, frame.left + 5 + 300, frame.top + 30 + 220);
    Step();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().message, WM_LBUTTONDOWN);
    EXPECT_EQ(seen.back().lParam, LPARAM(300 | 220 << 16));
    // The frame is learnt late: the client area stays put.
    const RECT thin{1, 20, 1, 1};
    InputFrame(w, thin);
    GetWindowRect(w, &frame);
    EXPECT_EQ(frame.left, 4);
    EXPECT_EQ(frame.top, 10);
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 320);
    // Moved by the desktop: WM_MOVE with the client's new top left.
    seen.clear();
    InputMoved(w, {50, 60});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, WM_MOVE);
    EXPECT_EQ(seen[0].lParam, LPARAM(50 | 60 << 16));
}

TEST_F(WindowLayer, MouseGoesToTheWindowUnderThePointerUnlessOneHoldsTheCapture) {
    HWND a = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    HWND b = MakeWindow(WS_POPUP | WS_VISIBLE, 200, 0, 100, 100);
    seen.clear();
    VirtualQueueMouse(WM_LBUTTONDOWN, 50, 50);
    VirtualQueueMouse(WM_MOUSEMOVE, 250, 50);
    VirtualQueueMouse(WM_LBUTTONUP, 250, 50);
    VirtualQueueMouse(WM_MOUSEMOVE, 500, 500); // over no window
    while (Step() != WM_NULL) {
    }
    std::vector<std::string> got;
    for (const Seen& s : seen)
        if (s.message >= WM_MOUSEMOVE && s.message <= WM_MBUTTONUP)
            got.push_back((s.window == a ? "a " : "b ") + std::to_string(s.message));
    EXPECT_EQ(got, (std::vector<std::string>{"a 513", "b 512", "b 514"}));

    // With the capture, everything goes to its holder, in its client coordinates.
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(GetCapture(), a);
    seen.clear();
    VirtualQueueMouse(WM_MOUSEMOVE, 250, 40);
    Step();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, a);
    EXPECT_EQ(seen[0].lParam, LPARAM(250 | 40 << 16));
    // Taking it away tells the loser.
    seen.clear();
    SetCapture(b);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, a);
    EXPECT_EQ(seen[0].message, WM_CAPTURECHANGED);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowLayer, ButtonsAndModifiersAreTold) {
    HWND w = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    static SHORT shiftInKey, altInKey;
    react = [](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_KEYDOWN && wp == 'A') {
            shiftInKey = GetKeyState(VK_SHIFT);
            altInKey = GetKeyState(VK_MENU);
        }
        return -1;
    };
    VirtualQueueMouse(WM_MBUTTONDOWN, 10, 10);
    VirtualQueueMouse(WM_MBUTTONUP, 10, 10);
    VirtualQueueKey(WM_KEYDOWN, VK_SHIFT);
    VirtualQueueKey(WM_KEYDOWN, VK_CONTROL);
    VirtualQueueMouse(WM_LBUTTONDOWN, 10, 10);
    VirtualQueueKey(WM_KEYDOWN, 'A');
    VirtualQueueKey(WM_KEYUP, VK_CONTROL);
    VirtualQueueKey(WM_KEYUP, VK_SHIFT);
    VirtualQueueMouse(WM_LBUTTONUP, 10, 10);
    seen.clear();
    while (Step() != WM_NULL) {
    }
    std::vector<std::pair<UINT, WPARAM>> mouse;
    for (const Seen& s : seen)
        if (s.window == w && s.message >= WM_MOUSEMOVE && s.message <= WM_MBUTTONUP)
            mouse.push_back({s.message, s.wParam});
    EXPECT_EQ(mouse, (std::vector<std::pair<UINT, WPARAM>>{
                         {WM_MBUTTONDOWN, MK_MBUTTON},
                         {WM_MBUTTONUP, 0},
                         {WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL},
                         {WM_LBUTTONUP, 0}}));
    EXPECT_LT(shiftInKey, 0);
    EXPECT_EQ(altInKey, 0);
    EXPECT_EQ(ShiftStateOf(MK_MBUTTON | MK_SHIFT), ssMiddle | ssShift);
}

TEST_F(WindowLayer, KeysGoToTheWindowTheDesktopGaveTheFocus) {
    HWND a = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    HWND b = MakeWindow(WS_POPUP | WS_VISIBLE, 200, 0, 100, 100);
    ASSERT_EQ(GetFocus(), b); // shown last
    VirtualQueueFocus(b, false);
    VirtualQueueFocus(a);
    VirtualQueueKey(WM_KEYDOWN, 'Q');
    seen.clear();
    while (Step() != WM_NULL) {
    }
    // The desktop's loss and gain make one move, straight across as on Windows.
    EXPECT_EQ(Names(seen, {WM_NCACTIVATE, WM_PAINT, WM_ERASEBKGND}), Sequence({{b, WM_ACTIVATE},
                                                                               {a, WM_ACTIVATE},
                                                                               {b, WM_KILLFOCUS},
                                                                               {a, WM_SETFOCUS},
                                                                               {a, WM_KEYDOWN}}));
    EXPECT_EQ(GetActiveWindow(), a);
    // A loss alone deactivates; with no focus window, keys go nowhere.
    VirtualQueueFocus(a, false);
    VirtualQueueKey(WM_KEYDOWN, 'R');
    seen.clear();
    while (Step() != WM_NULL) {
    }
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(Names(seen, {WM_NCACTIVATE}), Sequence({{a, WM_ACTIVATE}, {a, WM_KILLFOCUS}}));
}

} // namespace

// The SDL backend on a real X server: Xvfb is started for the test, which is skipped with a
// message where none can be started.
#include "ChildProcess.h"
#include "Kernel.h"
#include "SdlDpi.h"
#include "SdlForms.h"
#include "Tfrmizobragenie.h"
#include "platform/Forms.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

// Last: its macros (None, Status) clash with names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// Xvfb picks a free display itself and tells its number through a pipe, so that tests running
// side by side never share one.
class XServer : public ChildProcess {
public:
    XServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (pid > 0 && poll(&wait, 1, 5000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) {
            Stop();
            return;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }
};

// Runs a command of the desktop's tools and gives its output.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* f = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            out.append(buffer, n);
        pclose(f);
    }
    return out;
}

// What the X server shows of a window (0x00RRGGBB), read with ImageMagick's import.
bool Capture(unsigned long window, std::vector<uint32_t>& pixels, int& width, int& height) {
    const std::string ppm =
        Output("import -silent -window " + std::to_string(window) + " -depth 8 ppm:- 2>/dev/null");
    int maximum = 0, used = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &width, &height, &maximum, &used) != 3 ||
        maximum != 255 || width <= 0 || height <= 0 ||
        ppm.size() < size_t(used) + 1 + size_t(width) * size_t(height) * 3)
        return false;
    const auto* rgb = reinterpret_cast<const uint8_t*>(ppm.data()) + used + 1;
    pixels.resize(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return true;
}

// Runs the message loop for a while (a thread timer ends each wait).
void Pump(int milliseconds) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
    MSG m{};
    for (int i = 0; i < milliseconds / 10 && GetMessageA(&m, nullptr, 0, 0) > 0; ++i)
        DispatchMessageA(&m);
    KillTimer(nullptr, timer);
}

// The X11 geometry xwininfo reports: the window's absolute top left and its size.
RECT XGeometry(unsigned long window) {
    const std::string info = Output("xwininfo -id " + std::to_string(window));
    RECT r{};
    auto field = [&info](const char* name) {
        const size_t at = info.find(name);
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + std::strlen(name));
    };
    r.left = field("Absolute upper-left X:");
    r.top = field("Absolute upper-left Y:");
    r.right = r.left + field("Width:");
    r.bottom = r.top + field("Height:");
    return r;
}

// Whether a window manager frames new windows: it reparents a mapped window into its frame. One
// that is still starting can announce itself and yet lose a window mapped then, which stays
// unmapped for good, so a fresh window is tried every second until one is framed.
bool WindowManagerFramesWindows() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    bool framed = false;
    for (int attempt = 0; attempt < 10 && !framed; ++attempt) {
        const Window w =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        XMapWindow(display, w);
        for (int i = 0; i < 20 && !framed; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            framed =
                XQueryTree(display, w, &root, &parent, &children, &count) != 0 && parent != root;
            if (children != nullptr) XFree(children);
        }
        XDestroyWindow(display, w);
    }
    XCloseDisplay(display);
    return framed;
}

// One X server for all the tests.
class SdlWindow : public testing::Test {
protected:
    static void SetUpTestSuite() { x = new XServer; }
    static void TearDownTestSuite() {
        delete x;
        x = nullptr;
    }
    void SetUp() override {
        if (!x->Running()) GTEST_SKIP() << "no X server could be started (Xvfb missing or failing)";
        Ansi1251.Load("/proc/no-such-dir/table");
    }
    void TearDown() override {
        delete frmIzobragenie;
        frmIzobragenie = nullptr;
        SdlShutdown();
    }
    static XServer* x;
};

XServer* SdlWindow::x = nullptr;

// The test reads back what the X server shows, so a fault anywhere on the way to the screen
// (channels swapped, rows shifted, a stale frame) shows.
TEST_F(SdlWindow, PictureWindowShowsItsBackBuffer) {
    ASSERT_TRUE(CreatePictureWindow(&frmIzobragenie, 120, 200, TAnsiString("Ornalux"), true, false,
                                    true, true));
    TGraficheskoeOkno& s = frmIzobragenie->Surface;
    ASSERT_NE(s.BackBuffer, nullptr);
    IDirectDrawSurface* back = s.BeginDraw(true);
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    // Drawn as COLORREFs (0x00BBGGRR), read back from the screen as 0x00RRGGBB.
    auto colour = [](int x, int y) { return RGB(BYTE(x), BYTE(y * 2), 0x40); };
    auto expected = [](int x, int y) { return uint32_t(x) << 16 | uint32_t(y * 2) << 8 | 0x40; };
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            static_cast<uint32_t*>(d.lpSurface)[y * d.lPitch / 4 + x] =
                s.ConvertColour(s.ConvertContext, colour(x, y));
    back->Unlock(nullptr);
    s.EndDraw();
    s.Present(nullptr);
    Pump(200);

    std::vector<uint32_t> shown;
    int width = 0, height = 0;
    ASSERT_TRUE(Capture(SdlX11Window(frmIzobragenie->Handle()), shown, width, height));
    ASSERT_EQ(width, 200);
    ASSERT_EQ(height, 120);
    int wrong = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            wrong += shown[size_t(y) * 200 + size_t(x)] != expected(x, y);
    EXPECT_EQ(wrong, 0);
}

// GDK_SCALE's whole factor wins; else the X resources' Xft.dpi; else 96.
TEST(SdlDpi, TheDesktopsScaleComesFromGdkScaleElseXftDpi) {
    struct Case {
        const char *resources, *gdkScale;
        int dpi;
    } const cases[] = {
        {nullptr, nullptr, 96},
        {"Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", nullptr, 192},
        {"Xft.dpi: 144.4", nullptr, 144},
        {"Xft.dpi:\t192\n", "3", 288},
        {"Xft.dpi:\t192\n", "1.5", 192}, // not a whole factor: ignored
        {"Xft.dpis:\t192\nXXft.dpi:\t192\n", "0", 96},
        {"Xft.dpi:\t1e9\n", "1e9", 96},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DesktopDpi(c.resources, c.gdkScale), c.dpi)
            << (c.resources ? c.resources : "-") << " / " << (c.gdkScale ? c.gdkScale : "-");
}

// The root window's resources, as a desktop's settings daemon or xrdb sets them.
TEST_F(SdlWindow, TheScreensPixelsPerInchAreTheResourcesXftDpi) {
    unsetenv("GDK_SCALE");
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const char resources[] = "Xft.dpi:\t192\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(resources),
                    int(sizeof resources - 1));
    XCloseDisplay(display);
    HDC screen = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 192);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 192);
    DeleteDC(screen);
}

// Without a window manager the desktop draws no frame: the window is its client area.
TEST_F(SdlWindow, WithoutAWindowManagerTheFrameIsEmptyAndTheDesktopsResizeIsTold) {
    ASSERT_TRUE(
        CreatePictureWindow(&frmIzobragenie, 100, 150, TAnsiString("P"), false, true, true, true));
    HWND w = frmIzobragenie->Handle();
    RECT frame{}, area{};
    GetWindowRect(w, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_EQ(frame.right - frame.left, 150);
    EXPECT_EQ(frame.right, area.right);
    EXPECT_EQ(frame.bottom, area.bottom);
    const unsigned long id = SdlX11Window(w);
    ASSERT_NE(id, 0u);
    Output("xdotool windowsize " + std::to_string(id) + " 260 90");
    Pump(300);
    EXPECT_EQ(frmIzobragenie->ClientWidth(), 260);
    EXPECT_EQ(frmIzobragenie->ClientHeight(), 90);
    EXPECT_EQ(frmIzobragenie->Surface.Width, 260); // WM_SIZE reached the picture window
}

// Keys go where the desktop puts the focus: after a trip to the picture window and back, Return
// presses the control window's focused button, and a Return in the picture window does not.
TEST_F(SdlWindow, ReturnReachesTheFocusedButtonAfterTheFocusCameBack) {
    TForm control(nullptr, bsSingle);
    control.SetClientWidth(200);
    control.SetClientHeight(60);
    control.SetPosition(500, 400);
    auto* button = new TButton(&control, &control);
    button->SetBounds(10, 10, 96, 25);
    int clicks = 0;
    button->OnClick = [&clicks](void*) { ++clicks; };
    control.SetActiveControl(button);
    control.Show();
    ASSERT_TRUE(
        CreatePictureWindow(&frmIzobragenie, 100, 150, TAnsiString("P"), true, false, true, true));
    const std::string picture = std::to_string(SdlX11Window(frmIzobragenie->Handle()));
    const std::string controls = std::to_string(SdlX11Window(control.Handle()));
    Pump(200);
    Output("timeout 10 xdotool windowfocus --sync " + picture + " key Return");
    Pump(200);
    EXPECT_EQ(GetFocus(), frmIzobragenie->Handle());
    EXPECT_EQ(clicks, 0);
    Output("timeout 10 xdotool windowfocus --sync " + controls + " key Return");
    Pump(200);
    EXPECT_EQ(GetFocus(), control.Handle());
    EXPECT_EQ(clicks, 1);
}

// With a window manager the frame is learnt before placing, so the whole window keeps inside
// the work area, and the client area sits where the layer says.
TEST_F(SdlWindow, AWindowManagersFrameIsTakenIntoThePlacement) {
    const pid_t wm = fork();
    if (wm == 0) {
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (!WindowManagerFramesWindows()) {
        kill(wm, SIGTERM);
        waitpid(wm, nullptr, 0);
        GTEST_SKIP() << "openbox did not start";
    }
    ASSERT_TRUE(
        CreatePictureWindow(&frmIzobragenie, 100, 150, TAnsiString("P"), false, true, true, true));
    Pump(300);
    HWND w = frmIzobragenie->Handle();
    RECT frame{}, area{};
    GetWindowRect(w, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_GT(frame.bottom - frame.top, 100); // a caption bar at least
    EXPECT_LE(frame.right, area.right);
    EXPECT_LE(frame.bottom, area.bottom);
    EXPECT_GE(frame.left, area.left);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    const RECT shown = XGeometry(SdlX11Window(w));
    EXPECT_EQ(shown.left, origin.x);
    EXPECT_EQ(shown.top, origin.y);
    EXPECT_EQ(shown.right - shown.left, 150);
    delete frmIzobragenie;
    frmIzobragenie = nullptr;
    kill(wm, SIGTERM);
    waitpid(wm, nullptr, 0);
}

} // namespace

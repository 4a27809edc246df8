#include "ProgramRun.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>
#include <vector>

namespace {

RECT Frame(const TForm* form) {
    RECT r{};
    GetWindowRect(form->Handle(), &r);
    return r;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// What the constructor derived, as the program holds it.
struct Derived {
    uint32_t n, h, rows, cols, lags, points;
    int clientWidth, clientHeight;
    double timeFrom, fmin, fmax;
};

Derived Snapshot() {
    return {frmMain->SampleFifo.BlockLength(),
            frmMain->SampleFifo.Advance(),
            frmMain->Rows,
            frmMain->Cols,
            ZolConfig.LagCount,
            ZolConfig.PointCount,
            PictureClientWidth(frmIzobragenie),
            PictureClientHeight(frmIzobragenie),
            frmMain->TimeFrom,
            frmMain->FreqFrom,
            frmMain->FreqTo};
}

class Program : public ProgramRun {
protected:
    Derived RunAndSnapshot() {
        Derived d{};
        At([&] { d = Snapshot(); });
        EXPECT_EQ(RunProgram(), 0);
        return d;
    }
    // The picture window's client pixels after a second and a half of two tones with these
    // settings; then runs after that, while the program still runs.
    std::vector<uint32_t> PictureWith(const char* settings, std::function<void()> then = {}) {
        CleanDesktop();
        VirtualSetScreen({0, 0, 2560, 1440}, {0, 0, 2560, 1400});
        VirtualCaptureSource source;
        source.channel[0].tones = {{440, 0.3}};
        source.channel[1].tones = {{880, 0.3}};
        VirtualSetCaptureSource(source);
        WriteSettings(settings);
        std::vector<uint32_t> pixels;
        Pass(1500);
        At([&] {
            for (int y = 0; y < frmIzobragenie->ClientHeight(); ++y)
                for (int x = 0; x < frmIzobragenie->ClientWidth(); ++x)
                    pixels.push_back(VirtualClientPixel(frmIzobragenie->Handle(), x, y));
        });
        if (then) At(std::move(then));
        EXPECT_EQ(RunProgram(), 0);
        return pixels;
    }
};

TEST_F(Program, WithoutSettingsFileTheDefaultsHold) {
    const Derived d = RunAndSnapshot();
    EXPECT_EQ(d.n, 552u);
    EXPECT_EQ(d.h, 183u);
    EXPECT_EQ(d.rows, 280u);
    EXPECT_EQ(d.cols, 600u);
    EXPECT_EQ(d.lags, 138u);
    EXPECT_EQ(d.points, 280u);
    EXPECT_EQ(d.clientWidth, 670);
    EXPECT_EQ(d.clientHeight, 330);
    EXPECT_NEAR(d.timeFrom, -9.9426, 5e-5);
    EXPECT_EQ(d.fmin, 40.0);
    EXPECT_EQ(d.fmax, 1200.0);
    EXPECT_EQ(Count(said, "kavrel.ini"), 0);
}

TEST_F(Program, SettingsFileLinesEndAtCrLfOrCrLfAndTheLastNeedsNoEnding) {
    WriteSettings("\xEF\xBB\xBF" // a UTF-8 mark, as Notepad writes it
                  "Fmin = 55.125\rfmax=3000\nsize=50 %\r\nheight=300.9\r\n"
                  "colour=5\n; Fmin = 2\n# Fmin = 3\n= 4\n\nFmax=1000\rwidth=400");
    const Derived d = RunAndSnapshot();
    EXPECT_DOUBLE_EQ(d.fmin, 55.125);
    EXPECT_EQ(d.fmax, 1000.0); // the lower-case key is ignored
    EXPECT_EQ(d.n, 204u);      // E 400, x 0.5 = 200, a multiple of 4 gains 4
    EXPECT_EQ(d.h, 67u);       // 204 x step just below 68
    EXPECT_EQ(d.rows, 300u);
    EXPECT_EQ(d.points, 300u);
    EXPECT_EQ(d.clientHeight, 350);
    EXPECT_EQ(d.cols, 400u); // the last line, without an ending, is applied
    EXPECT_EQ(d.clientWidth, 470);
    EXPECT_EQ(d.lags, 51u);
    EXPECT_NEAR(d.timeFrom, -67.0 / 11025 * 399, 1e-12);
    EXPECT_EQ(Count(said, "kavrel.ini: the key \"fmax\" is not known"), 1) << said;
    EXPECT_EQ(Count(said, "kavrel.ini: the key \"colour\" is not known"), 1) << said;
    EXPECT_EQ(Count(said, "\n"), 2) << said; // comments and a line without a key pass silently
}

TEST_F(Program, AUtf16SettingsFileIsNotReadAndSaidToBeSavedAnew) {
    WriteSettings(std::string("\xFF\xFEw\0i\0d\0t\0h\0=\0004\0\r\0\n\0", 20));
    EXPECT_EQ(RunAndSnapshot().cols, 600u);
    EXPECT_EQ(said, "kavrel.ini: the file is saved as UTF-16 (Unicode) and is not read; save it "
                    "as ANSI or UTF-8\n");
}

TEST_F(Program, EveryValueOutOfRangeKeepsItsDefaultAndIsNamedOnce) {
    WriteSettings("Fmin=abc\r\nFmax=6000\r\nstep=2\r\nsize=0\r\nheight=1\r\nwidth=5000\r\n");
    const Derived d = RunAndSnapshot();
    EXPECT_EQ(d.fmin, 40.0);
    EXPECT_EQ(d.fmax, 1200.0);
    EXPECT_EQ(d.n, 552u);
    EXPECT_EQ(d.h, 183u);
    EXPECT_EQ(d.rows, 280u);
    EXPECT_EQ(d.cols, 600u);
    for (const char* key : {"Fmin = abc is not", "Fmax = 6000 ", "step = 2 ", "size = 0 ",
                            "height = 1 ", "width = 5000 "})
        EXPECT_EQ(Count(said, std::string("kavrel.ini: ") + key), 1) << key << said;
    EXPECT_EQ(Count(said, "\n"), 6) << said;
    EXPECT_TRUE(TakeRecordedMessageBoxes().empty());
}

// Where nothing reads standard error, start-up's complaints and the missing device come together
// in one box as soon as the program runs.
TEST_F(Program, WithoutStandardErrorStartUpLinesComeTogetherInOneBox) {
    WriteSettings("Fmin=abc\r\nwidth=5000\r\nfmax=1\r\n");
    VirtualCaptureSource none;
    none.present = false;
    VirtualSetCaptureSource(none);
    std::vector<RecordedMessageBox> boxes;
    At([&] { boxes = TakeRecordedMessageBoxes(); });
    EXPECT_EQ(RunProgram(false), 0);
    EXPECT_EQ(said, "");
    ASSERT_EQ(boxes.size(), 1u);
    for (const char* line : {"kavrel.ini: Fmin = abc is not", "kavrel.ini: width = 5000 ",
                             "kavrel.ini: the key \"fmax\"", "kavrel: no sound capture device"})
        EXPECT_EQ(Count(boxes[0].text, line), 1) << line << boxes[0].text;
    EXPECT_EQ(Count(boxes[0].text, "\r\n"), 3) << boxes[0].text;
    EXPECT_TRUE(TakeRecordedMessageBoxes().empty());
}

TEST_F(Program, MemoryRunningOutEndsWithAnErrorBoxAndStatusTwo) {
    Pass(100);
    At([] { throw std::bad_alloc(); }); // as a failing new in a tick or a click throws it
    EXPECT_EQ(RunProgram(), 2);
    EXPECT_EQ(said, "kavrel: out of memory; the program ends\n");
    const std::vector<RecordedMessageBox> boxes = TakeRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.substr(0, 20), "\xCD\xE5\xE4\xEE\xF1\xF2\xE0\xF2\xEE\xF7\xED\xEE "
                                           "\xEF\xE0\xEC\xFF\xF2\xE8:");
    EXPECT_EQ(boxes[0].style, unsigned(MB_OK | MB_ICONERROR));
}

// Wine without X grants a display object and then refuses every window.
TEST_F(Program, WindowsThatCannotBeMadeEndItAsNoDisplayDoes) {
    VirtualRefuseWindows(true);
    EXPECT_EQ(RunProgram(), 1);
    EXPECT_EQ(said, "kavrel: no display is available to show the viewer's windows on\n");
}

TEST_F(Program, WindowsSitInTheCornersOfTheWorkArea) {
    RECT control{}, picture{}, work{};
    std::string caption, group, pause, left, right;
    int controlWidth = 0, controlHeight = 0;
    VirtualSetScreen({0, 0, 1280, 1024}, {40, 20, 1200, 990});
    At([&] {
        control = Frame(frmMain);
        picture = Frame(frmIzobragenie);
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        char text[64];
        GetWindowTextA(frmMain->Handle(), text, sizeof text);
        caption = text;
        controlWidth = frmMain->ClientWidth();
        controlHeight = frmMain->ClientHeight();
        group = frmMain->gbChannel->Caption();
        pause = frmMain->bnPauza->Caption();
        left = frmMain->rbLeftChannel->Caption();
        right = frmMain->rbRightChannel->Caption();
        EXPECT_TRUE(frmMain->rbLeftChannel->Checked());
        EXPECT_TRUE(frmMain->Visible());
        EXPECT_TRUE(frmIzobragenie->Visible());
    });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(control.right, 1200);
    EXPECT_EQ(control.bottom, 990);
    EXPECT_EQ(picture.left, 40);
    EXPECT_EQ(picture.top, 20);
    EXPECT_EQ(caption, "Vespira 1.2");
    EXPECT_EQ(controlWidth, 307);
    EXPECT_EQ(controlHeight, 58);
    EXPECT_EQ(group, " Audio channel: ");
    EXPECT_EQ(pause, "Pause");
    EXPECT_EQ(left, "Left");
    EXPECT_EQ(right, "Right");
}

TEST_F(Program, WithoutSettingsFileHereTheUsersConfigFolderIsRead) {
    std::filesystem::create_directories(dir.File("config/kavrel"));
    dir.Write("config/kavrel/kavrel.ini", "width = 400");
    EXPECT_EQ(RunAndSnapshot().cols, 400u);
    WriteSettings("width = 500");
    EXPECT_EQ(SettingsFilePath(), "kavrel.ini");
    std::filesystem::remove(dir.File("kavrel.ini"));
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/kavrel/kavrel.ini");
}

// The zoom of a kavrel.ini key, else of the screen's pixels per inch (rounded down, at most 4):
// both windows grow by it in the corners of the work area, the controls at that many times
// their places and sizes.
TEST_F(Program, TheZoomOfTheSettingsOrTheScreenGrowsBothWindows) {
    struct Case {
        const char* settings;
        int dpi, zoom, textHeight; // that of the raster face asked for at zoom times its height
    } const cases[] = {{"", 144, 1, 13},
                       {"", 192, 2, 20},
                       {"", 960, 4, 40},
                       {"zoom = 3", 192, 3, 40},
                       {"zoom = 5", 192, 2, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.settings) + " at " + std::to_string(c.dpi) + " dpi");
        CleanDesktop();
        VirtualSetScreen({0, 0, 4096, 2160}, {0, 0, 4096, 2120});
        VirtualSetDpi(c.dpi);
        WriteSettings(c.settings);
        const int k = c.zoom;
        At([&] {
            const RECT pause = frmMain->bnPauza->FormRect(),
                       right = frmMain->rbRightChannel->FormRect();
            EXPECT_EQ(frmMain->ClientWidth(), 307 * k);
            EXPECT_EQ(pause.left, 192 * k);
            EXPECT_EQ(right.top, 24 * k);
            EXPECT_EQ(right.right, 129 * k);
            EXPECT_EQ(frmIzobragenie->ClientHeight(), 330 * k);
            EXPECT_EQ(Frame(frmMain).right, 4096);
            EXPECT_EQ(Frame(frmMain).bottom, 2120);
            HDC dc = CreateCompatibleDC(nullptr);
            SelectObject(dc, frmMain->Font());
            SIZE text{};
            GetTextExtentPoint32A(dc, "Pause", 5, &text);
            DeleteDC(dc);
            EXPECT_EQ(text.cy, c.textHeight);
        });
        EXPECT_EQ(RunProgram(), 0);
    }
}

// Sends a press and release of the left button at a client point, as the mouse makes them.
void Click(const TForm* form, int x, int y) {
    const LPARAM at = LPARAM(y) << 16 | LPARAM(x);
    SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(form->Handle(), WM_LBUTTONUP, 0, at);
}

// The picture at zoom 2 is the picture at zoom 1 with each pixel made 2 x 2; the controls take
// clicks at their grown places and the keyboard as before; a click on the picture reaches its
// handlers in the picture's pixels.
TEST_F(Program, AtZoomTwoThePictureIsDoubledAndTheControlsAnswerMouseAndKeys) {
    const std::vector<uint32_t> one = PictureWith("");
    std::vector<std::string> seen;
    const std::vector<uint32_t> two = PictureWith("zoom=2\r\n", [&] {
        static std::string tracked; // each press and release
        frmIzobragenie->OnTrack = [](int x, int y, void*, TfrmIzobragenie*) {
            tracked += std::to_string(x) + "," + std::to_string(y) + " ";
        };
        Click(frmIzobragenie, 101, 51);
        Click(frmMain, 240, 27); // the button's centre at zoom 1 lies outside it now
        seen.push_back(frmMain->bnPauza->Caption());
        Click(frmMain, 2 * (80 + 10), 2 * (24 + 8)); // Right
        seen.push_back(std::to_string(frmMain->Channel));
        SendMessageA(frmMain->Handle(), WM_KEYDOWN, VK_LEFT, 0);
        seen.push_back(std::to_string(frmMain->Channel));
        Click(frmMain, 2 * (192 + 48), 2 * (15 + 12));
        seen.push_back(frmMain->bnPauza->Caption());
        seen.push_back(tracked);
    });
    ASSERT_EQ(one.size(), 670u * 330u);
    ASSERT_EQ(two.size(), 4 * one.size());
    int differ = 0;
    for (size_t y = 0; y < 660; ++y)
        for (size_t x = 0; x < 1340; ++x)
            differ += two[y * 1340 + x] != one[y / 2 * 670 + x / 2];
    EXPECT_EQ(differ, 0);
    // Neither black nor the scales' green: the tones' lines.
    EXPECT_GT(std::count_if(one.begin(), one.end(), [](uint32_t p) { return p % 0x00FF00 != 0; }),
              1000);
    EXPECT_EQ(seen, (std::vector<std::string>{"Pause", "1", "0", "Continue", "50,25 50,25 "}));
}

} // namespace

// A picture wider than the screen: its part on the screen is presented, and the viewer says so
// once (Wine's DirectDraw, which refuses a destination past the screen, is tried by
// kavrel_wine_wide_picture).
TEST_F(Program, APictureWiderThanTheScreenShowsItsPartOnTheScreen) {
    WriteSettings("width = 960\r\n");
    int green = 0;
    Pass(1000);
    At([&] {
        for (int y = 0; y < 280; ++y)
            for (int x = 0; x < 70; ++x)
                green += VirtualClientPixel(frmIzobragenie->Handle(), x, y) == 0x00FF00;
    });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_GT(green, 50);
    EXPECT_EQ(Count(said, "larger than the work area"), 1) << said;
}

// A picture reaching past the primary screen onto a second one beside it is shown there too.
TEST_F(Program, APictureReachingASecondScreenIsShownThere) {
    const RECT second{1024, 0, 2048, 768};
    VirtualSetScreen({0, 0, 1024, 768}, {0, 0, 1024, 738}, &second);
    WriteSettings("width = 1200\r\n");
    int green = 0;
    Pass(1000);
    At([&] {
        POINT origin{0, 0};
        ClientToScreen(frmIzobragenie->Handle(), &origin);
        for (int y = 280; y < 330; ++y)
            for (int x = 1024 - origin.x; x < 1270; ++x)
                green += VirtualClientPixel(frmIzobragenie->Handle(), x, y) == 0x00FF00;
    });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_GT(green, 10);
}

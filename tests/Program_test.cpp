#include "ProgramRun.h"

#include <cmath>
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
    WriteSettings("Fmin = 55.125\rfmax=3000\nsize=50 %\r\nheight=300.9\r\n"
                  "colour=5\n\nFmax=1000\rwidth=400");
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
    EXPECT_EQ(said, "");
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
    for (const char* key :
         {"Fmin = 0 ", "Fmax = 6000 ", "step = 2 ", "size = 0 ", "height = 1 ", "width = 5000 "})
        EXPECT_EQ(Count(said, std::string("kavrel.ini: ") + key), 1) << key << said;
    EXPECT_EQ(Count(said, "\n"), 6) << said;
    EXPECT_TRUE(TakeRecordedMessageBoxes().empty());
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

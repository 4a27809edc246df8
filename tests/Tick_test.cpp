#include "ProgramRun.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int Left = 70; // the picture's first column on the back buffer

// The ticks of a running program fed with lines of the test's making: no capture device, so
// every tick draws only what the test put into LineFifo.
class Tick : public ProgramRun {
protected:
    void SetUp() override {
        ProgramRun::SetUp();
        VirtualCaptureSource none;
        none.present = false;
        VirtualSetCaptureSource(none);
    }
    static void Line(const std::vector<float>& values) {
        TOdnomernoeMnogestvoElementov<float> line(16);
        line.SetCount(frmMain->Rows, false, false);
        for (uint32_t k = 0; k < frmMain->Rows; ++k)
            line[k] = values[k % values.size()];
        frmMain->LineFifo.Append(line);
    }
    static void Tock() { frmMain->tmrShowTimer(frmMain); }
    // Grey level of spectrum point k in column x.
    static uint32_t Level(uint32_t x, uint32_t k) {
        return Pixel(Left + int(x), int(frmMain->Rows - 1 - k)) & 0xFF;
    }
    static uint32_t Newest(uint32_t k) { return Level(frmMain->Cols - 1, k); }
};

TEST_F(Tick, ALineScalesAgainstThePeakItRaises) {
    At([] {
        ASSERT_EQ(frmMain->Peak, 0.0f);
        Line({1000.7f, 50.0f, 0.0f});
        Tock();
        EXPECT_EQ(frmMain->Peak, 1000.0f);
        EXPECT_EQ(Newest(0), 255u); // 2551 clamped
        EXPECT_EQ(Newest(1), 127u); // trunc(50 x 2550 / 1000)
        EXPECT_EQ(Newest(2), 0u);
        EXPECT_EQ(Pixel(Left + 599, 279), 0xFFFFFFu); // grey: red, green and blue alike
        EXPECT_EQ(Pixel(Left + 599, 278), 0x7F7F7Fu);
        EXPECT_EQ(frmMain->LineFifo.BlocksAvailable(), 0u);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, ATickWithoutNewLinesDecaysThePeakAndMovesNothing) {
    At([] {
        Line({1000.0f, 400.0f});
        Tock();
        const uint32_t before = Newest(1);
        for (int i = 0; i < 20; ++i)
            Tock();
        EXPECT_NEAR(frmMain->Peak, 1000.0 * std::pow(0.95, 20), 0.01); // about 0.358 of it
        EXPECT_EQ(Newest(1), before);
        EXPECT_EQ(Level(frmMain->Cols - 2, 1), 0u);
        // The scales are redrawn every tick: a band pixel spoiled by hand comes back black.
        IDirectDrawSurface* surface = frmIzobragenie->Surface.BackBuffer;
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
        *reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(d.lpSurface) + 5 * d.lPitch + 2 * 4) =
            0x123456;
        surface->Unlock(nullptr);
        Tock();
        EXPECT_EQ(Pixel(2, 5), 0u);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, NewColumnsScrollThePictureLeft) {
    At([] {
        Line({1000.0f});
        Tock();
        Line({500.0f});
        Line({250.0f});
        Tock();
        const uint32_t cols = frmMain->Cols;
        EXPECT_EQ(Level(cols - 3, 0), 255u); // the first line, moved two columns left
        EXPECT_EQ(Level(cols - 2, 0), 255u); // 500 x 2550 / 950 clamped
        EXPECT_EQ(Level(cols - 1, 0), 255u);
        EXPECT_EQ(Level(cols - 4, 0), 0u);
        Line({1.0f});
        Tock();
        EXPECT_EQ(Level(cols - 4, 0), 255u);
        EXPECT_EQ(Newest(0), 2u); // trunc(2550 / 902.5)
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, ColsOrMoreWaitingLinesFillThePictureOldestFirst) {
    WriteSettings("width=10\r\nheight=4\r\n");
    At([] {
        ASSERT_EQ(frmMain->Cols, 10u);
        for (int i = 0; i < 10; ++i)
            Line({float(1000 + i)});
        Tock(); // exactly Cols lines: no scroll, every column rewritten from column 0
        for (uint32_t x = 0; x < 10; ++x)
            EXPECT_EQ(Level(x, 0), 255u);
        for (int i = 0; i < 13; ++i)
            Line({i < 10 ? 0.0f : 2000.0f});
        Tock(); // the oldest ten lines, all dark; three wait for the next tick
        for (uint32_t x = 0; x < 10; ++x)
            EXPECT_EQ(Level(x, 0), 0u) << x;
        EXPECT_EQ(frmMain->LineFifo.BlocksAvailable(), 3u);
        Tock(); // those three scroll in from the right
        EXPECT_EQ(Level(6, 0), 0u);
        EXPECT_EQ(Level(7, 0), 255u);
        EXPECT_EQ(Level(9, 0), 255u);
        EXPECT_EQ(frmMain->LineFifo.BlocksAvailable(), 0u);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, LinesThatAreNotNumbersDrawBlackAndLeaveThePeakFinite) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    At([=] {
        Line({100.0f});
        Tock();
        Line({nan, 100.0f});
        Line({inf, 100.0f});
        Line({3.0e38f, 1.0e30f});
        Tock();
        EXPECT_TRUE(std::isfinite(frmMain->Peak));
        EXPECT_EQ(frmMain->Peak, 4294967295.0f);
        EXPECT_EQ(Level(frmMain->Cols - 3, 1), 0u);
        EXPECT_EQ(Level(frmMain->Cols - 2, 1), 0u);
        EXPECT_EQ(Level(frmMain->Cols - 1, 0), 255u);
        EXPECT_EQ(Level(frmMain->Cols - 4, 0), 255u); // the first line, scrolled on
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, SilenceBelowOneKeepsThePeakAtZeroAndTheColumnsBlack) {
    At([] {
        for (int i = 0; i < 3; ++i)
            Line({0.9f, 0.5f});
        Tock();
        EXPECT_EQ(frmMain->Peak, 0.0f);
        EXPECT_EQ(Newest(0), 0u);
        EXPECT_EQ(Level(frmMain->Cols - 3, 1), 0u);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, WithoutABackBufferLinesWaitAndAtMostColsOfThemAreKept) {
    WriteSettings("width=8\nheight=4\n");
    At([] {
        TGraficheskoeOkno& surface = frmIzobragenie->Surface;
        surface.BackBuffer->Release();
        surface.BackBuffer = nullptr;
        std::vector<short> samples(11025, 0);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = short(8000 * std::sin(2 * M_PI * 440.0 * double(i) / 11025));
        TOdnomernayaViborkaElementov<short> view(16);
        view.Attach(samples.data(), uint32_t(samples.size()));
        view.Select(0, 1, 0);
        frmMain->SampleFifo.Append(view); // about 57 windows
        const uint32_t reserved = frmMain->LineFifo.Items().Capacity();
        Tock();
        EXPECT_EQ(frmMain->LineFifo.BlocksAvailable(), 8u);
        EXPECT_EQ(frmMain->LineFifo.Items().Count(), 8u * 4u);     // the dropped lines freed
        EXPECT_EQ(frmMain->LineFifo.Items().Capacity(), reserved); // and the store never grew
        EXPECT_EQ(frmMain->Peak, 0.0f); // not decayed or raised without drawing
        surface.CreateBackBuffer(nullptr, -1, -1, true);
        Tock();
        EXPECT_EQ(frmMain->LineFifo.BlocksAvailable(), 0u);
        EXPECT_GT(frmMain->Peak, 0.0f);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, CompleteWindowsGoToTheEngineAndTheTailWaits) {
    At([] {
        // 200 unread samples from before and 551 new ones: windows at 0 and 183.
        std::vector<short> samples(751);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = short(i % 97 * 50);
        TOdnomernayaViborkaElementov<short> view(16);
        view.Attach(samples.data(), 200);
        view.Select(0, 1, 0);
        frmMain->SampleFifo.Append(view);
        frmMain->RunEngine();
        EXPECT_EQ(frmMain->LineFifo.BlocksAvailable(), 0u);
        view.Attach(samples.data() + 200, 551);
        view.Select(0, 1, 0);
        frmMain->SampleFifo.Append(view);
        // However slow the windows were, a few of them are not skipped.
        frmMain->WindowTime = std::chrono::seconds(1);
        EXPECT_TRUE(frmMain->RunEngineInTime());
        EXPECT_EQ(frmMain->LineFifo.BlocksAvailable(), 2u);
        const auto& kept = frmMain->SampleFifo.Items();
        EXPECT_EQ(frmMain->SampleFifo.ReadPos(), 0u); // the samples read are dropped
        ASSERT_EQ(kept.Count(), 385u);                // from 366 on
        EXPECT_EQ(kept[0], samples[366]);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Tick, AnalysisThatCannotKeepUpSkipsTheOldestWindowsAndSaysSoOnce) {
    WriteSettings("Fmin=5\nstep=0.0003\n"); // windows of 4412 samples, one sample apart
    At([] {
        ASSERT_EQ(frmMain->SampleFifo.Advance(), 1u);
        std::vector<short> samples(22050);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = short(8000 * std::sin(2 * M_PI * 440.0 * double(i) / 11025));
        TOdnomernayaViborkaElementov<short> view(16);
        view.Attach(samples.data(), uint32_t(samples.size()));
        view.Select(0, 1, 0);
        for (int tick = 0; tick < 3; ++tick) {
            frmMain->SampleFifo.Append(view); // two seconds: 17639 windows and more
            frmMain->LineFifo.Skip(UINT32_MAX);
            frmMain->RunEngineInTime();
            // One tick's share of time analyses a few of them, the newest after the first.
            EXPECT_LT(frmMain->LineFifo.BlocksAvailable(), frmMain->Cols / 2);
            if (tick > 0) {
                EXPECT_LT(frmMain->SampleFifo.Items().Count(), 4412u + 1000u);
            }
        }
    });
    EXPECT_EQ(RunProgram(), 0);
    const std::string skipping = "kavrel: these settings ask for more analysis than this machine "
                                 "keeps up with; windows are being skipped so that the picture "
                                 "shows the newest sound\n";
    EXPECT_NE(said.find(skipping), std::string::npos) << said;
    EXPECT_EQ(said.find(skipping), said.rfind(skipping));
}

} // namespace

#include "ProgramRun.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int Left = 70;

// The running program fed by the virtual capture device.
class Sound : public ProgramRun {
protected:
    static VirtualCaptureSource Tones(double left, double right) {
        VirtualCaptureSource source;
        source.channel[0].tones = {{left, 0.3}};
        source.channel[1].tones = {{right, 0.3}};
        return source;
    }
    // A click at a point of the control window's client area, as the mouse makes it.
    static void Click(int x, int y) {
        const LPARAM at = LPARAM(y) << 16 | LPARAM(x);
        SendMessageA(frmMain->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(frmMain->Handle(), WM_LBUTTONUP, 0, at);
    }
    static void ClickRight() { Click(16 + 64 + 10, 8 + 16 + 8); }
    static void ClickLeft() { Click(16 + 16 + 10, 8 + 16 + 8); }
    static void ClickPause() { Click(192 + 48, 15 + 12); }

    // The spectrum point drawn brightest in column x: the middle of the run of the largest
    // level, as the grey scale saturates around a strong tone.
    static double BrightestPoint(uint32_t x) {
        uint32_t best = 0, first = 0, last = 0;
        for (uint32_t k = 0; k < frmMain->Rows; ++k) {
            const uint32_t level = Pixel(Left + int(x), int(frmMain->Rows - 1 - k)) & 0xFF;
            if (level > best) best = level, first = k;
            if (level == best) last = k;
        }
        return (first + last) / 2.0;
    }
    // The point of a frequency on the frequency axis.
    static double PointOf(double hz) {
        return (hz - frmMain->FreqFrom) * (frmMain->Rows - 1) /
               (frmMain->FreqTo - frmMain->FreqFrom);
    }
    static void ExpectNewestAt(double hz) {
        for (uint32_t x = frmMain->Cols - 3; x < frmMain->Cols; ++x)
            EXPECT_NEAR(BrightestPoint(x), PointOf(hz), 1.0) << "column " << x;
    }
    // Every pixel of the spectrogram, for comparing pictures.
    static std::vector<uint32_t> Picture() {
        std::vector<uint32_t> pixels;
        for (uint32_t y = 0; y < frmMain->Rows; y += 3)
            for (uint32_t x = 0; x < frmMain->Cols; ++x)
                pixels.push_back(Pixel(Left + int(x), int(y)));
        return pixels;
    }
};

TEST_F(Sound, TheBrightestRowFollowsTheChosenChannelsTone) {
    VirtualSetCaptureSource(Tones(440, 880));
    Pass(3000);
    At([] {
        EXPECT_EQ(frmMain->ChannelCount, 2u);
        EXPECT_TRUE(frmMain->tmrShow->Enabled());
        ExpectNewestAt(440);
        ClickRight();
        EXPECT_EQ(frmMain->Channel, 1u);
        EXPECT_TRUE(frmMain->rbRightChannel->Checked());
    });
    Pass(3000);
    At([] {
        ExpectNewestAt(880);
        ClickLeft();
        EXPECT_EQ(frmMain->Channel, 0u);
    });
    Pass(3000);
    At([] { ExpectNewestAt(440); });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(said, "");
}

// Paused at 2 s, and at 9.99 s, 40 ms after a tick, so that the first read after Continue
// crosses the end of the 10-second ring (the device stands still while paused).
class Pause : public Sound, public testing::WithParamInterface<uint32_t> {};
INSTANTIATE_TEST_SUITE_P(Sound, Pause, testing::Values(2000u, 9990u));

TEST_P(Pause, FreezesThePictureAndContinueReadsOnFromTheKeptOffset) {
    VirtualSetCaptureSource(Tones(440, 880));
    Pass(GetParam() / 50 * 50);
    VirtualQueueDelay(GetParam() % 50);
    std::vector<uint32_t> paused;
    uint32_t offset = 0;
    float peak = 0;
    At([&] {
        ClickPause();
        EXPECT_EQ(frmMain->bnPauza->Caption(), "Continue");
        EXPECT_EQ(frmMain->bnPauza->Tag, 1);
        EXPECT_FALSE(frmMain->tmrShow->Enabled());
        paused = Picture();
        offset = frmMain->ReadOffset;
        peak = frmMain->Peak;
    });
    Pass(2000);
    At([&] {
        EXPECT_EQ(Picture(), paused);
        EXPECT_EQ(frmMain->ReadOffset, offset);
        EXPECT_EQ(frmMain->Peak, peak);
        ClickPause();
        EXPECT_EQ(frmMain->bnPauza->Caption(), "Pause");
        EXPECT_EQ(frmMain->bnPauza->Tag, 0);
        EXPECT_TRUE(frmMain->tmrShow->Enabled());
    });
    VirtualQueueDelay(20); // sound comes in, no tick yet
    At([&] {
        // The first read after Continue starts at the kept offset: the samples it brings are
        // exactly those between that offset and the device's read position.
        const uint32_t unread = frmMain->SampleFifo.Items().Count();
        DWORD readPos = 0;
        frmMain->CaptureBuffer->GetCurrentPosition(nullptr, &readPos);
        const uint32_t ring = frmMain->CaptureBufferDesc.dwBufferBytes;
        const uint32_t bytes = (readPos + ring - offset) % ring;
        ASSERT_GT(bytes, 0u);
        EXPECT_EQ(readPos<offset, GetParam()> 8000u) << "the read wraps the ring's end";
        EXPECT_TRUE(frmMain->ReadCapture());
        EXPECT_EQ(frmMain->SampleFifo.Items().Count(), unread + bytes / 4);
        EXPECT_EQ(frmMain->ReadOffset, readPos);
    });
    Pass(1000);
    At([&] {
        EXPECT_NE(Picture(), paused);
        ExpectNewestAt(440);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Sound, ADeviceThatStopsDeliveringLeavesTicksWithoutNewData) {
    VirtualCaptureSource source = Tones(440, 880);
    source.stopAt = 2000;
    source.resumeAt = 5000;
    VirtualSetCaptureSource(source);
    Pass(2500);
    std::vector<uint32_t> stopped;
    float peak = 0;
    At([&] {
        stopped = Picture();
        peak = frmMain->Peak;
    });
    Pass(1000); // twenty ticks with nothing new
    At([&] {
        EXPECT_EQ(Picture(), stopped);
        EXPECT_NEAR(frmMain->Peak, peak * std::pow(0.95, 20), peak * 1e-5);
        EXPECT_EQ(Pixel(2, 2), 0u); // the scale bands are still drawn: black with green marks
    });
    Pass(2500); // delivering again from 5 s on
    At([&] {
        EXPECT_NE(Picture(), stopped);
        ExpectNewestAt(440);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Sound, WithoutADeviceThePictureStaysAsCreatedAndPauseOnlyTogglesItsCaption) {
    VirtualCaptureSource none;
    none.present = false;
    VirtualSetCaptureSource(none);
    Pass(1000);
    At([] {
        EXPECT_EQ(frmMain->CaptureBuffer, nullptr);
        EXPECT_FALSE(frmMain->tmrShow->Enabled());
        for (int y = 0; y < 330; y += 7)
            for (int x = 0; x < 670; x += 7)
                ASSERT_EQ(Pixel(x, y), 0u) << x << "," << y; // black, no scales drawn
        ClickPause();
        EXPECT_EQ(frmMain->bnPauza->Caption(), "Continue");
        EXPECT_FALSE(frmMain->tmrShow->Enabled());
        ClickPause();
        EXPECT_EQ(frmMain->bnPauza->Caption(), "Pause");
        EXPECT_FALSE(frmMain->tmrShow->Enabled());
    });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(said, "kavrel: no sound capture device was found; the picture stays empty\n");
    EXPECT_TRUE(TakeRecordedMessageBoxes().empty());
}

TEST_F(Sound, AOneChannelDeviceGivesEverySampleToLeftAndRight) {
    VirtualCaptureSource mono;
    mono.channels = 1;
    mono.channel[0].tones = {{660.0, 0.3}};
    VirtualSetCaptureSource(mono);
    Pass(2000);
    At([] {
        EXPECT_EQ(frmMain->ChannelCount, 1u);
        EXPECT_EQ(frmMain->CaptureFormat.nBlockAlign, 2u);
        EXPECT_EQ(frmMain->CaptureBufferDesc.dwBufferBytes, 220500u);
        ExpectNewestAt(660);
        ClickRight();
    });
    Pass(3000);
    VirtualQueueDelay(20); // sound comes in, no tick yet
    At([] {
        ExpectNewestAt(660);
        // Every captured sample is taken, the first of the region too.
        DWORD readPos = 0;
        frmMain->CaptureBuffer->GetCurrentPosition(nullptr, &readPos);
        const uint32_t before = frmMain->SampleFifo.Items().Count();
        const uint32_t bytes = readPos - frmMain->ReadOffset;
        ASSERT_GT(bytes, 0u);
        EXPECT_TRUE(frmMain->ReadCapture());
        EXPECT_EQ(frmMain->SampleFifo.Items().Count(), before + bytes / 2);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Sound, FailedLocksLoseNoSamples) {
    WriteSettings("Fmin=2\n"); // windows of 11028 samples: nothing reaches the engine yet
    VirtualCaptureSource source = Tones(440, 880);
    source.failLockFirst = 1;
    source.failLockCount = 2;
    VirtualSetCaptureSource(source);
    Pass(100); // two ticks whose locks fail
    At([] {
        EXPECT_EQ(frmMain->ReadOffset, 0u);
        EXPECT_EQ(frmMain->SampleFifo.Items().Count(), 0u);
    });
    Pass(50);
    At([] {
        // The third tick, at 150 ms, took everything captured since the start.
        EXPECT_EQ(frmMain->ReadOffset, 4u * (150 * 11025 / 1000));
        EXPECT_EQ(frmMain->SampleFifo.Items().Count(), frmMain->ReadOffset / 4);
    });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Sound, AnotherGrantedRateIsKeptAndChangesNothingDerived) {
    VirtualCaptureSource source = Tones(440, 880);
    source.grantedRate = 8000;
    VirtualSetCaptureSource(source);
    Pass(1000);
    At([] {
        EXPECT_EQ(frmMain->SampleRate, 8000u);
        EXPECT_EQ(frmMain->SampleFifo.BlockLength(), 552u);
        EXPECT_EQ(frmMain->SampleFifo.Advance(), 183u);
        EXPECT_EQ(frmMain->CaptureBufferDesc.dwBufferBytes, 441000u);
        EXPECT_NEAR(frmMain->TimeFrom, -9.9426, 5e-5);
    });
    EXPECT_EQ(RunProgram(), 0);
}

} // namespace

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
    // Tones from a device that is gone from lostAt to backAt (virtual ms).
    static VirtualCaptureSource Gone(uint64_t lostAt, uint64_t backAt) {
        VirtualCaptureSource source = Tones(440, 880);
        source.lostAt = lostAt;
        source.backAt = backAt;
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
    // The newest columns, from `count` columns before the newest on, are black.
    static bool NewestBlack(uint32_t count) {
        for (uint32_t x = frmMain->Cols - 1 - count; x < frmMain->Cols; ++x)
            for (uint32_t y = 0; y < frmMain->Rows; y += 5)
                if (Pixel(Left + int(x), int(y)) != 0) return false;
        return true;
    }
    static constexpr const char* Lost =
        "kavrel: the sound capture device stopped delivering sound; it is looked for again "
        "every second (every five seconds after a minute), and the picture goes on in black "
        "meanwhile\n";
    static constexpr const char* Back =
        "kavrel: sound comes again from the capture device; the picture goes on\n";
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
    VirtualCaptureSource source = Tones(440, 880);
    source.stopAt = 0; // the first sound comes late, as it may from a sound server
    source.resumeAt = 2000;
    VirtualSetCaptureSource(source);
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

TEST_F(Sound, ADeviceSilentForASecondIsReopenedAndBlackColumnsStandForTheTimeBetween) {
    VirtualCaptureSource source = Tones(440, 880);
    source.stopAt = 2000;
    source.resumeAt = 4500;
    VirtualSetCaptureSource(source);
    Pass(2500);
    At([] { EXPECT_FALSE(NewestBlack(0)); });
    Pass(600); // lost at 3 s: a second of black columns at once, and more every tick
    At([] {
        EXPECT_EQ(frmMain->CaptureBuffer, nullptr);
        EXPECT_TRUE(NewestBlack(60));
        EXPECT_NEAR(BrightestPoint(frmMain->Cols - 70), PointOf(440), 1.0);
        EXPECT_EQ(Pixel(2, 2), 0u); // the scale bands are still drawn: black with green marks
    });
    Pass(1000); // open again from 4 s, still silent
    At([] {
        EXPECT_NE(frmMain->CaptureBuffer, nullptr);
        EXPECT_TRUE(NewestBlack(60));
    });
    Pass(1500); // delivering again from 4.5 s on
    At([] { ExpectNewestAt(440); });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(said, std::string(Lost) + Back);
}

TEST_F(Sound, AGoneDeviceIsReopenedWithTheChannelAndPauseKept) {
    VirtualSetCaptureSource(Gone(2000, 3500));
    Pass(1000);
    At([] { ClickRight(); });
    Pass(1500); // gone at 2 s, found gone at once
    std::vector<uint32_t> paused;
    At([&] {
        EXPECT_EQ(frmMain->CaptureBuffer, nullptr);
        EXPECT_TRUE(NewestBlack(25));
        ClickPause();
        paused = Picture();
    });
    Pass(2000); // back at 3.5 s, opened at 4 s but not started
    At([&] {
        EXPECT_NE(frmMain->CaptureBuffer, nullptr);
        EXPECT_FALSE(frmMain->tmrShow->Enabled());
        EXPECT_EQ(Picture(), paused);
        ClickPause();
    });
    Pass(2000);
    At([] { ExpectNewestAt(880); });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(said, std::string(Lost) + Back);
}

TEST_F(Sound, ADeviceAppearingAfterAnAnswerOfNoneIsTakenUp) {
    VirtualCaptureSource source = Gone(0, 2500);
    source.answerAt = 500;
    VirtualSetCaptureSource(source);
    At([] { EXPECT_EQ(frmMain->Device, TfrmMain::TDevice::Asking); });
    Pass(1000);
    At([] {
        EXPECT_EQ(frmMain->Device, TfrmMain::TDevice::Absent);
        EXPECT_FALSE(frmMain->tmrShow->Enabled());
    });
    Pass(3000);
    At([] { ExpectNewestAt(440); });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(said, "kavrel: no sound capture device was found; the picture stays empty\n"
                    "kavrel: a sound capture device was found; the picture starts\n");
}

// Looked for every second in the first minute, every five seconds after it: a device plugged
// in at 100.5 s is taken up at the look at 105 s.
TEST_F(Sound, ADeviceMissingForMinutesIsLookedForEveryFiveSeconds) {
    VirtualSetCaptureSource(Gone(0, 100500));
    Pass(103000);
    At([] { EXPECT_EQ(frmMain->Device, TfrmMain::TDevice::Absent); });
    Pass(3000);
    At([] { EXPECT_EQ(frmMain->Device, TfrmMain::TDevice::Open); });
    EXPECT_EQ(RunProgram(), 0);
}

TEST_F(Sound, ADeviceThatNeverAnswersHoldsNothingUp) {
    VirtualCaptureSource source = Tones(440, 880);
    source.answerAt = UINT64_MAX;
    VirtualSetCaptureSource(source);
    Pass(3000);
    At([] {
        EXPECT_EQ(frmMain->Device, TfrmMain::TDevice::Asking);
        EXPECT_TRUE(IsWindowVisible(frmIzobragenie->Handle()));
        uint32_t marks = 0; // the time scale's, green on black
        for (int x = 70; x < 670; ++x)
            marks += Pixel(x, 281) != 0;
        EXPECT_GT(marks, 0u);
        ClickPause();
        EXPECT_EQ(frmMain->bnPauza->Caption(), "Continue");
    });
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(said, "");
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

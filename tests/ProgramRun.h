// Runs the whole program through WinMain on the virtual desktop, in a directory of its own,
// with the test's code at scripted times while it runs.
#pragma once

#include "Kavrel.h"
#include "Kernel.h"
#include "Preobrazovaniechisel.h"
#include "TempDir.h"
#include "Tfrmizobragenie.h"
#include "VirtualCapture.h"
#include "VirtualDesktop.h"
#include "Zol_vis.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

class ProgramRun : public testing::Test {
protected:
    void SetUp() override {
        CleanDesktop();
        TakeRecordedMessageBoxes();
        StartNumberConversionUnit();
        StartKernelUnit((dir.Dir() + "kavrel").c_str());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.Dir());
        // The user's own settings folder stays out of the tests.
        setenv("XDG_CONFIG_HOME", (dir.Dir() + "config").c_str(), 1);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        FinishKernelUnit();
    }

    void WriteSettings(const std::string& bytes) { dir.Write("kavrel.ini", bytes); }

    // Lets the program run for the given time in 50 ms steps, so that every tick comes.
    static void Pass(uint32_t milliseconds) {
        for (uint32_t t = 0; t < milliseconds; t += 50)
            VirtualQueueDelay(50);
    }
    // Runs `step` at its place in the script, while the program runs, a millisecond after the
    // time before it so that the ticks due at that time have run.
    static void At(std::function<void()> step) {
        VirtualQueueDelay(1);
        VirtualQueueCall(std::move(step));
    }

    // Runs WinMain until the script ends with the control window closed; what the program said
    // on standard error is kept in `said`. Without an error stream, as a Windows program started
    // from Explorer runs, the program finds its standard error closed.
    int RunProgram(bool withErrorStream = true) {
        At([] {
            if (frmMain != nullptr) frmMain->Close();
        });
        testing::internal::CaptureStderr();
        if (!withErrorStream) {
            close(2); // put back by GetCapturedStderr
            NoteErrorStream();
        }
        const int status = WinMain(nullptr, nullptr, const_cast<char*>(""), SW_SHOW);
        said = testing::internal::GetCapturedStderr();
        if (!withErrorStream) NoteErrorStream();
        return status;
    }

    // A pixel of the picture window's back buffer, 0x00RRGGBB.
    static uint32_t Pixel(int x, int y) {
        IDirectDrawSurface* surface = frmIzobragenie->Surface.BackBuffer;
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        if (surface == nullptr || surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK)
            return 0xFF000000u;
        const uint32_t p = *reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(d.lpSurface) + y * d.lPitch + x * 4);
        surface->Unlock(nullptr);
        return p & 0x00FFFFFFu;
    }

    TempDir dir;
    std::filesystem::path previous;
    std::string said;
};

// The SDL backend on a real X server: Xvfb is started for the test, which is skipped with a
// message where none can be started.
#include "Kernel.h"
#include "SdlForms.h"
#include "Tfrmizobragenie.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {

class XServer {
public:
    XServer() {
        for (int n = 90 + getpid() % 100; n < 300 && pid <= 0; n += 7) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
            const std::string display = ":" + std::to_string(n);
            pid = fork();
            if (pid == 0) {
                execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                       "tcp", static_cast<char*>(nullptr));
                _exit(127);
            }
            if (Wait(n)) {
                setenv("DISPLAY", display.c_str(), 1);
                return;
            }
            Stop();
        }
    }
    ~XServer() { Stop(); }
    bool Running() const { return pid > 0; }

private:
    bool Wait(int n) {
        for (int i = 0; i < 100; ++i) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) return true;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = 0;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void Stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
    pid_t pid = 0;
};

TEST(SdlWindow, PictureWindowShowsItsBackBuffer) {
    XServer x;
    if (!x.Running()) GTEST_SKIP() << "no X server could be started (Xvfb missing or failing)";
    Ansi1251.Load("/proc/no-such-dir/table");
    ASSERT_TRUE(CreatePictureWindow(&frmIzobragenie, 120, 200, TAnsiString("Ornalux"), true, false,
                                    true, true));
    TGraficheskoeOkno& s = frmIzobragenie->Surface;
    ASSERT_NE(s.BackBuffer, nullptr);
    IDirectDrawSurface* back = s.BeginDraw(true);
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    auto expected = [](int x, int y) { return uint32_t(x) << 16 | uint32_t(y * 2) << 8 | 0x40; };
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            static_cast<uint32_t*>(d.lpSurface)[y * d.lPitch / 4 + x] =
                s.ConvertColour(s.ConvertContext, expected(x, y));
    back->Unlock(nullptr);
    s.EndDraw();
    s.Present(nullptr);

    std::vector<uint32_t> shown;
    int width = 0, height = 0;
    ASSERT_TRUE(SdlReadWindowPixels(frmIzobragenie->Handle(), shown, width, height));
    ASSERT_EQ(width, 200);
    ASSERT_EQ(height, 120);
    int wrong = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            wrong += shown[size_t(y) * 200 + size_t(x)] !=
                     s.ConvertColour(s.ConvertContext, expected(x, y));
    EXPECT_EQ(wrong, 0);
    delete frmIzobragenie;
    frmIzobragenie = nullptr;
    SdlShutdown();
}

} // namespace

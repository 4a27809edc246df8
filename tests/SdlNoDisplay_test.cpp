// The SDL backend without a desktop (run with DISPLAY and WAYLAND_DISPLAY unset): no window can
// be made, the display object is refused, nothing crashes.
#include "Kernel.h"
#include "Tfrmizobragenie.h"
#include "platform/window/WindowBackend.h"

#include <gtest/gtest.h>

namespace {

TEST(SdlNoDisplay, EverythingFailsSafely) {
    ASSERT_EQ(getenv("DISPLAY"), nullptr);
    EXPECT_FALSE(Backend().HasDisplay());
    void* display = nullptr;
    CoInitialize(nullptr);
    EXPECT_NE(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, &display),
              S_OK);
    CoUninitialize();
    EXPECT_EQ(display, nullptr);
    EXPECT_FALSE(
        CreatePictureWindow(&frmIzobragenie, 100, 100, TAnsiString("P"), true, false, true, true));
    EXPECT_EQ(frmIzobragenie, nullptr);
    MSG m{};
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), -1);
}

} // namespace

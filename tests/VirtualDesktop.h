// Test helpers for the virtual desktop.
#pragma once

#include "VirtualForms.h"

#include <gtest/gtest.h>

// Dispatches messages until none can come any more (scripted input and timers run out); a
// loop that a bound had to stop fails the test.
inline void RunMessages() {
    MSG m{};
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        DispatchMessageA(&m);
    EXPECT_FALSE(VirtualLoopBounded()) << "the message loop did not end by itself";
}

// Dispatches messages until none can come, WM_QUIT, or at most limit of them; false when the
// limit or a bound of the virtual desktop cut the loop off.
inline bool RunAtMost(int limit) {
    MSG m{};
    for (int n = 0; n < limit; ++n) {
        if (GetMessageA(&m, nullptr, 0, 0) <= 0) return !VirtualLoopBounded();
        DispatchMessageA(&m);
    }
    return false;
}

// A fresh desktop: timers earlier tests left (the message window's suppression) run out first,
// within the loop bounds, then everything is reset.
inline void CleanDesktop() {
    MSG m{};
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        DispatchMessageA(&m);
    VirtualReset();
}

// Queues a key pressed and released.
inline void QueueKeyPress(UINT key) {
    VirtualQueueKey(WM_KEYDOWN, key);
    VirtualQueueKey(WM_KEYUP, key);
}

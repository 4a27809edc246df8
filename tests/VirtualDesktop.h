// Test helpers for the virtual desktop.
#pragma once

#include "VirtualForms.h"

// Dispatches messages until none can come any more (scripted input and timers run out).
inline void RunMessages() {
    MSG m{};
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        DispatchMessageA(&m);
}

// A fresh desktop: whatever earlier tests left queued or timed runs out first.
inline void CleanDesktop() {
    VirtualReset();
    RunMessages();
    VirtualReset();
}

// Queues a key pressed and released.
inline void QueueKeyPress(UINT key) {
    VirtualQueueKey(WM_KEYDOWN, key);
    VirtualQueueKey(WM_KEYUP, key);
}

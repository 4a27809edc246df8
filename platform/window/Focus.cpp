// Activation and keyboard focus: which top-level window the desktop treats as the user's, and
// the messages Windows sends when that changes.
#include "WindowState.h"

using namespace windowing;

namespace windowing {

// The window that loses activation hears it first (WM_NCACTIVATE, WM_ACTIVATE with
// WA_INACTIVE), then the one that gains it; the default procedure moves the focus on.
void Activate(HWND w, WPARAM how) {
    State& s = S();
    if (w == s.active) return;
    HWND previous = Alive(s.active) ? s.active : nullptr;
    s.active = Alive(w) ? w : nullptr;
    if (previous != nullptr) {
        SendMessageA(previous, WM_NCACTIVATE, 0, reinterpret_cast<LPARAM>(s.active));
        SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(s.active));
    }
    if (s.active == nullptr) {
        SetFocus(nullptr);
        return;
    }
    Raise(s.active);
    SendMessageA(s.active, WM_NCACTIVATE, 1, reinterpret_cast<LPARAM>(previous));
    SendMessageA(s.active, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(previous));
}

// The topmost other visible window takes over, or none.
void ActivateAnother(HWND leaving) {
    auto& ws = S().windows;
    for (auto it = ws.rbegin(); it != ws.rend(); ++it)
        if (it->get() != leaving && (*it)->visible) {
            Activate(it->get(), WA_ACTIVE);
            return;
        }
    Activate(nullptr, WA_INACTIVE);
}

} // namespace windowing

HWND SetFocus(HWND w) {
    State& s = S();
    HWND previous = Alive(s.focus) ? s.focus : nullptr;
    if (w != nullptr && !Alive(w)) return nullptr;
    if (w == previous) return previous;
    if (w != nullptr && w != s.active) {
        Activate(w, WA_ACTIVE);
        if (s.focus == w) return previous;
    }
    s.focus = w;
    if (previous != nullptr) SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(w), 0);
    if (w != nullptr && s.focus == w)
        SendMessageA(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND GetFocus() {
    return Alive(S().focus) ? S().focus : nullptr;
}

HWND SetActiveWindow(HWND w) {
    HWND previous = GetActiveWindow();
    if (Alive(w)) Activate(w, WA_ACTIVE);
    return previous;
}

HWND GetActiveWindow() {
    return Alive(S().active) ? S().active : nullptr;
}

void InputFocusChanged(HWND w, bool gained) {
    S().input.push_back({RawInput::Kind::Focus, 0, {}, 0, 0, w, gained});
}

// Input from the desktop: queued as it arrives and routed when a message loop takes it, so that
// focus and capture changes made by earlier messages decide where later input goes. Mouse
// input goes to the window holding the capture, or else to the window under the pointer; keys
// go to the focus window.
#include "WindowState.h"

using namespace windowing;

namespace {

bool IsButtonDown(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN;
}

// Where the desktop's drag of a caption bar stands in for Windows' moving loop: moves move the
// window, the release ends it, nothing reaches the window.
void ContinueDrag(const RawInput& in) {
    Drag& drag = S().drag;
    if (in.message == WM_MOUSEMOVE) {
        HWND w = drag.window;
        MoveWindow(w, in.screen.x - drag.grab.x, in.screen.y - drag.grab.y, w->Width(), w->Height(),
                   1);
    }
    if (in.message == WM_LBUTTONUP) drag.window = nullptr;
}

HWND MouseTarget(const RawInput& in) {
    return Alive(S().capture) ? S().capture : WindowUnder(in.screen);
}

// The client message of mouse input for its target, or WM_NULL when it stays outside the
// client area (a press there may start a drag of the caption bar).
UINT RouteMouse(const RawInput& in, HWND target) {
    State& s = S();
    if (s.capture == target) return in.message;
    const LRESULT hit = HitTest(target, in.screen);
    if (!Alive(target)) return WM_NULL;
    if (IsButtonDown(in.message) && target != s.active) Activate(target, WA_CLICKACTIVE);
    if (hit == HTCLIENT) return in.message;
    if (in.message == WM_LBUTTONDOWN && hit == HTCAPTION && Alive(target))
        s.drag = {target, {in.screen.x - target->frame.left, in.screen.y - target->frame.top}};
    return WM_NULL;
}

// Key messages carry the repeat count 1, the Alt key in bit 29 and, for releases, the previous
// state and transition bits.
LPARAM KeyData(const RawInput& in) {
    LPARAM data = 1;
    if (in.keys & InputAlt) data |= LPARAM(1) << 29;
    if (in.message == WM_KEYUP) data |= LPARAM(3) << 30;
    return data;
}

enum class Outcome { Message, Used, Kept };

// The desktop tells of a focus change between two windows as a loss and a gain: the loss is
// passed over, so that activation goes straight from one to the other as on Windows.
bool FocusMovesOn(const RawInput& in, const std::deque<RawInput>& input, size_t next) {
    return in.kind == RawInput::Kind::Focus && !in.gained && next < input.size() &&
           input[next].kind == RawInput::Kind::Focus && input[next].gained;
}

// Takes one piece of input: a message for the filter's window, used up without one, or kept
// for another window's loop.
Outcome Take(const RawInput& in, HWND filter, MSG* out) {
    State& s = S();
    if (in.kind == RawInput::Kind::Focus) {
        if (in.gained && Alive(in.window))
            Activate(in.window, WA_ACTIVE);
        else if (!in.gained && in.window == s.active)
            Activate(nullptr, WA_INACTIVE);
        return Outcome::Used;
    }
    if (in.kind == RawInput::Kind::Key) {
        if (Alive(in.window) && in.window != s.focus) SetFocus(in.window);
        HWND target = GetFocus();
        if (target == nullptr) return Outcome::Used;
        if (!Matches(target, filter)) return Outcome::Kept;
        s.keys = in.keys;
        *out = MSG{target, in.message, in.key, KeyData(in), Backend().Now(), in.screen};
        return Outcome::Message;
    }
    if (Alive(s.drag.window)) {
        ContinueDrag(in);
        return Outcome::Used;
    }
    HWND target = MouseTarget(in);
    if (target == nullptr) return Outcome::Used;
    if (!Matches(target, filter)) return Outcome::Kept;
    s.keys = in.keys;
    const UINT message = RouteMouse(in, target);
    if (message == WM_NULL || !Alive(target)) return Outcome::Used;
    POINT client = in.screen;
    ScreenToClient(target, &client);
    *out = MSG{target,          message,  in.keys & ~InputAlt, PackPoint(client.x, client.y),
               Backend().Now(), in.screen};
    return Outcome::Message;
}

} // namespace

namespace windowing {

bool TakeInput(MSG* out, HWND filter, bool& used) {
    auto& input = S().input;
    used = false;
    for (size_t i = 0; i < input.size();) {
        const RawInput in = input[i];
        input.erase(input.begin() + ptrdiff_t(i));
        if (FocusMovesOn(in, input, i)) continue;
        const Outcome outcome = Take(in, filter, out);
        if (outcome == Outcome::Message) return true;
        used = used || outcome == Outcome::Used;
        if (outcome != Outcome::Kept) continue;
        i = std::min(i, input.size());
        input.insert(input.begin() + ptrdiff_t(i++), in);
    }
    return false;
}

} // namespace windowing

SHORT GetKeyState(int key) {
    const WPARAM keys = S().keys;
    WPARAM flag = 0;
    switch (key) {
    case VK_SHIFT:
        flag = MK_SHIFT;
        break;
    case VK_CONTROL:
        flag = MK_CONTROL;
        break;
    case VK_MENU:
        flag = InputAlt;
        break;
    case VK_LBUTTON:
        flag = MK_LBUTTON;
        break;
    case VK_RBUTTON:
        flag = MK_RBUTTON;
        break;
    case VK_MBUTTON:
        flag = MK_MBUTTON;
        break;
    default:
        break;
    }
    return keys & flag ? SHORT(-128) : SHORT(0);
}

// The window losing the capture hears of it.
HWND SetCapture(HWND w) {
    State& s = S();
    HWND previous = Alive(s.capture) ? s.capture : nullptr;
    if (!Alive(w)) return previous;
    s.capture = w;
    if (previous != nullptr && previous != w)
        SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(w));
    return previous;
}

BOOL ReleaseCapture() {
    State& s = S();
    HWND previous = Alive(s.capture) ? s.capture : nullptr;
    s.capture = nullptr;
    if (previous != nullptr) SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
    return 1;
}

HWND GetCapture() {
    return Alive(S().capture) ? S().capture : nullptr;
}

void InputMouse(UINT message, POINT screen, WPARAM keys) {
    S().input.push_back({RawInput::Kind::Mouse, message, screen, 0, keys, nullptr, false});
}

void InputKey(UINT message, UINT key, WPARAM keys, HWND focus) {
    S().input.push_back({RawInput::Kind::Key, message, {}, key, keys, focus, false});
}

void InputClose(HWND w) {
    PostMessageA(w, WM_CLOSE, 0, 0);
}

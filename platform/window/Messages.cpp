// The thread's message queue and timers: posting, sending, dispatching, and GetMessageA's
// order of posted messages, input, painting and timers.
#include "WindowState.h"

using namespace windowing;

namespace {

bool TakePosted(MSG* out, HWND filter) {
    auto& q = S().queue;
    for (auto it = q.begin(); it != q.end(); ++it) {
        if (it->message != WM_QUIT && !Matches(it->hwnd, filter)) continue;
        *out = *it;
        q.erase(it);
        return true;
    }
    return false;
}

uint32_t TimeToTimer(HWND filter, uint32_t now) {
    uint32_t timeout = UINT32_MAX;
    for (const Timer& t : S().timers)
        if (Matches(t.window, filter))
            timeout = std::min(timeout, int32_t(t.due - now) < 0 ? 0u : t.due - now);
    return timeout;
}

} // namespace

namespace windowing {

// The timer due longest gives one message and is due again an interval from now, so a late
// loop never sees a pile of them.
bool TakeTimer(MSG* out, HWND filter, uint32_t now) {
    Timer* due = nullptr;
    for (Timer& t : S().timers)
        if (Matches(t.window, filter) && int32_t(now - t.due) >= 0 &&
            (due == nullptr || int32_t(t.due - due->due) < 0))
            due = &t;
    if (due == nullptr) return false;
    due->due = now + due->interval;
    *out = MSG{due->window, WM_TIMER, due->id, LPARAM(reinterpret_cast<intptr_t>(due->callback)),
               now,         {}};
    return true;
}

} // namespace windowing

BOOL GetMessageA(MSG* m, HWND filter, UINT, UINT) {
    if (m == nullptr) return -1;
    for (;;) {
        if (filter != nullptr && !Alive(filter)) return -1;
        PresentDirty();
        if (!Backend().Poll()) return -1;
        if (TakePosted(m, filter)) return m->message == WM_QUIT ? 0 : 1;
        bool used = false;
        if (TakeInput(m, filter, used) || TakePaint(m, filter)) return 1;
        if (TakeTimer(m, filter, Backend().Now())) return 1;
        if (used) continue; // its handling may have posted or invalidated something
        if (!Backend().Wait(TimeToTimer(filter, Backend().Now()))) return -1;
    }
}

LRESULT DispatchMessageA(const MSG* m) {
    if (m == nullptr) return 0;
    if (m->message == WM_TIMER && m->lParam != 0) {
        reinterpret_cast<TIMERPROC>(m->lParam)(m->hwnd, WM_TIMER, m->wParam, m->time);
        return 0;
    }
    return Alive(m->hwnd) ? m->hwnd->proc(m->hwnd, m->message, m->wParam, m->lParam) : 0;
}

BOOL PostMessageA(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (w != nullptr && !Alive(w)) return 0;
    S().queue.push_back(MSG{w, message, wParam, lParam, Backend().Now(), {}});
    return 1;
}

LRESULT SendMessageA(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    return Alive(w) ? w->proc(w, message, wParam, lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    PostMessageA(nullptr, WM_QUIT, WPARAM(exitCode), 0);
}

UINT_PTR SetTimer(HWND w, UINT_PTR id, UINT ms, TIMERPROC callback) {
    if (w != nullptr && !Alive(w)) return 0;
    if (w == nullptr) id = S().nextThreadTimer++;
    KillTimer(w, id);
    S().timers.push_back({w, id, ms, Backend().Now() + ms, callback});
    return w == nullptr ? id : 1;
}

BOOL KillTimer(HWND w, UINT_PTR id) {
    return std::erase_if(S().timers, [&](const Timer& t) { return t.window == w && t.id == id; }) >
           0;
}

uint32_t TimeToNextTimer() {
    return TimeToTimer(nullptr, Backend().Now());
}

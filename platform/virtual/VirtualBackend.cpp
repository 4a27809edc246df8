#include "VirtualCapture.h"
#include "VirtualForms.h"

#include <algorithm>
#include <png.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <utility>

struct NativeWindow {
    HWND window;
};

namespace {

constexpr uint32_t DefaultMaxMessages = 1000000;
constexpr uint32_t DefaultMaxMilliseconds = 15 * 60 * 1000;

struct Event {
    enum class Kind { Key, Mouse, Focus, Close, Call } kind;
    uint32_t at;
    UINT message;
    UINT key;
    POINT point;
    HWND window;
    std::function<void()> call;
};

// The modifier keys and buttons an input message changes.
WPARAM KeyFlag(UINT key) {
    return key == VK_SHIFT     ? MK_SHIFT
           : key == VK_CONTROL ? MK_CONTROL
           : key == VK_MENU    ? InputAlt
                               : 0;
}

WPARAM ButtonFlag(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return MK_LBUTTON;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return MK_RBUTTON;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return MK_MBUTTON;
    default:
        return 0;
    }
}

bool IsPress(UINT message) {
    return message == WM_KEYDOWN || message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
           message == WM_MBUTTONDOWN;
}

class VirtualBackend : public WindowBackend {
public:
    VirtualBackend() { Reset(); }

    void Reset() {
        screen = desktop = {0, 0, 1024, 768};
        workArea = {0, 0, 1024, 738};
        format = DisplayFormat{};
        dpi = 96;
        readable = true;
        customFrame = refuseWindows = false;
        clock = scriptTime = 0;
        held = 0;
        script.clear();
        recorded.clear();
        SetBounds(DefaultMaxMessages, DefaultMaxMilliseconds);
    }

    void SetBounds(uint32_t messages, uint32_t milliseconds) {
        maxPolls = messages;
        polls = 0;
        horizon = uint64_t(clock) + milliseconds;
        bounded = idling = false;
    }

    bool HasDisplay() override { return true; }
    RECT Screen() override { return screen; }
    RECT VirtualScreen() override { return desktop; }
    RECT WorkArea() override { return workArea; }
    bool Format(DisplayFormat& f) override {
        f = format;
        return readable;
    }
    int Dpi() override { return dpi; }
    RECT DesktopFrame(DWORD style) override {
        if ((style & WS_CAPTION) != WS_CAPTION) return {0, 0, 0, 0};
        if (customFrame) return frame;
        RECT r{0, 0, 0, 0};
        AdjustWindowRectEx(&r, style, 0, 0);
        return {-r.left, -r.top, r.right, r.bottom};
    }
    NativeWindow* Create(HWND window, const char*, RECT, DWORD) override {
        return refuseWindows ? nullptr : new NativeWindow{window};
    }
    void Destroy(NativeWindow* native) override { delete native; }
    void Show(NativeWindow*, bool) override {}
    void Move(NativeWindow*, RECT) override {}
    void SetTitle(NativeWindow*, const char*) override {}
    void Present(NativeWindow*, const uint32_t*, int, int) override {}
    uint32_t Now() override { return clock; }

    bool Poll() override {
        if (++polls > maxPolls || clock > horizon) return Bounded();
        if (idling && clock > idleEnd) return false;
        DeliverDue();
        return true;
    }

    // The program is idle: a due call runs; otherwise the clock moves to the next scripted
    // input or the timeout, within the idle time or the bounds.
    bool Wait(uint32_t timeout) override {
        if (RunDueCall()) return true;
        uint64_t target = timeout == UINT32_MAX ? UINT64_MAX : uint64_t(clock) + timeout;
        // The script lasts to its last delay: the time runs on to there.
        const uint32_t next = script.empty() ? scriptTime : script.front().at;
        if (!script.empty() || scriptTime > clock)
            target = std::min<uint64_t>(target, std::max(next, clock));
        if (idling && target > idleEnd) {
            clock = std::max(clock, idleEnd);
            return false;
        }
        if (target == UINT64_MAX) return false;
        clock = uint32_t(std::min<uint64_t>(target, horizon + 1)); // past it, Poll stops the loop
        if (DeliverDue() == 0) RunDueCall();
        return true;
    }

    int ShowSystemMessage(const char* text, const char* caption, UINT style) override {
        recorded.push_back({text != nullptr ? text : "", caption == nullptr, style});
        return IDOK;
    }

    void Queue(Event e) {
        scriptTime = std::max(scriptTime, clock);
        e.at = scriptTime;
        script.push_back(std::move(e));
    }

    void Delay(uint32_t milliseconds) { scriptTime = std::max(scriptTime, clock) + milliseconds; }

    RECT screen, desktop, workArea, frame{};
    DisplayFormat format;
    int dpi = 96;
    bool readable = true, customFrame = false, refuseWindows = false;
    uint32_t clock = 0, scriptTime = 0, idleEnd = 0;
    bool idling = false, bounded = false;
    uint32_t maxPolls = 0, polls = 0;
    uint64_t horizon = 0;
    WPARAM held = 0;
    std::deque<Event> script;
    std::vector<RecordedMessageBox> recorded;

private:
    bool Bounded() {
        if (!bounded)
            std::fprintf(stderr,
                         "virtual desktop: a message loop was stopped after %u messages "
                         "at %u ms\n",
                         polls, clock);
        bounded = true;
        return false;
    }

    // Input due by now, up to the first call (calls wait for the program to be idle); how
    // many pieces were delivered.
    int DeliverDue() {
        int delivered = 0;
        for (; !script.empty() && script.front().at <= clock &&
               script.front().kind != Event::Kind::Call;
             ++delivered) {
            const Event e = script.front();
            script.pop_front();
            Deliver(e);
        }
        return delivered;
    }

    bool RunDueCall() {
        if (script.empty() || script.front().kind != Event::Kind::Call || script.front().at > clock)
            return false;
        const std::function<void()> call = std::move(script.front().call);
        script.pop_front();
        call();
        return true;
    }

    void Deliver(const Event& e) {
        switch (e.kind) {
        case Event::Kind::Key:
            Hold(KeyFlag(e.key), IsPress(e.message));
            InputKey(e.message, e.key, held);
            break;
        case Event::Kind::Mouse:
            Hold(ButtonFlag(e.message), IsPress(e.message));
            InputMouse(e.message, e.point, held);
            break;
        case Event::Kind::Focus:
            InputFocusChanged(e.window, e.key != 0);
            break;
        case Event::Kind::Close:
            InputClose(e.window);
            break;
        case Event::Kind::Call:
            break;
        }
    }

    void Hold(WPARAM flag, bool down) { held = down ? held | flag : held & ~flag; }
};

VirtualBackend& Virtual() {
    static VirtualBackend backend;
    return backend;
}

std::vector<void (*)()>& ResetHooks() {
    static std::vector<void (*)()> hooks;
    return hooks;
}

} // namespace

WindowBackend& Backend() {
    return Virtual();
}

std::vector<RecordedMessageBox> TakeRecordedMessageBoxes() {
    std::vector<RecordedMessageBox> taken;
    taken.swap(Virtual().recorded);
    return taken;
}

void VirtualReset() {
    WindowLayerReset();
    Virtual().Reset();
    VirtualCaptureReset();
    for (void (*hook)() : ResetHooks())
        hook();
}

void VirtualOnReset(void (*hook)()) {
    auto& hooks = ResetHooks();
    if (hook != nullptr && std::find(hooks.begin(), hooks.end(), hook) == hooks.end())
        hooks.push_back(hook);
}

void VirtualSetScreen(RECT screen, RECT workArea, const RECT* second) {
    Virtual().screen = Virtual().desktop = screen;
    Virtual().workArea = workArea;
    if (second == nullptr) return;
    RECT& d = Virtual().desktop;
    d = {std::min(d.left, second->left), std::min(d.top, second->top),
         std::max(d.right, second->right), std::max(d.bottom, second->bottom)};
}

void VirtualSetDisplayFormat(const DisplayFormat& format, bool readable) {
    Virtual().format = format;
    Virtual().readable = readable;
}

void VirtualSetDpi(int dpi) {
    Virtual().dpi = dpi;
}

void VirtualSetDesktopFrame(const RECT* frame) {
    Virtual().customFrame = frame != nullptr;
    if (frame != nullptr) Virtual().frame = *frame;
}

void VirtualRefuseWindows(bool refuse) {
    Virtual().refuseWindows = refuse;
}

void VirtualQueueKey(UINT message, UINT key) {
    Virtual().Queue({Event::Kind::Key, 0, message, key, {}, nullptr, {}});
}

void VirtualQueueMouse(UINT message, int x, int y) {
    Virtual().Queue({Event::Kind::Mouse, 0, message, 0, {x, y}, nullptr, {}});
}

void VirtualQueueFocus(HWND window, bool gained) {
    Virtual().Queue({Event::Kind::Focus, 0, 0, gained ? 1u : 0u, {}, window, {}});
}

void VirtualQueueClose(HWND window) {
    Virtual().Queue({Event::Kind::Close, 0, 0, 0, {}, window, {}});
}

void VirtualQueueDelay(uint32_t milliseconds) {
    Virtual().Delay(milliseconds);
}

void VirtualQueueCall(std::function<void()> call) {
    Virtual().Queue({Event::Kind::Call, 0, 0, 0, {}, nullptr, std::move(call)});
}

uint32_t VirtualNow() {
    return Virtual().clock;
}

void VirtualAdvanceClock(uint32_t milliseconds) {
    Virtual().clock += milliseconds;
}

bool VirtualIdle(uint32_t milliseconds) {
    VirtualBackend& v = Virtual();
    const bool outer = v.idling;
    const uint32_t outerEnd = v.idleEnd;
    v.idleEnd = v.clock + milliseconds;
    v.idling = true;
    MSG m{};
    BOOL got = 0;
    while ((got = GetMessageA(&m, nullptr, 0, 0)) > 0)
        DispatchMessageA(&m);
    v.idling = outer;
    v.idleEnd = outerEnd;
    if (got == 0) PostQuitMessage(int(m.wParam));
    return !v.bounded;
}

void VirtualSetLoopBounds(uint32_t maxMessages, uint32_t maxMilliseconds) {
    Virtual().SetBounds(maxMessages, maxMilliseconds);
}

bool VirtualLoopBounded() {
    return Virtual().bounded;
}

namespace {

void Fill(HDC dc, RECT r, int colour) {
    FillRect(dc, &r, GetSysColorBrush(colour));
}

// The classic frame of a captioned window: two raised lines round a face-coloured band, the
// caption bar in the active or inactive colour with the title in white, a face line below it.
void DrawDesktopFrame(HDC dc, HWND window, int width, int height, RECT client) {
    Fill(dc, {0, 0, width, height}, COLOR_BTNFACE);
    Fill(dc, {0, 0, width - 1, 1}, COLOR_3DLIGHT);
    Fill(dc, {0, 0, 1, height - 1}, COLOR_3DLIGHT);
    Fill(dc, {0, height - 1, width, height}, COLOR_3DDKSHADOW);
    Fill(dc, {width - 1, 0, width, height}, COLOR_3DDKSHADOW);
    Fill(dc, {1, 1, width - 2, 2}, COLOR_BTNHIGHLIGHT);
    Fill(dc, {1, 1, 2, height - 2}, COLOR_BTNHIGHLIGHT);
    Fill(dc, {1, height - 2, width - 1, height - 1}, COLOR_BTNSHADOW);
    Fill(dc, {width - 2, 1, width - 1, height - 1}, COLOR_BTNSHADOW);
    const RECT bar{client.left, client.left, client.right, client.top - 1};
    const bool active = GetActiveWindow() == window;
    Fill(dc, bar, active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    LOGFONTA f{};
    f.lfHeight = -11;
    f.lfWeight = FW_BOLD;
    std::snprintf(f.lfFaceName, LF_FACESIZE, "MS Sans Serif");
    HFONT font = CreateFontIndirectA(&f);
    HGDIOBJ old = SelectObject(dc, font);
    char title[256];
    const int n = GetWindowTextA(window, title, sizeof title);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_3DLIGHT));
    SIZE s{};
    GetTextExtentPoint32A(dc, title, n, &s);
    TextOutA(dc, bar.left + 2, (bar.top + bar.bottom - s.cy) / 2, title, n);
    SelectObject(dc, old);
    DeleteObject(font);
}

} // namespace

bool VirtualWindowImage(HWND window, std::vector<uint32_t>& image, int& width, int& height) {
    RECT frame{};
    POINT origin{0, 0};
    int cw = 0, ch = 0, pitch = 0;
    const uint32_t* client = WindowClientPixels(window, cw, ch, pitch);
    if (client == nullptr || !GetWindowRect(window, &frame) || !ClientToScreen(window, &origin))
        return false;
    if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) {
        const uint32_t* pixels = WindowPixels(window, width, height);
        image.assign(pixels, pixels + size_t(width) * size_t(height));
        return true;
    }
    width = frame.right - frame.left;
    height = frame.bottom - frame.top;
    image.assign(size_t(width) * size_t(height), 0);
    const RECT inside{origin.x - frame.left, origin.y - frame.top, origin.x - frame.left + cw,
                      origin.y - frame.top + ch};
    HDC dc = CreatePixelDC(image.data(), width, height, width * 4, PixelLayout{16, 8, 0});
    DrawDesktopFrame(dc, window, width, height, inside);
    DeleteDC(dc);
    for (int y = 0; y < ch; ++y)
        std::copy_n(client + size_t(y) * size_t(pitch / 4), cw,
                    image.data() + size_t(inside.top + y) * size_t(width) + size_t(inside.left));
    return true;
}

bool VirtualSavePng(HWND window, const char* path) {
    std::vector<uint32_t> image;
    int width = 0, height = 0;
    if (path == nullptr || !VirtualWindowImage(window, image, width, height) || width <= 0 ||
        height <= 0)
        return false;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(width);
    png.height = png_uint_32(height);
    png.format = PNG_FORMAT_BGRA;
    for (uint32_t& p : image)
        p |= 0xFF000000;
    return png_image_write_to_file(&png, path, 0, image.data(), width * 4, nullptr) != 0;
}

uint32_t VirtualClientPixel(HWND window, int x, int y) {
    int width = 0, height = 0, pitch = 0;
    const uint32_t* pixels = WindowClientPixels(window, width, height, pitch);
    if (pixels == nullptr || x < 0 || y < 0 || x >= width || y >= height) return 0;
    return pixels[size_t(y) * size_t(pitch / 4) + size_t(x)] & 0x00FFFFFF;
}

HWND VirtualFindWindow(const char* title) {
    for (int i = WindowCount() - 1; i >= 0; --i) {
        HWND w = WindowAt(i);
        char text[256];
        GetWindowTextA(w, text, sizeof text);
        if (IsWindowVisible(w) && std::string(text) == title) return w;
    }
    return nullptr;
}

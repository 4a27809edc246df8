#include "VirtualForms.h"
#include "VirtualCapture.h"

#include <png.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <utility>

struct NativeWindow {
    HWND window;
};

namespace {

struct Event {
    enum class Kind { Key, Mouse, Delay, Call } kind;
    UINT message;
    UINT key;
    POINT point;
    uint32_t delay;
    std::function<void()> call;
};

class VirtualBackend : public WindowBackend {
public:
    VirtualBackend() { Reset(); }

    void Reset() {
        screen = {0, 0, 1024, 768};
        workArea = {0, 0, 1024, 738};
        format = DisplayFormat{};
        readable = true;
        clock = 0;
        script.clear();
        recorded.clear();
    }

    bool HasDisplay() override { return true; }
    RECT Screen() override { return screen; }
    RECT WorkArea() override { return workArea; }
    bool Format(DisplayFormat& f) override {
        f = format;
        return readable;
    }
    NativeWindow* Create(HWND window, const char*, RECT, DWORD) override {
        return new NativeWindow{window};
    }
    void Destroy(NativeWindow* native) override { delete native; }
    void Show(NativeWindow*, bool) override {}
    void Move(NativeWindow*, RECT) override {}
    void SetTitle(NativeWindow*, const char*) override {}
    void Present(NativeWindow*, const uint32_t*, int, int) override {}
    uint32_t Now() override { return clock; }

    bool Wait(uint32_t timeout) override {
        if (script.empty()) {
            if (timeout == UINT32_MAX) return false;
            clock += timeout;
            return true;
        }
        const Event e = script.front();
        script.pop_front();
        switch (e.kind) {
        case Event::Kind::Delay:
            clock += e.delay;
            break;
        case Event::Kind::Key:
            InputKey(e.message, e.key);
            break;
        case Event::Kind::Mouse:
            InputMouse(e.message, e.point, e.key);
            break;
        case Event::Kind::Call:
            e.call();
            break;
        }
        return true;
    }

    int ShowSystemMessage(const char* text, const char* caption, UINT style) override {
        recorded.push_back({text != nullptr ? text : "", caption == nullptr, style});
        return IDOK;
    }

    RECT screen, workArea;
    DisplayFormat format;
    bool readable = true;
    uint32_t clock = 0;
    std::deque<Event> script;
    std::vector<RecordedMessageBox> recorded;
};

VirtualBackend& Virtual() {
    static VirtualBackend backend;
    return backend;
}

WPARAM ButtonKeys(UINT message) {
    return message == WM_LBUTTONDOWN ? MK_LBUTTON : message == WM_RBUTTONDOWN ? MK_RBUTTON : 0;
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
    Virtual().Reset();
    VirtualCaptureReset();
}

void VirtualSetScreen(RECT screen, RECT workArea) {
    Virtual().screen = screen;
    Virtual().workArea = workArea;
}

void VirtualSetDisplayFormat(const DisplayFormat& format, bool readable) {
    Virtual().format = format;
    Virtual().readable = readable;
}

void VirtualQueueKey(UINT message, UINT key) {
    Virtual().script.push_back({Event::Kind::Key, message, key, {}, 0, {}});
}

void VirtualQueueMouse(UINT message, int x, int y) {
    Virtual().script.push_back(
        {Event::Kind::Mouse, message, UINT(ButtonKeys(message)), {x, y}, 0, {}});
}

void VirtualQueueDelay(uint32_t milliseconds) {
    Virtual().script.push_back({Event::Kind::Delay, 0, 0, {}, milliseconds, {}});
}

void VirtualQueueCall(std::function<void()> call) {
    Virtual().script.push_back({Event::Kind::Call, 0, 0, {}, 0, std::move(call)});
}

uint32_t VirtualNow() {
    return Virtual().clock;
}

bool VirtualSavePng(HWND window, const char* path) {
    int width = 0, height = 0;
    const uint32_t* pixels = WindowPixels(window, width, height);
    if (pixels == nullptr || width <= 0 || height <= 0 || path == nullptr) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> opaque(pixels, pixels + size_t(width) * size_t(height));
    for (uint32_t& p : opaque)
        p |= 0xFF000000;
    return png_image_write_to_file(&image, path, 0, opaque.data(), width * 4, nullptr) != 0;
}

uint32_t VirtualClientPixel(HWND window, int x, int y) {
    int width = 0, height = 0;
    const uint32_t* pixels = WindowPixels(window, width, height);
    POINT p{x, y};
    ClientToScreen(window, &p);
    RECT frame{};
    GetWindowRect(window, &frame);
    const int fx = p.x - frame.left, fy = p.y - frame.top;
    if (pixels == nullptr || fx < 0 || fy < 0 || fx >= width || fy >= height) return 0;
    return pixels[size_t(fy) * size_t(width) + size_t(fx)] & 0x00FFFFFF;
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

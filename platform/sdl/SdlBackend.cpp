// The real desktop through SDL2: a window per window, its pixels presented through a
// streaming texture, the desktop's drag of caption bars through SDL's hit test, input
// translated into window messages.
#include "SdlForms.h"
#include "platform/window/WindowBackend.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>

struct NativeWindow {
    HWND window = nullptr;
    SDL_Window* sdl = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
};

namespace {

// Code page 1251 text as UTF-8, for SDL.
std::string Utf8Of(const char* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        WCHAR u = 0;
        MultiByteToWideChar(CP_1251, 0, text, 1, &u, 1);
        const uint32_t c = u != 0 ? u : '?';
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

UINT VirtualKey(SDL_Keycode k) {
    switch (k) {
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    default:
        if (k >= SDLK_a && k <= SDLK_z) return UINT('A' + (k - SDLK_a));
        if (k >= SDLK_0 && k <= SDLK_9) return UINT('0' + (k - SDLK_0));
        return 0;
    }
}

WPARAM Keys(uint32_t buttons) {
    const SDL_Keymod mod = SDL_GetModState();
    return (buttons & SDL_BUTTON_LMASK ? MK_LBUTTON : 0) |
           (buttons & SDL_BUTTON_RMASK ? MK_RBUTTON : 0) | (mod & KMOD_SHIFT ? MK_SHIFT : 0) |
           (mod & KMOD_CTRL ? MK_CONTROL : 0);
}

HWND WindowOf(uint32_t id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    return w != nullptr ? static_cast<HWND>(SDL_GetWindowData(w, "hwnd")) : nullptr;
}

POINT ScreenPoint(uint32_t id, int x, int y) {
    int wx = 0, wy = 0;
    if (SDL_Window* w = SDL_GetWindowFromID(id)) SDL_GetWindowPosition(w, &wx, &wy);
    return {wx + x, wy + y};
}

SDL_HitTestResult HitTestOf(SDL_Window* sdl, const SDL_Point* p, void* data) {
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(sdl, &wx, &wy);
    return HitTest(static_cast<HWND>(data), {wx + p->x, wy + p->y}) == HTCAPTION
               ? SDL_HITTEST_DRAGGABLE
               : SDL_HITTEST_NORMAL;
}

bool Texture(NativeWindow* n, int width, int height) {
    if (n->texture != nullptr && n->textureWidth == width && n->textureHeight == height)
        return true;
    if (n->texture != nullptr) SDL_DestroyTexture(n->texture);
    n->texture = SDL_CreateTexture(n->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                   width, height);
    n->textureWidth = width;
    n->textureHeight = height;
    return n->texture != nullptr;
}

class SdlBackend : public WindowBackend {
public:
    ~SdlBackend() override {
        if (started) SDL_Quit();
    }

    // SDL falls back to drivers that show nothing when there is no desktop; only a real one
    // counts. The absence is reported once.
    bool HasDisplay() override {
        if (checked) return display;
        checked = true;
        started = SDL_Init(SDL_INIT_VIDEO) == 0;
        const char* driver = started ? SDL_GetCurrentVideoDriver() : nullptr;
        display = driver != nullptr &&
                  (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
        if (!display)
            std::fprintf(
                stderr, "kavrel: no display (an X11 or Wayland desktop) is available%s%s\n",
                driver != nullptr ? "; SDL offered only " : "", driver != nullptr ? driver : "");
        return display;
    }

    RECT Screen() override {
        SDL_Rect r{0, 0, 1024, 768};
        if (HasDisplay()) SDL_GetDisplayBounds(0, &r);
        return {r.x, r.y, r.x + r.w, r.y + r.h};
    }

    RECT WorkArea() override {
        SDL_Rect r{0, 0, 1024, 768};
        if (HasDisplay()) SDL_GetDisplayUsableBounds(0, &r);
        return {r.x, r.y, r.x + r.w, r.y + r.h};
    }

    bool Format(DisplayFormat& f) override {
        SDL_DisplayMode mode;
        if (!HasDisplay() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
        int bits = 0;
        uint32_t r = 0, g = 0, b = 0, a = 0;
        if (!SDL_PixelFormatEnumToMasks(mode.format, &bits, &r, &g, &b, &a)) return false;
        f.rgb = !SDL_ISPIXELFORMAT_INDEXED(mode.format) && !SDL_ISPIXELFORMAT_FOURCC(mode.format);
        f.bitsPerPixel = SDL_BYTESPERPIXEL(mode.format) * 8;
        f.redMask = r;
        f.greenMask = g;
        f.blueMask = b;
        return true;
    }

    NativeWindow* Create(HWND window, const char* title, RECT frame, DWORD style) override {
        if (!HasDisplay()) return nullptr;
        const bool ownFrame = (style & WS_CAPTION) != WS_CAPTION;
        uint32_t flags = SDL_WINDOW_HIDDEN;
        if (ownFrame)
            flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
        auto* n = new NativeWindow{window};
        n->sdl = SDL_CreateWindow(Utf8Of(title).c_str(), frame.left, frame.top,
                                  std::max(frame.right - frame.left, 1),
                                  std::max(frame.bottom - frame.top, 1), flags);
        if (n->sdl != nullptr) {
            SDL_SetWindowData(n->sdl, "hwnd", window);
            n->renderer = SDL_CreateRenderer(n->sdl, -1, 0);
            if (ownFrame) SDL_SetWindowHitTest(n->sdl, HitTestOf, window);
        }
        if (n->sdl == nullptr || n->renderer == nullptr) {
            Destroy(n);
            return nullptr;
        }
        return n;
    }

    void Destroy(NativeWindow* n) override {
        if (n == nullptr) return;
        if (n->texture != nullptr) SDL_DestroyTexture(n->texture);
        if (n->renderer != nullptr) SDL_DestroyRenderer(n->renderer);
        if (n->sdl != nullptr) SDL_DestroyWindow(n->sdl);
        delete n;
    }

    void Show(NativeWindow* n, bool visible) override {
        if (n == nullptr) return;
        if (visible) {
            SDL_ShowWindow(n->sdl);
            SDL_RaiseWindow(n->sdl);
        } else {
            SDL_HideWindow(n->sdl);
        }
    }

    void Move(NativeWindow* n, RECT frame) override {
        if (n == nullptr) return;
        SDL_SetWindowPosition(n->sdl, frame.left, frame.top);
        SDL_SetWindowSize(n->sdl, std::max(frame.right - frame.left, 1),
                          std::max(frame.bottom - frame.top, 1));
    }

    void SetTitle(NativeWindow* n, const char* title) override {
        if (n != nullptr) SDL_SetWindowTitle(n->sdl, Utf8Of(title).c_str());
    }

    void Present(NativeWindow* n, const uint32_t* pixels, int width, int height) override {
        if (n == nullptr || width <= 0 || height <= 0 || !Texture(n, width, height)) return;
        SDL_UpdateTexture(n->texture, nullptr, pixels, width * 4);
        SDL_RenderClear(n->renderer);
        SDL_RenderCopy(n->renderer, n->texture, nullptr, nullptr);
        SDL_RenderPresent(n->renderer);
    }

    bool Wait(uint32_t timeout) override {
        if (!HasDisplay()) return false;
        SDL_Event e;
        const int wait = timeout == UINT32_MAX ? -1 : int(std::min<uint32_t>(timeout, INT32_MAX));
        if (!SDL_WaitEventTimeout(&e, wait)) return true;
        do
            Deliver(e);
        while (SDL_PollEvent(&e));
        return true;
    }

    uint32_t Now() override { return SDL_GetTicks(); }

    int ShowSystemMessage(const char* text, const char* caption, UINT) override {
        const std::string title = caption != nullptr ? Utf8Of(caption) : "Error";
        const std::string body = Utf8Of(text);
        if (!HasDisplay() || SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(),
                                                      body.c_str(), nullptr) != 0)
            std::fprintf(stderr, "%s: %s\n", title.c_str(), body.c_str());
        return IDOK;
    }

    void Shutdown() {
        if (started) SDL_Quit();
        checked = started = display = false;
    }

private:
    static void Deliver(const SDL_Event& e) {
        switch (e.type) {
        case SDL_MOUSEMOTION:
            InputMouse(WM_MOUSEMOVE, ScreenPoint(e.motion.windowID, e.motion.x, e.motion.y),
                       Keys(e.motion.state));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = e.type == SDL_MOUSEBUTTONDOWN;
            const UINT message = e.button.button == SDL_BUTTON_RIGHT
                                     ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                                     : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
            InputMouse(message, ScreenPoint(e.button.windowID, e.button.x, e.button.y),
                       Keys(SDL_GetMouseState(nullptr, nullptr)));
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (const UINT key = VirtualKey(e.key.keysym.sym))
                InputKey(e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key);
            break;
        case SDL_WINDOWEVENT: {
            HWND w = WindowOf(e.window.windowID);
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) InputClose(w);
            if (e.window.event == SDL_WINDOWEVENT_MOVED)
                InputMoved(w, {e.window.data1, e.window.data2});
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) InputExposed(w);
            break;
        }
        default:
            break;
        }
    }

    bool checked = false, started = false, display = false;
};

SdlBackend& Sdl() {
    static SdlBackend backend;
    return backend;
}

} // namespace

WindowBackend& Backend() {
    return Sdl();
}

void SdlShutdown() {
    Sdl().Shutdown();
}

bool SdlReadWindowPixels(HWND window, std::vector<uint32_t>& pixels, int& width, int& height) {
    int w = 0, h = 0;
    const uint32_t* source = WindowPixels(window, w, h);
    if (source == nullptr) return false;
    NativeWindow* native = WindowNative(window);
    SDL_Window* sdl = native != nullptr ? native->sdl : nullptr;
    SDL_Renderer* renderer = sdl != nullptr ? SDL_GetRenderer(sdl) : nullptr;
    if (renderer == nullptr) return false;
    SDL_GetRendererOutputSize(renderer, &width, &height);
    pixels.assign(size_t(width) * size_t(height), 0);
    // The drawn frame is read before it is presented, as the renderer requires.
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC, w, h);
    SDL_UpdateTexture(texture, nullptr, source, w * 4);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    const bool ok = SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(),
                                         width * 4) == 0;
    SDL_RenderPresent(renderer);
    SDL_DestroyTexture(texture);
    for (uint32_t& p : pixels)
        p &= 0x00FFFFFF;
    return ok;
}

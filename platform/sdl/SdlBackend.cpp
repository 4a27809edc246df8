// The real desktop through SDL2: a window per window, its pixels copied into SDL's window surface
// (X11 fills the window from shared memory; no GL renderer, whose threads and libraries cost more
// than the copy), the desktop's drag of caption bars through SDL's hit test, input
// translated into window messages.
#include "SdlDpi.h"
#include "SdlForms.h"
#include "SdlProbe.h"
#include "platform/forms/DrawnMessageBox.h"
#include "platform/window/WindowBackend.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <algorithm>

#include <poll.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

struct NativeWindow {
    HWND window = nullptr;
    RECT rect{}; // where the layer wants it
    DWORD style = 0;
    bool mapped = false;
    SDL_Window* sdl = nullptr;
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
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
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

WPARAM Modifiers(uint32_t mod) {
    return (mod & KMOD_SHIFT ? MK_SHIFT : 0) | (mod & KMOD_CTRL ? MK_CONTROL : 0) |
           (mod & KMOD_ALT ? InputAlt : 0);
}

WPARAM Keys(uint32_t buttons) {
    return (buttons & SDL_BUTTON_LMASK ? MK_LBUTTON : 0) |
           (buttons & SDL_BUTTON_RMASK ? MK_RBUTTON : 0) |
           (buttons & SDL_BUTTON_MMASK ? MK_MBUTTON : 0) | Modifiers(SDL_GetModState());
}

// The message of a button; the extra buttons have none.
UINT ButtonMessage(uint8_t button, bool down) {
    switch (button) {
    case SDL_BUTTON_LEFT:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case SDL_BUTTON_RIGHT:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case SDL_BUTTON_MIDDLE:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default:
        return WM_NULL;
    }
}

// The frame the desktop drew round a mapped window; zero without a window manager.
RECT Borders(SDL_Window* sdl) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(sdl, &top, &left, &bottom, &right) != 0) return {0, 0, 0, 0};
    return {left, top, right, bottom};
}

// Whether an X11 window manager runs (it announces itself on the root window).
bool HasWindowManager(SDL_Window* sdl) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* display = info.info.x11.display;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == 0) return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                          AnyPropertyType, &type, &format, &count, &after, &data);
    if (data != nullptr) XFree(data);
    return status == 0 && count > 0;
}

// A fixed frame offers moving, minimising and closing only; SDL asks the window manager for
// every decoration, and some (openbox) then show a maximise button on a window that cannot grow.
void TellFixedFrame(SDL_Window* sdl) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    enum : long { Functions = 1, Decorations = 2, Move = 4, Minimise = 8, Close = 32 };
    enum : long { Border = 2, Title = 8, Menu = 16, MinimiseButton = 32 };
    const long hints[5] = {Functions | Decorations, Move | Minimise | Close,
                           Border | Title | Menu | MinimiseButton, 0, 0};
    const Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, info.info.x11.window, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
}

int X11Connection(SDL_Window* sdl) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return -1;
    return ConnectionNumber(info.info.x11.display);
}

// A window manager frames a mapped window a little later: its frame is waited for a while.
RECT MappedBorders(SDL_Window* sdl) {
    RECT borders = Borders(sdl);
    if (!HasWindowManager(sdl)) return borders;
    for (int i = 0; i < 200 && borders.top == 0; ++i) {
        SDL_Delay(10);
        SDL_PumpEvents();
        borders = Borders(sdl);
    }
    return borders;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
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

// The rows of a picture into a surface, as far as both reach.
void CopyInto(SDL_Surface* surface, const uint32_t* pixels, int width, int height) {
    const int w = std::min(width, surface->w), h = std::min(height, surface->h);
    if (w <= 0 || h <= 0) return;
    SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_RGB888, pixels, width * 4, surface->format->format,
                      surface->pixels, surface->pitch);
}

// The X server gone (killed, its session ended): Xlib's own handler exits, and the exit handlers
// would then take SDL's windows down through the dead connection, where Xlib spins for good. The
// program ends here instead.
int DisplayGone(Display* display) {
    std::fprintf(stderr, "%s: the connection to the display %s was lost\n",
                 program_invocation_short_name, DisplayString(display));
    std::_Exit(1);
}

// How long the child trying SDL's video start-up may take.
constexpr int ProbeMilliseconds = 10000;

// Whether SDL's video runs on a real desktop, not a fallback that shows nothing.
bool RealDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr &&
           (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

// SDL's video start-up and a window, as the program makes them.
bool VideoStarts() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !RealDriver()) return false;
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 32, 32, SDL_WINDOW_HIDDEN);
    return window != nullptr && SDL_GetWindowSurface(window) != nullptr;
}

class SdlBackend : public WindowBackend {
public:
    // Only the video part is ours: capture may still hold SDL's audio part. Once no part is in
    // use, SDL lets go of what it keeps for the whole process (its D-Bus connection among them).
    ~SdlBackend() override {
        if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
    }

    // SDL falls back to drivers that show nothing when there is no desktop; only a real one
    // counts. Without a desktop named in the environment SDL is not asked at all, so that no
    // library it loads complains on its own; the program says what is missing. Only X11 lets a
    // window place itself (in the corners of the work area), so X11 (XWayland on a Wayland
    // desktop) serves whenever there is one, whatever SDL_VIDEODRIVER asks; SDL's Wayland
    // start-up, where it is the only way, can crash (2.26 under weston), so a child tries it.
    bool HasDisplay() override {
        if (checked) return display;
        checked = true;
        const bool x11 = std::getenv("DISPLAY") != nullptr;
        if (!x11 && std::getenv("WAYLAND_DISPLAY") == nullptr) return display = false;
        if (x11)
            SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
        else if (!SucceedsInChild(VideoStarts, ProbeMilliseconds))
            return display = false;
        // SIGINT and SIGTERM end the program as they end any other, instead of becoming a
        // quit event that nothing asked for.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // The window surface stays the desktop's own (X11 shared memory), not a renderer's.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        started = SDL_Init(SDL_INIT_VIDEO) == 0;
        if (x11) XSetIOErrorHandler(DisplayGone);
        return display = started && RealDriver();
    }

    RECT Screen() override {
        SDL_Rect r{0, 0, 1024, 768};
        if (HasDisplay()) SDL_GetDisplayBounds(0, &r);
        return {r.x, r.y, r.x + r.w, r.y + r.h};
    }

    RECT VirtualScreen() override {
        RECT all = Screen();
        const int count = HasDisplay() ? SDL_GetNumVideoDisplays() : 0;
        for (int i = 1; i < count; ++i) {
            SDL_Rect r;
            if (SDL_GetDisplayBounds(i, &r) != 0) continue;
            all = {std::min<LONG>(all.left, r.x), std::min<LONG>(all.top, r.y),
                   std::max<LONG>(all.right, r.x + r.w), std::max<LONG>(all.bottom, r.y + r.h)};
        }
        return all;
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

    int Dpi() override { return HasDisplay() ? X11DesktopDpi() : 96; }

    // Learnt once per kind of frame from a probe window, since placing a window needs its
    // frame before it is shown; a window manager maps the probe with its frame.
    RECT DesktopFrame(DWORD style) override {
        if ((style & WS_CAPTION) != WS_CAPTION || !HasDisplay()) return {0, 0, 0, 0};
        const bool sizeable = (style & WS_THICKFRAME) != 0;
        if (!probed[sizeable]) {
            probed[sizeable] = true;
            SDL_Window* probe = SDL_CreateWindow("", 0, 0, 32, 32, Flags(style));
            if (probe != nullptr) {
                SDL_ShowWindow(probe);
                frames[sizeable] = MappedBorders(probe);
                SDL_DestroyWindow(probe);
            }
        }
        return frames[sizeable];
    }

    NativeWindow* Create(HWND window, const char* title, RECT rect, DWORD style) override {
        if (!HasDisplay()) return nullptr;
        const bool ownFrame = (style & WS_CAPTION) != WS_CAPTION;
        auto* n = new NativeWindow{window, rect, style};
        const POINT at = Position(n);
        n->sdl =
            SDL_CreateWindow(Utf8Of(title).c_str(), at.x, at.y, std::max(rect.right - rect.left, 1),
                             std::max(rect.bottom - rect.top, 1), Flags(style) | SDL_WINDOW_HIDDEN);
        if (n->sdl != nullptr) {
            if (connection < 0) connection = X11Connection(n->sdl);
            SDL_SetWindowData(n->sdl, "hwnd", window);
            if (ownFrame) SDL_SetWindowHitTest(n->sdl, HitTestOf, window);
            if (!ownFrame && !(style & WS_THICKFRAME)) TellFixedFrame(n->sdl);
        }
        if (n->sdl == nullptr) {
            Destroy(n);
            return nullptr;
        }
        return n;
    }

    void Destroy(NativeWindow* n) override {
        if (n == nullptr) return;
        if (n->sdl != nullptr) SDL_DestroyWindow(n->sdl);
        delete n;
    }

    // Once mapped, the window's real frame is known; the layer hears when it is not the one
    // assumed.
    void Show(NativeWindow* n, bool visible) override {
        if (n == nullptr) return;
        if (!visible) {
            SDL_HideWindow(n->sdl);
            return;
        }
        SDL_ShowWindow(n->sdl);
        SDL_RaiseWindow(n->sdl);
        if (n->mapped || (SDL_GetWindowFlags(n->sdl) & SDL_WINDOW_BORDERLESS)) return;
        n->mapped = true;
        const RECT borders = MappedBorders(n->sdl);
        const bool sizeable = (SDL_GetWindowFlags(n->sdl) & SDL_WINDOW_RESIZABLE) != 0;
        // Now that SDL knows the frame, it places the client area itself.
        SDL_SetWindowPosition(n->sdl, n->rect.left, n->rect.top);
        if (probed[sizeable] && SameRect(borders, frames[sizeable])) return;
        probed[sizeable] = true;
        frames[sizeable] = borders;
        InputFrame(n->window, borders);
    }

    void Move(NativeWindow* n, RECT rect) override {
        if (n == nullptr) return;
        n->rect = rect;
        const POINT at = Position(n);
        SDL_SetWindowPosition(n->sdl, at.x, at.y);
        SDL_SetWindowSize(n->sdl, std::max(rect.right - rect.left, 1),
                          std::max(rect.bottom - rect.top, 1));
    }

    void SetTitle(NativeWindow* n, const char* title) override {
        if (n != nullptr) SDL_SetWindowTitle(n->sdl, Utf8Of(title).c_str());
    }

    void Present(NativeWindow* n, const uint32_t* pixels, int width, int height) override {
        quiet = false; // SDL's update waits for the server and queues what comes meanwhile
        SDL_Surface* surface = n != nullptr ? SDL_GetWindowSurface(n->sdl) : nullptr;
        if (surface == nullptr || pixels == nullptr) return;
        CopyInto(surface, pixels, width, height);
        SDL_UpdateWindowSurface(n->sdl);
    }

    bool Poll() override {
        if (std::exchange(quiet, false)) return true;
        SDL_Event e;
        while (started && SDL_PollEvent(&e))
            Deliver(e);
        return true;
    }

    // On X11 the connection itself is waited on: SDL's own wait pumps it twice, a dozen empty
    // reads each wait. What came before, the last Poll took (and it flushed the requests).
    bool Wait(uint32_t timeout) override {
        if (!HasDisplay()) return false;
        const int wait = timeout == UINT32_MAX ? -1 : int(std::min<uint32_t>(timeout, INT_MAX));
        if (connection >= 0 &&
            SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0) {
            pollfd x11{connection, POLLIN, 0};
            const int ready = poll(&x11, 1, wait);
            // A connection the X server closed stays ready: no input can come any more.
            if (ready > 0 && (x11.revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
            quiet = ready == 0;
            return ready <= 0 || Poll();
        }
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, wait)) return true;
        Deliver(e);
        return Poll();
    }

    uint32_t Now() override { return SDL_GetTicks(); }

    // Drawn by the layer: SDL's own box draws with X core fonts, which lack code page 1251.
    int ShowSystemMessage(const char* text, const char* caption, UINT) override {
        if (HasDisplay() && DrawnMessageBox(text, caption) == IDOK) return IDOK;
        std::fprintf(stderr, "%s: %s\n", caption != nullptr ? Utf8Of(caption).c_str() : "Error",
                     Utf8Of(text).c_str());
        return IDOK;
    }

    void Shutdown() {
        if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        checked = started = display = false;
        probed[0] = probed[1] = false;
        connection = -1;
    }

private:
    // Until a window is mapped, the desktop places its frame where SDL puts it (the frame's top
    // left), so the client area is placed by the frame learnt from the probe.
    POINT Position(const NativeWindow* n) {
        if (n->mapped || (n->style & WS_CAPTION) != WS_CAPTION) return {n->rect.left, n->rect.top};
        const RECT frame = DesktopFrame(n->style);
        return {n->rect.left - frame.left, n->rect.top - frame.top};
    }

    static uint32_t Flags(DWORD style) {
        if ((style & WS_CAPTION) != WS_CAPTION)
            return SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
        return style & WS_THICKFRAME ? SDL_WINDOW_RESIZABLE : 0;
    }

    static void Deliver(const SDL_Event& e) {
        switch (e.type) {
        case SDL_MOUSEMOTION:
            InputMouse(WM_MOUSEMOVE, ScreenPoint(e.motion.windowID, e.motion.x, e.motion.y),
                       Keys(e.motion.state));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (const UINT message = ButtonMessage(e.button.button, e.type == SDL_MOUSEBUTTONDOWN))
                InputMouse(message, ScreenPoint(e.button.windowID, e.button.x, e.button.y),
                           Keys(SDL_GetMouseState(nullptr, nullptr)));
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (const UINT key = VirtualKey(e.key.keysym.sym))
                InputKey(e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key,
                         Modifiers(e.key.keysym.mod), WindowOf(e.key.windowID));
            break;
        case SDL_WINDOWEVENT:
            DeliverWindowEvent(e.window);
            break;
        default:
            break;
        }
    }

    static void DeliverWindowEvent(const SDL_WindowEvent& e) {
        HWND w = WindowOf(e.windowID);
        switch (e.event) {
        case SDL_WINDOWEVENT_CLOSE:
            InputClose(w);
            break;
        case SDL_WINDOWEVENT_MOVED:
            InputMoved(w, {e.data1, e.data2});
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            InputResized(w, e.data1, e.data2);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            InputExposed(w);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_FOCUS_LOST:
            InputFocusChanged(w, e.event == SDL_WINDOWEVENT_FOCUS_GAINED);
            break;
        default:
            break;
        }
    }

    bool checked = false, started = false, display = false;
    bool probed[2] = {false, false};
    // The X server connection's descriptor, -1 on other desktops.
    int connection = -1;
    // The connection had nothing when the last wait ended, and nothing was presented since (the
    // message loop polls right after a wait): the next Poll has nothing to read.
    bool quiet = false;
    RECT frames[2] = {};
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

unsigned long SdlX11Window(HWND window) {
    NativeWindow* native = WindowNative(window);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (native == nullptr || !SDL_GetWindowWMInfo(native->sdl, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

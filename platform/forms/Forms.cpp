// The form framework over the window calls: components, the timer, the application and its
// message loop, and a form as a window with its mouse events. The controls are the platform's:
// drawn ones on the layer's windows (DrawnControls.cpp), real ones on Windows
// (platform/win32/Controls.cpp).
#include "platform/Forms.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif
#include <functional>
#include <map>

TApplication* Application = nullptr;

namespace {

const char* const FormClass = "TForm";

DWORD StyleOf(TBorderStyle border) {
    switch (border) {
    case bsNone:
        return WS_POPUP;
    case bsSingle:
        return WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    case bsSizeable:
        return WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME;
    case bsDialog:
        return WS_CAPTION | WS_SYSMENU;
    }
    return WS_CAPTION;
}

std::map<UINT_PTR, TTimer*>& Timers() {
    static std::map<UINT_PTR, TTimer*> timers;
    return timers;
}

int LowWord(LPARAM l) {
    return int16_t(l & 0xFFFF);
}
int HighWord(LPARAM l) {
    return int16_t((l >> 16) & 0xFFFF);
}

TMouseButton ButtonOf(UINT message) {
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return mbMiddle;
    default:
        return mbLeft;
    }
}

std::string& KeptMessages() {
    static std::string kept;
    return kept;
}

bool ErrorStreamLeadsNowhereNow() {
#ifdef _WIN32
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return true;
    // A console's handle leads somewhere only while the program has a console window: a desktop
    // program started from a console may hold its handles without being attached to it. Files,
    // pipes and other devices (NUL) are where the user sent the lines.
    DWORD mode = 0;
    const DWORD type = GetFileType(error);
    if (type == FILE_TYPE_CHAR && GetConsoleMode(error, &mode))
        return GetConsoleWindow() == nullptr;
    return type == FILE_TYPE_UNKNOWN;
#else
    return fcntl(2, F_GETFD) == -1;
#endif
}

// What NoteErrorStream found: -1 not asked (then asked at every line), 0 somewhere, 1 nowhere.
int& NotedErrorStream() {
    static int noted = -1;
    return noted;
}

bool ErrorStreamLeadsNowhere() {
    const int noted = NotedErrorStream();
    return noted < 0 ? ErrorStreamLeadsNowhereNow() : noted == 1;
}

} // namespace

TShiftState ShiftStateOf(WPARAM keys) {
    return (keys & MK_SHIFT ? ssShift : 0) | (keys & MK_CONTROL ? ssCtrl : 0) |
           (GetKeyState(VK_MENU) < 0 ? ssAlt : 0) | (keys & MK_LBUTTON ? ssLeft : 0) |
           (keys & MK_RBUTTON ? ssRight : 0) | (keys & MK_MBUTTON ? ssMiddle : 0);
}

TComponent::TComponent(TComponent* o) : owner(o) {
    if (owner != nullptr) owner->components.push_back(this);
}

TComponent::~TComponent() {
    while (!components.empty()) {
        TComponent* c = components.back();
        components.pop_back();
        c->owner = nullptr;
        delete c;
    }
    if (owner != nullptr) std::erase(owner->components, this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    for (TComponent* c : components)
        if (c->Name == name) return c;
    return nullptr;
}

TControl::TControl(TComponent* owner, TControl* p) : TComponent(owner), parent(p) {
    if (parent != nullptr) parent->Children.push_back(this);
}

TForm* TControl::Form() const {
    const TControl* c = this;
    while (c->parent != nullptr)
        c = c->parent;
    return const_cast<TForm*>(dynamic_cast<const TForm*>(c));
}

RECT TControl::FormRect() const {
    RECT r{0, 0, Width, Height};
    for (const TControl* c = this; c->parent != nullptr; c = c->parent) {
        r.left += c->Left;
        r.top += c->Top;
    }
    r.right = r.left + Width;
    r.bottom = r.top + Height;
    return r;
}

bool TControl::Focused() const {
    const TForm* f = Form();
    return f != nullptr && f->ActiveControl() == this;
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    Restart();
}

TTimer::~TTimer() {
    enabled = false;
    Restart();
}

void TTimer::SetEnabled(bool on) {
    enabled = on;
    Restart();
}

void TTimer::SetInterval(UINT ms) {
    interval = ms;
    Restart();
}

void TTimer::Restart() {
    if (id != 0) {
        KillTimer(nullptr, id);
        Timers().erase(id);
        id = 0;
    }
    if (!enabled || interval == 0) return;
    id = SetTimer(nullptr, 0, interval, Tick);
    Timers()[id] = this;
}

void TTimer::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = Timers().find(id);
    if (it != Timers().end() && it->second->OnTimer) it->second->OnTimer(it->second);
}

TForm::TForm(TComponent* owner, TBorderStyle border) : TControl(owner, nullptr) {
    static const bool registered = [] {
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = FormProc;
        c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        c.lpszClassName = FormClass;
        return RegisterClassExA(&c) != 0;
    }();
    (void)registered;
    window = CreateWindowExA(0, FormClass, "", StyleOf(border), 0, 0, 320, 240, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SyncBounds();
    SetFont("MS Sans Serif", -11);
}

TForm::~TForm() {
    DoDestroy();
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    DeleteObject(font);
}

void TForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}

void TForm::DoDestroy() {
    if (destroyed) return;
    destroyed = true;
    if (OnDestroy) OnDestroy(this);
}

int TForm::ClientWidth() const {
    RECT r{};
    GetClientRect(window, &r);
    return r.right;
}

int TForm::ClientHeight() const {
    RECT r{};
    GetClientRect(window, &r);
    return r.bottom;
}

// The frame keeps its widths: the window grows or shrinks by what the client area does.
void TForm::SetClientWidth(int width) {
    RECT f{};
    GetWindowRect(window, &f);
    MoveWindow(window, f.left, f.top, f.right - f.left + width - ClientWidth(), f.bottom - f.top,
               1);
    SyncBounds();
}

void TForm::SetClientHeight(int height) {
    RECT f{};
    GetWindowRect(window, &f);
    MoveWindow(window, f.left, f.top, f.right - f.left, f.bottom - f.top + height - ClientHeight(),
               1);
    SyncBounds();
}

void TForm::SetPosition(int left, int top) {
    RECT f{};
    GetWindowRect(window, &f);
    MoveWindow(window, left, top, f.right - f.left, f.bottom - f.top, 1);
    SyncBounds();
}

// Left, Top, Width and Height follow the window's rectangle, however it changed.
void TForm::SyncBounds() {
    RECT f{};
    if (!GetWindowRect(window, &f)) return;
    Left = f.left;
    Top = f.top;
    Width = f.right - f.left;
    Height = f.bottom - f.top;
}

void TForm::SetFormCaption(const std::string& text) {
    SetCaption(text);
    SetWindowTextA(window, text.c_str());
}

void TForm::SetFont(const char* face, int height) {
    LOGFONTA f{};
    f.lfHeight = height;
    f.lfWeight = FW_NORMAL;
    for (int i = 0; face[i] != 0 && i < LF_FACESIZE - 1; ++i)
        f.lfFaceName[i] = face[i];
    HFONT old = font;
    font = CreateFontIndirectA(&f);
    fontFace = f.lfFaceName;
    fontHeight = height;
    FontChanged();
    DeleteObject(old);
}

void TForm::ScaleBy(int multiplier, int divider) {
    if (multiplier <= 0 || divider <= 0) return;
    const auto scaled = [=](int value) { return int(int64_t{value} * multiplier / divider); };
    std::vector<TControl*> pending(Children.begin(), Children.end());
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        c->SetBounds(scaled(c->Left), scaled(c->Top), scaled(c->Width), scaled(c->Height));
        pending.insert(pending.end(), c->Children.begin(), c->Children.end());
    }
    SetClientWidth(scaled(ClientWidth()));
    SetClientHeight(scaled(ClientHeight()));
    pixelsPerInch = scaled(pixelsPerInch);
    SetFont(fontFace.c_str(), scaled(fontHeight));
}

// As a dialog does, the form opens with the keyboard on its first control in tab order.
void TForm::Show() {
    ShowWindow(window, SW_SHOW);
    if (active != nullptr) return;
    const std::vector<TControl*> order = TabControls();
    if (!order.empty()) SetActiveControl(order.front());
}

// The controls that take the keyboard, in tab order, the group's before its members.
std::vector<TControl*> TForm::TabControls() const {
    std::vector<TControl*> order;
    std::function<void(const TControl*)> walk = [&](const TControl* parent) {
        std::vector<TControl*> kids = parent->Children;
        std::stable_sort(kids.begin(), kids.end(), [](const TControl* a, const TControl* b) {
            return a->TabOrder < b->TabOrder;
        });
        for (TControl* c : kids) {
            if (c->TabStop) order.push_back(c);
            walk(c);
        }
    };
    walk(this);
    return order;
}

void TForm::Hide() {
    ShowWindow(window, SW_HIDE);
}
bool TForm::Visible() const {
    return IsWindowVisible(window);
}
void TForm::Close() {
    PostMessageA(window, WM_CLOSE, 0, 0);
}
void TForm::Repaint() {
    UpdateWindow(window);
}

void TForm::Paint(HDC dc) {
    std::vector<TControl*> pending(Children.rbegin(), Children.rend());
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        c->Paint(dc);
        pending.insert(pending.end(), c->Children.rbegin(), c->Children.rend());
    }
    if (OnPaint) OnPaint(this);
}

// The form holds the mouse while any button is down, so a release outside it still arrives.
void TForm::HandleMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = LowWord(lParam), y = HighWord(lParam);
    const TShiftState shift = ShiftStateOf(wParam);
    const bool down =
        message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
    const bool up = message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
    if (down) SetCapture(window);
    ControlMouse(message, x, y);
    if (down && OnMouseDown) OnMouseDown(this, ButtonOf(message), shift, x, y);
    if (up && OnMouseUp) OnMouseUp(this, ButtonOf(message), shift, x, y);
    if (message == WM_MOUSEMOVE && OnMouseMove) OnMouseMove(this, shift, x, y);
    if (up && (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && GetCapture() == window)
        ReleaseCapture();
}

void TForm::PaintWindow() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc == nullptr) return;
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    Paint(dc);
    SelectObject(dc, old);
    EndPaint(window, &ps);
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (ControlMessage(message, wParam, lParam)) return 0;
    switch (message) {
    case WM_PAINT:
        PaintWindow();
        return 0;
    case WM_MOVE:
        SyncBounds();
        break;
    case WM_SIZE:
        SyncBounds();
        if (OnResize) OnResize(this);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
        HandleMouse(message, wParam, lParam);
        break;
    case WM_CLOSE:
        if (Application != nullptr && Application->MainForm() == this) {
            PostQuitMessage(0);
            return 0;
        }
        Hide();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TForm::FormProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    return form != nullptr ? form->WndProc(message, wParam, lParam)
                           : DefWindowProcA(w, message, wParam, lParam);
}

TApplication::TApplication() : TComponent(nullptr) {
    if (Application == nullptr) Application = this;
}

TApplication::~TApplication() {
    if (Application == this) Application = nullptr;
}

void TApplication::CreateForm(TForm* form) {
    if (form == nullptr) return;
    if (mainForm == nullptr) mainForm = form;
    form->DoCreate();
}

void TApplication::Run() {
    if (mainForm == nullptr) return;
    mainForm->Show();
    MSG m{};
    for (;;) {
        ShowProgramMessages();
        if (GetMessageA(&m, nullptr, 0, 0) <= 0) break;
#ifdef _WIN32
        if (FormKeyboardMessage(&m)) continue;
#endif
        DispatchMessageA(&m);
    }
    mainForm->DoDestroy();
}

void TApplication::ShowException(const std::string& message) {
    MessageBoxA(mainForm != nullptr ? mainForm->Handle() : nullptr, message.c_str(), Title.c_str(),
                MB_OK | MB_ICONERROR);
}

void NoteErrorStream() {
    const bool nowhere = ErrorStreamLeadsNowhereNow();
#ifndef _WIN32
    if (nowhere) {
        // Taken as 0 or 1 it stays there too, where a closed stream would also be reused.
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0 && null != 2) dup2(null, 2);
        if (null > 2) close(null);
    }
#endif
    NotedErrorStream() = nowhere ? 1 : 0;
}

void ProgramMessage(const char* line) {
    constexpr size_t Kept = 8192;
    if (line == nullptr) return;
    if (!ErrorStreamLeadsNowhere()) {
        std::fprintf(stderr, "%s\n", line);
        return;
    }
    std::string& kept = KeptMessages();
    if (kept.size() + std::strlen(line) + 2 > Kept) return;
    if (!kept.empty()) kept += "\r\n";
    kept += line;
}

void ShowProgramMessages() {
    std::string kept;
    kept.swap(KeptMessages());
    if (kept.empty()) return;
    MessageBoxA(nullptr, kept.c_str(),
                Application != nullptr ? Application->Title.c_str() : nullptr,
                MB_OK | MB_ICONWARNING);
}

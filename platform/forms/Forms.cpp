// The form framework over the window layer: a form is a window; its controls are drawn on it
// and take its mouse and keyboard input.
#include "platform/Forms.h"

#include <algorithm>
#include <map>

TApplication* Application = nullptr;

namespace {

const char* const FormClass = "TForm";
constexpr int RadioSize = 12;

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

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 0, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Dot(HDC dc, int x, int y, COLORREF colour) {
    HBRUSH b = CreateSolidBrush(colour);
    RECT r{x, y, x + 1, y + 1};
    FillRect(dc, &r, b);
    DeleteObject(b);
}

// The classic dotted focus rectangle.
void FocusRect(HDC dc, RECT r) {
    for (int x = r.left; x < r.right; x += 2) {
        Dot(dc, x, r.top, 0);
        Dot(dc, x, r.bottom - 1, 0);
    }
    for (int y = r.top; y < r.bottom; y += 2) {
        Dot(dc, r.left, y, 0);
        Dot(dc, r.right - 1, y, 0);
    }
}

// A raised (or pressed) frame of two lines each side, as classic buttons have.
void Frame3D(HDC dc, RECT r, bool pressed) {
    const COLORREF outerLight = GetSysColor(pressed ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT);
    const COLORREF outerDark = GetSysColor(pressed ? COLOR_BTNHIGHLIGHT : COLOR_3DDKSHADOW);
    const COLORREF innerLight = GetSysColor(pressed ? COLOR_BTNSHADOW : COLOR_3DLIGHT);
    const COLORREF innerDark = GetSysColor(pressed ? COLOR_3DLIGHT : COLOR_BTNSHADOW);
    Line(dc, r.left, r.bottom - 1, r.left, r.top, outerLight);
    Line(dc, r.left, r.top, r.right - 1, r.top, outerLight);
    Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, outerDark);
    Line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, outerDark);
    Line(dc, r.left + 1, r.bottom - 2, r.left + 1, r.top + 1, innerLight);
    Line(dc, r.left + 1, r.top + 1, r.right - 2, r.top + 1, innerLight);
    Line(dc, r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 2, innerDark);
    Line(dc, r.right - 2, r.top + 1, r.right - 2, r.bottom - 2, innerDark);
}

SIZE TextSize(HDC dc, const std::string& text) {
    SIZE s{};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &s);
    return s;
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

void TControl::SetBounds(int left, int top, int width, int height) {
    Left = left;
    Top = top;
    Width = width;
    Height = height;
    Invalidate();
}

void TControl::SetCaption(const std::string& text) {
    caption = text;
    Invalidate();
}

bool TControl::Focused() const {
    const TForm* f = Form();
    return f != nullptr && f->ActiveControl() == this;
}

void TControl::Invalidate() const {
    if (const TForm* f = Form()) InvalidateRect(f->Handle(), nullptr, 1);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

TButton::TButton(TComponent* owner, TControl* parent) : TControl(owner, parent) {
    TabStop = true;
}

void TButton::Paint(HDC dc) {
    RECT r = FormRect();
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (Focused()) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW));
        r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
    Frame3D(dc, r, pressed);
    const SIZE s = TextSize(dc, Caption());
    const int shift = pressed ? 1 : 0;
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    TextOutA(dc, (r.left + r.right - s.cx) / 2 + shift, (r.top + r.bottom - s.cy) / 2 + shift,
             Caption().c_str(), int(Caption().size()));
    if (Focused()) FocusRect(dc, {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3});
}

void TButton::MouseDown(int, int) {
    pressed = true;
    Invalidate();
}

void TButton::MouseUp(int, int, bool inside) {
    const bool was = pressed;
    pressed = false;
    Invalidate();
    if (was && inside) Click();
}

void TButton::KeyDown(UINT key) {
    if (key == VK_SPACE) {
        pressed = true;
        Invalidate();
    }
    if (key == VK_RETURN) Click();
}

void TButton::KeyUp(UINT key) {
    if (key == VK_SPACE && pressed) MouseUp(0, 0, true);
}

TGroupBox::TGroupBox(TComponent* owner, TControl* parent) : TControl(owner, parent) {}

// An etched frame below the middle of the caption, the caption cut into its top line.
void TGroupBox::Paint(HDC dc) {
    const RECT r = FormRect();
    const SIZE s = TextSize(dc, Caption());
    const int top = r.top + s.cy / 2;
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
    Line(dc, r.left, top, r.right - 1, top, shadow);
    Line(dc, r.left, top, r.left, r.bottom - 1, shadow);
    Line(dc, r.left, r.bottom - 2, r.right - 1, r.bottom - 2, shadow);
    Line(dc, r.right - 2, top, r.right - 2, r.bottom - 1, shadow);
    Line(dc, r.left + 1, top + 1, r.right - 2, top + 1, light);
    Line(dc, r.left + 1, top + 1, r.left + 1, r.bottom - 2, light);
    Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, light);
    Line(dc, r.right - 1, top, r.right - 1, r.bottom - 1, light);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    TextOutA(dc, r.left + 8, r.top, Caption().c_str(), int(Caption().size()));
    SetBkMode(dc, TRANSPARENT);
}

TRadioButton::TRadioButton(TComponent* owner, TControl* parent) : TControl(owner, parent) {}

// The classic radio circle: a sunken ring around a white face, a dot when checked.
void TRadioButton::Paint(HDC dc) {
    const RECT r = FormRect();
    const int top = r.top + (Height - RadioSize) / 2;
    const double c = (RadioSize - 1) / 2.0;
    for (int y = 0; y < RadioSize; ++y)
        for (int x = 0; x < RadioSize; ++x) {
            const double dx = x - c, dy = y - c, d = dx * dx + dy * dy;
            const bool upperLeft = dx + dy < 0;
            int index = -1;
            if (d <= 1.6 * 1.6 && checked)
                index = COLOR_WINDOWTEXT;
            else if (d < 3.6 * 3.6)
                index = COLOR_WINDOW;
            else if (d < 4.8 * 4.8)
                index = upperLeft ? COLOR_3DDKSHADOW : COLOR_3DLIGHT;
            else if (d < 6.0 * 6.0)
                index = upperLeft ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT;
            if (index >= 0) Dot(dc, r.left + x, top + y, GetSysColor(index));
        }
    const SIZE s = TextSize(dc, Caption());
    const int textLeft = r.left + RadioSize + 4, textTop = r.top + (Height - s.cy) / 2;
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    TextOutA(dc, textLeft, textTop, Caption().c_str(), int(Caption().size()));
    if (Focused()) FocusRect(dc, {textLeft - 1, textTop, textLeft + s.cx + 1, textTop + s.cy});
}

void TRadioButton::SetChecked(bool on) {
    checked = on;
    TabStop = on;
    if (on && Parent() != nullptr)
        for (TControl* sibling : Parent()->Children)
            if (auto* radio = dynamic_cast<TRadioButton*>(sibling);
                radio != nullptr && radio != this) {
                radio->checked = false;
                radio->TabStop = false;
            }
    Invalidate();
}

void TRadioButton::MouseUp(int, int, bool inside) {
    if (!inside) return;
    SetChecked(true);
    Click();
}

// The arrows move to the previous or next button of the group and check it.
void TRadioButton::KeyDown(UINT key) {
    if (key == VK_SPACE) {
        MouseUp(0, 0, true);
        return;
    }
    const bool next = key == VK_RIGHT || key == VK_DOWN;
    if (!next && key != VK_LEFT && key != VK_UP) return;
    if (Parent() == nullptr) return;
    std::vector<TRadioButton*> group;
    for (TControl* c : Parent()->Children)
        if (auto* radio = dynamic_cast<TRadioButton*>(c)) group.push_back(radio);
    const auto at = std::find(group.begin(), group.end(), this) - group.begin();
    const auto n = ptrdiff_t(group.size());
    TRadioButton* target = group[size_t((at + (next ? 1 : n - 1)) % n)];
    if (TForm* f = Form()) f->SetActiveControl(target);
    target->MouseUp(0, 0, true);
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
    HFONT fresh = CreateFontIndirectA(&f);
    DeleteObject(font);
    font = fresh;
    Invalidate();
}

void TForm::Show() {
    ShowWindow(window, SW_SHOW);
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

void TForm::SetActiveControl(TControl* control) {
    active = control;
    Invalidate();
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

void TForm::MoveFocus(bool backwards) {
    const auto order = TabControls();
    if (order.empty()) return;
    auto at = std::find(order.begin(), order.end(), active);
    const auto n = ptrdiff_t(order.size());
    const ptrdiff_t i = at == order.end() ? (backwards ? 0 : -1) : at - order.begin();
    SetActiveControl(order[size_t((i + (backwards ? n - 1 : 1)) % n)]);
}

TControl* TForm::ControlAt(int x, int y) const {
    TControl* found = nullptr;
    std::vector<TControl*> pending(Children.begin(), Children.end());
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        const RECT r = c->FormRect();
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            if (c->Children.empty() || dynamic_cast<TGroupBox*>(c) == nullptr) found = c;
            pending.insert(pending.end(), c->Children.begin(), c->Children.end());
        }
    }
    return found;
}

// The form holds the mouse while any button is down, so a release outside it still arrives.
void TForm::HandleMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = LowWord(lParam), y = HighWord(lParam);
    const TShiftState shift = ShiftStateOf(wParam);
    const bool down =
        message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
    const bool up = message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
    if (down) SetCapture(window);
    if (message == WM_LBUTTONDOWN) {
        pressedControl = ControlAt(x, y);
        if (pressedControl != nullptr) {
            if (pressedControl->TabStop || dynamic_cast<TRadioButton*>(pressedControl) != nullptr)
                SetActiveControl(pressedControl);
            pressedControl->MouseDown(x, y);
        }
    } else if (message == WM_LBUTTONUP) {
        ReleasePressed(x, y);
    }
    if (down && OnMouseDown) OnMouseDown(this, ButtonOf(message), shift, x, y);
    if (up && OnMouseUp) OnMouseUp(this, ButtonOf(message), shift, x, y);
    if (message == WM_MOUSEMOVE && OnMouseMove) OnMouseMove(this, shift, x, y);
    if (up && (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && GetCapture() == window)
        ReleaseCapture();
}

void TForm::ReleasePressed(int x, int y) {
    TControl* c = pressedControl;
    if (c == nullptr) return;
    pressedControl = nullptr;
    const RECT r = c->FormRect();
    c->MouseUp(x, y, x >= r.left && x < r.right && y >= r.top && y < r.bottom);
}

void TForm::HandleKey(UINT message, UINT key) {
    if (message == WM_KEYDOWN && key == VK_TAB) {
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return;
    }
    if (active == nullptr) return;
    if (message == WM_KEYDOWN)
        active->KeyDown(key);
    else
        active->KeyUp(key);
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
    case WM_CAPTURECHANGED:
        ReleasePressed(-1, -1); // no control reaches left of the client area
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
        HandleKey(message, UINT(wParam));
        return 0;
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
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        DispatchMessageA(&m);
    mainForm->DoDestroy();
}

void TApplication::ShowException(const std::string& message) {
    MessageBoxA(mainForm != nullptr ? mainForm->Handle() : nullptr, message.c_str(), Title.c_str(),
                MB_OK | MB_ICONERROR);
}

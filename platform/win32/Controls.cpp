// The form framework's controls on Windows: real BUTTON windows (a push button, a group box,
// radio buttons) as children of their form's window, in the form's font. A click comes to the
// form as WM_COMMAND with BN_CLICKED and runs the control's OnClick; the dialog manager's
// keyboard handling (TApplication::Run) moves between them.
#include "platform/Forms.h"

namespace {

// Whether radio is the first radio button among its parent's controls: it starts the group
// that Windows' automatic radio buttons check within.
bool FirstRadioOfParent(const TRadioButton* radio) {
    if (radio->Parent() == nullptr) return true;
    for (const TControl* c : radio->Parent()->Children)
        if (dynamic_cast<const TRadioButton*>(c) != nullptr) return c == radio;
    return true;
}

// Visits the controls from the given ones down through the controls inside them until visit
// returns true; whether it did.
template <typename Visit> bool AnyControl(std::vector<TControl*> pending, Visit visit) {
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        if (visit(c)) return true;
        pending.insert(pending.end(), c->Children.begin(), c->Children.end());
    }
    return false;
}

bool IsPushButton(HWND window) {
    char className[8] = {};
    if (GetClassNameA(window, className, sizeof className) == 0 ||
        lstrcmpiA(className, "BUTTON") != 0)
        return false;
    const LONG_PTR kind = GetWindowLongPtrA(window, GWL_STYLE) & BS_TYPEMASK;
    return kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON;
}

} // namespace

bool FormKeyboardMessage(MSG* m) {
    if (m->hwnd == nullptr) return false;
    // The dialog manager would send Enter to the form's default button, and there is none.
    if (m->message == WM_KEYDOWN && m->wParam == VK_RETURN && IsPushButton(m->hwnd)) {
        SendMessageA(m->hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return IsDialogMessageA(GetAncestor(m->hwnd, GA_ROOT), m) != 0;
}

// A BUTTON child of the form's window at the control's place, with the form's font; the
// control's constructor keeps it. Null without a form.
HWND TControl::CreateControlWindow(DWORD style) const {
    const TForm* form = Form();
    if (form == nullptr) return nullptr;
    const RECT r = FormRect();
    HWND w = CreateWindowExA(0, "BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | style, r.left,
                             r.top, r.right - r.left, r.bottom - r.top, form->Handle(), nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (w != nullptr) SendMessageA(w, WM_SETFONT, WPARAM(form->Font()), 0);
    return w;
}

// The windows of the controls inside move along: they are children of the form's window too.
void TControl::SetBounds(int left, int top, int width, int height) {
    Left = left;
    Top = top;
    Width = width;
    Height = height;
    AnyControl({this}, [](TControl* c) {
        const RECT r = c->FormRect();
        if (c->handle != nullptr)
            MoveWindow(c->handle, r.left, r.top, r.right - r.left, r.bottom - r.top, 1);
        return false;
    });
}

void TControl::SetCaption(const std::string& text) {
    caption = text;
    if (handle != nullptr) SetWindowTextA(handle, caption.c_str());
}

void TControl::Invalidate() const {
    if (handle != nullptr)
        InvalidateRect(handle, nullptr, 1);
    else if (const TForm* f = Form())
        InvalidateRect(f->Handle(), nullptr, 1);
}

TButton::TButton(TComponent* owner, TControl* parent) : TControl(owner, parent) {
    TabStop = true;
    handle = CreateControlWindow(BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP);
}
void TButton::Paint(HDC) {}
void TButton::MouseDown(int, int) {}
void TButton::MouseUp(int, int, bool) {}
void TButton::KeyDown(UINT) {}
void TButton::KeyUp(UINT) {}

TGroupBox::TGroupBox(TComponent* owner, TControl* parent) : TControl(owner, parent) {
    handle = CreateControlWindow(BS_GROUPBOX);
}
void TGroupBox::Paint(HDC) {}

TRadioButton::TRadioButton(TComponent* owner, TControl* parent) : TControl(owner, parent) {
    handle = CreateControlWindow(BS_AUTORADIOBUTTON |
                                 (FirstRadioOfParent(this) ? WS_GROUP | WS_TABSTOP : 0));
}
void TRadioButton::Paint(HDC) {}
void TRadioButton::MouseUp(int, int, bool) {}
void TRadioButton::KeyDown(UINT) {}

void TRadioButton::SetChecked(bool on) {
    checked = on;
    TabStop = on;
    SendMessageA(handle, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!on || Parent() == nullptr) return;
    for (TControl* sibling : Parent()->Children)
        if (auto* radio = dynamic_cast<TRadioButton*>(sibling); radio != nullptr && radio != this)
            radio->SetChecked(false);
}

void TForm::FontChanged() {
    AnyControl(Children, [this](TControl* c) {
        if (c->handle != nullptr) SendMessageA(c->handle, WM_SETFONT, WPARAM(font), 1);
        return false;
    });
}

// A push button given the keyboard becomes the default one, with its dark frame, as the dialog
// manager makes it when Tab brings the focus there.
void TForm::SetActiveControl(TControl* control) {
    active = control;
    if (control == nullptr || control->handle == nullptr) return;
    SetFocus(control->handle);
    if (dynamic_cast<TButton*>(control) != nullptr)
        SendMessageA(control->handle, BM_SETSTYLE, BS_DEFPUSHBUTTON, 1);
}

// The real controls take their own mouse input.
void TForm::ControlMouse(UINT, int, int) {}

// A clicked radio button is checked (Windows has checked it on screen already), then the
// control's OnClick runs.
bool TForm::ControlMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED || lParam == 0) return false;
    const auto from = reinterpret_cast<HWND>(lParam);
    return AnyControl(Children, [from](TControl* c) {
        if (c->handle != from) return false;
        if (auto* radio = dynamic_cast<TRadioButton*>(c)) radio->SetChecked(true);
        c->Click();
        return true;
    });
}

// The form framework's drawn controls, for the layer's windows: buttons, group boxes and radio
// buttons painted with GDI in the classic look on their form's window, and the form passing its
// mouse and keyboard input to them.
#include "platform/Forms.h"

#include <algorithm>

namespace {

constexpr int RadioSize = 12; // the circle
constexpr int RadioBox = 13;  // the room it stands in, left of the text

// The system colour of a letter of the radio circle's picture, -1 where the face stays.
int CircleColour(char letter, bool checked) {
    switch (letter) {
    case 'S':
        return COLOR_BTNSHADOW;
    case 'D':
        return COLOR_3DDKSHADOW;
    case 'H':
        return COLOR_BTNHIGHLIGHT;
    case 'L':
        return COLOR_3DLIGHT;
    case 'W':
        return COLOR_WINDOW;
    case 'T':
        return checked ? COLOR_WINDOWTEXT : COLOR_WINDOW;
    default:
        return -1;
    }
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 0, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Dot(HDC dc, int x, int y, COLORREF colour, int size = 1) {
    HBRUSH b = CreateSolidBrush(colour);
    RECT r{x, y, x + size, y + size};
    FillRect(dc, &r, b);
    DeleteObject(b);
}

// The classic dotted focus rectangle: DrawFocusRect inverts the pixels of its edges where x + y
// is even (its brush's checkerboard), which on the face colour gives the face's inverse.
void FocusRect(HDC dc, RECT r) {
    const COLORREF dot = GetSysColor(COLOR_BTNFACE) ^ 0xFFFFFF;
    const auto even = [](int x, int y) { return (x + y) % 2 == 0; };
    for (int x = r.left; x < r.right; ++x) {
        if (even(x, r.top)) Dot(dc, x, r.top, dot);
        if (even(x, r.bottom - 1)) Dot(dc, x, r.bottom - 1, dot);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        if (even(r.left, y)) Dot(dc, r.left, y, dot);
        if (even(r.right - 1, y)) Dot(dc, r.right - 1, y, dot);
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

} // namespace

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

void TControl::Invalidate() const {
    if (const TForm* f = Form()) InvalidateRect(f->Handle(), nullptr, 1);
}

TButton::TButton(TComponent* owner, TControl* parent) : TControl(owner, parent) {
    TabStop = true;
}

void TButton::Paint(HDC dc) {
    const RECT outer = FormRect();
    RECT r = outer;
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
    if (Focused())
        FocusRect(dc, {outer.left + 3, outer.top + 3, outer.right - 3, outer.bottom - 3});
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

// An etched frame whose top line runs one pixel above the middle of the caption; the caption sits
// 8 pixels in, on the face cleared one pixel wider than the text each side and one row below it,
// as the Windows group box draws it.
void TGroupBox::Paint(HDC dc) {
    const RECT r = FormRect();
    const SIZE s = TextSize(dc, Caption());
    const int top = r.top + s.cy / 2 - 1;
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
    Line(dc, r.left, top, r.right - 1, top, shadow);
    Line(dc, r.left, top, r.left, r.bottom - 1, shadow);
    Line(dc, r.left, r.bottom - 2, r.right - 1, r.bottom - 2, shadow);
    Line(dc, r.right - 2, top, r.right - 2, r.bottom - 1, shadow);
    Line(dc, r.left + 1, top + 1, r.right - 2, top + 1, light);
    Line(dc, r.left + 1, top + 1, r.left + 1, r.bottom - 2, light);
    Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, light);
    Line(dc, r.right - 1, top, r.right - 1, r.bottom - 1, light);
    if (Caption().empty()) return;
    const int textLeft = r.left + 8;
    const RECT cleared{textLeft - 1, r.top, textLeft + s.cx + 1, r.top + s.cy + 1};
    FillRect(dc, &cleared, GetSysColorBrush(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    TextOutA(dc, textLeft, r.top, Caption().c_str(), int(Caption().size()));
}

TRadioButton::TRadioButton(TComponent* owner, TControl* parent) : TControl(owner, parent) {}

// The classic radio circle, 12 by 12 pixels, as Windows draws it: a ring of shadow (S) and dark
// shadow (D) at the upper left, highlight (H) and light (L) at the lower right, a window face (W)
// and, when checked, a dot of window text (T). One pixel of the upper right ring, where its two
// halves meet, is left unpainted there too. A form laid out for k times 96 pixels per inch draws
// each of its pixels k times as wide and high.
void TRadioButton::Paint(HDC dc) {
    static constexpr const char* circle[RadioSize] = {
        "....SSSS....", "..SSDDDDSS..", ".SSDWWWWD.H.", ".SDWWWWWWLH.",
        "SDWWWTTWWWLH", "SDWWTTTTWWLH", "SDWWTTTTWWLH", "SDWWWTTWWWLH",
        ".SDWWWWWWLH.", ".HHLWWWWLHH.", "..HHLLLLHH..", "....HHHH....",
    };
    const RECT r = FormRect();
    const SIZE s = TextSize(dc, Caption());
    const int textTop = r.top + (Height - s.cy) / 2;
    const int k = Form() != nullptr ? std::max(1, Form()->PixelsPerInch() / 96) : 1;
    for (int y = 0; y < RadioSize; ++y)
        for (int x = 0; x < RadioSize; ++x)
            if (const int index = CircleColour(circle[y][x], checked); index >= 0)
                Dot(dc, r.left + k * (1 + x), textTop + k * y, GetSysColor(index), k);
    // The text follows the 13 pixel box, half a digit's width and one pixel of focus margin on.
    const int textLeft = r.left + k * RadioBox + TextSize(dc, "0").cx / 2 + k;
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

// The controls are drawn with the form's font on its next painting.
void TForm::FontChanged() {
    Invalidate();
}

void TForm::SetActiveControl(TControl* control) {
    active = control;
    Invalidate();
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

// A left press goes to the control under the pointer, which takes the keyboard when it can; the
// release goes to the control pressed.
void TForm::ControlMouse(UINT message, int x, int y) {
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
}

bool TForm::ControlMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_CAPTURECHANGED:
        ReleasePressed(-1, -1); // no control reaches left of the client area
        return false;
    case WM_KEYDOWN:
    case WM_KEYUP:
        HandleKey(message, UINT(wParam));
        return true;
    default:
        return false;
    }
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

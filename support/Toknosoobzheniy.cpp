#include "Toknosoobzheniy.h"

#include "Kernel.h"

#include <vector>

namespace {

constexpr int TextLeft = 8;
constexpr int TextTop = 29;
constexpr int LinePitch = 17;

const char16_t* const ErrorCaption = u"Ошибка";
const char16_t* const Accept = u"Принять";
const char16_t* const Cancel = u"Отменить";
const char16_t* const Skip = u"Пропустить";
const char16_t* const Retry = u"Повторить";
const char16_t* const Yes = u"Да";
const char16_t* const No = u"Нет";

struct ButtonSpec {
    const char16_t* caption;
    int result;
};

std::vector<ButtonSpec> ButtonsFor(uint32_t style) {
    switch (style & 15) {
    case 1:
        return {{Accept, IDOK}, {Cancel, IDCANCEL}};
    case 2:
        return {{Skip, 5}, {Retry, 4}, {Cancel, IDCANCEL}};
    case 3:
        return {{Yes, 6}, {No, 7}, {Cancel, IDCANCEL}};
    case 4:
        return {{Yes, 6}, {No, 7}};
    case 5:
        return {{Retry, 4}, {Cancel, IDCANCEL}};
    default:
        return {{Accept, IDOK}};
    }
}

struct TextLine {
    const char* text;
    int count;
};

// Lines end at carriage returns; a line feed right behind one is skipped.
std::vector<TextLine> LinesOf(const TAnsiString& text) {
    std::vector<TextLine> lines;
    const char* s = text.Length() > 0 ? text.Data() : "";
    const int n = int(text.Length());
    int start = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && s[i] != '\r') continue;
        lines.push_back({s + start, i - start});
        start = i + 1;
        if (start < n && s[start] == '\n') ++start;
    }
    return lines;
}

int Count(const TAnsiString& s) {
    return int(s.Length());
}
const char* Chars(const TAnsiString& s) {
    return s.Length() > 0 ? s.Data() : "";
}

POINT PointOf(LPARAM lParam) {
    return {LONG(uint16_t(lParam & 0xFFFF)), LONG(uint16_t((lParam >> 16) & 0xFFFF))};
}

bool Suppressed = false;
UINT_PTR SuppressTimer = 0;

void CALLBACK SuppressTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (SuppressTimer != 0 && KillTimer(nullptr, SuppressTimer)) SuppressTimer = 0;
    Suppressed = false;
}

} // namespace

LOGFONTA TOknoSoobzheniy::Font() {
    LOGFONTA f{};
    f.lfHeight = 15;
    f.lfWeight = FW_NORMAL;
    f.lfCharSet = RUSSIAN_CHARSET; // the texts are code page 1251 whatever the system's is
    const char face[] = "MS Sans Serif";
    std::copy(face, face + sizeof face, f.lfFaceName);
    return f;
}

TOknoSoobzheniy::TOknoSoobzheniy(TAnsiString captionText, TAnsiString body, uint32_t style)
    : instance(GetModuleHandleA(nullptr)), className("MessageBox Class"), caption(captionText),
      text(body) {
    if (caption.Length() == 0) caption = AnsiFromWide(ErrorCaption);
    for (const ButtonSpec& b : ButtonsFor(style)) {
        buttonCaptions[buttonCount] = AnsiFromWide(b.caption);
        buttonResults[buttonCount++] = b.result;
    }
    selected = (style & 0x300) >> 8;
    if (selected >= buttonCount) selected = buttonCount - 1;

    const LOGFONTA f = Font();
    font = CreateFontIndirectA(&f);

    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.style = CS_VREDRAW | CS_HREDRAW | CS_BYTEALIGNWINDOW;
    c.lpfnWndProc = MessageWindowProc;
    c.hInstance = instance;
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    c.lpszClassName = Chars(className);
    RegisterClassExA(&c);

    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, font);
    int width = 0, height = 0;
    MeasureTextPerChar(dc, Chars(caption), Count(caption), width, height);
    int blockWidth = width + 8, blockHeight = TextTop;
    for (const TextLine& line : LinesOf(text)) {
        MeasureTextPerChar(dc, line.text, line.count, width, height);
        blockHeight += LinePitch;
        if (width > blockWidth) blockWidth = width;
    }
    blockHeight += 8;
    blockWidth += 16;
    SelectObject(dc, oldFont);
    DeleteDC(dc);

    const int windowHeight = blockHeight + ButtonsAboveBottom;
    const int buttonsWidth = int(buttonCount) * ButtonPitch + 8;
    const int windowWidth = buttonsWidth > blockWidth ? buttonsWidth : blockWidth;
    window = CreateWindowExA(0, Chars(className), Chars(caption), WS_POPUP | WS_BORDER,
                             (GetSystemMetrics(SM_CXSCREEN) - windowWidth) / 2,
                             (GetSystemMetrics(SM_CYSCREEN) - windowHeight) / 2, windowWidth,
                             windowHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetMenu(window, nullptr);
}

TOknoSoobzheniy::~TOknoSoobzheniy() {
    DeleteObject(font);
    if (IsWindow(window)) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    UnregisterClassA(Chars(className), instance);
}

int TOknoSoobzheniy::RowLeft() const {
    RECT client{};
    GetClientRect(window, &client);
    return (client.right - (int(buttonCount) * ButtonPitch - 8)) / 2;
}

RECT TOknoSoobzheniy::ButtonRect(uint32_t index) const {
    RECT client{};
    GetClientRect(window, &client);
    const int left = RowLeft() + int(index) * ButtonPitch;
    const int top = client.bottom - ButtonsAboveBottom;
    return {left, top, left + ButtonWidth, top + ButtonHeight};
}

void TOknoSoobzheniy::PaintButtons(HDC dc, HPEN highlight, HPEN shadow, HBRUSH frame) {
    for (uint32_t i = 0; i < buttonCount; ++i) {
        const RECT r = ButtonRect(i);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        const bool pressed = i == selected && (mousePressed || keyPressed);
        SelectObject(dc, pressed ? highlight : shadow);
        MoveToEx(dc, r.left, r.bottom - 1, nullptr);
        LineTo(dc, r.right, r.bottom - 1);
        MoveToEx(dc, r.right - 1, r.top, nullptr);
        LineTo(dc, r.right - 1, r.bottom - 1);
        // The left edge stops above the bottom row, which is all shadow.
        SelectObject(dc, pressed ? shadow : highlight);
        MoveToEx(dc, r.left, r.bottom - 2, nullptr);
        LineTo(dc, r.left, r.top);
        LineTo(dc, r.right - 1, r.top);
        if (i == selected) {
            const RECT focus{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
            FrameRect(dc, &focus, frame);
        }
        const TAnsiString& label = buttonCaptions[i];
        int width = 0, height = 0;
        MeasureTextPerChar(dc, Chars(label), Count(label), width, height);
        DrawTextPerChar(dc, r.left + (ButtonWidth - width) / 2, r.top + (ButtonHeight - height) / 2,
                        Chars(label), Count(label));
    }
    SelectObject(dc, shadow);
}

void TOknoSoobzheniy::PaintMessageWindow(HDC given) {
    if (!IsWindow(window)) return;
    HDC dc = given != nullptr ? given : GetDC(window);
    if (dc == nullptr) return;
    RECT client{};
    GetClientRect(window, &client);
    const RECT bar{client.left, client.top, client.right, client.top + CaptionHeight};
    FillRect(dc, &bar, GetSysColorBrush(COLOR_ACTIVECAPTION));
    HPEN highlight = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNHIGHLIGHT));
    HPEN shadow = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNSHADOW));
    HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ oldPen = SelectObject(dc, shadow);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP);

    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    int width = 0, height = 0;
    MeasureTextPerChar(dc, Chars(caption), Count(caption), width, height);
    DrawTextPerChar(dc, client.left + TextLeft, client.top + (CaptionHeight - height) / 2,
                    Chars(caption), Count(caption));

    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    PaintButtons(dc, highlight, shadow, frame);

    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    int y = client.top + TextTop;
    for (const TextLine& line : LinesOf(text)) {
        DrawTextPerChar(dc, client.left + TextLeft, y, line.text, line.count);
        y += LinePitch;
    }

    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
    DeleteObject(highlight);
    DeleteObject(shadow);
    DeleteObject(frame);
    if (given == nullptr) ReleaseDC(window, dc);
}

void TOknoSoobzheniy::Close() {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

bool TOknoSoobzheniy::HandleKeyUp(UINT key) {
    switch (key) {
    case VK_TAB:
    case VK_RIGHT:
        selected = selected + 1 >= buttonCount ? 0 : selected + 1;
        break;
    case VK_LEFT:
        selected = selected == 0 ? buttonCount - 1 : selected - 1;
        break;
    case VK_ESCAPE:
        selected = buttonCount;
        Close();
        return false;
    case VK_SPACE:
    case VK_RETURN:
        if (keyPressed) {
            keyPressed = false;
            Close();
        }
        return false;
    default:
        return false;
    }
    return true;
}

// Buttons take presses in the row of buttons; a move with the button held counts within the
// strip across the window above the bottom, where leaving the row lets go of the press. Moves
// outside the window (the window holds the mouse) change nothing, so the press survives a trip
// out and back.
void TOknoSoobzheniy::HandleMouse(UINT message, LPARAM lParam) {
    const POINT p = PointOf(lParam);
    RECT client{};
    GetClientRect(window, &client);
    const RECT row = ButtonRect(0);
    const int rowRight = row.left + int(buttonCount) * ButtonPitch - 8;
    const bool inRow = p.x >= row.left && p.x < rowRight && p.y >= row.top && p.y < row.bottom;
    if (message == WM_MOUSEMOVE) {
        if (p.x < client.left || p.x >= client.right || p.y < client.bottom - 41 ||
            p.y >= client.bottom)
            return;
    } else if (!inRow) {
        return;
    }
    if (!inRow) {
        mousePressed = false;
        return;
    }
    const int dx = p.x - row.left;
    if (dx % ButtonPitch >= ButtonWidth) return;
    const auto button = uint32_t(dx / ButtonPitch);
    if (message == WM_LBUTTONDOWN && !mousePressed) {
        selected = button;
        mousePressed = true;
    } else if (message == WM_LBUTTONUP && mousePressed && button == selected) {
        Close();
    }
}

LRESULT TOknoSoobzheniy::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintMessageWindow(reinterpret_cast<HDC>(wParam));
        DefWindowProcA(window, message, wParam, lParam);
        return 0;
    case WM_NCHITTEST: {
        POINT p = PointOf(lParam);
        ScreenToClient(window, &p);
        if (p.y <= CaptionHeight) return HTCAPTION;
        break;
    }
    case WM_KEYDOWN:
        if ((wParam == VK_SPACE || wParam == VK_RETURN)) {
            if (!keyPressed) {
                keyPressed = true;
                PaintMessageWindow(nullptr);
            }
            return 0;
        }
        break;
    case WM_KEYUP:
        if (HandleKeyUp(UINT(wParam))) PaintMessageWindow(nullptr);
        return 0;
    case WM_RBUTTONUP:
        selected = buttonCount;
        Close();
        return 0;
    case WM_MOUSEMOVE:
        if (!mousePressed) break;
        HandleMouse(message, lParam);
        PaintMessageWindow(nullptr);
        break;
    case WM_LBUTTONDOWN:
        SetCapture(window);
        HandleMouse(message, lParam);
        PaintMessageWindow(nullptr);
        break;
    case WM_LBUTTONUP:
        HandleMouse(message, lParam);
        ReleaseCapture();
        PaintMessageWindow(nullptr);
        break;
    case WM_CLOSE:
        PostMessageA(nullptr, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK TOknoSoobzheniy::MessageWindowProc(HWND w, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    auto* self = reinterpret_cast<TOknoSoobzheniy*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(w, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

int TOknoSoobzheniy::Result() const {
    if (selected < buttonCount) return buttonResults[selected];
    for (uint32_t i = 0; i < buttonCount; ++i)
        if (buttonResults[i] == IDCANCEL) return IDCANCEL;
    return buttonCount > 0 ? buttonResults[buttonCount - 1] : IDCANCEL;
}

// A window that could not be made counts as dismissed; the loop ends when the window is gone
// or no input can come any more.
int TOknoSoobzheniy::RunModal() {
    mousePressed = keyPressed = false;
    if (window == nullptr) {
        selected = buttonCount;
        return Result();
    }
    UpdateWindow(window);
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message{};
    while (GetMessageA(&message, window, 0, 0) > 0) {
        if (message.hwnd == window && message.message == WM_NULL) {
            window = nullptr;
            break;
        }
        if (message.hwnd == window && message.message == WM_CLOSE) break;
        DispatchMessageA(&message);
    }
    return Result();
}

int ShowMessageWindow(HWND, const char16_t* text, const char16_t* caption, uint32_t style) {
    TOknoSoobzheniy box(AnsiFromWide(TWideString(caption)), AnsiFromWide(TWideString(text)), style);
    return box.RunModal();
}

bool ShowErrorMessage(const char16_t* text, const char16_t* caption) {
    if (Suppressed) return false;
    if (ShowMessageWindow(nullptr, text, caption, 1) == IDCANCEL) {
        Suppressed = true;
        SuppressTimer = SetTimer(nullptr, 0, 10000, SuppressTimerProc);
    }
    return true;
}

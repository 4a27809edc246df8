// System metrics, colours and parameters of the classic desktop, and the system's message box.
#include "WindowState.h"

int GetSystemMetrics(int index) {
    const RECT screen = Backend().Screen();
    const RECT all = index >= SM_XVIRTUALSCREEN ? Backend().VirtualScreen() : screen;
    switch (index) {
    case SM_CXSCREEN:
        return screen.right - screen.left;
    case SM_CYSCREEN:
        return screen.bottom - screen.top;
    case SM_XVIRTUALSCREEN:
        return all.left;
    case SM_YVIRTUALSCREEN:
        return all.top;
    case SM_CXVIRTUALSCREEN:
        return all.right - all.left;
    case SM_CYVIRTUALSCREEN:
        return all.bottom - all.top;
    case SM_CYCAPTION:
    case SM_CYMENU:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    default:
        return 0;
    }
}

DWORD GetSysColor(int index) {
    static const DWORD classic[] = {
        RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128),
        RGB(192, 192, 192), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(0, 0, 0),       RGB(255, 255, 255), RGB(192, 192, 192), RGB(192, 192, 192),
        RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255), RGB(192, 192, 192),
        RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(223, 223, 223), RGB(0, 0, 0),
        RGB(255, 255, 225)};
    return index >= 0 && index < int(std::size(classic)) ? classic[index] : 0;
}

// The brushes of the system colours live as long as the program.
HBRUSH GetSysColorBrush(int index) {
    constexpr int Count = 25;
    static HBRUSH brushes[Count] = {};
    if (index < 0 || index >= Count) return nullptr;
    if (brushes[index] == nullptr) brushes[index] = CreateSolidBrush(GetSysColor(index));
    return brushes[index];
}

BOOL SystemParametersInfoA(UINT action, UINT, void* data, UINT) {
    if (action != SPI_GETWORKAREA || data == nullptr) return 0;
    *static_cast<RECT*>(data) = Backend().WorkArea();
    return 1;
}

int GetDeviceCaps(HDC, int index) {
    return index == LOGPIXELSX || index == LOGPIXELSY ? Backend().Dpi() : 0;
}

HINSTANCE GetModuleHandleA(const char*) {
    static int module;
    return &module;
}

HCURSOR LoadCursorA(HINSTANCE, const char*) {
    static int cursor;
    return &cursor;
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT style) {
    return Backend().ShowSystemMessage(text, caption, style);
}

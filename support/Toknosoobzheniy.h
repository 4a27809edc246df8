// The program's own modal message window: a bordered popup with a caption bar, text lines and
// raised buttons with Russian captions, its own keyboard and mouse handling and a message loop
// for itself alone.
#pragma once

#include "Tstring.h"
#include "platform/Forms.h"

#include <cstdint>

class TOknoSoobzheniy {
public:
    // The low four bits of style choose the buttons, bits 8-9 the button selected first.
    TOknoSoobzheniy(TAnsiString caption, TAnsiString text, uint32_t style);
    ~TOknoSoobzheniy();
    TOknoSoobzheniy(const TOknoSoobzheniy&) = delete;
    TOknoSoobzheniy& operator=(const TOknoSoobzheniy&) = delete;

    // Shows the window and runs its messages until a button, Escape or a right click ends it;
    // returns the result code of the chosen button (Cancel, or else the last button's, when the
    // window was dismissed without one).
    int RunModal();
    // Paints on dc, or on the window's own context when dc is null.
    void PaintMessageWindow(HDC dc);
    static LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);

    // The font of the caption, text and buttons.
    static LOGFONTA Font();
    HWND Window() const { return window; }
    const TAnsiString& Text() const { return text; }
    uint32_t Selected() const { return selected; }

    static constexpr int CaptionHeight = 21;
    static constexpr int ButtonWidth = 96;
    static constexpr int ButtonHeight = 25;
    static constexpr int ButtonPitch = 104;
    static constexpr int ButtonsAboveBottom = 33;

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleKeyUp(UINT key);
    void HandleMouse(UINT message, LPARAM point);
    int RowLeft() const;
    RECT ButtonRect(uint32_t index) const;
    void Close();
    void PaintButtons(HDC dc, HPEN highlight, HPEN shadow, HBRUSH frame);
    int Result() const;

    HINSTANCE instance;
    HWND window = nullptr;
    HFONT font = nullptr;
    TAnsiString className;
    TAnsiString caption;
    TAnsiString text;
    TAnsiString buttonCaptions[4];
    int buttonResults[4] = {};
    uint32_t buttonCount = 0;
    uint32_t selected = 0;
    bool mousePressed = false;
    bool keyPressed = false;
};

// Shows texts (UTF-16) in the message window with the style's buttons; returns the result code.
int ShowMessageWindow(HWND owner, const char16_t* text, const char16_t* caption, uint32_t style);
// Shows an error with "Принять" and "Отменить"; after "Отменить" further errors are dropped
// (false) for 10 seconds.
bool ShowErrorMessage(const char16_t* text, const char16_t* caption);

// Windows and their messages, each call a thin image of the Windows call it stands for: window
// classes, windows with a window procedure, a message queue per thread with posted messages,
// timers and input, painting through GDI contexts on the windows' pixels, system metrics and
// colours, and the system message box. One backend (the real desktop, or the virtual one for
// tests) provides the windows on screen.
#pragma once

#include "platform/Gdi.h"
#include "platform/Kernel32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
using HINSTANCE = void*;
using HMENU = void*;
using HCURSOR = void*;
using HICON = void*;
using ATOM = uint16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using UINT_PTR = uintptr_t;

using SHORT = int16_t;

struct WindowObject;
using HWND = WindowObject*;

// The calling convention of procedures the system calls back; the platform's default here.
#ifndef CALLBACK
#define CALLBACK
#endif

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void(CALLBACK*)(HWND, UINT, UINT_PTR, DWORD);

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
    HICON hIconSm;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_NCACTIVATE = 0x0086;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_CAPTURECHANGED = 0x0215;

// WM_ACTIVATE's low word.
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM WA_CLICKACTIVE = 2;

constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;

constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTCAPTION = 2;
constexpr LRESULT HTBORDER = 18;

constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_BYTEALIGNWINDOW = 0x2000;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;

constexpr int GWL_STYLE = -16;
constexpr int GWLP_USERDATA = -21;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_XVIRTUALSCREEN = 76;
constexpr int SM_YVIRTUALSCREEN = 77;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;

constexpr UINT SPI_GETWORKAREA = 48;

constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;

inline const char* const IDC_ARROW = reinterpret_cast<const char*>(uintptr_t{32512});

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
#endif

// The form framework's mouse arguments.
enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = uint32_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32;
// The shift state of a mouse message's key flags, with the Alt key as the keyboard holds it.
TShiftState ShiftStateOf(WPARAM keys);
#ifdef _WIN32
// A form's keyboard on Windows, for the message loop: Tab, the arrow keys and Space move between
// and press the real controls, and Enter presses the focused push button (the forms have no
// default button). Whether the message was taken.
bool FormKeyboardMessage(MSG* message);
#endif

#ifndef _WIN32
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
// The window is created hidden unless WS_VISIBLE is given. The size is the window's, frame
// included: a window with a caption gets the desktop's frame, a popup with WS_BORDER a one-pixel
// frame the layer draws.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
// Painting: the update region (kept as its bounding rectangle) collects invalidated parts of the
// client area; WM_PAINT comes while it is not empty; BeginPaint sends WM_ERASEBKGND when an
// invalidation asked for erasing, empties it and gives a context on the client area.
BOOL UpdateWindow(HWND window);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// Geometry as Windows has it: the window rectangle (screen coordinates) includes the frame, the
// client rectangle (client coordinates) does not.
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
// The window rectangle for a client rectangle of a window of the style, with the classic
// desktop's frame sizes.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowTextA(HWND window, const char* text);
int GetWindowTextA(HWND window, char* text, int size);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
BOOL SetMenu(HWND window, HMENU menu);

// Waits for the next message for the window (any window of the thread when null, thread
// messages included). The desktop's input is taken in on every call; messages come in Windows'
// order: posted ones, then input, then WM_PAINT, then one WM_TIMER of the timer due longest.
// 0 on WM_QUIT; -1 when no message can ever come (the backend has nothing more to deliver) or
// the filter names no window.
BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax);
LRESULT DispatchMessageA(const MSG* message);
// A null window posts a thread message.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Closing destroys the window; hit tests answer by the window's parts; painting validates the
// window; erasing fills with the class's brush; activation takes the keyboard focus.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A context on the window's client pixels.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Keyboard focus and activation, as the desktop gives them: only top-level windows here, so the
// focus window is the active one. Each change sends WM_NCACTIVATE and WM_ACTIVATE to the window
// that loses and the one that gains activation, then WM_KILLFOCUS and WM_SETFOCUS.
HWND SetFocus(HWND window);
HWND GetFocus();
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
// Mouse capture: while a window holds it, all mouse input goes to it; otherwise mouse input goes
// to the window under the pointer.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
// Negative while the key (VK_SHIFT, VK_CONTROL, VK_MENU, the mouse buttons) was held, as of the
// input message being handled.
SHORT GetKeyState(int key);

// A null window makes a thread timer with a new identifier.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC callback);
BOOL KillTimer(HWND window, UINT_PTR id);

int GetSystemMetrics(int index);
// The classic Windows colour scheme.
DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);
BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni);
HINSTANCE GetModuleHandleA(const char* name);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);

// Shows text (code page 1251) in the system's message box and returns when the user closes it.
// A null caption stands for the system's default caption.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);
#endif

// ---- The form framework: an application object, forms and the controls the program uses,
// drawn with GDI in the classic look and driven by mouse and keyboard (on Windows, real
// controls).

class TControl;
class TForm;

using TNotifyEvent = std::function<void(void* sender)>;
using TMouseEvent =
    std::function<void(void* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(void* sender, TShiftState shift, int x, int y)>;

// Owns its components: they are destroyed with it.
class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    TComponent* FindComponent(const std::string& name) const;
    TComponent* Owner() const { return owner; }

    std::string Name;
    int Tag = 0;

private:
    TComponent* owner;
    std::vector<TComponent*> components;
};

// A control drawn on its form's window; coordinates are relative to its parent.
class TControl : public TComponent {
public:
    TControl(TComponent* owner, TControl* parent);
    TControl* Parent() const { return parent; }
    TForm* Form() const;
    // The control's rectangle in its form's client coordinates.
    RECT FormRect() const;
    void SetBounds(int left, int top, int width, int height);
    void SetCaption(const std::string& caption);
    const std::string& Caption() const { return caption; }
    bool Focused() const;
    void Invalidate() const;

    int Left = 0, Top = 0, Width = 0, Height = 0;
    int TabOrder = 0;
    bool TabStop = false;
    TNotifyEvent OnClick;

    virtual void Paint(HDC dc) = 0;
    // Input of drawn controls. Mouse points are in form client coordinates; a press is followed
    // by its release even when the pointer left the window (the form holds the mouse capture).
    // On Windows the controls are real ones that take their own input and paint themselves.
    virtual void MouseDown(int, int) {}
    virtual void MouseUp(int, int, bool) {}
    virtual void KeyDown(UINT) {}
    virtual void KeyUp(UINT) {}
    // The controls in this one (the group box's radio buttons).
    std::vector<TControl*> Children;

protected:
    void Click();
#ifdef _WIN32
    // The control's own window, a BUTTON of the style, a child of its form's window.
    HWND CreateControlWindow(DWORD style) const;
    HWND handle = nullptr;
    friend class TForm;
#endif

private:
    TControl* parent;
    std::string caption;
};

class TButton : public TControl {
public:
    TButton(TComponent* owner, TControl* parent);
    void Paint(HDC dc) override;
    void MouseDown(int x, int y) override;
    void MouseUp(int x, int y, bool inside) override;
    void KeyDown(UINT key) override;
    void KeyUp(UINT key) override;
    bool Pressed() const { return pressed; }

private:
    bool pressed = false;
};

class TGroupBox : public TControl {
public:
    TGroupBox(TComponent* owner, TControl* parent);
    void Paint(HDC dc) override;
};

// Radio buttons with the same parent form a group: checking one clears the others.
class TRadioButton : public TControl {
public:
    TRadioButton(TComponent* owner, TControl* parent);
    void Paint(HDC dc) override;
    void MouseUp(int x, int y, bool inside) override;
    void KeyDown(UINT key) override;
    void SetChecked(bool checked);
    bool Checked() const { return checked; }

private:
    bool checked = false;
};

// Calls OnTimer every Interval milliseconds while enabled, from the program's message loop.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    void SetEnabled(bool enabled);
    void SetInterval(UINT interval);
    bool Enabled() const { return enabled; }
    UINT Interval() const { return interval; }
    TNotifyEvent OnTimer;

private:
    void Restart();
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    bool enabled = true;
    UINT interval = 1000;
    UINT_PTR id = 0;
};

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };

class TForm : public TControl {
public:
    // A hidden window with a caption bar and a fixed frame of the given style.
    TForm(TComponent* owner, TBorderStyle border);
    ~TForm() override;

    HWND Handle() const { return window; }
    // The client area's size; Width and Height (and Left, Top) are the window's, frame included.
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int width);
    void SetClientHeight(int height);
    void SetPosition(int left, int top);
    void SetFormCaption(const std::string& caption);
    void SetFont(const char* face, int height);
    HFONT Font() const { return font; }
    // Lays the form out again for multiplier / divider times the pixels per inch: its client
    // area, every control's bounds and the font's height grow (or shrink) by that ratio.
    void ScaleBy(int multiplier, int divider);
    // The pixels per inch the form is laid out for: 96 until ScaleBy.
    int PixelsPerInch() const { return pixelsPerInch; }
    void Show();
    void Hide();
    bool Visible() const;
    void Close();
    // The control that has the keyboard; Tab and Shift+Tab move it along the tab order.
    TControl* ActiveControl() const { return active; }
    void SetActiveControl(TControl* control);
    void Repaint();

    TNotifyEvent OnCreate, OnDestroy, OnPaint, OnResize;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    void Paint(HDC dc) override;
    // Runs OnCreate; the application calls it once the form's construction is complete.
    void DoCreate();
    void DoDestroy();

protected:
    // Messages of the form's window; a form that handles some itself calls this for the rest.
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void SyncBounds();
    TControl* ControlAt(int x, int y) const;
    std::vector<TControl*> TabControls() const;
    void MoveFocus(bool backwards);
    void HandleMouse(UINT message, WPARAM wParam, LPARAM lParam);
    // The platform's controls: their part of a mouse message, and the messages they take
    // (true: handled, nothing more to do).
    void ControlMouse(UINT message, int x, int y);
    bool ControlMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The controls take the form's new font (the old one is deleted after).
    void FontChanged();
    void HandleKey(UINT message, UINT key);
    // The pressed control hears the release at the point (outside it when the mouse was lost).
    void ReleasePressed(int x, int y);
    void PaintWindow();

    HWND window = nullptr;
    HFONT font = nullptr;
    std::string fontFace;
    int fontHeight = 0;
    int pixelsPerInch = 96;
    TControl* active = nullptr;
    TControl* pressedControl = nullptr;
    bool destroyed = false;
};

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;
    void Initialize() {}
    // Takes the form (created by the caller), runs its OnCreate; the first form is the main one.
    void CreateForm(TForm* form);
    // Shows the main form and runs the message loop until it closes. Program messages kept
    // meanwhile (see ProgramMessage) are shown between two messages, never inside a handler: those
    // of start-up together in one box once the windows are up, later ones in the next box.
    void Run();
    // Shows an exception that escaped the framework, in the system's message box.
    void ShowException(const std::string& message);
    TForm* MainForm() const { return mainForm; }

    std::string Title;

private:
    TForm* mainForm = nullptr;
};

extern TApplication* Application;

// Decides from now on whether ProgramMessage writes to standard error, from where it leads now
// (asked at every line until this is called). On Linux a closed standard error is then opened on
// /dev/null, so that no file the program opens later takes its place and receives its lines.
void NoteErrorStream();
// A line the program says to its user (without line end), such as a settings complaint: written
// to standard error at once, or, where standard error leads nowhere (a Windows program started
// from Explorer has none), kept for ShowProgramMessages (up to 8 KB, later lines dropped).
void ProgramMessage(const char* line);
// The lines kept so far, one per line, in one message box under the application's title, then
// forgotten; nothing when none are kept. Run calls it; the box lets the other windows' messages
// (ticks, painting) go on, and lines said meanwhile wait for the next box.
void ShowProgramMessages();

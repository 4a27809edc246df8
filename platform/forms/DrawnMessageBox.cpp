#include "DrawnMessageBox.h"

#include <algorithm>

namespace {

constexpr int Margin = 12;
constexpr int ButtonWidth = 75, ButtonHeight = 23;

// A dialog-framed form with the text above a centred OK button, in the middle of the work area.
class MessageBoxForm : public TForm {
public:
    MessageBoxForm(const char* text, const char* caption) : TForm(nullptr, bsDialog), text(text) {
        SetFormCaption(caption != nullptr ? caption : "Error");
        const SIZE block = TextBlock();
        SetClientWidth(std::max<int>(block.cx, ButtonWidth) + 2 * Margin);
        SetClientHeight(block.cy + ButtonHeight + 3 * Margin);
        auto* ok = new TButton(this, this);
        ok->SetBounds((ClientWidth() - ButtonWidth) / 2, block.cy + 2 * Margin, ButtonWidth,
                      ButtonHeight);
        ok->SetCaption("OK");
        ok->OnClick = [this](void*) { done = true; };
        RECT area{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        SetPosition((area.left + area.right - Width) / 2, (area.top + area.bottom - Height) / 2);
    }

    // Messages of every window run meanwhile, as in Windows' own modal loop; a quit is passed on.
    void Run() {
        Show();
        MSG m{};
        int got = 1;
        while (!done && (got = GetMessageA(&m, nullptr, 0, 0)) > 0)
            DispatchMessageA(&m);
        if (got == 0) PostQuitMessage(int(m.wParam));
    }

    // The form paints with its font and a transparent background.
    void Paint(HDC dc) override {
        TForm::Paint(dc);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT r{Margin, Margin, ClientWidth() - Margin, ClientHeight()};
        DrawTextA(dc, text, -1, &r, DT_LEFT | DT_NOCLIP);
    }

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CLOSE || (message == WM_KEYDOWN && wParam == VK_ESCAPE)) {
            done = true;
            return 0;
        }
        return TForm::WndProc(message, wParam, lParam);
    }

private:
    SIZE TextBlock() const {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, Font());
        RECT r{0, 0, 0, 0};
        DrawTextA(dc, text, -1, &r, DT_LEFT | DT_CALCRECT);
        SelectObject(dc, old);
        DeleteDC(dc);
        return {r.right - r.left, r.bottom - r.top};
    }

    const char* text;
    bool done = false;
};

} // namespace

int DrawnMessageBox(const char* text, const char* caption) {
    MessageBoxForm box(text != nullptr ? text : "", caption);
    if (box.Handle() == nullptr) return 0;
    box.Run();
    return IDOK;
}

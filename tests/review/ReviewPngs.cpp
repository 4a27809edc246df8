// Renders windows on the virtual backend into PNG files for review:
//   message_window.png  the error message window, style 1, as the drawing surface shows it
//   picture_window.png  an empty picture window of the program's default size
//   controls.png        a form with a push button, a group box and two radio buttons
// Each picture is also checked for its content (size, caption bar and title colours, pixels of
// the text and the buttons); the program fails when one is not as it should be.
// Usage: review_pngs OUTPUT_DIRECTORY
#include "Kernel.h"
#include "Tfrmizobragenie.h"
#include "Toknosoobzheniy.h"
#include "VirtualForms.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t Navy = 0x000080, White = 0xFFFFFF, Black = 0, Face = 0xC0C0C0, Shadow = 0x808080;

// A window's picture as the virtual desktop shows it, with the checks made on it.
class Picture {
public:
    Picture(const char* name, HWND window) : name(name) {
        VirtualWindowImage(window, pixels, width, height);
    }
    bool Ok() const { return ok; }
    int Width() const { return width; }
    // A width of 0 leaves the width alone (it follows the text's).
    void Size(int w, int h) {
        if ((w != 0 && w != width) || h != height)
            Fail("size " + std::to_string(width) + "x" + std::to_string(height) + ", not " +
                 std::to_string(w) + "x" + std::to_string(h));
    }
    void At(int x, int y, uint32_t colour, const char* what) {
        if (Pixel(x, y) != colour) Fail(what);
    }
    // At least `least` pixels of the colour in the rectangle.
    void Some(RECT r, uint32_t colour, int least, const char* what) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += Pixel(x, y) == colour;
        if (n < least) Fail(what);
    }

private:
    uint32_t Pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
        return pixels[size_t(y) * size_t(width) + size_t(x)] & 0x00FFFFFF;
    }
    void Fail(const std::string& what) {
        std::fprintf(stderr, "%s: %s\n", name, what.c_str());
        ok = false;
    }
    const char* name;
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    bool ok = true;
};

// The message window: its own one-pixel frame, caption bar with white text, black text, two
// raised buttons with black captions.
bool CheckMessageWindow(HWND w) {
    Picture p("message_window", w);
    p.Size(0, 17 + 70);
    if (p.Width() < 2 * 104 + 8) p.Size(2 * 104 + 8, 17 + 70);
    p.At(0, 0, Black, "frame");
    p.At(5, 3, Navy, "caption bar");
    p.Some({1, 1, 120, 22}, White, 20, "caption text");
    p.Some({9, 30, p.Width() - 8, 47}, Black, 60, "text");
    const int top = 1 + 85 - 33, left = 1 + (p.Width() - 2 - (2 * 104 - 8)) / 2;
    p.At(left, top, White, "button's light edge");
    p.At(left, top + 24, Shadow, "button's bottom row");
    p.At(left + 95, top + 24, Shadow, "button's shadow corner");
    p.Some({left, top, left + 96, top + 25}, Black, 20, "button caption");
    p.Some({left, top, left + 96, top + 25}, Face, 1000, "button face");
    return p.Ok();
}

// A window with the desktop's frame: the caption bar (active) with its title in white.
void CheckCaption(Picture& p, int width) {
    p.At(1, 1, White, "frame's light edge");
    p.At(width - 1, 10, Black, "frame's dark edge");
    p.At(width - 10, 10, Navy, "active caption bar");
    p.Some({5, 4, 80, 21}, White, 15, "title");
}

bool CheckPictureWindow(HWND w) {
    Picture p("picture_window", w);
    p.Size(670 + 6, 330 + 25);
    CheckCaption(p, 676);
    p.Some({3, 22, 673, 352}, Black, 670 * 330, "black picture");
    return p.Ok();
}

bool CheckControls(HWND w) {
    Picture p("controls", w);
    p.Size(307 + 6, 58 + 25);
    CheckCaption(p, 313);
    const int x = 3, y = 22; // the client area's top left
    p.At(x + 5, y + 5, Face, "form face");
    p.At(x + 193, y + 16, White, "button's light edge");
    p.At(x + 287, y + 39, Black, "button's dark edge");
    p.Some({x + 192, y + 15, x + 288, y + 40}, Black, 60, "button caption and focus");
    p.Some({x + 16, y + 8, x + 153, y + 20}, Black, 20, "group caption");
    p.At(x + 32 + 5, y + 24 + 2 + 5, Black, "checked radio dot");
    return p.Ok();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    Ansi1251.Load((dir + "Ansi1251.wcs").c_str());
    bool ok = true;

    const std::string message = dir + "message_window.png";
    VirtualQueueCall([&] {
        for (int i = WindowCount() - 1; i >= 0; --i)
            if (IsWindowVisible(WindowAt(i))) {
                ok = VirtualSavePng(WindowAt(i), message.c_str()) && ok;
                ok = CheckMessageWindow(WindowAt(i)) && ok;
                break;
            }
    });
    VirtualQueueKey(WM_KEYDOWN, VK_RETURN);
    VirtualQueueKey(WM_KEYUP, VK_RETURN);
    ShowMessageWindow(nullptr, u"Не создаётся объект DirectDraw", u"Ошибка", 1);

    const std::string picture = dir + "picture_window.png";
    ok = CreatePictureWindow(&frmIzobragenie, 280 + 50, 600 + 70, TAnsiString("Ornalux"), true,
                             false, true, true) &&
         ok;
    if (frmIzobragenie != nullptr) {
        UpdateWindow(frmIzobragenie->Handle());
        ok = VirtualSavePng(frmIzobragenie->Handle(), picture.c_str()) && ok;
        ok = CheckPictureWindow(frmIzobragenie->Handle()) && ok;
        delete frmIzobragenie;
    }
    const std::string controls = dir + "controls.png";
    {
        TForm form(nullptr, bsSingle);
        form.SetFormCaption("Controls");
        form.SetClientWidth(307);
        form.SetClientHeight(58);
        auto* button = new TButton(&form, &form);
        button->SetBounds(192, 15, 96, 25);
        button->SetCaption("Pause");
        auto* group = new TGroupBox(&form, &form);
        group->SetBounds(16, 8, 137, 41);
        group->SetCaption(" Audio channel: ");
        auto* left = new TRadioButton(&form, group);
        left->SetBounds(16, 16, 49, 17);
        left->SetCaption("Left");
        left->SetChecked(true);
        auto* right = new TRadioButton(&form, group);
        right->SetBounds(64, 16, 49, 17);
        right->SetCaption("Right");
        form.SetActiveControl(button);
        form.Show();
        form.Repaint();
        ok = VirtualSavePng(form.Handle(), controls.c_str()) && ok;
        ok = CheckControls(form.Handle()) && ok;
    }
    std::printf("%s\n%s\n%s\n", message.c_str(), picture.c_str(), controls.c_str());
    return ok ? 0 : 1;
}

// Renders windows on the virtual backend into PNG files for review:
//   message_window.png  the error message window, style 1, as the drawing surface shows it
//   picture_window.png  an empty picture window of the program's default size
//   controls.png        a form with a push button, a group box and two radio buttons
// Usage: review_pngs OUTPUT_DIRECTORY
#include "Kernel.h"
#include "Tfrmizobragenie.h"
#include "Toknosoobzheniy.h"
#include "VirtualForms.h"

#include <cstdio>
#include <string>

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
        delete frmIzobragenie;
    }
    const std::string controls = dir + "controls.png";
    {
        TForm form(nullptr, bsSingle);
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
    }
    std::printf("%s\n%s\n%s\n", message.c_str(), picture.c_str(), controls.c_str());
    return ok ? 0 : 1;
}

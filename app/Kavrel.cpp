#include "Kavrel.h"

#include "Settings.h"
#include "Zol_vis.h"
#include "platform/Display.h"

#include <cstdio>
#include <exception>
#include <new>

namespace {

// Whether a display object can be had, that is whether there is a desktop to show windows on.
// COM hands out objects only on a thread that initialised it.
bool DisplayAvailable() {
    const HRESULT com = CoInitialize(nullptr);
    IDirectDraw* display = nullptr;
    CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw,
                     reinterpret_cast<void**>(&display));
    if (display != nullptr) display->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    return display != nullptr;
}

// Memory that cannot be had ends the program: said on standard error and in the error box (which
// may itself fail for want of memory), with status 2.
int OutOfMemory(TApplication& application) noexcept {
    std::fputs("kavrel: out of memory; the program ends\n", stderr);
    try {
        // "Not enough memory: the program ends." in code page 1251.
        application.ShowException("\xCD\xE5\xE4\xEE\xF1\xF2\xE0\xF2\xEE\xF7\xED\xEE "
                                  "\xEF\xE0\xEC\xFF\xF2\xE8: \xEF\xF0\xEE\xE3\xF0\xE0\xEC"
                                  "\xEC\xE0 \xE7\xE0\xE2\xE5\xF0\xF8\xE0\xE5\xF2 \xF0\xE0"
                                  "\xE1\xEE\xF2\xF3.");
    } catch (...) {
    }
    return 2;
}

int NoDisplay() {
    std::fputs("kavrel: no display is available to show the viewer's windows on\n", stderr);
    return 1;
}

} // namespace

int WinMain(HINSTANCE, HINSTANCE, char*, int) {
    TApplication application;
    int status = 0;
    try {
        if (!DisplayAvailable()) return NoDisplay();
        application.Initialize();
        application.Title = "Vespira";
        frmMain = new TfrmMain(&application, SettingsFilePath().c_str());
        application.CreateForm(frmMain);
        // A desktop may grant a display object and still refuse windows (Wine without X).
        if (frmMain->Handle() != nullptr)
            application.Run();
        else
            status = NoDisplay();
    } catch (const std::bad_alloc&) {
        frmMain = nullptr;
        return OutOfMemory(application);
    } catch (const std::exception& error) {
        application.ShowException(error.what());
    } catch (...) {
        application.ShowException("");
    }
    frmMain = nullptr;
    return status;
}

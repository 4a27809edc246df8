#include "Kavrel.h"

#include "Zol_vis.h"
#include "platform/Display.h"

#include <cstdio>
#include <exception>

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

int NoDisplay() {
    std::fputs("kavrel: no display is available to show the viewer's windows on\n", stderr);
    return 1;
}

} // namespace

int WinMain(HINSTANCE, HINSTANCE, char*, int) {
    if (!DisplayAvailable()) return NoDisplay();
    TApplication application;
    int status = 0;
    try {
        application.Initialize();
        application.Title = "Vespira";
        frmMain = new TfrmMain(&application);
        application.CreateForm(frmMain);
        // A desktop may grant a display object and still refuse windows (Wine without X).
        if (frmMain->Handle() != nullptr)
            application.Run();
        else
            status = NoDisplay();
    } catch (const std::exception& error) {
        application.ShowException(error.what());
    } catch (...) {
        application.ShowException("");
    }
    frmMain = nullptr;
    return status;
}

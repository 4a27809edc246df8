#include "Kavrel.h"

#include "Settings.h"
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

} // namespace

int WinMain(HINSTANCE, HINSTANCE, char*, int) {
    if (!DisplayAvailable()) {
        std::fputs("kavrel: no display is available to show the viewer's windows on\n", stderr);
        return 1;
    }
    TApplication application;
    try {
        application.Initialize();
        application.Title = "Vespira";
        frmMain = new TfrmMain(&application, SettingsFilePath().c_str());
        application.CreateForm(frmMain);
        application.Run();
    } catch (const std::exception& error) {
        application.ShowException(error.what());
    } catch (...) {
        application.ShowException("");
    }
    frmMain = nullptr;
    return 0;
}

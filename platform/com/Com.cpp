#include "platform/Capture.h"
#include "platform/Display.h"
#include "platform/com/ComClasses.h"

#include <cstring>

namespace {

// Initialisations of COM on this thread not yet balanced by CoUninitialize.
thread_local int initialisations = 0;

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

HRESULT CoInitialize(void*) {
    return initialisations++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (initialisations > 0) --initialisations;
}

HRESULT CoCreateInstance(const CLSID& classId, void*, DWORD, const IID& interfaceId,
                         void** object) {
    if (object == nullptr) return E_INVALIDARG;
    *object = nullptr;
    if (initialisations == 0) return CO_E_NOTINITIALIZED;
    if (SameGuid(classId, CLSID_DirectDraw))
        return SameGuid(interfaceId, IID_IDirectDraw) ? CreateDisplayObject(object) : E_NOINTERFACE;
    if (SameGuid(classId, CLSID_DirectSoundCapture))
        return SameGuid(interfaceId, IID_IDirectSoundCapture) ? CreateCaptureObject(object)
                                                              : E_NOINTERFACE;
    return REGDB_E_CLASSNOTREG;
}

// COM as the program uses it, each call a thin image of the Windows call it stands for: the
// per-thread initialisation and the one place where the display and the sound-capture classes
// are handed out.
#pragma once

#include "platform/Kernel32.h"

#include <cstdint>

#ifdef _WIN32
#include <objbase.h>
#else
using HRESULT = int32_t;
using ULONG = uint32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_PENDING = HRESULT(0x8000000Au);
constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0u);

constexpr bool SUCCEEDED(HRESULT result) {
    return result >= 0;
}
constexpr bool FAILED(HRESULT result) {
    return result < 0;
}

struct GUID {
    uint32_t Data1;
    uint16_t Data2, Data3;
    uint8_t Data4[8];
};
using CLSID = GUID;
using IID = GUID;

constexpr DWORD CLSCTX_ALL = 0x17;

// S_OK on the thread's first call, S_FALSE on every further one; each success is balanced by
// one CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// The display object (CLSID_DirectDraw, IID_IDirectDraw) and the default sound-capture device
// object (CLSID_DirectSoundCapture, IID_IDirectSoundCapture), on a thread that initialised COM
// (CO_E_NOTINITIALIZED otherwise). *object is null on failure: COM not initialised, no display,
// no capture device, or a class or interface this platform does not have.
HRESULT CoCreateInstance(const CLSID& classId, void* outer, DWORD context, const IID& interfaceId,
                         void** object);
#endif

// Sound capture, each call a thin image of the DirectSound capture call it stands for: the
// capture device object, created through CoCreateInstance, and its looping capture buffer, a
// ring of interleaved signed 16-bit little-endian frames that the device fills on its own
// thread. The reader asks for the read position and locks the bytes behind it in one or two
// regions (two when they run across the end of the ring).
#pragma once

#include "platform/Ole32.h"

#include <cstdint>

#ifdef _WIN32
#include <mmsystem.h>

#include <dsound.h>
#else
using WORD = uint16_t;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;
// Standard formats a device supports (DSCCAPS dwFormats): 16-bit mono and stereo at 11025,
// 22050 and 44100 Hz.
constexpr DWORD WAVE_FORMAT_1M16 = 0x0004, WAVE_FORMAT_1S16 = 0x0008;
constexpr DWORD WAVE_FORMAT_2M16 = 0x0040, WAVE_FORMAT_2S16 = 0x0080;
constexpr DWORD WAVE_FORMAT_4M16 = 0x0400, WAVE_FORMAT_4S16 = 0x0800;

struct DSCCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFormats;
    DWORD dwChannels;
};

struct DSCEFFECTDESC;

// The first five fields are the older, shorter form (dwSize = sizeof(DSCBUFFERDESC1)), which
// every device accepts.
struct DSCBUFFERDESC1 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
};
struct DSCBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    DWORD dwFXCount;
    DSCEFFECTDESC* lpDSCFXDesc;
};

constexpr DWORD DSCBCAPS_WAVEMAPPED = 0x80000000;
constexpr DWORD DSCBSTART_LOOPING = 0x00000001;
constexpr DWORD DSCBLOCK_ENTIREBUFFER = 0x00000001;
constexpr DWORD DSCBSTATUS_CAPTURING = 0x00000001;
constexpr DWORD DSCBSTATUS_LOOPING = 0x00000002;

constexpr HRESULT DS_OK = S_OK;
constexpr HRESULT DSERR_GENERIC = E_FAIL;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DSERR_NOAGGREGATION = CLASS_E_NOAGGREGATION;
constexpr HRESULT DSERR_INVALIDCALL = HRESULT(0x88780032u);
constexpr HRESULT DSERR_BADFORMAT = HRESULT(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = HRESULT(0x88780078u);
constexpr HRESULT DSERR_ALREADYINITIALIZED = HRESULT(0x88780082u);
constexpr HRESULT DSERR_BUFFERLOST = HRESULT(0x88780096u);
constexpr HRESULT DSERR_UNINITIALIZED = HRESULT(0x887800AAu);

constexpr CLSID CLSID_DirectSoundCapture{
    0xB0210780, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
constexpr IID IID_IDirectSoundCapture{
    0xB0210781, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
constexpr IID IID_IDirectSoundCaptureBuffer{
    0xB0210782, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};

class IDirectSoundCaptureBuffer {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // Either pointer may be null. The read position is where the captured data ends that can be
    // read safely; the capture position runs ahead of it inside the device.
    virtual HRESULT GetCurrentPosition(DWORD* capturePosition, DWORD* readPosition) = 0;
    virtual HRESULT GetFormat(WAVEFORMATEX* format, DWORD sizeAllocated, DWORD* sizeWritten) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // bytes from offset, as one region or, across the end of the ring, as two; the second
    // pointer is null when one region holds them all.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                         DWORD* bytes2, DWORD flags) = 0;
    // Capture runs round the ring (DSCBSTART_LOOPING); a single pass is not supported here.
    virtual HRESULT Start(DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) = 0;

protected:
    virtual ~IDirectSoundCaptureBuffer() = default;
};

class IDirectSoundCapture {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc,
                                        IDirectSoundCaptureBuffer** buffer, void* outer) = 0;
    virtual HRESULT GetCaps(DSCCAPS* caps) = 0;
    // A null device is the default capture device.
    virtual HRESULT Initialize(const GUID* device) = 0;

protected:
    virtual ~IDirectSoundCapture() = default;
};
#endif

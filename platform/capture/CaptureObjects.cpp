#include "CaptureObjects.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

bool Within(const uint8_t* ring, DWORD size, const void* region, DWORD bytes) {
    const auto* p = static_cast<const uint8_t*>(region);
    return p >= ring && p <= ring + size && bytes <= DWORD(ring + size - p);
}

// What a device accepts: 16-bit PCM, up to its channels, a consistent block and byte rate.
bool Acceptable(const WAVEFORMATEX& f, WORD channels) {
    return f.wFormatTag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16 && f.nChannels >= 1 &&
           f.nChannels <= channels && f.nBlockAlign == f.nChannels * 2 &&
           f.nSamplesPerSec >= 1000 && f.nSamplesPerSec <= 192000 &&
           f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

} // namespace

CaptureRing::CaptureRing(DWORD bytes) : data(new (std::nothrow) uint8_t[bytes]()), size(0) {
    if (data != nullptr) size = bytes;
}

void CaptureRing::Write(const uint8_t* bytes, uint64_t count) {
    if (size == 0) return;
    const uint64_t total = written.load(std::memory_order_relaxed);
    const uint64_t kept = std::min<uint64_t>(count, size);
    const DWORD at = DWORD((total + count - kept) % size);
    const DWORD first = DWORD(std::min<uint64_t>(kept, size - at));
    std::memcpy(data.get() + at, bytes + (count - kept), first);
    std::memcpy(data.get(), bytes + (count - kept) + first, kept - first);
    written.store(total + count, std::memory_order_release);
}

void CaptureRing::Skip(uint64_t count) {
    written.fetch_add(count, std::memory_order_release);
}

DWORD CaptureRing::Position() const {
    return size == 0 ? 0 : DWORD(written.load(std::memory_order_acquire) % size);
}

CaptureBuffer::CaptureBuffer(IDirectSoundCapture* owner, const WAVEFORMATEX& f, DWORD bytes)
    : ring(bytes), format(f), device(owner) {
    device->AddRef();
}

CaptureBuffer::~CaptureBuffer() {
    device->Release();
}

// Everything written is readable at once: the capture and the read position are one.
HRESULT CaptureBuffer::GetCurrentPosition(DWORD* capturePosition, DWORD* readPosition) {
    if (capturePosition == nullptr && readPosition == nullptr) return DSERR_INVALIDPARAM;
    if (SourceLost()) return DSERR_NODRIVER;
    CatchUp();
    const DWORD position = ring.Position();
    if (capturePosition != nullptr) *capturePosition = position;
    if (readPosition != nullptr) *readPosition = position;
    return DS_OK;
}

HRESULT CaptureBuffer::GetFormat(WAVEFORMATEX* f, DWORD sizeAllocated, DWORD* sizeWritten) {
    if (f == nullptr) {
        if (sizeWritten == nullptr) return DSERR_INVALIDPARAM;
        *sizeWritten = sizeof format;
        return DS_OK;
    }
    const DWORD copied = std::min<DWORD>(sizeAllocated, sizeof format);
    std::memcpy(f, &format, copied);
    if (sizeWritten != nullptr) *sizeWritten = copied;
    return DS_OK;
}

HRESULT CaptureBuffer::GetStatus(DWORD* status) {
    if (status == nullptr) return DSERR_INVALIDPARAM;
    *status = capturing ? DSCBSTATUS_CAPTURING | DSCBSTATUS_LOOPING : 0;
    return DS_OK;
}

// Without a second region pointer, only the part up to the end of the ring is handed out.
HRESULT CaptureBuffer::Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1,
                            void** region2, DWORD* bytes2, DWORD flags) {
    const DWORD size = ring.Size();
    if (flags & DSCBLOCK_ENTIREBUFFER) bytes = size;
    if (region1 == nullptr || bytes1 == nullptr || (flags & ~DSCBLOCK_ENTIREBUFFER) != 0 ||
        offset >= size || bytes > size)
        return DSERR_INVALIDPARAM;
    if (SourceLost()) return DSERR_NODRIVER;
    CatchUp();
    *region1 = ring.Data() + offset;
    *bytes1 = std::min(bytes, size - offset);
    const DWORD rest = bytes - *bytes1;
    if (region2 != nullptr) *region2 = rest > 0 ? ring.Data() : nullptr;
    if (bytes2 != nullptr) *bytes2 = region2 != nullptr ? rest : 0;
    return DS_OK;
}

HRESULT CaptureBuffer::Start(DWORD flags) {
    if (flags != DSCBSTART_LOOPING) return DSERR_UNSUPPORTED;
    if (!capturing) {
        capturing = true;
        StartSource();
    }
    return DS_OK;
}

HRESULT CaptureBuffer::Stop() {
    if (capturing) {
        CatchUp();
        capturing = false;
        StopSource();
    }
    return DS_OK;
}

HRESULT CaptureBuffer::Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) {
    const uint8_t* data = ring.Data();
    const DWORD size = ring.Size();
    if (region1 == nullptr || !Within(data, size, region1, bytes1) ||
        (region2 != nullptr && !Within(data, size, region2, bytes2)))
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

// Only the default device (a null identifier) is known.
HRESULT CaptureDevice::Initialize(const GUID* id) {
    if (channels != 0) return DSERR_ALREADYINITIALIZED;
    if (id != nullptr) return DSERR_NODRIVER;
    if (!DefaultKnown()) return E_PENDING;
    channels = OpenDefault();
    return channels != 0 ? DS_OK : DSERR_NODRIVER;
}

HRESULT CaptureDevice::GetCaps(DSCCAPS* caps) {
    if (caps == nullptr || caps->dwSize < sizeof(DSCCAPS)) return DSERR_INVALIDPARAM;
    if (channels == 0) return DSERR_UNINITIALIZED;
    caps->dwFlags = 0;
    caps->dwFormats = WAVE_FORMAT_1M16 | WAVE_FORMAT_2M16 | WAVE_FORMAT_4M16;
    if (channels == 2) caps->dwFormats |= WAVE_FORMAT_1S16 | WAVE_FORMAT_2S16 | WAVE_FORMAT_4S16;
    caps->dwChannels = channels;
    return DS_OK;
}

// The ring holds whole frames, so that a frame never runs across its end.
HRESULT CaptureDevice::CreateCaptureBuffer(const DSCBUFFERDESC* desc,
                                           IDirectSoundCaptureBuffer** buffer, void* outer) {
    if (buffer == nullptr) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    if (channels == 0) return DSERR_UNINITIALIZED;
    if (desc == nullptr ||
        (desc->dwSize != sizeof(DSCBUFFERDESC1) && desc->dwSize != sizeof(DSCBUFFERDESC)) ||
        (desc->dwFlags & ~DSCBCAPS_WAVEMAPPED) != 0 || desc->lpwfxFormat == nullptr ||
        (desc->dwSize == sizeof(DSCBUFFERDESC) && desc->dwFXCount != 0))
        return DSERR_INVALIDPARAM;
    const WAVEFORMATEX& f = *desc->lpwfxFormat;
    if (!Acceptable(f, channels)) return DSERR_BADFORMAT;
    if (desc->dwBufferBytes < f.nBlockAlign || desc->dwBufferBytes > MaxBufferBytes ||
        desc->dwBufferBytes % f.nBlockAlign != 0)
        return DSERR_INVALIDPARAM;
    HRESULT result = DSERR_OUTOFMEMORY;
    CaptureBuffer* made = MakeBuffer(f, desc->dwBufferBytes, &result);
    if (made == nullptr) return result;
    if (made->BufferBytes() == 0) {
        made->Release();
        return DSERR_OUTOFMEMORY;
    }
    *buffer = made;
    return DS_OK;
}

// The capture device object and its looping ring buffer as DirectSound has them, over the sound
// source a backend provides. The argument checks, the ring's positions and its two-region Lock
// live here once; a backend says how many channels its default device has and fills the ring.
#pragma once

#include "platform/Capture.h"
#include "platform/com/Counted.h"

#include <atomic>
#include <cstdint>
#include <memory>

// A ring of bytes with one writer (the device, on its own thread) and readers behind it. The
// writer only advances the count of bytes written; a reader reads the bytes below the position
// that count gives, which the writer has published before advancing it.
class CaptureRing {
public:
    // Empty (Size 0) when the memory cannot be had.
    explicit CaptureRing(DWORD bytes);
    DWORD Size() const { return size; }
    uint8_t* Data() const { return data.get(); }
    // Writer side: appends bytes at the write position, wrapping; of more than the ring holds,
    // the last Size() bytes stay.
    void Write(const uint8_t* bytes, uint64_t count);
    // Writer side: advances past count bytes the writer never had (content left stale).
    void Skip(uint64_t count);
    // Offset in the ring where the next byte will be written.
    DWORD Position() const;

private:
    std::unique_ptr<uint8_t[]> data;
    DWORD size;
    std::atomic<uint64_t> written{0};
};

// The capture buffer: reference counting, positions, Lock and Unlock, format and status. A
// backend derives from it to run its source; the derived destructor stops the source before
// the ring goes.
class CaptureBuffer : public Counted<IDirectSoundCaptureBuffer> {
public:
    HRESULT GetCurrentPosition(DWORD* capturePosition, DWORD* readPosition) override;
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD sizeAllocated, DWORD* sizeWritten) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                 DWORD* bytes2, DWORD flags) override;
    HRESULT Start(DWORD flags) override;
    HRESULT Stop() override;
    HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) override;
    // 0 when the ring's memory could not be had.
    DWORD BufferBytes() const { return ring.Size(); }

protected:
    // Holds a reference to the device object for the buffer's life.
    CaptureBuffer(IDirectSoundCapture* device, const WAVEFORMATEX& format, DWORD bytes);
    ~CaptureBuffer() override;

    // The source starts or stops filling the ring; called only on a change.
    virtual void StartSource() = 0;
    virtual void StopSource() = 0;
    // Brings the ring up to date before positions are read (for sources computed on demand).
    virtual void CatchUp() {}
    // True once the device behind the source is gone (unplugged, its server ended): positions
    // and Lock then fail with DSERR_NODRIVER for good.
    virtual bool SourceLost() const { return false; }

    CaptureRing ring;
    WAVEFORMATEX format;
    bool capturing = false;

private:
    IDirectSoundCapture* device;
};

// The capture device object: Initialize, GetCaps and the checks of CreateCaptureBuffer. A
// backend derives from it to open its default device and make its buffers.
class CaptureDevice : public Counted<IDirectSoundCapture> {
public:
    HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** buffer,
                                void* outer) override;
    HRESULT GetCaps(DSCCAPS* caps) override;
    HRESULT Initialize(const GUID* device) override;

    // The largest ring a buffer may have, as DirectSound allows.
    static constexpr DWORD MaxBufferBytes = 0x0FFFFFFF;

protected:
    CaptureDevice() = default;
    ~CaptureDevice() override = default;

    // False while the backend is still finding out whether there is a default device, without
    // waiting for it: Initialize then answers E_PENDING and may be asked again.
    virtual bool DefaultKnown() { return true; }
    // The default device's channel count (1 or 2), or 0 when there is no default device.
    virtual WORD OpenDefault() = 0;
    // A buffer for a checked format and ring size, or null; *result says why not.
    virtual CaptureBuffer* MakeBuffer(const WAVEFORMATEX& format, DWORD bytes, HRESULT* result) = 0;

private:
    WORD channels = 0;
};

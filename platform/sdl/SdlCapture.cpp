// Sound capture from SDL2's default capture device: the asked rate, signed 16-bit little-endian,
// one or two channels; SDL's audio thread writes what it captures into the buffer's ring.
#include "SdlProbe.h"
#include "platform/capture/CaptureObjects.h"
#include "platform/com/ComClasses.h"

#include <SDL.h>

#include <algorithm>
#include <new>

namespace {

// How long the child that tries the audio driver may take.
constexpr int ProbeMilliseconds = 10000;

// SDL's callback period: the power of two of frames nearest below a twentieth of a second.
Uint16 CallbackFrames(DWORD rate) {
    Uint16 frames = 64;
    while (frames < 8192 && frames * 2u <= rate / 20)
        frames *= 2;
    return frames;
}

// The default capture device's channels (a device with more is taken as stereo), or 0 when it
// cannot be opened. Drivers that cannot describe their default device (PulseAudio's when the
// default source is a monitor, the disk driver) are asked by opening it.
WORD DefaultChannels() {
    SDL_AudioSpec spec{};
    char* name = nullptr;
    if (SDL_GetDefaultAudioInfo(&name, &spec, 1) == 0) {
        SDL_free(name);
        return spec.channels >= 2 ? 2 : 1;
    }
    SDL_AudioSpec want{};
    want.freq = 11025;
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = CallbackFrames(11025);
    const SDL_AudioDeviceID id =
        SDL_OpenAudioDevice(nullptr, 1, &want, &spec, SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (id == 0) return 0;
    SDL_CloseAudioDevice(id);
    return spec.channels >= 2 ? 2 : 1;
}

bool DeviceOpens() {
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && DefaultChannels() != 0;
}

// An audio driver can crash inside its start-up (SDL 2.26's PulseAudio driver does when the
// server has no sink at all), so a child process starts it and opens the default device first:
// only the child dies then. True when the child found a device.
bool DeviceOpensInChild() {
    return SucceedsInChild(DeviceOpens, ProbeMilliseconds);
}

class SdlCaptureBuffer : public CaptureBuffer {
public:
    SdlCaptureBuffer(IDirectSoundCapture* device, const WAVEFORMATEX& f, DWORD bytes)
        : CaptureBuffer(device, f, bytes) {}

    // Exactly the asked format: SDL converts what the device gives. The device opens paused.
    bool Open() {
        SDL_AudioSpec want{}, have{};
        want.freq = int(format.nSamplesPerSec);
        want.format = AUDIO_S16LSB;
        want.channels = Uint8(format.nChannels);
        want.samples = CallbackFrames(format.nSamplesPerSec);
        want.callback = Receive;
        want.userdata = this;
        id = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
        return id != 0;
    }

    // Closing waits for SDL's audio thread, so no callback runs once the ring goes.
    ~SdlCaptureBuffer() override {
        if (id != 0) SDL_CloseAudioDevice(id);
    }

private:
    void StartSource() override { SDL_PauseAudioDevice(id, 0); }
    void StopSource() override { SDL_PauseAudioDevice(id, 1); }

    // On SDL's audio thread. A removed device goes on calling with silence: none of it is
    // captured, so the positions stand still.
    static void SDLCALL Receive(void* self, Uint8* stream, int length) {
        auto* buffer = static_cast<SdlCaptureBuffer*>(self);
        if (length <= 0 || SDL_GetAudioDeviceStatus(buffer->id) != SDL_AUDIO_PLAYING) return;
        buffer->ring.Write(stream, uint64_t(length));
    }

    SDL_AudioDeviceID id = 0;
};

// Holds SDL's audio subsystem (and only it) from creation to the last release.
class SdlCaptureDevice : public CaptureDevice {
public:
    ~SdlCaptureDevice() override {
        if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

private:
    WORD OpenDefault() override { return DefaultChannels(); }

    CaptureBuffer* MakeBuffer(const WAVEFORMATEX& f, DWORD bytes, HRESULT* result) override {
        auto* buffer = new (std::nothrow) SdlCaptureBuffer(this, f, bytes);
        if (buffer == nullptr || buffer->BufferBytes() == 0 || buffer->Open()) return buffer;
        buffer->Release();
        *result = DSERR_NODRIVER;
        return nullptr;
    }
};

} // namespace

HRESULT CreateCaptureObject(void** object) {
    if (!SDL_WasInit(SDL_INIT_AUDIO) && !DeviceOpensInChild()) return DSERR_NODRIVER;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return DSERR_NODRIVER;
    auto* device = new (std::nothrow) SdlCaptureDevice;
    if (device == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return E_OUTOFMEMORY;
    }
    *object = static_cast<IDirectSoundCapture*>(device);
    return S_OK;
}

// Sound capture from SDL2's default capture device: the asked rate, signed 16-bit little-endian,
// one or two channels; SDL's audio thread writes what it captures into the buffer's ring.
#include "platform/capture/CaptureObjects.h"
#include "platform/com/ComClasses.h"

#include <SDL.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// How long a probe process may take.
constexpr auto ProbeTime = std::chrono::seconds(10);

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

// ALSA's library prints its own errors on stderr (SDL falls back to it without a sound server):
// a handler that drops them is set before SDL loads the library, which then stays loaded, so that
// the handler holds whenever SDL loads it again.
void Silent(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
    static bool done = false;
    if (std::exchange(done, true)) return;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW);
    if (alsa == nullptr) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(Silent);
}

// The name under which this program runs as a probe process (its argv[0]).
constexpr char ProbeName[] = "kavrel-audio-probe";

// A probe process answers by its status whether the audio driver starts and finds a default
// capture device, before anything else of the program runs. It is the program started afresh:
// a forked copy could not use the sound server's client library once the program has used it.
[[gnu::constructor]] void RunProbe(int argc, char** argv, char**) {
    if (argc != 1 || std::strcmp(argv[0], ProbeName) != 0) return;
    // A driver that crashes ends the probe quietly, also where a sanitizer catches the signal.
    for (int s : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL})
        signal(s, SIG_DFL);
    SilenceAlsa();
    _exit(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && DefaultChannels() != 0 ? 0 : 1);
}

// Whether a default capture device exists, found out by a probe process: an audio driver can
// crash inside its start-up (SDL 2.26's PulseAudio driver does when the server has no sink at
// all) or wait on a hung server, and only the probe dies or waits then. The window thread only
// looks in on it; an answer is handed out once, so that each later question is asked anew.
class DeviceProbe {
public:
    enum class Answer { Pending, Found, None };

    Answer Ask() {
        if (child > 0 && !Ended()) return Answer::Pending;
        if (answer == Answer::Pending) {
            Begin();
            return answer;
        }
        return std::exchange(answer, Answer::Pending);
    }

private:
    // Between fork and exec only calls that are safe in a copy of a threaded process.
    void Begin() {
        SilenceAlsa();
        const pid_t parent = getpid();
        began = Clock::now();
        child = fork();
        if (child < 0) answer = Answer::None;
        if (child != 0) return;
        // Ends with the program, even when it is killed while the driver waits.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        char* argv[] = {const_cast<char*>(ProbeName), nullptr};
        if (getppid() == parent) execv("/proc/self/exe", argv);
        _exit(1);
    }

    // Collects the child's answer once it ended, or ends it when it took too long.
    bool Ended() {
        int status = 0;
        pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == 0) {
            if (Clock::now() - began < ProbeTime) return false;
            kill(child, SIGKILL);
            ended = waitpid(child, &status, 0);
        }
        const bool found = ended == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        answer = found ? Answer::Found : Answer::None;
        child = -1;
        return true;
    }

    pid_t child = -1;
    Clock::time_point began;
    Answer answer = Answer::Pending;
};

// SDL's audio subsystem as the layer holds it: started for the device objects that found a
// device, quit with the last of them. A driver that lost a device or failed to open one may have
// lost its server, and with it what it knew of the default device (PulseAudio's goes on
// describing the old server's): it is quit once no device is open, so that the next device
// object asks a probe again and starts the driver afresh against the server as it is now.
struct AudioState {
    int users = 0;
    int openDevices = 0;
    // Devices being closed on threads of their own.
    std::atomic<int> closing{0};
    bool started = false;
    bool lost = false;
    DeviceProbe probe;
    // The default device being opened on a thread of its own (see Opening).
    SDL_Thread* opener = nullptr;
};
AudioState audio;

// What the opener finds: whether SDL's audio subsystem is started, and the default device's
// channels (0: none).
struct Opening {
    std::atomic<bool> done{false};
    bool start = false, started = false;
    WORD channels = 0;
};
Opening opening;

// A server can hang after a probe found it (or a device may take long to open): SDL's audio
// start and the look at the default device happen on a thread of their own, which only it holds.
int SDLCALL Open(void*) {
    opening.started = !opening.start || SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    opening.channels = opening.started ? DefaultChannels() : 0;
    opening.done = true;
    return 0;
}

// False while the opener runs; once it has finished it is let go of, its findings kept in
// `opening` until taken.
bool OpenerIdle() {
    if (audio.opener == nullptr) return true;
    if (!opening.done) return false;
    SDL_WaitThread(std::exchange(audio.opener, nullptr), nullptr);
    audio.started |= opening.started;
    return true;
}

void BeginOpening() {
    opening.done = false;
    opening.start = !audio.started;
    audio.opener = SDL_CreateThread(Open, "kavrel-open", nullptr);
    if (audio.opener != nullptr) return;
    Open(nullptr);
    audio.started |= opening.started;
}

// True once no device is being closed, after waiting a moment for closes that are quick.
bool Closed() {
    for (int i = 0; i < 40 && audio.closing > 0; ++i)
        SDL_Delay(5);
    return audio.closing == 0;
}

// Left for a later call while a device is still being closed or opened; findings not taken yet
// go with the subsystem.
void StopAudio() {
    if (!Closed() || !OpenerIdle()) return;
    opening.done = false;
    if (audio.started) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio.started = false;
    audio.lost = false;
}

// What SDL's audio thread writes into: the ring, while its buffer lives. Closing a device waits
// for that thread, which on a hung server waits for data that never comes; so a device is
// closed on a thread of its own, after its buffer let go of the ring, and the feed goes with it.
struct Feed {
    std::mutex lock;
    CaptureRing* ring = nullptr;
    SDL_AudioDeviceID id = 0;
    // How long the audio thread may rest after a callback, in ms: seven eighths of a callback's
    // sound. A sound server sends what a source gives as it gives it (every 5 ms behind a player
    // that asks 20 ms of latency), and the driver wakes for each piece while it waits; resting,
    // it takes those of most of a period in one go, and the callbacks still come at their rate.
    // Where the sound comes in larger pieces a rest would only add a wake-up: the thread rests
    // after callbacks whose sound took more than one wake-up to gather, or, after a rest, any.
    Uint32 rest = 0;
    long wakeUps = 0; // the audio thread's voluntary switches when the last callback ended
    bool rested = false;
};

// How often the calling thread has waited so far.
long WakeUps() {
    rusage usage{};
    return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

int SDLCALL Close(void* data) {
    auto* feed = static_cast<Feed*>(data);
    SDL_CloseAudioDevice(feed->id);
    delete feed;
    --audio.closing;
    return 0;
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
        feed = new (std::nothrow) Feed;
        if (feed == nullptr || !Closed()) return false;
        feed->ring = &ring;
        feed->rest = Uint32(uint64_t{want.samples} * 1000 * 7 / 8 / format.nSamplesPerSec);
        want.userdata = feed;
        feed->id = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
        audio.openDevices += feed->id != 0;
        audio.lost |= feed->id == 0;
        return feed->id != 0;
    }

    ~SdlCaptureBuffer() override {
        if (feed == nullptr) return;
        {
            const std::lock_guard hold(feed->lock);
            feed->ring = nullptr;
        }
        if (feed->id == 0) {
            delete feed;
            return;
        }
        --audio.openDevices;
        ++audio.closing;
        SDL_Thread* closer = SDL_CreateThread(Close, "kavrel-close", feed);
        if (closer != nullptr)
            SDL_DetachThread(closer);
        else
            Close(feed);
    }

private:
    void StartSource() override { SDL_PauseAudioDevice(feed->id, 0); }
    void StopSource() override { SDL_PauseAudioDevice(feed->id, 1); }

    // SDL reports a device removed (server gone, source unloaded, unplugged) by stopping it.
    bool SourceLost() const override {
        if (SDL_GetAudioDeviceStatus(feed->id) != SDL_AUDIO_STOPPED) return false;
        audio.lost = true;
        return true;
    }

    // On SDL's audio thread. A removed device goes on calling with silence: none of it is
    // captured, so the positions stand still.
    static void SDLCALL Receive(void* data, Uint8* stream, int length) {
        auto* feed = static_cast<Feed*>(data);
        {
            const std::lock_guard hold(feed->lock);
            if (length <= 0 || feed->ring == nullptr ||
                SDL_GetAudioDeviceStatus(feed->id) != SDL_AUDIO_PLAYING)
                return;
            feed->ring->Write(stream, uint64_t(length));
        }
        // A rest is one wait of its own.
        const long now = WakeUps();
        feed->rested = now - feed->wakeUps > (feed->rested ? 0 : 1);
        if (feed->rested) SDL_Delay(feed->rest);
        feed->wakeUps = now + feed->rested;
    }

    Feed* feed = nullptr;
};

class SdlCaptureDevice : public CaptureDevice {
public:
    ~SdlCaptureDevice() override {
        if (user && --audio.users == 0) StopAudio();
    }

private:
    // The window thread never waits on a driver that may hang: a probe is asked while SDL's
    // audio subsystem is not started, and the device is opened on a thread of its own once
    // there is one; nothing is asked while a device is still being closed.
    bool DefaultKnown() override {
        if (audio.closing > 0 || !OpenerIdle()) return false;
        if (!opening.done) {
            if ((audio.lost || audio.users == 0) && audio.openDevices == 0) StopAudio();
            if (!audio.started) {
                answer = audio.probe.Ask();
                if (answer != DeviceProbe::Answer::Found)
                    return answer != DeviceProbe::Answer::Pending;
            }
            BeginOpening();
            if (!OpenerIdle()) return false;
        }
        opening.done = false;
        channels = opening.channels;
        return true;
    }

    WORD OpenDefault() override {
        if (!audio.started) return 0;
        if (!user) ++audio.users;
        user = true;
        audio.lost |= channels == 0;
        return channels;
    }

    CaptureBuffer* MakeBuffer(const WAVEFORMATEX& f, DWORD bytes, HRESULT* result) override {
        auto* buffer = new (std::nothrow) SdlCaptureBuffer(this, f, bytes);
        if (buffer == nullptr || buffer->BufferBytes() == 0 || buffer->Open()) return buffer;
        buffer->Release();
        *result = DSERR_NODRIVER;
        return nullptr;
    }

    DeviceProbe::Answer answer = DeviceProbe::Answer::Pending;
    WORD channels = 0; // what the opener found
    // Holds SDL's audio subsystem from a successful start to the last release.
    bool user = false;
};

} // namespace

// The driver is tried only when the object is initialised.
HRESULT CreateCaptureObject(void** object) {
    auto* device = new (std::nothrow) SdlCaptureDevice;
    if (device == nullptr) return E_OUTOFMEMORY;
    *object = static_cast<IDirectSoundCapture*>(device);
    return S_OK;
}

// Sound capture through SDL: SDL's disk driver captures a known file, so that the bytes can be
// checked in order across the ring's wraps; drivers that fail or crash at start-up leave the
// program running; a real PulseAudio server (tests/realstack/pulse_tone.sh) delivers a tone and
// then goes away.
#include "ChildProcess.h"
#include "TempDir.h"
#include "platform/Capture.h"
#include "platform/sdl/SdlProbe.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr DWORD Rate = 11025;
// Longer than any answer takes on a loaded machine (a fork and an exec included), far shorter
// than a hung server holds a driver that waits on it (the probe's 10 s).
constexpr auto NeverBlocks = 2s;

class SdlCaptureTest : public testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override {
        if (buffer != nullptr) buffer->Release();
        if (device != nullptr) device->Release();
        CoUninitialize();
    }

    HRESULT Create() {
        void* object = &object;
        const HRESULT result = CoCreateInstance(CLSID_DirectSoundCapture, nullptr, CLSCTX_ALL,
                                                IID_IDirectSoundCapture, &object);
        device = static_cast<IDirectSoundCapture*>(object);
        return result;
    }

    // A new device object initialised as the program does it: asked again while the answer
    // is pending, each answer within a few milliseconds.
    HRESULT Initialise() {
        if (device != nullptr) device->Release();
        EXPECT_EQ(Create(), S_OK);
        for (const auto end = Clock::now() + 15s; device != nullptr && Clock::now() < end;) {
            const auto asked = Clock::now();
            const HRESULT result = device->Initialize(nullptr);
            EXPECT_LT(Clock::now() - asked, NeverBlocks);
            if (result != E_PENDING) return result;
            std::this_thread::sleep_for(10ms);
        }
        return E_FAIL;
    }

    // The program's steps: the default device, its channels, a looping buffer of the given
    // frames at 11025 Hz, started.
    void Start(DWORD frames) {
        ASSERT_EQ(Initialise(), DS_OK);
        DSCCAPS caps{sizeof caps, 0, 0, 0};
        ASSERT_EQ(device->GetCaps(&caps), DS_OK);
        ASSERT_TRUE(caps.dwChannels == 1 || caps.dwChannels == 2) << caps.dwChannels;
        const WORD align = WORD(caps.dwChannels * 2);
        format = {WAVE_FORMAT_PCM, WORD(caps.dwChannels), Rate, Rate * align, align, 16, 0};
        size = frames * align;
        DSCBUFFERDESC1 desc{sizeof desc, DSCBCAPS_WAVEMAPPED, size, 0, &format};
        ASSERT_EQ(
            device->CreateCaptureBuffer(reinterpret_cast<DSCBUFFERDESC*>(&desc), &buffer, nullptr),
            DS_OK);
        ASSERT_EQ(buffer->GetFormat(&format, sizeof format, nullptr), DS_OK);
        EXPECT_EQ(format.nSamplesPerSec, Rate);
        ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    }

    DWORD ReadPosition() {
        DWORD read = 0;
        EXPECT_EQ(buffer->GetCurrentPosition(nullptr, &read), DS_OK);
        return read;
    }

    // True once the read position moved within ten seconds.
    bool Delivers() {
        const DWORD first = ReadPosition();
        for (const auto end = Clock::now() + 10s; Clock::now() < end;) {
            if (ReadPosition() != first) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Appends what was captured since the last read, in one or two regions.
    void Read(std::vector<uint8_t>& out) {
        const DWORD readPos = ReadPosition();
        const DWORD len = offset <= readPos ? readPos - offset : size - offset + readPos;
        void *p1 = nullptr, *p2 = nullptr;
        DWORD b1 = 0, b2 = 0;
        ASSERT_EQ(buffer->Lock(offset, len, &p1, &b1, &p2, &b2, 0), DS_OK);
        out.insert(out.end(), static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + b1);
        if (p2 != nullptr)
            out.insert(out.end(), static_cast<uint8_t*>(p2), static_cast<uint8_t*>(p2) + b2);
        wraps += b2 > 0;
        buffer->Unlock(p1, b1, p2, b2);
        offset = readPos;
    }

    // Reads every few milliseconds until at least the bytes came or the time ran out.
    std::vector<uint8_t> ReadFor(size_t bytes, Clock::duration limit) {
        std::vector<uint8_t> out;
        for (const auto end = Clock::now() + limit; out.size() < bytes && Clock::now() < end;) {
            Read(out);
            std::this_thread::sleep_for(2ms);
        }
        return out;
    }

    IDirectSoundCapture* device = nullptr;
    IDirectSoundCaptureBuffer* buffer = nullptr;
    WAVEFORMATEX format{};
    DWORD size = 0, offset = 0;
    int wraps = 0;
};

// Every byte of the file, in order, through a ring of a little over 32 SDL periods, so that
// both the device and the reader run across its end several times. After the file's end the
// driver gives silence. The reader only has to come back before the device laps it: at 40 ms a
// period that is 1.3 s, a margin a loaded machine's scheduler leaves it (at 20 ms for 16
// periods it was 0.32 s); the bytes it waits for may take up to 20 s.
TEST_F(SdlCaptureTest, DiskDriverFileArrivesInOrderAcrossWraps) {
    TempDir dir;
    std::string file;
    for (uint32_t i = 0; i < 48 * 1024; ++i) {
        const uint32_t v = i * 2654435761u;
        file += std::string{char(v >> 8), char(v >> 16), char(v >> 24), char(i)};
    }
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", dir.Write("in.raw", file).c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "40", 1);
    Start(32 * 512 + 3);
    ASSERT_EQ(format.nChannels, 2);
    const std::vector<uint8_t> got = ReadFor(file.size() + 4096, 20s);
    ASSERT_GE(got.size(), file.size() + 4096);
    EXPECT_EQ(std::memcmp(got.data(), file.data(), file.size()), 0);
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + file.size(), got.begin() + file.size() + 4096),
              std::vector<uint8_t>(4096, 0));
    EXPECT_GE(wraps, 3);

    // Stopped, the positions stand; started again, they go on.
    ASSERT_EQ(buffer->Stop(), DS_OK);
    const DWORD stopped = ReadPosition();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(ReadPosition(), stopped);
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    const auto end = Clock::now() + 5s;
    while (ReadPosition() == stopped && Clock::now() < end)
        std::this_thread::sleep_for(2ms);
    EXPECT_NE(ReadPosition(), stopped);

    // Released while capturing, before the device object, as the program does at its end: the
    // audio thread writes nothing into the ring once it is gone (the sanitizer build sees a late
    // write).
    buffer->Release();
    buffer = nullptr;
    std::this_thread::sleep_for(100ms);
}

// Capture takes SDL's audio subsystem only: the desktop's video part stays as it was, and the
// audio part is let go with the last object.
TEST_F(SdlCaptureTest, LeavesSdlVideoAlone) {
    TempDir dir;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", dir.Write("in.raw", std::string(4096, 'a')).c_str(), 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    Start(4096);
    buffer->Release();
    buffer = nullptr;
    device->Release();
    device = nullptr;
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(SdlCaptureTest, NoDriverIsNoDevice) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(Initialise(), DSERR_NODRIVER);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

// A PulseAudio server of the test's own, in a fresh runtime directory, with the modules given.
class PulseServer : public ChildProcess {
public:
    explicit PulseServer(const std::string& runtime, const std::vector<std::string>& modules = {}) {
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        unsetenv("PULSE_SERVER");
        pid = fork();
        if (pid == 0) {
            // Ends with the test even when the test crashes; keeps none of its pipes.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            std::vector<std::string> args = {"pulseaudio", "-n", "--daemonize=no",
                                             "--exit-idle-time=-1",
                                             "--load=module-native-protocol-unix"};
            for (const std::string& m : modules)
                args.push_back("--load=" + m);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("pulseaudio", argv.data());
            _exit(127);
        }
        for (const auto end = Clock::now() + 10s; pid > 0 && Clock::now() < end;) {
            if (std::system("pactl info >/dev/null 2>&1") == 0) return;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) pid = -1;
            std::this_thread::sleep_for(50ms);
        }
        Stop();
    }
    void Signal(int signal) { kill(pid, signal); }
};

// The monitor of the server's one sink (SDL's driver needs a sink) as the default source.
const std::vector<std::string> Sink = {"module-null-sink sink_name=spk"};
// A one-channel null source "mic" beside the sink.
const std::vector<std::string> MonoSource = {"module-null-sink sink_name=spk",
                                             "module-null-source source_name=mic channels=1"};

// Against a PulseAudio server of the test's own through SDL's PulseAudio driver; skipped where
// pulseaudio is not installed.
class SdlPulseTest : public SdlCaptureTest {
protected:
    void SetUp() override {
        if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "pulseaudio is not installed";
        SdlCaptureTest::SetUp();
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    }
    // A server with the modules given and its default source; null when it did not start.
    std::unique_ptr<PulseServer> Serve(const std::vector<std::string>& modules,
                                       const std::string& source) {
        auto server = std::make_unique<PulseServer>(runtime.Dir(), modules);
        if (!server->Running() || std::system(("pactl set-default-source " + source).c_str()) != 0)
            return nullptr;
        return server;
    }
    TempDir runtime;
};

// SDL's PulseAudio driver crashes in its start-up against a server without any sink; only the
// probe process dies, and Initialize says there is no device.
TEST_F(SdlPulseTest, PulseServerWithoutSinkFailsCleanly) {
    PulseServer server(runtime.Dir());
    ASSERT_TRUE(server.Running());
    EXPECT_EQ(Initialise(), DSERR_NODRIVER);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

// A default source that SDL describes is a device of its channels, one or two, captured as such.
class PulseSource : public SdlPulseTest, public testing::WithParamInterface<WORD> {};
INSTANTIATE_TEST_SUITE_P(SdlCaptureTest, PulseSource, testing::Values(WORD{1}, WORD{2}));

TEST_P(PulseSource, DescribedByItsServerGivesItsChannels) {
    auto server = Serve(
        {Sink[0], "module-null-source source_name=mic channels=" + std::to_string(GetParam())},
        "mic");
    ASSERT_NE(server, nullptr);
    Start(Rate);
    EXPECT_EQ(format.nChannels, GetParam());
    EXPECT_TRUE(Delivers());
}

// Waits until the buffer says its device is gone, for Lock as for the positions.
void ExpectGone(IDirectSoundCaptureBuffer* buffer) {
    DWORD read = 0;
    for (const auto end = Clock::now() + 5s; Clock::now() < end;) {
        if (buffer->GetCurrentPosition(nullptr, &read) == DSERR_NODRIVER) break;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(buffer->GetCurrentPosition(nullptr, &read), DSERR_NODRIVER);
    void* region = nullptr;
    DWORD bytes = 0;
    EXPECT_EQ(buffer->Lock(0, 4, &region, &bytes, nullptr, nullptr, 0), DSERR_NODRIVER);
}

// The server killed while capturing: the buffer says the device is gone. A new server with
// another default source, of one channel, is started while the old device object is still held:
// a new object opens that source as it is, its driver started afresh. Then the sources are
// unloaded (as a USB microphone unplugged): gone again.
TEST_F(SdlPulseTest, LostDeviceIsNoDriverAndANewObjectFindsANewServer) {
    auto server = Serve(Sink, "spk.monitor");
    ASSERT_NE(server, nullptr);
    Start(Rate);
    ASSERT_TRUE(Delivers());
    server->Signal(SIGKILL);
    ExpectGone(buffer);

    buffer->Release();
    buffer = nullptr;
    IDirectSoundCapture* old = std::exchange(device, nullptr);
    server.reset();
    server = Serve(MonoSource, "mic");
    ASSERT_NE(server, nullptr);
    Start(Rate);
    EXPECT_EQ(format.nChannels, 1);
    EXPECT_TRUE(Delivers());
    old->Release();
    ASSERT_EQ(std::system("pactl unload-module module-null-sink && "
                          "pactl unload-module module-null-source"),
              0);
    ExpectGone(buffer);
}

// A stopped server holds the driver's start-up: meanwhile Initialize answers E_PENDING at once,
// and the answer comes when the server goes on. Stopped again while capturing, it holds SDL's
// audio thread: releasing the buffer and the device object does not wait for it, and a new
// object answers E_PENDING until the old device is closed, once the server goes on.
TEST_F(SdlPulseTest, HungServerHoldsNothingUp) {
    auto server = Serve(Sink, "spk.monitor");
    ASSERT_NE(server, nullptr);
    server->Signal(SIGSTOP);
    ASSERT_EQ(Create(), S_OK);
    for (int i = 0; i < 10; ++i) {
        const auto asked = Clock::now();
        EXPECT_EQ(device->Initialize(nullptr), E_PENDING);
        EXPECT_LT(Clock::now() - asked, NeverBlocks);
        std::this_thread::sleep_for(100ms);
    }
    server->Signal(SIGCONT);
    Start(Rate);
    ASSERT_TRUE(Delivers());

    server->Signal(SIGSTOP);
    std::thread resume([&server] {
        std::this_thread::sleep_for(3s);
        server->Signal(SIGCONT);
    });
    std::this_thread::sleep_for(200ms);
    const auto released = Clock::now();
    std::exchange(buffer, nullptr)->Release();
    std::exchange(device, nullptr)->Release();
    EXPECT_LT(Clock::now() - released, NeverBlocks);
    ASSERT_EQ(Create(), S_OK);
    EXPECT_EQ(device->Initialize(nullptr), E_PENDING);
    EXPECT_EQ(Initialise(), DS_OK);
    resume.join();
}

// Whether this process's probe has ended (a zombie until the next question reaps it): a child
// started as /proc/self/exe.
bool ProbeEnded() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string line;
        std::getline(std::ifstream(entry.path() / "stat"), line);
        if (line.find(" (exe) ") == std::string::npos) continue;
        std::istringstream rest(line.substr(line.find(") ") + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid()) return state == 'Z';
    }
    return false;
}

// A server that stops after the probe found it, before the device is opened: Initialize still
// answers at once, and the device opens when the server goes on.
TEST_F(SdlPulseTest, ServerStoppedAfterTheProbeHoldsNothingUp) {
    auto server = Serve(Sink, "spk.monitor");
    ASSERT_NE(server, nullptr);
    ASSERT_EQ(Create(), S_OK);
    ASSERT_EQ(device->Initialize(nullptr), E_PENDING);
    for (const auto end = Clock::now() + 10s; !ProbeEnded() && Clock::now() < end;)
        std::this_thread::sleep_for(10ms);
    server->Signal(SIGSTOP);
    std::thread resume([&server] {
        std::this_thread::sleep_for(4s);
        server->Signal(SIGCONT);
    });
    for (int i = 0; i < 10; ++i) {
        const auto asked = Clock::now();
        EXPECT_EQ(device->Initialize(nullptr), E_PENDING);
        EXPECT_LT(Clock::now() - asked, NeverBlocks);
        std::this_thread::sleep_for(100ms);
    }
    resume.join();
    HRESULT answer = E_PENDING;
    for (const auto end = Clock::now() + 10s; answer == E_PENDING && Clock::now() < end;) {
        std::this_thread::sleep_for(10ms);
        answer = device->Initialize(nullptr);
    }
    EXPECT_EQ(answer, DS_OK);
}

// A trial child (of a start-up that may hang) ends with the program, even one killed outright.
int trialPipe[2];

TEST(SdlProbe, AHungTrialEndsWithItsProgram) {
    // The orphaned trial comes to this process, which can then reap it.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    ASSERT_EQ(pipe(trialPipe), 0);
    const pid_t program = fork();
    if (program == 0) {
        SucceedsInChild(
            [] {
                const pid_t trial = getpid();
                if (write(trialPipe[1], &trial, sizeof trial) > 0) pause(); // hangs, as drivers may
                return true;
            },
            60000);
        _exit(0);
    }
    pid_t trial = 0;
    ASSERT_EQ(read(trialPipe[0], &trial, sizeof trial), ssize_t(sizeof trial));
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    pid_t ended = 0;
    int status = 0;
    for (const auto end = Clock::now() + 5s; ended == 0 && Clock::now() < end;) {
        std::this_thread::sleep_for(10ms);
        ended = waitpid(trial, &status, WNOHANG);
    }
    EXPECT_EQ(ended, trial);
    if (ended == 0) kill(trial, SIGKILL), waitpid(trial, &status, 0);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    close(trialPipe[0]);
    close(trialPipe[1]);
}

// Without a sound server SDL falls back to ALSA, whose library prints its own errors: none of
// them reach stderr.
TEST_F(SdlCaptureTest, NoSoundServerPrintsNothing) {
    TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Dir().c_str(), 1);
    unsetenv("PULSE_SERVER");
    unsetenv("SDL_AUDIODRIVER");
    std::fflush(stderr);
    const int saved = dup(2), file = open(runtime.File("said").c_str(), O_CREAT | O_WRONLY, 0600);
    dup2(file, 2);
    Initialise();
    dup2(saved, 2);
    close(saved);
    close(file);
    EXPECT_EQ(std::ifstream(runtime.File("said")).peek(), EOF);
}

// Zero crossings per second of one channel's samples.
double Crossings(const std::vector<uint8_t>& bytes, int channel, int channels) {
    int crossings = 0, previous = 0;
    const size_t frame = size_t(channels) * 2, frames = bytes.size() / frame;
    for (size_t i = 0; i < frames; ++i) {
        const size_t at = i * frame + size_t(channel) * 2;
        const int v = int16_t(bytes[at] | bytes[at + 1] << 8);
        crossings += (previous < 0) != (v < 0) && i > 0;
        previous = v;
    }
    return crossings * double(Rate) / double(frames);
}

// Run by tests/realstack/pulse_tone.sh, which starts a server whose default source is the
// monitor of a null sink that a 440 Hz tone plays into, and names the server's process.
TEST_F(SdlCaptureTest, RealPulseToneArrivesAndAVanishedServerIsNoDriver) {
    const char* server = getenv("KAVREL_PULSE_PID");
    if (server == nullptr) GTEST_SKIP() << "run by tests/realstack/pulse_tone.sh";
    Start(10 * Rate);
    // The first data can come a second or two late and in bursts: wait for a loud second.
    std::vector<uint8_t> got;
    const size_t second = Rate * format.nBlockAlign;
    for (const auto end = Clock::now() + 15s; Clock::now() < end;) {
        Read(got);
        if (got.size() >= second) {
            const std::vector<uint8_t> last(got.end() - long(second), got.end());
            if (std::abs(Crossings(last, 0, format.nChannels) - 880) < 20) break;
        }
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_GE(got.size(), second);
    const std::vector<uint8_t> last(got.end() - long(second), got.end());
    EXPECT_NEAR(Crossings(last, 0, format.nChannels), 880, 20);
    int peak = 0;
    for (size_t i = 0; i + 1 < last.size(); i += 2)
        peak = std::max(peak, std::abs(int(int16_t(last[i] | last[i + 1] << 8))));
    EXPECT_GT(peak, 8000);

    // The server goes away: SDL reports the device removed, and the buffer says so.
    ASSERT_EQ(kill(pid_t(std::atoi(server)), SIGKILL), 0);
    std::this_thread::sleep_for(1500ms);
    DWORD read = 0;
    EXPECT_EQ(buffer->GetCurrentPosition(nullptr, &read), DSERR_NODRIVER);
}

} // namespace

// Sound capture through COM on the virtual backend: the device object's and the buffer's
// argument checks, the ring's positions and two-region Lock, and every kind of scripted device.
#include "TempDir.h"
#include "VirtualCapture.h"
#include "VirtualDesktop.h"
#include "platform/capture/CaptureObjects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr DWORD Rate = 11025;

WAVEFORMATEX Pcm16(WORD channels, DWORD rate = Rate) {
    const WORD align = WORD(channels * 2);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
}

// Frames that have sounded by a virtual time.
DWORD FramesBy(uint64_t milliseconds, DWORD rate = Rate) {
    return DWORD(milliseconds * rate / 1000);
}

// Lets virtual time pass.
void Advance(uint32_t milliseconds) {
    VirtualIdle(milliseconds);
}

VirtualTone Tone(double frequency, double amplitude) {
    return {frequency, amplitude};
}

class CaptureTest : public testing::Test {
protected:
    void SetUp() override {
        CleanDesktop();
        CoInitialize(nullptr);
    }
    void TearDown() override {
        if (buffer != nullptr) buffer->Release();
        if (device != nullptr) device->Release();
        CoUninitialize();
    }

    // The device object as the program makes it: created, initialised for the default device.
    HRESULT Open(const VirtualCaptureSource& source) {
        VirtualSetCaptureSource(source);
        void* object = nullptr;
        const HRESULT result = CoCreateInstance(CLSID_DirectSoundCapture, nullptr, CLSCTX_ALL,
                                                IID_IDirectSoundCapture, &object);
        device = static_cast<IDirectSoundCapture*>(object);
        if (device != nullptr) {
            EXPECT_EQ(device->Initialize(nullptr), DS_OK);
        }
        return result;
    }

    HRESULT Create(WAVEFORMATEX f, DWORD bytes, DWORD descSize = sizeof(DSCBUFFERDESC1)) {
        format = f;
        DSCBUFFERDESC desc{descSize, DSCBCAPS_WAVEMAPPED, bytes, 0, &format, 0, nullptr};
        return device->CreateCaptureBuffer(&desc, &buffer, nullptr);
    }

    // A started buffer of the given frames over the source.
    void Capture(const VirtualCaptureSource& source, DWORD frames, WORD channels = 2) {
        ASSERT_EQ(Open(source), S_OK);
        ASSERT_EQ(Create(Pcm16(channels), frames * channels * 2u), DS_OK);
        ASSERT_EQ(buffer->GetFormat(&format, sizeof format, nullptr), DS_OK);
        ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    }

    DWORD ReadPosition() {
        DWORD read = 0xDEAD;
        EXPECT_EQ(buffer->GetCurrentPosition(nullptr, &read), DS_OK);
        return read;
    }

    // The samples from an offset up to the read position, in ring order across the wrap (the
    // whole ring with DSCBLOCK_ENTIREBUFFER).
    std::vector<int16_t> Take(DWORD from, DWORD to, DWORD size, DWORD flags = 0) {
        const DWORD bytes = to >= from ? to - from : size - from + to;
        void *p1 = nullptr, *p2 = nullptr;
        DWORD b1 = 0, b2 = 0;
        std::vector<int16_t> out;
        if (buffer->Lock(from, bytes, &p1, &b1, &p2, &b2, flags) != DS_OK) return out;
        out.resize((b1 + b2) / 2);
        std::memcpy(out.data(), p1, b1);
        if (p2 != nullptr) std::memcpy(reinterpret_cast<uint8_t*>(out.data()) + b1, p2, b2);
        EXPECT_EQ(buffer->Unlock(p1, b1, p2, b2), DS_OK);
        return out;
    }

    IDirectSoundCapture* device = nullptr;
    IDirectSoundCaptureBuffer* buffer = nullptr;
    WAVEFORMATEX format{};
};

// Samples of one channel of interleaved frames.
std::vector<int16_t> Channel(const std::vector<int16_t>& frames, int channel, int channels) {
    std::vector<int16_t> out;
    for (size_t i = size_t(channel); i < frames.size(); i += size_t(channels))
        out.push_back(frames[i]);
    return out;
}

std::vector<int16_t> Expected(const VirtualCaptureChannel& c, uint64_t from, uint64_t to,
                              DWORD rate = Rate) {
    std::vector<int16_t> out;
    for (uint64_t n = from; n < to; ++n)
        out.push_back(VirtualCaptureSample(c, n, rate));
    return out;
}

// The control window's tick, as the program does it: every 50 ms the captured bytes since the
// last tick are locked in one or two regions and each channel's samples kept. Run for 60
// virtual seconds over a ring of a little more than seven seconds, so that reads straddle its
// end.
TEST_F(CaptureTest, TimerReadsEverySampleOnceInOrderOnItsChannelAcrossWraps) {
    VirtualCaptureSource source;
    source.channel[0].tones = {Tone(440, 0.5)};
    source.channel[1].tones = {Tone(880, 0.25)};
    const DWORD frames = 7 * Rate + 3, size = frames * 4;
    Capture(source, frames);
    std::vector<int16_t> left, right;
    DWORD readOffset = 0;
    int wraps = 0, ticks = 0;

    TForm window(nullptr, bsSingle);
    TTimer timer(&window);
    timer.SetInterval(50);
    timer.OnTimer = [&](void*) {
        ++ticks;
        const DWORD readPos = ReadPosition();
        const DWORD len =
            readOffset <= readPos ? readPos - readOffset : size - readOffset + readPos;
        void *p1 = nullptr, *p2 = nullptr;
        DWORD b1 = 0, b2 = 0;
        ASSERT_EQ(buffer->Lock(readOffset, len, &p1, &b1, &p2, &b2, 0), DS_OK);
        for (auto [p, b] : {std::pair{p1, b1}, std::pair{p2, b2}}) {
            const auto* s = static_cast<const uint8_t*>(p);
            for (DWORD i = 0; p != nullptr && i + 4 <= b; i += 4) {
                left.push_back(int16_t(s[i] | s[i + 1] << 8));
                right.push_back(int16_t(s[i + 2] | s[i + 3] << 8));
            }
        }
        wraps += b2 > 0;
        buffer->Unlock(p1, b1, p2, b2);
        readOffset = readPos;
        if (VirtualNow() >= 60000) {
            timer.SetEnabled(false);
            PostQuitMessage(0);
        }
    };
    MSG m{};
    for (int i = 0; i < 10000 && GetMessageA(&m, nullptr, 0, 0) > 0; ++i)
        DispatchMessageA(&m);

    EXPECT_EQ(VirtualNow(), 60000u);
    EXPECT_GE(ticks, 1200);
    EXPECT_GE(wraps, 5);
    ASSERT_EQ(left.size(), 60 * Rate);
    ASSERT_EQ(right.size(), 60 * Rate);
    EXPECT_EQ(left, Expected(source.channel[0], 0, 60 * Rate));
    EXPECT_EQ(right, Expected(source.channel[1], 0, 60 * Rate));
}

// The source's own formula is the tone itself: a sine of the frequency at the rate.
TEST(VirtualCaptureSource, TonesNoiseAndSamplesSum) {
    VirtualCaptureChannel c;
    c.tones = {Tone(440, 0.5), Tone(1000, 0.25)};
    for (uint64_t n : {0u, 1u, 25u, 11025u, 661499u}) {
        const double t = double(n) / Rate;
        const double want = 0.5 * 32767 * std::sin(2 * std::numbers::pi * 440 * t) +
                            0.25 * 32767 * std::sin(2 * std::numbers::pi * 1000 * t);
        EXPECT_NEAR(VirtualCaptureSample(c, n, Rate), want, 0.51) << n;
    }
    EXPECT_EQ(VirtualCaptureSample(VirtualCaptureChannel{}, 123, Rate), 0);

    VirtualCaptureChannel clipped;
    clipped.tones = {Tone(100, 3.0)};
    clipped.samples = {1000, -5};
    EXPECT_EQ(VirtualCaptureSample(clipped, 1, Rate),
              int16_t(std::round(3 * 32767 * std::sin(2 * std::numbers::pi * 100 / Rate)) - 5));
    EXPECT_EQ(VirtualCaptureSample(clipped, 25, Rate), 32767);
    EXPECT_EQ(VirtualCaptureSample(clipped, 80, Rate), -32768);
    // A source that is not a number gives silence, never a converted NaN or infinity.
    clipped.tones = {Tone(NAN, 1.0)};
    EXPECT_EQ(VirtualCaptureSample(clipped, 3, Rate), 0);
    clipped.tones = {Tone(100, INFINITY)};
    EXPECT_EQ(VirtualCaptureSample(clipped, 3, Rate), 0);

    VirtualCaptureChannel noise, other;
    noise.noise = 0.1;
    noise.noiseSeed = 7;
    other = noise;
    other.noiseSeed = 8;
    double sum = 0;
    int same = 0, maxAbs = 0;
    for (uint64_t n = 0; n < 20000; ++n) {
        const int v = VirtualCaptureSample(noise, n, Rate);
        EXPECT_EQ(v, VirtualCaptureSample(noise, n, Rate));
        same += v == VirtualCaptureSample(other, n, Rate);
        maxAbs = std::max(maxAbs, std::abs(v));
        sum += v;
    }
    EXPECT_LE(maxAbs, 3277);
    EXPECT_GE(maxAbs, 3200);
    EXPECT_LT(same, 100);
    EXPECT_LT(std::abs(sum / 20000), 60);
}

TEST_F(CaptureTest, DeviceObjectChecksItsArguments) {
    ASSERT_EQ(Open(VirtualCaptureSource{}), S_OK);
    EXPECT_EQ(device->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    DSCCAPS caps{};
    EXPECT_EQ(device->GetCaps(&caps), DSERR_INVALIDPARAM);
    EXPECT_EQ(device->GetCaps(nullptr), DSERR_INVALIDPARAM);
    caps.dwSize = sizeof caps;
    ASSERT_EQ(device->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwChannels, 2u);
    EXPECT_TRUE(caps.dwFormats & WAVE_FORMAT_1S16);

    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSoundCapture, nullptr, CLSCTX_ALL,
                               IID_IDirectSoundCapture, &object),
              S_OK);
    auto* fresh = static_cast<IDirectSoundCapture*>(object);
    EXPECT_EQ(fresh->GetCaps(&caps), DSERR_UNINITIALIZED);
    WAVEFORMATEX f = Pcm16(2);
    DSCBUFFERDESC desc{sizeof(DSCBUFFERDESC1), 0, 4000, 0, &f, 0, nullptr};
    EXPECT_EQ(fresh->CreateCaptureBuffer(&desc, &buffer, nullptr), DSERR_UNINITIALIZED);
    const GUID other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(fresh->Initialize(&other), DSERR_NODRIVER);
    fresh->Release();

    const auto bad = [&](WAVEFORMATEX w, DWORD bytes, HRESULT want,
                         DWORD size = sizeof(DSCBUFFERDESC1)) {
        buffer = reinterpret_cast<IDirectSoundCaptureBuffer*>(&w);
        EXPECT_EQ(Create(w, bytes, size), want) << w.nChannels << " " << bytes << " " << size;
        EXPECT_EQ(buffer, nullptr);
    };
    bad(Pcm16(3), 6000, DSERR_BADFORMAT);
    const std::vector<void (*)(WAVEFORMATEX&)> badFields = {
        [](WAVEFORMATEX& f) { f.wBitsPerSample = 8; },
        [](WAVEFORMATEX& f) { f.wFormatTag = 3; },
        [](WAVEFORMATEX& f) { f.nBlockAlign = 2; },
        [](WAVEFORMATEX& f) { f.nAvgBytesPerSec = 1; },
    };
    for (const auto& change : badFields) {
        WAVEFORMATEX w = Pcm16(2);
        change(w);
        bad(w, 4000, DSERR_BADFORMAT);
    }
    bad(Pcm16(2, 0), 4000, DSERR_BADFORMAT);
    bad(Pcm16(2), 0, DSERR_INVALIDPARAM);
    bad(Pcm16(2), 4002, DSERR_INVALIDPARAM);
    bad(Pcm16(2), CaptureDevice::MaxBufferBytes + 1, DSERR_INVALIDPARAM);
    bad(Pcm16(2), 4000, DSERR_INVALIDPARAM, sizeof(DSCBUFFERDESC1) + 4);
    EXPECT_EQ(device->CreateCaptureBuffer(nullptr, &buffer, nullptr), DSERR_INVALIDPARAM);
    desc.lpwfxFormat = nullptr;
    EXPECT_EQ(device->CreateCaptureBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM);
    desc.lpwfxFormat = &f;
    EXPECT_EQ(device->CreateCaptureBuffer(&desc, nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(device->CreateCaptureBuffer(&desc, &buffer, &desc), DSERR_NOAGGREGATION);
    desc.dwFlags = 0x200;
    EXPECT_EQ(device->CreateCaptureBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM);

    EXPECT_EQ(Create(Pcm16(2), 4000, sizeof(DSCBUFFERDESC)), DS_OK);
    ASSERT_NE(buffer, nullptr);
}

TEST_F(CaptureTest, BufferChecksItsArguments) {
    Capture(VirtualCaptureSource{}, Rate);
    const DWORD size = Rate * 4;
    void *p1 = nullptr, *p2 = nullptr;
    DWORD b1 = 0, b2 = 0;
    EXPECT_EQ(buffer->Lock(size, 4, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, size + 4, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 4, nullptr, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 4, &p1, nullptr, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &b1, &p2, &b2, 2), DSERR_INVALIDPARAM);

    ASSERT_EQ(buffer->Lock(size - 8, 20, &p1, &b1, &p2, &b2, 0), DS_OK);
    EXPECT_EQ(b1, 8u);
    EXPECT_EQ(b2, 12u);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), ptrdiff_t(size - 8));
    EXPECT_EQ(buffer->Unlock(p1, b1, p2, b2), DS_OK);
    EXPECT_EQ(buffer->Unlock(p1, b1 + 1, p2, b2), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(p1, b1, p2, size + 1), DSERR_INVALIDPARAM);
    int16_t foreign[4];
    EXPECT_EQ(buffer->Unlock(foreign, 8, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(nullptr, 0, nullptr, 0), DSERR_INVALIDPARAM);

    ASSERT_EQ(buffer->Lock(size - 8, 20, &p1, &b1, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(b1, 8u);
    ASSERT_EQ(buffer->Lock(100, 8, &p1, &b1, &p2, &b2, 0), DS_OK);
    EXPECT_EQ(b1, 8u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(b2, 0u);
    ASSERT_EQ(buffer->Lock(100, 0, &p1, &b1, &p2, &b2, DSCBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(b1 + b2, size);

    EXPECT_EQ(buffer->GetCurrentPosition(nullptr, nullptr), DSERR_INVALIDPARAM);
    DWORD written = 0, status = 0;
    EXPECT_EQ(buffer->GetFormat(nullptr, 0, &written), DS_OK);
    EXPECT_EQ(written, 18u);
    EXPECT_EQ(buffer->GetFormat(nullptr, 0, nullptr), DSERR_INVALIDPARAM);
    WAVEFORMATEX f{};
    EXPECT_EQ(buffer->GetFormat(&f, 4, &written), DS_OK);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nSamplesPerSec, 0u);
    EXPECT_EQ(buffer->GetStatus(nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSCBSTATUS_CAPTURING | DSCBSTATUS_LOOPING);
    EXPECT_EQ(buffer->Start(0), DSERR_UNSUPPORTED);
    EXPECT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
}

TEST_F(CaptureTest, PositionsFollowTheClockOnlyWhileStarted) {
    VirtualCaptureSource source;
    source.channel[0].tones = {Tone(300, 0.3)};
    ASSERT_EQ(Open(source), S_OK);
    ASSERT_EQ(Create(Pcm16(2), 4 * Rate * 4), DS_OK);
    Advance(1000);
    EXPECT_EQ(ReadPosition(), 0u);
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    EXPECT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    Advance(500);
    const DWORD first = (FramesBy(1500) - FramesBy(1000)) * 4;
    EXPECT_EQ(ReadPosition(), first);
    DWORD capture = 0;
    ASSERT_EQ(buffer->GetCurrentPosition(&capture, nullptr), DS_OK);
    EXPECT_EQ(capture, first);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    Advance(700);
    EXPECT_EQ(ReadPosition(), first);
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    Advance(300);
    // The frames of 1000-1500 ms, then those of 2200-2500 ms: the stopped time is lost.
    const DWORD end = ReadPosition();
    EXPECT_EQ(end, first + (FramesBy(2500) - FramesBy(2200)) * 4);
    std::vector<int16_t> want = Expected(source.channel[0], FramesBy(1000), FramesBy(1500));
    const std::vector<int16_t> after = Expected(source.channel[0], FramesBy(2200), FramesBy(2500));
    want.insert(want.end(), after.begin(), after.end());
    EXPECT_EQ(Channel(Take(0, end, 4 * Rate * 4), 0, 2), want);
}

// Behind a reader that comes late, the ring holds the last seconds the source gave.
TEST_F(CaptureTest, ReaderLaterThanTheRingFindsItsLastSeconds) {
    VirtualCaptureSource source;
    source.channel[1].tones = {Tone(123, 0.7)};
    Capture(source, 2 * Rate);
    Advance(30250);
    const DWORD size = 2 * Rate * 4, end = ReadPosition();
    EXPECT_EQ(end, FramesBy(30250) * 4 % size);
    EXPECT_EQ(Channel(Take(end, end, size, DSCBLOCK_ENTIREBUFFER), 1, 2),
              Expected(source.channel[1], FramesBy(30250) - 2 * Rate, FramesBy(30250)));
}

TEST_F(CaptureTest, MissingDeviceIsNotCreated) {
    VirtualCaptureSource source;
    source.present = false;
    void* object = &object;
    VirtualSetCaptureSource(source);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectSoundCapture, nullptr, CLSCTX_ALL,
                               IID_IDirectSoundCapture, &object),
              DSERR_NODRIVER);
    EXPECT_EQ(object, nullptr);
    // The desktop's reset brings the default device back.
    VirtualReset();
    EXPECT_EQ(CoCreateInstance(CLSID_DirectSoundCapture, nullptr, CLSCTX_ALL,
                               IID_IDirectSoundCapture, &object),
              S_OK);
    device = static_cast<IDirectSoundCapture*>(object);
}

TEST_F(CaptureTest, DeviceGrantsItsOwnRate) {
    VirtualCaptureSource source;
    source.grantedRate = 22050;
    source.channel[0].tones = {Tone(440, 0.5)};
    Capture(source, 10 * Rate);
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.nAvgBytesPerSec, 22050u * 4);
    EXPECT_EQ(format.nChannels, 2);
    Advance(1000);
    EXPECT_EQ(ReadPosition(), 22050u * 4);
    EXPECT_EQ(Channel(Take(0, 22050 * 4, 10 * Rate * 4), 0, 2),
              Expected(source.channel[0], 0, 22050, 22050));
}

TEST_F(CaptureTest, OneChannelDeviceDeliversItsFirstChannel) {
    VirtualCaptureSource source;
    source.channels = 1;
    source.channel[0].tones = {Tone(700, 0.4)};
    source.channel[1].tones = {Tone(100, 0.4)};
    ASSERT_EQ(Open(source), S_OK);
    DSCCAPS caps{sizeof caps, 0, 0, 0};
    ASSERT_EQ(device->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwChannels, 1u);
    EXPECT_FALSE(caps.dwFormats & WAVE_FORMAT_1S16);
    EXPECT_EQ(Create(Pcm16(2), 4 * Rate * 4), DSERR_BADFORMAT);
    ASSERT_EQ(Create(Pcm16(1), 4 * Rate * 2), DS_OK);
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    Advance(200);
    EXPECT_EQ(Take(0, ReadPosition(), 4 * Rate * 2), Expected(source.channel[0], 0, FramesBy(200)));
}

TEST_F(CaptureTest, ScriptedLocksFailAndLaterOnesSucceed) {
    VirtualCaptureSource source;
    source.failLockFirst = 2;
    source.failLockCount = 2;
    Capture(source, Rate);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD b1 = 0, b2 = 0;
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &b1, &p2, &b2, 0), DS_OK);
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &b1, &p2, &b2, 0), DS_OK);
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &b1, &p2, &b2, 0), DS_OK);
}

TEST_F(CaptureTest, DeviceStopsDeliveringPartWayAndResumes) {
    VirtualCaptureSource source;
    source.channel[0].tones = {Tone(500, 0.5)};
    source.stopAt = 1000;
    source.resumeAt = 1600;
    Capture(source, 10 * Rate);
    Advance(1300);
    const DWORD stopped = FramesBy(1000) * 4;
    EXPECT_EQ(ReadPosition(), stopped);
    Advance(200);
    EXPECT_EQ(ReadPosition(), stopped);
    Advance(500);
    const DWORD end = ReadPosition();
    EXPECT_EQ(end, stopped + (FramesBy(2000) - FramesBy(1600)) * 4);
    std::vector<int16_t> want = Expected(source.channel[0], 0, FramesBy(1000));
    const std::vector<int16_t> after = Expected(source.channel[0], FramesBy(1600), FramesBy(2000));
    want.insert(want.end(), after.begin(), after.end());
    EXPECT_EQ(Channel(Take(0, end, 10 * Rate * 4), 0, 2), want);

    // A device that never comes back: the positions stand still for good.
    buffer->Release();
    buffer = nullptr;
    device->Release();
    device = nullptr;
    source.resumeAt = UINT64_MAX;
    CleanDesktop();
    Capture(source, 10 * Rate);
    Advance(5000);
    const DWORD last = ReadPosition();
    EXPECT_EQ(last, FramesBy(1000) * 4);
    Advance(60000);
    EXPECT_EQ(ReadPosition(), last);
}

// Releasing the device object first leaves the buffer working, and a running buffer can be
// released without stopping it.
TEST_F(CaptureTest, ReleaseInAnyOrderWhileCapturing) {
    Capture(VirtualCaptureSource{}, Rate);
    device->Release();
    device = nullptr;
    Advance(100);
    EXPECT_EQ(ReadPosition(), FramesBy(100) * 4);
    EXPECT_EQ(buffer->Release(), 0u);
    buffer = nullptr;
}

TEST(CaptureRingTest, KeepsTheLastBytesOfALongWrite) {
    CaptureRing ring(8);
    const uint8_t bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ring.Write(bytes, 3);
    EXPECT_EQ(ring.Position(), 3u);
    ring.Write(bytes, 12);
    EXPECT_EQ(ring.Position(), 7u);
    EXPECT_EQ(std::vector<uint8_t>(ring.Data(), ring.Data() + 8),
              (std::vector<uint8_t>{6, 7, 8, 9, 10, 11, 12, 5}));
    ring.Skip(3);
    EXPECT_EQ(ring.Position(), 2u);
}

// A WAV file of little-endian fields: the RIFF header, then the chunks as given.
std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s += char(v >> (8 * i) & 0xFF);
    return s;
}
// Odd bodies are padded to an even size.
std::string Chunk(const std::string& id, const std::string& body, uint32_t size = UINT32_MAX) {
    return id + Le(size == UINT32_MAX ? uint32_t(body.size()) : size, 4) + body +
           (body.size() % 2 != 0 ? std::string(1, '\0') : "");
}
std::string Fmt(WORD channels, DWORD rate = Rate, WORD bits = 16, WORD tag = 1) {
    const WORD align = WORD(channels * bits / 8);
    return Chunk("fmt ", Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) +
                             Le(align, 2) + Le(bits, 2));
}
std::string Riff(const std::string& chunks) {
    return "RIFF" + Le(uint32_t(chunks.size() + 4), 4) + "WAVE" + chunks;
}
std::string Samples(const std::vector<int16_t>& s) {
    std::string out;
    for (int16_t v : s)
        out += Le(uint16_t(v), 2);
    return out;
}

TEST_F(CaptureTest, WaveFileSamplesPlayOnTheirChannels) {
    TempDir dir;
    const std::vector<int16_t> stereo = {1, -1, 2, -2, 300, -300, 32767, -32768, 5, 6};
    const std::string path = dir.Write(
        "stereo.wav", Riff(Chunk("LIST", "abc") + Fmt(2) + Chunk("data", Samples(stereo))));
    VirtualCaptureSource source;
    ASSERT_TRUE(VirtualCaptureLoadWave(path.c_str(), Rate, source));
    EXPECT_EQ(source.channel[0].samples, (std::vector<int16_t>{1, 2, 300, 32767, 5}));
    EXPECT_EQ(source.channel[1].samples, (std::vector<int16_t>{-1, -2, -300, -32768, 6}));
    Capture(source, Rate);
    Advance(10);
    std::vector<int16_t> want = stereo;
    want.resize(FramesBy(10) * 2, 0);
    EXPECT_EQ(Take(0, ReadPosition(), Rate * 4), want);

    const std::string mono =
        dir.Write("mono.wav", Riff(Fmt(1) + Chunk("data", Samples({7, 8, 9}) + "x")));
    VirtualCaptureSource m;
    ASSERT_TRUE(VirtualCaptureLoadWave(mono.c_str(), Rate, m));
    EXPECT_EQ(m.channel[0].samples, (std::vector<int16_t>{7, 8, 9}));
    EXPECT_EQ(m.channel[1].samples, m.channel[0].samples);

    // A data chunk that claims more than the file has gives the whole frames there are.
    const std::string cut =
        dir.Write("cut.wav", Riff(Fmt(2) + Chunk("data", Samples({1, 2, 3, 4, 5}), 4000)));
    ASSERT_TRUE(VirtualCaptureLoadWave(cut.c_str(), Rate, m));
    EXPECT_EQ(m.channel[1].samples, (std::vector<int16_t>{2, 4}));
}

TEST(VirtualCaptureWave, RefusesOtherFilesAndKeepsTheSource) {
    TempDir dir;
    const std::string data = Chunk("data", Samples({1, 2}));
    const std::vector<std::string> files = {
        "",
        "RIFF",
        Riff(""),
        Riff(Fmt(2, 22050) + data),
        Riff(Fmt(2, Rate, 8) + data),
        Riff(Fmt(2, Rate, 16, 3) + data),
        Riff(Fmt(3) + data),
        Riff(data + Fmt(2)),
        Riff(Fmt(2)),
        Riff(Chunk("fmt ", "ab") + data),
        Riff(Chunk("LIST", "", 0xFFFFFFF0u) + Fmt(2) + data),
        "RIFX" + Riff(Fmt(2) + data).substr(4),
        Riff(Fmt(2) + data).replace(8, 4, "AVI "),
    };
    VirtualCaptureSource source;
    source.channel[0].samples = {42};
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = dir.Write("bad" + std::to_string(i) + ".wav", files[i]);
        EXPECT_FALSE(VirtualCaptureLoadWave(path.c_str(), Rate, source)) << i;
        EXPECT_EQ(source.channel[0].samples, std::vector<int16_t>{42}) << i;
    }
    EXPECT_FALSE(VirtualCaptureLoadWave(dir.File("missing.wav").c_str(), Rate, source));
    EXPECT_FALSE(VirtualCaptureLoadWave(nullptr, Rate, source));
}

} // namespace

#include "VirtualCapture.h"
#include "VirtualForms.h"
#include "platform/capture/CaptureObjects.h"
#include "platform/com/ComClasses.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>

namespace {

using Source = std::shared_ptr<const VirtualCaptureSource>;

Source& Scripted() {
    static Source source = std::make_shared<VirtualCaptureSource>();
    return source;
}

// Frames of a rate that have sounded by a virtual time.
uint64_t FramesBy(uint64_t milliseconds, DWORD rate) {
    return milliseconds > UINT64_MAX / rate ? UINT64_MAX : milliseconds * rate / 1000;
}

// Uniform in [-1, 1), the same for the same seed and frame.
double Noise(uint64_t seed, uint64_t frame) {
    uint64_t z = seed + frame * 0x9E3779B97F4A7C15u + 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return double(z >> 11) * 0x1p-52 - 1.0;
}

class VirtualCaptureBuffer : public CaptureBuffer {
public:
    VirtualCaptureBuffer(IDirectSoundCapture* device, const WAVEFORMATEX& f, DWORD bytes,
                         Source script)
        : CaptureBuffer(device, f, bytes), source(std::move(script)), made(VirtualNow()),
          gapFirst(FramesBy(source->stopAt, f.nSamplesPerSec)),
          gapEnd(std::max(gapFirst, FramesBy(source->resumeAt, f.nSamplesPerSec))) {}

    HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                 DWORD* bytes2, DWORD flags) override {
        ++locks;
        const unsigned first = std::max(source->failLockFirst, 1u);
        if (locks >= first && locks - first < source->failLockCount) return DSERR_INVALIDCALL;
        return CaptureBuffer::Lock(offset, bytes, region1, bytes1, region2, bytes2, flags);
    }

private:
    // Frames of the time the buffer was stopped never come.
    void StartSource() override { next = std::max(next, Now()); }
    void StopSource() override {}

    void CatchUp() override {
        if (!capturing) return;
        const uint64_t target = Now();
        while (next < target) {
            if (next >= gapFirst && next < gapEnd) {
                next = std::min(target, gapEnd);
                continue;
            }
            const uint64_t end = next < gapFirst ? std::min(target, gapFirst) : target;
            Deliver(next, end);
            next = end;
        }
    }

    uint64_t Now() const { return FramesBy(VirtualNow(), format.nSamplesPerSec); }

    bool SourceLost() const override {
        return made < source->lostAt && VirtualNow() >= source->lostAt;
    }

    // Frames [from, to) into the ring; of more than it holds only the last ones are computed.
    void Deliver(uint64_t from, uint64_t to) {
        const uint64_t ringFrames = ring.Size() / format.nBlockAlign;
        if (to - from > ringFrames) {
            ring.Skip((to - from - ringFrames) * format.nBlockAlign);
            from = to - ringFrames;
        }
        uint8_t chunk[4096];
        const uint64_t perChunk = sizeof chunk / format.nBlockAlign;
        while (from < to) {
            const uint64_t n = std::min(perChunk, to - from);
            uint8_t* out = chunk;
            for (uint64_t frame = from; frame < from + n; ++frame)
                for (WORD c = 0; c < format.nChannels; ++c) {
                    const auto v = uint16_t(
                        VirtualCaptureSample(source->channel[c], frame, format.nSamplesPerSec));
                    *out++ = uint8_t(v);
                    *out++ = uint8_t(v >> 8);
                }
            ring.Write(chunk, n * format.nBlockAlign);
            from += n;
        }
    }

    Source source;
    uint64_t made, next = 0, gapFirst, gapEnd;
    unsigned locks = 0;
};

class VirtualCaptureDevice : public CaptureDevice {
public:
    explicit VirtualCaptureDevice(Source script) : source(std::move(script)) {}

private:
    bool DefaultKnown() override { return VirtualNow() >= source->answerAt; }
    WORD OpenDefault() override {
        const uint64_t now = VirtualNow();
        if (now >= source->lostAt && now < source->backAt) return 0;
        return std::clamp<WORD>(source->channels, 1, 2);
    }

    CaptureBuffer* MakeBuffer(const WAVEFORMATEX& asked, DWORD bytes, HRESULT*) override {
        WAVEFORMATEX granted = asked;
        if (source->grantedRate != 0) {
            granted.nSamplesPerSec = source->grantedRate;
            granted.nAvgBytesPerSec = source->grantedRate * granted.nBlockAlign;
        }
        return new (std::nothrow) VirtualCaptureBuffer(this, granted, bytes, source);
    }

    Source source;
};

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The whole file, up to a bound; false when it cannot be read.
bool ReadFile(const char* path, std::vector<uint8_t>& bytes) {
    constexpr long bound = 256L << 20;
    FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) return false;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    const bool ok = size >= 0 && size <= bound && std::fseek(file, 0, SEEK_SET) == 0 &&
                    (bytes.resize(size_t(size)),
                     std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size());
    std::fclose(file);
    return ok;
}

} // namespace

void VirtualSetCaptureSource(const VirtualCaptureSource& source) {
    Scripted() = std::make_shared<VirtualCaptureSource>(source);
}

void VirtualCaptureReset() {
    VirtualSetCaptureSource(VirtualCaptureSource{});
}

int16_t VirtualCaptureSample(const VirtualCaptureChannel& channel, uint64_t frame, DWORD rate) {
    double v = 0;
    for (const VirtualTone& t : channel.tones) {
        const double cycle = std::fmod(t.frequency * double(frame), double(rate)) / double(rate);
        v += t.amplitude * 32767.0 * std::sin(2 * std::numbers::pi * cycle + t.phase);
    }
    if (channel.noise != 0) v += channel.noise * 32767.0 * Noise(channel.noiseSeed, frame);
    if (frame < channel.samples.size()) v += channel.samples[size_t(frame)];
    if (!std::isfinite(v)) return 0;
    return int16_t(std::round(std::clamp(v, -32768.0, 32767.0)));
}

// Chunks after the RIFF header: "fmt " before "data"; each chunk's size is checked against the
// file, odd sizes padded. A data chunk that runs past the file gives the whole frames it has.
bool VirtualCaptureLoadWave(const char* path, DWORD rate, VirtualCaptureSource& source) {
    std::vector<uint8_t> file;
    if (!ReadFile(path, file) || file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return false;
    WORD channels = 0;
    for (size_t at = 12; at + 8 <= file.size();) {
        const uint8_t* chunk = file.data() + at;
        const size_t size = std::min<size_t>(Le32(chunk + 4), file.size() - at - 8);
        const uint8_t* body = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || Le16(body) != WAVE_FORMAT_PCM || Le32(body + 4) != rate ||
                Le16(body + 14) != 16 || (Le16(body + 2) != 1 && Le16(body + 2) != 2) ||
                Le16(body + 12) != Le16(body + 2) * 2)
                return false;
            channels = Le16(body + 2);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (channels == 0) return false;
            const size_t frames = size / (channels * 2u);
            for (int c = 0; c < 2; ++c) {
                std::vector<int16_t>& out = source.channel[c].samples;
                out.resize(frames);
                for (size_t n = 0; n < frames; ++n)
                    out[n] = int16_t(Le16(body + (n * channels + size_t(c % channels)) * 2));
            }
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

HRESULT CreateCaptureObject(void** object) {
    Source source = Scripted();
    if (!source->present) return DSERR_NODRIVER;
    auto* device = new (std::nothrow) VirtualCaptureDevice(std::move(source));
    if (device == nullptr) return E_OUTOFMEMORY;
    *object = static_cast<IDirectSoundCapture*>(device);
    return S_OK;
}

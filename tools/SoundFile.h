// Sound files for kavrel-render: any format libsndfile reads (WAV with 8/16/24/32-bit integer
// or 32-bit float samples, FLAC, Ogg, ...), one channel of it, a span of it, brought to the
// viewer's 16-bit samples at 11025 Hz. Rates other than that go through libsoxr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t RenderRate = 11025;

// Which channel is analysed: 0-based; a mono file has only channel 0.
struct SoundSpan {
    uint32_t channel = 0;
    bool side = false; // chosen as left or right: as in the viewer, a mono file's one channel
                       // serves both
    double from = 0.0; // seconds from the file's start
    double to = -1.0;  // seconds from the file's start; negative: to the end
};

enum class SoundStatus { Ok, Unreadable, Unsupported, NoSuchChannel, EmptySpan };

struct SoundResult {
    SoundStatus status = SoundStatus::Ok;
    std::string message;          // what went wrong, for the user
    bool partial = false;         // Ok, but reading stopped early: message says when and why
    std::vector<int16_t> samples; // the span's samples of the channel at RenderRate
    uint32_t fileRate = 0;        // the file's own rate and channel count
    uint32_t fileChannels = 0;
    double fileSeconds = 0.0;
};

// Reads the span of one channel of a file; "-" is standard input (formats libsndfile can read
// from a stream: WAV, AU, raw headers first; not FLAC or Ogg).
SoundResult ReadSoundFile(const char* path, const SoundSpan& span);
// The same from the bytes of a file in memory.
SoundResult ReadSoundBytes(const uint8_t* bytes, size_t size, const SoundSpan& span);

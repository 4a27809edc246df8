// Sound files for kavrel-render: any format libsndfile reads (WAV with 8/16/24/32-bit integer
// or 32-bit float samples, FLAC, Ogg, ...), one channel of it, a span of it, brought to the
// viewer's 16-bit samples at 11025 Hz. Rates other than that go through libsoxr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

struct SoundStreamFile;

// The span of one channel read a bounded chunk at a time, so that a sound of any length is
// analysed in little memory.
class SoundStream {
public:
    SoundStream();
    ~SoundStream();
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    // Opens a file; "-" is standard input, which like a pipe given by name is copied first to
    // an unnamed temporary file so that any format reads from it and it can be read twice (a
    // bounded part of it: Outcome then says where it was cut). The result's samples stay empty; its
    // status says whether samples can be read.
    SoundResult Open(const char* path, const SoundSpan& span);
    // The same from the bytes of a file in memory (which must outlive the stream).
    SoundResult OpenBytes(const uint8_t* bytes, size_t size, const SoundSpan& span);
    // Up to `most` samples at RenderRate onto `to`; 0 at the end of the span or where reading
    // stopped.
    size_t Read(int16_t* to, size_t most);
    // The samples the span gives, counted by reading it once through (a header's length is not
    // trusted: a cut or damaged file gives fewer), then back at the span's start (the file
    // opened again, so that a decoder's error is met again at the same place). False when it
    // cannot be opened again.
    bool Count(uint64_t& samples);
    // After reading `samples` to the end: Ok (partial, with when and why, if reading stopped
    // early), or why there are no samples at all.
    SoundResult Outcome(uint64_t samples) const;

private:
    // A stream copied first (a bounded part of it) to an unnamed temporary file.
    SoundResult OpenStream(int from, const std::string& name);
    SoundResult Start();
    std::unique_ptr<SoundStreamFile> file;
};

// Reads the whole span of one channel of a file at once ("-": standard input).
SoundResult ReadSoundFile(const char* path, const SoundSpan& span);
// The same from the bytes of a file in memory.
SoundResult ReadSoundBytes(const uint8_t* bytes, size_t size, const SoundSpan& span);

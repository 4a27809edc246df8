#include "SoundFile.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr sf_count_t ChunkFrames = 4096;
// The resampler's output a call at most, whatever the rates: a header claiming 1 Hz would make
// a chunk of 4096 frames 45 million samples.
constexpr size_t ResampledChunk = 16384;
// libsoxr writes through an allocation that failed instead of reporting it. What one of its
// calls may allocate (at most 1.8 MB in all at any rate measured, 1 Hz to 2 GHz, so twice
// that for a reallocation) is set aside for it.
constexpr size_t ResamplerReserve = size_t(4) << 20;

// A float sample of full scale 1.0 as 16 bits: rounded, clipped, silence for what is not a
// number (a float file may hold anything).
int16_t ToShort(float value) {
    const double scaled = double(value) * 32768.0;
    if (!(scaled > -32768.0)) return std::isnan(scaled) ? 0 : -32768;
    if (!(scaled < 32767.0)) return 32767;
    return int16_t(std::lround(scaled));
}

SoundResult Failure(SoundStatus status, std::string message) {
    SoundResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

// The span as whole frames of the file; false when it holds none.
bool SpanFrames(const SF_INFO& info, const SoundSpan& span, sf_count_t& first, sf_count_t& end) {
    // In doubles up to the frame count (which may be huge for a file whose length is not
    // known), so that no time of the span is converted out of range.
    const double rate = info.samplerate, frames = double(info.frames);
    const double from = span.from * rate, to = span.to * rate;
    if (!(from >= 0 && from < frames)) return false;
    first = sf_count_t(from);
    end = span.to >= 0 && to < frames ? sf_count_t(std::ceil(to)) : info.frames;
    return end > first;
}

// Reads the frames [first, end) of one channel a chunk at a time, resampled on the way when
// the rate differs; every buffer is bounded whatever the rates.
class ChannelReader {
public:
    ChannelReader(SNDFILE* file, const SF_INFO& info, uint32_t channel, sf_count_t first,
                  sf_count_t end)
        : file(file), channels(uint32_t(info.channels)), channel(channel), first(first), end(end),
          chunk(size_t(ChunkFrames) * channels), mono(size_t(ChunkFrames)) {
        // A file that cannot seek: the frames before the span are read and dropped.
        at = first > 0 && sf_seek(file, first, SEEK_SET) == first ? first : 0;
        if (info.samplerate == int(RenderRate)) return;
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        reserve.reset(new char[ResamplerReserve]);
        WithReserve([&] {
            resampler = soxr_create(info.samplerate, RenderRate, 1, &error, &io, &quality, nullptr);
        });
        if (error != nullptr) resampler = nullptr;
        resampled.resize(ResampledChunk);
    }
    ~ChannelReader() { soxr_delete(resampler); }
    ChannelReader(const ChannelReader&) = delete;
    ChannelReader& operator=(const ChannelReader&) = delete;

    bool Ready(const SF_INFO& info) const {
        return info.samplerate == int(RenderRate) || resampler != nullptr;
    }
    // The frame reading has reached (where it stopped, at the end).
    sf_count_t At() const { return at; }
    // Whether the file ran out before the span's end.
    bool Exhausted() const { return exhausted; }

    size_t Read(int16_t* to, size_t most) {
        size_t given = 0;
        while (given < most) {
            if (readyAt == ready.size()) {
                ready.clear(), readyAt = 0;
                if (!Refill()) break;
                continue;
            }
            const size_t n = std::min(most - given, ready.size() - readyAt);
            std::copy_n(ready.data() + readyAt, n, to + given);
            given += n, readyAt += n;
        }
        return given;
    }

private:
    // More samples into `ready` (possibly none yet); false when nothing more comes.
    bool Refill() {
        if (monoUsed == monoCount && !ended) ReadChunk();
        if (monoUsed < monoCount) return Convert(), true;
        if (!ended) return true;
        return Flush();
    }

    void ReadChunk() {
        monoUsed = monoCount = 0;
        const sf_count_t want = std::min(ChunkFrames, end - at);
        const sf_count_t got = want > 0 ? sf_readf_float(file, chunk.data(), want) : 0;
        exhausted = exhausted || got < want;
        if (got <= 0) return void(ended = true);
        const sf_count_t skip = std::min(got, std::max<sf_count_t>(0, first - at));
        for (sf_count_t i = skip; i < got; ++i)
            mono[monoCount++] = chunk[size_t(i) * channels + channel];
        at += got;
    }

    // The chunk's samples at RenderRate: all at once, or as much as the resampler's bounded
    // output takes (it keeps the rest of its input for the next call).
    void Convert() {
        if (resampler == nullptr) {
            for (; monoUsed < monoCount; ++monoUsed)
                ready.push_back(ToShort(mono[monoUsed]));
            return;
        }
        size_t taken = 0, made = 0;
        WithReserve([&] {
            soxr_process(resampler, mono.data() + monoUsed, monoCount - monoUsed, &taken,
                         resampled.data(), resampled.size(), &made);
        });
        // A resampler taking and giving nothing would never end: its input is dropped.
        monoUsed = taken == 0 && made == 0 ? monoCount : monoUsed + taken;
        Take(made);
    }

    // The resampler's last samples after the input's end.
    bool Flush() {
        if (resampler == nullptr || flushed) return false;
        size_t made = 0;
        WithReserve([&] {
            soxr_process(resampler, nullptr, 0, nullptr, resampled.data(), resampled.size(), &made);
        });
        flushed = made == 0;
        Take(made);
        return !flushed;
    }

    // A call of libsoxr with the reserve free for it, taken back after: memory running out then
    // ends the run with a message (std::bad_alloc), as anywhere else.
    template <typename Call> void WithReserve(Call call) {
        reserve.reset();
        call();
        reserve.reset(new char[ResamplerReserve]); // untouched: address space, not memory
    }

    void Take(size_t made) {
        for (size_t i = 0; i < made; ++i)
            ready.push_back(ToShort(resampled[i]));
    }

    SNDFILE* file;
    uint32_t channels, channel;
    sf_count_t first, end, at = 0;
    std::vector<float> chunk, mono, resampled;
    size_t monoUsed = 0, monoCount = 0;
    std::vector<int16_t> ready;
    size_t readyAt = 0;
    bool ended = false, flushed = false, exhausted = false;
    soxr_t resampler = nullptr;
    std::unique_ptr<char[]> reserve;
};

// libsndfile takes a WAV file cut short at its real length; only its log tells ("data : N
// (should be M)").
bool DataChunkCut(SNDFILE* file) {
    char log[4096] = "";
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    const char* data = std::strstr(log, "\ndata : ");
    const char* line = data != nullptr ? std::strchr(data + 1, '\n') : nullptr;
    const char* should = data != nullptr ? std::strstr(data, "(should be") : nullptr;
    return should != nullptr && (line == nullptr || should < line);
}

// Why reading stopped at frame `at` before `end`, or empty when it did not stop early (a
// stream of unknown length simply ends). A stream's writer cannot go back to write the length
// into the header (sox writes 2 GB there), so only a file's `header` length counts.
std::string StopReason(SNDFILE* file, const SF_INFO& info, sf_count_t at, sf_count_t end,
                       bool header) {
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        std::string reason = sf_strerror(file); // "Error : flac decoder lost sync."
        if (reason.rfind("Error : ", 0) == 0) reason.erase(0, 8);
        if (!reason.empty() && reason.back() == '.') reason.pop_back();
        return reason;
    }
    if (at < end && info.seekable) return "the file ends before the length its header gives";
    if (header && DataChunkCut(file)) return "the file is cut short of the length its header gives";
    return {};
}

// A file in memory for libsndfile's virtual input.
struct MemoryFile {
    const uint8_t* bytes;
    sf_count_t size, at;
};

sf_count_t MemoryLength(void* data) {
    return static_cast<MemoryFile*>(data)->size;
}
sf_count_t MemorySeek(sf_count_t offset, int whence, void* data) {
    auto* m = static_cast<MemoryFile*>(data);
    const sf_count_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    if (offset < -base || offset > m->size - base) return -1;
    m->at = base + offset;
    return m->at;
}
sf_count_t MemoryRead(void* to, sf_count_t count, void* data) {
    auto* m = static_cast<MemoryFile*>(data);
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, m->size - m->at));
    if (n > 0) std::memcpy(to, m->bytes + m->at, size_t(n));
    m->at += n;
    return n;
}
sf_count_t MemoryWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t MemoryTell(void* data) {
    return static_cast<MemoryFile*>(data)->at;
}

// Standard input is kept in a temporary file, so that any format reads from it and it can be
// read twice: at most MaxKept bytes of it, and never so much that the temporary folder's file
// system keeps less than KeepFree bytes free; the picture then shows what was kept.
constexpr uint64_t MaxKept = uint64_t(1) << 30, KeepFree = uint64_t(64) << 20;

// The temporary folder: $TMPDIR, else /tmp.
std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && folder[0] != 0 ? folder : "/tmp";
}

// Copies a stream (standard input, a pipe) to an unnamed file in the temporary folder, as far
// as it may be kept; `cut` says why the copy stopped before the stream's end. Null, with the
// reason in `cut`, when no file can be made or the stream cannot be read.
FILE* Spool(int from, const std::string& name, std::string& cut) {
    std::string folder = TemporaryFolder();
    int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    FILE* spool = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
    if (fd < 0 && errno == EOPNOTSUPP) // a file system without unnamed files
        spool = std::tmpfile(), folder = P_tmpdir;
    if (spool == nullptr) {
        cut = "cannot keep " + name + " in " + folder + ": " + std::strerror(errno);
        return fd >= 0 && close(fd), nullptr;
    }
    fd = fileno(spool);
    char buffer[65536];
    uint64_t kept = 0;
    for (ssize_t got; cut.empty() && (got = read(from, buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        struct statvfs fs {};
        if (got < 0) {
            cut = "cannot read " + name + ": " + std::strerror(errno);
            return std::fclose(spool), nullptr;
        }
        if (kept + uint64_t(got) > MaxKept)
            cut = name + " is longer than the " + std::to_string(MaxKept >> 20) + " MB kept of it";
        else if (fstatvfs(fd, &fs) == 0 && uint64_t(fs.f_bavail) * fs.f_frsize < KeepFree + got)
            cut = "the temporary folder " + folder + " has too little room for more of " + name +
                  " (TMPDIR chooses another)";
        else if (std::fwrite(buffer, 1, size_t(got), spool) != size_t(got) ||
                 std::fflush(spool) != 0)
            cut = "cannot keep more of " + name + " in " + folder + ": " + std::strerror(errno);
        else
            kept += uint64_t(got);
    }
    // What was written before a failed write stays; what did not fit is dropped.
    if (!cut.empty() && ftruncate(fd, off_t(kept)) != 0) {
        cut = "cannot keep " + name + " in " + folder + ": " + std::strerror(errno);
        return std::fclose(spool), nullptr;
    }
    return spool;
}

} // namespace

// An open sound file and how to open it again.
struct SoundStreamFile {
    std::function<SNDFILE*(SF_INFO&)> open;
    SNDFILE* sound = nullptr;
    SF_INFO info{};
    SoundSpan span;
    sf_count_t first = 0, end = 0;
    std::unique_ptr<ChannelReader> reader;
    FILE* spool = nullptr; // a stream's copy
    std::string spoolCut;  // why the copy stopped before the stream's end
    MemoryFile memory{};
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};

    void Close() {
        reader.reset();
        if (sound != nullptr) sf_close(sound);
        sound = nullptr;
    }
    ~SoundStreamFile() {
        Close();
        if (spool != nullptr) std::fclose(spool);
    }
};

SoundStream::SoundStream() : file(std::make_unique<SoundStreamFile>()) {}
SoundStream::~SoundStream() = default;

SoundResult SoundStream::Open(const char* path, const SoundSpan& span) {
    file->span = span;
    if (std::strcmp(path, "-") == 0) return OpenStream(STDIN_FILENO, "standard input");
    struct stat st {};
    if (stat(path, &st) != 0)
        return Failure(SoundStatus::Unreadable,
                       std::string("cannot open ") + path + ": " + std::strerror(errno));
    // A pipe by name (a FIFO, /dev/stdin, /dev/fd/N, a shell's <(...)) reads as standard input.
    if (S_ISFIFO(st.st_mode)) {
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Failure(SoundStatus::Unreadable,
                           std::string("cannot open ") + path + ": " + std::strerror(errno));
        SoundResult result = OpenStream(fd, path);
        close(fd);
        return result;
    }
    if (!S_ISREG(st.st_mode))
        return Failure(SoundStatus::Unreadable,
                       S_ISDIR(st.st_mode) ? "is a directory, not a sound file" : "is not a file");
    if (FILE* probe = std::fopen(path, "rb"); probe == nullptr)
        return Failure(SoundStatus::Unreadable,
                       std::string("cannot open ") + path + ": " + std::strerror(errno));
    else
        std::fclose(probe);
    file->open = [name = std::string(path)](SF_INFO& info) {
        return sf_open(name.c_str(), SFM_READ, &info);
    };
    return Start();
}

SoundResult SoundStream::OpenStream(int from, const std::string& name) {
    file->spool = Spool(from, name, file->spoolCut);
    if (file->spool == nullptr) return Failure(SoundStatus::Unreadable, file->spoolCut);
    const int fd = fileno(file->spool);
    file->open = [fd](SF_INFO& info) {
        return lseek(fd, 0, SEEK_SET) == 0 ? sf_open_fd(fd, SFM_READ, &info, SF_FALSE) : nullptr;
    };
    return Start();
}

SoundResult SoundStream::OpenBytes(const uint8_t* bytes, size_t size, const SoundSpan& span) {
    file->span = span;
    file->open = [f = file.get(), bytes, size](SF_INFO& info) {
        f->memory = MemoryFile{bytes, sf_count_t(size), 0};
        return sf_open_virtual(&f->io, SFM_READ, &info, &f->memory);
    };
    return Start();
}

SoundResult SoundStream::Start() {
    file->Close();
    SF_INFO& info = file->info;
    info = SF_INFO{};
    file->sound = file->open(info);
    if (file->sound == nullptr)
        return Failure(SoundStatus::Unsupported,
                       std::string("not a sound file this tool can read: ") + sf_strerror(nullptr));
    if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0)
        return Failure(SoundStatus::Unsupported, "the file gives no channels or no sample rate");
    const SoundSpan& span = file->span;
    const uint32_t channel = span.side && info.channels == 1 ? 0 : span.channel;
    if (channel >= uint32_t(info.channels))
        return Failure(SoundStatus::NoSuchChannel,
                       "the file has " + std::to_string(info.channels) + " channel(s); channel " +
                           std::to_string(channel + 1) + " was asked for");
    if (!SpanFrames(info, span, file->first, file->end))
        return Failure(SoundStatus::EmptySpan, "the chosen span holds no samples of the file");
    file->reader =
        std::make_unique<ChannelReader>(file->sound, info, channel, file->first, file->end);
    if (!file->reader->Ready(info))
        return Failure(SoundStatus::Unsupported, "the sample rate cannot be converted");
    SoundResult result;
    result.fileRate = uint32_t(info.samplerate);
    result.fileChannels = uint32_t(info.channels);
    result.fileSeconds = double(info.frames) / info.samplerate;
    return result;
}

size_t SoundStream::Read(int16_t* to, size_t most) {
    return file->reader != nullptr ? file->reader->Read(to, most) : 0;
}

bool SoundStream::Count(uint64_t& samples) {
    std::vector<int16_t> buffer(ResampledChunk);
    samples = 0;
    for (size_t got; (got = Read(buffer.data(), buffer.size())) > 0;)
        samples += got;
    return Start().status == SoundStatus::Ok;
}

SoundResult SoundStream::Outcome(uint64_t samples) const {
    if (file->reader == nullptr) return Failure(SoundStatus::Unreadable, "cannot read the file");
    const sf_count_t stopped = file->reader->At();
    // Standard input kept in part ends early where it was cut, however its header reads.
    const bool atCut = file->reader->Exhausted() || stopped >= file->info.frames;
    const std::string why =
        !file->spoolCut.empty() && atCut
            ? file->spoolCut
            : StopReason(file->sound, file->info, stopped, file->end, file->spool == nullptr);
    if (samples == 0)
        return why.empty()
                   ? Failure(SoundStatus::EmptySpan, "the chosen span holds no samples of the file")
                   : Failure(SoundStatus::Unreadable, "cannot read the samples: " + why);
    SoundResult result;
    result.fileRate = uint32_t(file->info.samplerate);
    result.fileChannels = uint32_t(file->info.channels);
    result.fileSeconds = double(file->info.frames) / file->info.samplerate;
    if (!why.empty()) {
        char at[64];
        std::snprintf(at, sizeof at, "%.2f s", double(stopped) / file->info.samplerate);
        result.partial = true;
        result.message = "reading stopped at " + std::string(at) + ": " + why +
                         "; the picture shows what was read";
    }
    return result;
}

namespace {

// The whole span of an opened stream.
SoundResult ReadAll(SoundStream& stream, SoundResult opened) {
    if (opened.status != SoundStatus::Ok) return opened;
    std::vector<int16_t> samples;
    samples.resize(ResampledChunk);
    size_t have = 0;
    for (size_t got; (got = stream.Read(samples.data() + have, samples.size() - have)) > 0;) {
        have += got;
        if (have == samples.size()) samples.resize(samples.size() * 2);
    }
    samples.resize(have);
    SoundResult result = stream.Outcome(have);
    result.samples = std::move(samples);
    return result;
}

} // namespace

SoundResult ReadSoundFile(const char* path, const SoundSpan& span) {
    SoundStream stream;
    return ReadAll(stream, stream.Open(path, span));
}

SoundResult ReadSoundBytes(const uint8_t* bytes, size_t size, const SoundSpan& span) {
    SoundStream stream;
    return ReadAll(stream, stream.OpenBytes(bytes, size, span));
}

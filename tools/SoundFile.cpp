#include "SoundFile.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr sf_count_t ChunkFrames = 4096;
// The resampler's output a call at most, whatever the rates: a header claiming 1 Hz would make
// a chunk of 4096 frames 45 million samples.
constexpr size_t ResampledChunk = 16384;

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

// Reads the frames of one channel in chunks, resampled on the way when the rate differs.
class ChannelReader {
public:
    ChannelReader(SNDFILE* file, const SF_INFO& info, uint32_t channel)
        : file(file), channels(uint32_t(info.channels)), channel(channel),
          chunk(size_t(ChunkFrames) * channels), mono(size_t(ChunkFrames)) {
        if (info.samplerate == int(RenderRate)) return;
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        resampler = soxr_create(info.samplerate, RenderRate, 1, &error, &io, &quality, nullptr);
        if (error != nullptr) resampler = nullptr;
        resampled.resize(ResampledChunk);
    }
    ~ChannelReader() { soxr_delete(resampler); }
    ChannelReader(const ChannelReader&) = delete;
    ChannelReader& operator=(const ChannelReader&) = delete;

    bool Ready(const SF_INFO& info) const {
        return info.samplerate == int(RenderRate) || resampler != nullptr;
    }

    // The frames [first, end) of the file onto out. Reading stops early at a damaged or cut
    // part: the frame it stopped at is returned.
    sf_count_t Read(sf_count_t first, sf_count_t end, std::vector<int16_t>& out) {
        // A stream cannot seek: the frames before the span are read and dropped.
        sf_count_t at = first > 0 && sf_seek(file, first, SEEK_SET) == first ? first : 0;
        while (at < end) {
            const sf_count_t want = std::min(ChunkFrames, end - at);
            const sf_count_t got = sf_readf_float(file, chunk.data(), want);
            if (got <= 0) break;
            const sf_count_t skip = std::min(got, std::max<sf_count_t>(0, first - at));
            for (sf_count_t i = skip; i < got; ++i)
                mono[size_t(i - skip)] = chunk[size_t(i) * channels + channel];
            Deliver(mono.data(), size_t(got - skip), out);
            at += got;
        }
        if (resampler != nullptr) Deliver(nullptr, 0, out); // the resampler's last samples
        return at;
    }

private:
    // Samples at the file's rate (null: the end) as 16-bit samples at RenderRate.
    void Deliver(const float* in, size_t count, std::vector<int16_t>& out) {
        if (resampler == nullptr) {
            for (size_t i = 0; i < count; ++i)
                out.push_back(ToShort(in[i]));
            return;
        }
        // Until the input is taken and the output no longer fills the buffer (at the end: until
        // nothing more comes).
        for (size_t used = 0;;) {
            size_t made = 0, taken = 0;
            soxr_process(resampler, in == nullptr ? nullptr : in + used, count - used, &taken,
                         resampled.data(), resampled.size(), &made);
            for (size_t i = 0; i < made; ++i)
                out.push_back(ToShort(resampled[i]));
            used += taken;
            if (made == 0 && (in == nullptr || taken == 0)) break;
            if (in != nullptr && used >= count && made < resampled.size()) break;
        }
    }

    SNDFILE* file;
    uint32_t channels, channel;
    std::vector<float> chunk, mono, resampled;
    soxr_t resampler = nullptr;
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
// stream of unknown length simply ends).
std::string StopReason(SNDFILE* file, const SF_INFO& info, sf_count_t at, sf_count_t end) {
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        std::string reason = sf_strerror(file); // "Error : flac decoder lost sync."
        if (reason.rfind("Error : ", 0) == 0) reason.erase(0, 8);
        if (!reason.empty() && reason.back() == '.') reason.pop_back();
        return reason;
    }
    if (at < end && info.seekable) return "the file ends before the length its header gives";
    if (DataChunkCut(file)) return "the file is cut short of the length its header gives";
    return {};
}

SoundResult ReadOpened(SNDFILE* file, const SF_INFO& info, const SoundSpan& span) {
    if (file == nullptr)
        return Failure(SoundStatus::Unsupported,
                       std::string("not a sound file this tool can read: ") + sf_strerror(nullptr));
    if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0)
        return Failure(SoundStatus::Unsupported, "the file gives no channels or no sample rate");
    const uint32_t channel = span.side && info.channels == 1 ? 0 : span.channel;
    if (channel >= uint32_t(info.channels))
        return Failure(SoundStatus::NoSuchChannel,
                       "the file has " + std::to_string(info.channels) + " channel(s); channel " +
                           std::to_string(channel + 1) + " was asked for");
    sf_count_t first = 0, end = 0;
    if (!SpanFrames(info, span, first, end))
        return Failure(SoundStatus::EmptySpan, "the chosen span holds no samples of the file");
    ChannelReader reader(file, info, channel);
    if (!reader.Ready(info))
        return Failure(SoundStatus::Unsupported, "the sample rate cannot be converted");
    SoundResult result;
    result.fileRate = uint32_t(info.samplerate);
    result.fileChannels = uint32_t(info.channels);
    result.fileSeconds = double(info.frames) / info.samplerate;
    // Room for an hour at once; the length a header claims is not trusted further.
    const double expected = double(end - first) * RenderRate / info.samplerate;
    result.samples.reserve(size_t(std::min(expected, 3600.0 * RenderRate)) + 16);
    const sf_count_t stopped = reader.Read(first, end, result.samples);
    const std::string why = StopReason(file, info, stopped, end);
    if (result.samples.empty())
        return why.empty()
                   ? Failure(SoundStatus::EmptySpan, "the chosen span holds no samples of the file")
                   : Failure(SoundStatus::Unreadable, "cannot read the samples: " + why);
    if (!why.empty()) {
        char at[64];
        std::snprintf(at, sizeof at, "%.2f s", double(stopped) / info.samplerate);
        result.partial = true;
        result.message = "reading stopped at " + std::string(at) + ": " + why +
                         "; the picture shows what was read";
    }
    return result;
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

} // namespace

SoundResult ReadSoundFile(const char* path, const SoundSpan& span) {
    SF_INFO info{};
    if (std::strcmp(path, "-") == 0) {
        SNDFILE* file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
        SoundResult result = ReadOpened(file, info, span);
        if (file != nullptr) sf_close(file);
        return result;
    }
    struct stat st {};
    if (stat(path, &st) != 0)
        return Failure(SoundStatus::Unreadable,
                       std::string("cannot open ") + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return Failure(SoundStatus::Unreadable,
                       S_ISDIR(st.st_mode) ? "is a directory, not a sound file" : "is not a file");
    if (FILE* probe = std::fopen(path, "rb"); probe == nullptr)
        return Failure(SoundStatus::Unreadable,
                       std::string("cannot open ") + path + ": " + std::strerror(errno));
    else
        std::fclose(probe);
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    SoundResult result = ReadOpened(file, info, span);
    if (file != nullptr) sf_close(file);
    return result;
}

SoundResult ReadSoundBytes(const uint8_t* bytes, size_t size, const SoundSpan& span) {
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    MemoryFile memory{bytes, sf_count_t(size), 0};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    SoundResult result = ReadOpened(file, info, span);
    if (file != nullptr) sf_close(file);
    return result;
}

// kavrel-render: the viewer's spectrogram of a sound file, as a PNG, without a desktop.
#include "Interruption.h"
#include "Kernel.h"
#include "OutputFile.h"
#include "Preobrazovaniechisel.h"
#include "Render.h"
#include "RenderOptions.h"
#include "SoundFile.h"
#include "kavrel_version.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Partial = 1, BadUse = 2;
constexpr double ProgressAfterSeconds = 5.0;

// Errors go here; with --quiet standard error itself is emptied into /dev/null, so that notes
// of the libraries and the settings' complaints are silenced too.
FILE* errors = stderr;

int Fail(const std::string& message, bool usage = false) {
    std::fprintf(errors, "kavrel-render: %s\n", message.c_str());
    if (usage) std::fputs(RenderUsage, errors);
    return BadUse;
}

void Quieten() {
    const int saved = dup(STDERR_FILENO);
    FILE* kept = saved >= 0 ? fdopen(saved, "w") : nullptr;
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (kept == nullptr || null < 0) return;
    std::setvbuf(kept, nullptr, _IOLBF, 0);
    errors = kept;
    dup2(null, STDERR_FILENO);
    close(null);
}

// The settings file given must be a file that can be read; without one, kavrel.ini here is
// used when there is one, and the note says so.
bool CheckSettings(const RenderOptions& options, std::string& error) {
    struct stat st {};
    if (!options.settingsGiven) {
        if (!options.quiet && stat(options.settings.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            std::fputs("kavrel-render: settings from ./kavrel.ini (--ini FILE for others)\n",
                       stderr);
        return true;
    }
    FILE* f = std::fopen(options.settings.c_str(), "rb");
    if (f != nullptr) std::fclose(f);
    if (f != nullptr && stat(options.settings.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        errno = EISDIR;
    else if (f != nullptr)
        return true;
    error = "cannot read the settings file " + options.settings + ": " + std::strerror(errno);
    return false;
}

void Note(const RenderOptions& options, const RenderPicture& picture) {
    std::fprintf(stderr, "kavrel-render: %s: %u x %u pixels, %u columns of %u points",
                 options.output.c_str(), picture.width, picture.height, picture.columns,
                 picture.rows);
    if (picture.hopsPerColumn > 1)
        std::fprintf(stderr,
                     "; each column the loudest of %u windows, as the span has more windows "
                     "than %u columns",
                     picture.hopsPerColumn, options.width != 0 ? options.width : MaxRenderColumns);
    std::fputc('\n', stderr);
}

// Each output resolved, none of them the input or the other; then opened.
bool OpenOutputs(const RenderOptions& options, OutputFile& picture,
                 std::unique_ptr<OutputFile>& lines, std::string& error) {
    if (!options.lines.empty()) lines = std::make_unique<OutputFile>(options.lines);
    if (!picture.Resolve()) return error = picture.Error(), false;
    if (lines != nullptr && !lines->Resolve()) return error = lines->Error(), false;
    struct stat input {};
    const bool standardInput = options.input == "-";
    if ((standardInput ? fstat(STDIN_FILENO, &input) : stat(options.input.c_str(), &input)) == 0) {
        for (const OutputFile* out : {&picture, lines.get()})
            if (out != nullptr && out->Writes(input.st_dev, input.st_ino))
                return error = "an output is the input " + options.input + "; nothing written",
                       false;
    }
    if (lines != nullptr && picture.SameAs(*lines))
        return error = "the picture and the lines would be the same file; nothing written", false;
    if (!picture.Open()) return error = picture.Error(), false;
    if (lines != nullptr && !lines->Open()) return error = lines->Error(), false;
    return true;
}

// The sound file's samples as the render reads them.
class StreamSource : public SampleSource {
public:
    explicit StreamSource(SoundStream& stream) : stream(stream) {}
    size_t Read(int16_t* to, size_t most) override { return stream.Read(to, most); }

private:
    SoundStream& stream;
};

// The processors this process may run on.
uint32_t AvailableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return uint32_t(std::max(1, CPU_COUNT(&set)));
    return uint32_t(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
}

int Render(const RenderOptions& options) {
    OutputFile picture(options.output);
    std::unique_ptr<OutputFile> lines;
    std::string error;
    if (!CheckSettings(options, error)) return Fail(error);
    if (!OpenOutputs(options, picture, lines, error)) return Fail(error);
    SoundStream stream;
    const SoundResult opened = stream.Open(
        options.input.c_str(), SoundSpan{options.channel, options.side, options.from, options.to});
    if (opened.status != SoundStatus::Ok) return Fail(options.input + ": " + opened.message);
    uint64_t samples = 0;
    if (!stream.Count(samples)) return Fail(options.input + ": cannot open the file again");
    if (samples == 0) return Fail(options.input + ": " + stream.Outcome(0).message);

    RenderJob job;
    job.settingsPath = options.settings;
    job.settings = options.overrides;
    job.scale = options.scale;
    job.range = options.range;
    job.palette = options.palette;
    if (options.width != 0) job.maxColumns = options.width;
    job.startSeconds = options.from;
    job.lines = lines != nullptr ? lines->File() : nullptr;
    job.jobs = options.jobs != 0 ? options.jobs : AvailableCores();
    const bool longSound = double(samples) / RenderRate > ProgressAfterSeconds;
    job.progress = !options.quiet && longSound && isatty(STDERR_FILENO) ? stderr : nullptr;
    StreamSource source(stream);
    const RenderPicture rendered = RenderStream(source, samples, job);
    // The few samples after the last window, so that a stop there is known too.
    for (int16_t rest[4096]; stream.Read(rest, 4096) > 0;) {
    }
    const SoundResult sound = stream.Outcome(samples);
    if (rendered.linesError != 0)
        return errno = rendered.linesError, lines->Fail(), Fail(lines->Error());
    if (!rendered.ok)
        return Fail(rendered.badOption ? rendered.message
                                       : options.input + ": " + rendered.message);
    if (!WritePng(picture.File(), rendered.pixels.data(), rendered.width, rendered.height))
        return picture.Fail(), Fail(picture.Error());
    if (lines != nullptr && !lines->Commit()) return Fail(lines->Error());
    if (!picture.Commit()) return Fail(picture.Error());
    if (!options.quiet) Note(options, rendered);
    if (!options.quiet && !rendered.hint.empty())
        std::fprintf(stderr, "kavrel-render: %s\n", rendered.hint.c_str());
    if (!sound.partial) return 0;
    std::fprintf(errors, "kavrel-render: %s: %s\n", options.input.c_str(), sound.message.c_str());
    return Partial;
}

} // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) return Fail(error, true);
    if (options.help) return std::fputs(RenderUsage, stdout), 0;
    if (options.version) return std::puts("kavrel-render " KAVREL_VERSION), 0;
    if (options.quiet) Quieten();
    StartNumberConversionUnit();
    CatchInterruptions();
    // A file-size limit (ulimit -f) makes a write fail with a message instead of ending the run.
    signal(SIGXFSZ, SIG_IGN);
    StartKernelUnit(GetCommandLineA(), false);
    int status = BadUse;
    // The one exception this program meets: memory running out, ended with a message.
    try {
        status = Render(options);
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
    }
    FinishKernelUnit();
    return status;
}

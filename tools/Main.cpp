// kavrel-render: the viewer's spectrogram of a sound file, as a PNG, without a desktop.
#include "Interruption.h"
#include "Kernel.h"
#include "OutputFile.h"
#include "Preobrazovaniechisel.h"
#include "Render.h"
#include "RenderOptions.h"
#include "SoundFile.h"

#include <cstdio>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Partial = 1, BadUse = 2;
constexpr double ProgressAfterSeconds = 5.0;

int Fail(const std::string& message, bool usage = false) {
    std::fprintf(stderr, "kavrel-render: %s\n", message.c_str());
    if (usage) std::fputs(RenderUsage, stderr);
    return BadUse;
}

bool Readable(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f != nullptr) std::fclose(f);
    return f != nullptr;
}

void Note(const RenderOptions& options, const RenderPicture& picture) {
    std::fprintf(stderr, "kavrel-render: %s: %u x %u pixels, %u columns of %u points",
                 options.output.c_str(), picture.width, picture.height, picture.columns,
                 picture.rows);
    if (picture.hopsPerColumn > 1)
        std::fprintf(stderr,
                     "; one column every %u windows, as the span has more windows "
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

int Render(const RenderOptions& options) {
    if (options.settingsGiven && !Readable(options.settings))
        return Fail("cannot read the settings file " + options.settings);
    OutputFile picture(options.output);
    std::unique_ptr<OutputFile> lines;
    std::string error;
    if (!OpenOutputs(options, picture, lines, error)) return Fail(error);
    const SoundResult sound = ReadSoundFile(
        options.input.c_str(), SoundSpan{options.channel, options.side, options.from, options.to});
    if (sound.status != SoundStatus::Ok) return Fail(options.input + ": " + sound.message);

    RenderJob job;
    job.settingsPath = options.settings;
    if (options.width != 0) job.maxColumns = options.width;
    job.startSeconds = options.from;
    job.lines = lines != nullptr ? lines->File() : nullptr;
    const bool longSound = double(sound.samples.size()) / RenderRate > ProgressAfterSeconds;
    job.progress = !options.quiet && longSound && isatty(STDERR_FILENO) ? stderr : nullptr;
    const RenderPicture rendered = RenderSamples(sound.samples, job);
    if (!rendered.ok) return Fail(options.input + ": " + rendered.message);
    if (!WritePng(picture.File(), rendered.pixels.data(), rendered.width, rendered.height))
        return picture.Fail(), Fail(picture.Error());
    if (lines != nullptr && !lines->Commit()) return Fail(lines->Error());
    if (!picture.Commit()) return Fail(picture.Error());
    if (!options.quiet) Note(options, rendered);
    if (!sound.partial) return 0;
    std::fprintf(stderr, "kavrel-render: %s: %s\n", options.input.c_str(), sound.message.c_str());
    return Partial;
}

} // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) return Fail(error, true);
    if (options.help) return std::fputs(RenderUsage, stdout), 0;
    StartNumberConversionUnit();
    CatchInterruptions();
    StartKernelUnit(GetCommandLineA());
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

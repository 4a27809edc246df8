// kavrel-render: the viewer's spectrogram of a sound file, as a PNG, without a desktop.
#include "Kernel.h"
#include "OutputFile.h"
#include "Preobrazovaniechisel.h"
#include "Render.h"
#include "RenderOptions.h"
#include "SoundFile.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr int BadUse = 2;
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

int Render(const RenderOptions& options) {
    if (options.settingsGiven && !Readable(options.settings))
        return Fail("cannot read the settings file " + options.settings);
    const SoundResult sound = ReadSoundFile(
        options.input.c_str(), SoundSpan{options.channel, options.side, options.from, options.to});
    if (sound.status != SoundStatus::Ok) return Fail(options.input + ": " + sound.message);
    OutputFile picture(options.output);
    if (!picture.Open()) return Fail(picture.Error());
    std::unique_ptr<OutputFile> lines;
    if (!options.lines.empty()) lines = std::make_unique<OutputFile>(options.lines);
    if (lines != nullptr && !lines->Open()) return Fail(lines->Error());

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
        return Fail("cannot write " + options.output);
    if (lines != nullptr && !lines->Commit()) return Fail(lines->Error());
    if (!picture.Commit()) return Fail(picture.Error());
    if (!options.quiet) Note(options, rendered);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) return Fail(error, true);
    if (options.help) return std::fputs(RenderUsage, stdout), 0;
    StartNumberConversionUnit();
    StartKernelUnit(GetCommandLineA(), false);
    const int status = Render(options);
    FinishKernelUnit();
    return status;
}

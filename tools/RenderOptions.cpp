#include "RenderOptions.h"

#include "Render.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const RenderUsage =
    "usage: kavrel-render INPUT [-o OUT.png] [--ini FILE] [--channel left|right|N]\n"
    "                     [--width COLUMNS] [--from SECONDS] [--to SECONDS]\n"
    "                     [--lines OUT.f32] [--quiet] [--help]\n"
    "Draws the spectrogram the viewer shows for a sound file (WAV, FLAC, Ogg, ...) as a PNG.\n"
    "  -o OUT.png        the picture (default: INPUT with .png in place of its extension)\n"
    "  --ini FILE        the viewer's settings (default: kavrel.ini here, if there is one)\n"
    "  --channel C       left (the default) or right (a mono file's channel serves both),\n"
    "                    or channel N counted from 1\n"
    "  --width COLUMNS   at most this many columns (default: one per analysis window, at\n"
    "                    most 16314; beyond that every k-th window)\n"
    "  --from, --to      the span to draw, in seconds from the file's start\n"
    "  --lines FILE      the spectrum of every analysis window (one a window advance, also\n"
    "                    between the columns drawn) as raw little-endian float32, height\n"
    "                    values a line, lowest frequency first\n"
    "  --quiet           no progress bar and no note\n"
    "INPUT may be - for standard input (a format libsndfile reads as a stream, such as WAV);\n"
    "then -o is needed.\n"
    "Exit status: 0 done; 1 the input could not be read to its end (damaged or cut short):\n"
    "the picture shows what was read; 2 bad options, input or output, nothing written.\n";

namespace {

bool ParseSeconds(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value) && value >= 0;
}

bool ParseCount(const char* text, uint32_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || text[0] == '-' || v == 0 || v > UINT32_MAX)
        return false;
    value = uint32_t(v);
    return true;
}

bool ParseChannel(const char* text, uint32_t& channel, bool& side) {
    side = std::strcmp(text, "left") == 0 || std::strcmp(text, "right") == 0;
    if (side) return channel = text[0] == 'r' ? 1 : 0, true;
    uint32_t n = 0;
    if (!ParseCount(text, n)) return false;
    channel = n - 1;
    return true;
}

std::string DefaultOutput(const std::string& input) {
    const size_t slash = input.find_last_of('/');
    const size_t dot = input.find_last_of('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (extension ? input.substr(0, dot) : input) + ".png";
}

} // namespace

bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& options,
                        std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "-o" || arg == "--ini" || arg == "--channel" ||
                                arg == "--width" || arg == "--from" || arg == "--to" ||
                                arg == "--lines";
        if (takesValue && i + 1 >= argc) return error = arg + " needs a value", false;
        const char* value = takesValue ? argv[++i] : nullptr;
        bool good = true;
        if (arg == "--help" || arg == "-h")
            options.help = true;
        else if (arg == "--quiet" || arg == "-q")
            options.quiet = true;
        else if (arg == "-o")
            options.output = value;
        else if (arg == "--ini")
            options.settings = value, options.settingsGiven = true;
        else if (arg == "--lines")
            options.lines = value;
        else if (arg == "--channel")
            good = ParseChannel(value, options.channel, options.side);
        else if (arg == "--width")
            good = ParseCount(value, options.width);
        else if (arg == "--from")
            good = ParseSeconds(value, options.from);
        else if (arg == "--to")
            good = ParseSeconds(value, options.to);
        else if (arg.size() > 1 && arg[0] == '-')
            return error = "unknown option " + arg, false;
        else if (!options.input.empty())
            return error = "more than one input: " + arg, false;
        else
            options.input = arg;
        if (!good) return error = "bad value for " + arg + ": " + value, false;
    }
    if (options.help) return true;
    if (options.input.empty()) return error = "no input file given", false;
    if (options.to >= 0 && options.to <= options.from)
        return error = "--to must be later than --from", false;
    if (options.width > MaxRenderColumns)
        return error = "--width is at most " + std::to_string(MaxRenderColumns), false;
    if (options.output.empty() && options.input == "-")
        return error = "standard input as input needs -o", false;
    if (options.output.empty()) options.output = DefaultOutput(options.input);
    return true;
}

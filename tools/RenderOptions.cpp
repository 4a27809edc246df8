#include "RenderOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const RenderUsage =
    "usage: kavrel-render INPUT [-o OUT.png] [--lines OUT.f32] [--ini FILE]\n"
    "                     [--channel left|right|N] [--from SECONDS] [--to SECONDS]\n"
    "                     [--width COLUMNS] [--fmin HZ] [--fmax HZ] [--height POINTS]\n"
    "                     [--step FRACTION] [--size FACTOR] [--scale linear|db] [--range DB]\n"
    "                     [--palette grey|heat] [--jobs N] [--quiet] [--version] [--help]\n"
    "Draws the spectrogram the viewer shows for a sound file (WAV, FLAC, Ogg, ...) as a PNG.\n"
    "  -o OUT.png        the picture (default: INPUT with .png in place of its extension);\n"
    "                    - for standard output\n"
    "  --lines FILE      the spectrum of every analysis window (one a window advance, also\n"
    "                    between the columns drawn) as raw little-endian float32, height\n"
    "                    values a line, lowest frequency first (default: none); - for\n"
    "                    standard output\n"
    "  --ini FILE        the viewer's settings (default: kavrel.ini here, if there is one)\n"
    "  --channel C       left (the default) or right (a mono file's channel serves both),\n"
    "                    or channel N counted from 1\n"
    "  --from, --to      the span to draw, in seconds from the file's start (default: all)\n"
    "  --width COLUMNS   at most this many columns (default: one per analysis window, at\n"
    "                    most 16314; beyond that each column the loudest of k windows)\n"
    "  --fmin, --fmax    the lowest and highest frequency shown, Hz (default: the settings\n"
    "                    file's, else 40 and 1200), in the viewer's limits\n"
    "  --height POINTS   spectrum points a window, the picture's height (default 280)\n"
    "  --step FRACTION   advance between windows as a fraction of a window (default 1/3)\n"
    "  --size FACTOR     factor on the window length (default 1)\n"
    "  --scale S         linear: the viewer's grey scale (the default); db: decibels below\n"
    "                    the peak, which shows quiet sound\n"
    "  --range DB        the decibels --scale db spans below the peak (default 80, at\n"
    "                    most 1000)\n"
    "  --palette P       grey (the default) or heat: black through red and yellow to white\n"
    "  --jobs N          worker processes analysing the sound (default: one for every\n"
    "                    processor available); the picture is the same for any number\n"
    "  --quiet           errors only: no progress bar, note, hint or settings complaint\n"
    "  --version         the version\n"
    "INPUT may be - for standard input, then -o is needed; it is kept in $TMPDIR (else /tmp),\n"
    "at most 1 GB of it. Settings given here override the settings file's and must be in\n"
    "its limits.\n"
    "Exit status: 0 done; 1 the input could not be read to its end (damaged, cut short, or\n"
    "standard input longer than is kept):\n"
    "the picture shows what was read; 2 bad options, input or output, nothing written.\n";

namespace {

bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseSeconds(const char* text, double& value) {
    return ParseNumber(text, value) && value >= 0;
}

// A setting of the viewer: any number, kept as written; its limits are checked with the
// settings file's.
bool ParseSetting(const char* text, SettingsOverride& settings, SettingField field) {
    double value = 0;
    if (!ParseNumber(text, value)) return false;
    settings.value[field] = value;
    settings.written[field] = text;
    return true;
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

// One of two words, as the first or second of two values.
template <typename T>
bool ParseChoice(const char* text, const char* first, const char* second, T a, T b, T& value) {
    const bool isFirst = std::strcmp(text, first) == 0, isSecond = std::strcmp(text, second) == 0;
    if (isFirst || isSecond) value = isFirst ? a : b;
    return isFirst || isSecond;
}

std::string DefaultOutput(const std::string& input) {
    const size_t slash = input.find_last_of('/');
    const size_t dot = input.find_last_of('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (extension ? input.substr(0, dot) : input) + ".png";
}

// The values an option takes, for the message refusing another.
std::string Allowed(const std::string& option) {
    if (option == "--channel") return "left, right or a channel number from 1";
    if (option == "--width") return "a whole number from 1 to " + std::to_string(MaxRenderColumns);
    if (option == "--jobs") return "a whole number from 1 to " + std::to_string(MaxRenderJobs);
    if (option == "--from" || option == "--to") return "seconds, 0 or more";
    if (option == "--range") return "decibels, more than 0 and at most " + std::to_string(MaxRange);
    if (option == "--scale") return "linear or db";
    if (option == "--palette") return "grey or heat";
    return "a number, in the limits the settings file has";
}

// An option with a value: false for anything else.
bool ParseValue(const std::string& arg, const char* value, RenderOptions& o, bool& good) {
    SettingsOverride& s = o.overrides;
    if (arg == "-o")
        o.output = value;
    else if (arg == "--ini")
        o.settings = value, o.settingsGiven = true;
    else if (arg == "--lines")
        o.lines = value;
    else if (arg == "--channel")
        good = ParseChannel(value, o.channel, o.side);
    else if (arg == "--width")
        good = ParseCount(value, o.width) && o.width <= MaxRenderColumns;
    else if (arg == "--jobs")
        good = ParseCount(value, o.jobs) && o.jobs <= MaxRenderJobs;
    else if (arg == "--from" || arg == "--to")
        good = ParseSeconds(value, arg == "--from" ? o.from : o.to);
    else if (arg == "--range")
        good = ParseNumber(value, o.range) && o.range > 0 && o.range <= MaxRange;
    else if (arg == "--scale")
        good = ParseChoice(value, "linear", "db", Scale::Linear, Scale::Decibel, o.scale);
    else if (arg == "--palette")
        good = ParseChoice(value, "grey", "heat", Palette::Grey, Palette::Heat, o.palette);
    else if (const auto setting = std::find(SettingOptions, std::end(SettingOptions), arg);
             setting != std::end(SettingOptions))
        good = ParseSetting(value, s, SettingField(setting - SettingOptions));
    else
        return false;
    return true;
}

} // namespace

bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& options,
                        std::string& error) {
    static const char* const withValue[] = {
        "-o",     "--ini",  "--channel", "--width",  "--from",  "--to",    "--lines",   "--fmin",
        "--fmax", "--step", "--size",    "--height", "--range", "--scale", "--palette", "--jobs"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        bool takesValue = false;
        for (const char* name : withValue)
            takesValue = takesValue || arg == name;
        if (takesValue && i + 1 >= argc) return error = arg + " needs a value", false;
        bool good = true;
        if (takesValue)
            ParseValue(arg, argv[++i], options, good);
        else if (arg == "--help" || arg == "-h")
            options.help = true;
        else if (arg == "--version")
            options.version = true;
        else if (arg == "--quiet" || arg == "-q")
            options.quiet = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return error = "unknown option " + arg, false;
        else if (!options.input.empty())
            return error = "more than one input: " + arg, false;
        else
            options.input = arg;
        if (!good)
            return error = "bad value for " + arg + ": " + argv[i] + " (" + Allowed(arg) + ")",
                   false;
    }
    if (options.help || options.version) return true;
    if (options.input.empty()) return error = "no input file given", false;
    if (options.to >= 0 && options.to <= options.from)
        return error = "--to must be later than --from", false;
    if (options.output.empty() && options.input == "-")
        return error = "standard input as input needs -o", false;
    if (options.output.empty()) options.output = DefaultOutput(options.input);
    return true;
}

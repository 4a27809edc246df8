// The spectrogram of a run of samples as the viewer draws it: the viewer's control window with
// its settings and engine, fed 50 ms of sound per tick, its lines drawn as columns of the
// picture window's back buffer against the decaying peak, then both scales.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// The display gives surfaces of at most 16384 pixels a side, and the picture window has the
// 70-pixel frequency scale beside its columns.
constexpr uint32_t MaxRenderColumns = 16384 - 70;
// Worker processes at most (the interruption handler's table of workers).
constexpr uint32_t MaxRenderJobs = 256;

// Settings given on the command line, over the settings file's, in the settings' order; a
// value outside its limits is refused (the file's own fall back to their defaults).
enum SettingField { SettingFmin, SettingFmax, SettingStep, SettingSize, SettingHeight };
inline constexpr const char* SettingOptions[] = {"--fmin", "--fmax", "--step", "--size",
                                                 "--height"};
struct SettingsOverride {
    std::optional<double> value[5];
    std::string written[5]; // each value as the command line gave it
};

// How a value becomes a grey level: the viewer's linear scale against the peak, or decibels
// below the peak over a range.
enum class Scale { Linear, Decibel };
enum class Palette { Grey, Heat };

struct RenderJob {
    std::string settingsPath = "kavrel.ini";
    SettingsOverride settings;
    FILE* complaints = stderr; // where settings out of their limits are told
    Scale scale = Scale::Linear;
    double range = 80.0; // dB, for Scale::Decibel
    Palette palette = Palette::Grey;
    uint32_t maxColumns = MaxRenderColumns;
    double startSeconds = 0.0; // where the samples start in the file, for the time scale
    FILE* lines = nullptr;     // each column's line as little-endian float32, or null
    FILE* progress = nullptr;
    uint32_t jobs = 1; // worker processes running the engine
};

struct RenderPicture {
    bool ok = false;
    std::string message;    // why not, when not ok
    bool badOption = false; // the message is about a command-line value, not the sound
    int linesError = 0;     // the errno of a failed write to the lines file
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; // the picture window's client area, 0x00RRGGBB, row by row
    uint32_t columns = 0, rows = 0;
    uint32_t hopsPerColumn = 1; // windows a column (hops of the window advance between columns)
    float peak = 0.0f;          // the grey scale's peak after the last tick
    double engineSeconds = 0.0; // wall time in the engine pipeline and in drawing columns
    double drawSeconds = 0.0;
    std::string hint; // for a picture all black or all at full level: what may help
};

// Samples at 11025 Hz, 16-bit, one channel, a bounded chunk at a time.
class SampleSource {
public:
    virtual ~SampleSource() = default;
    // Up to `most` samples onto `to`; 0 at the end.
    virtual size_t Read(int16_t* to, size_t most) = 0;
};

// The picture of the first `samples` samples of a source, read once through as the windows
// are dealt to the workers. Needs the virtual backend and the kernel and number-conversion units
// started.
RenderPicture RenderStream(SampleSource& source, uint64_t samples, const RenderJob& job);
// The same of samples in memory.
RenderPicture RenderSamples(const std::vector<int16_t>& samples, const RenderJob& job);

// The samples a tick of the viewer reads: those sounding by tick t's time (50 ms each).
uint64_t SamplesByTick(uint64_t tick);

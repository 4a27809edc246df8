#include "Settings.h"

#include "Kernel.h"
#include "Matematicheskieoperacii.h"
#include "Preobrazovaniechisel.h"

#include <cstdio>
#include <cstdlib>

namespace {

// 1/3 as the nearest double, slightly below one third: the default hop of 552 samples is 183.
constexpr TSettings Defaults{40.0, 1200.0, 0x1.5555555555555p-2, 1.0, 280.0, 600.0};

// The source of the settings being checked, named in complaints.
const char* complaintSource = "kavrel.ini";

void Complain(FILE* to, const char* key, double value, const char* range, double fallback) {
    std::fprintf(to, "%s: %s = %g is outside its range %s; the default %g is used\n",
                 complaintSource, key, value, range, fallback);
}

// The window factor E: twice the samples in one period of the lowest frequency, rounded.
int32_t WindowFactor(double fmin, uint32_t sampleRate) {
    return RoundToInt(double(sampleRate / static_cast<long double>(fmin) * 2));
}

// E x Size truncated, the product formed in extended precision.
int64_t ScaledWindow(int32_t factor, double size) {
    return TruncToInt64(static_cast<long double>(factor) * size);
}

// Raised to the next multiple of 4, above a multiple of 4 too (552 becomes 556).
uint32_t WindowLength(int64_t scaled) {
    return uint32_t(scaled + 4 - scaled % 4);
}

int64_t Hop(uint32_t n, double step) {
    return TruncToInt64(static_cast<long double>(n) * step);
}

void KeepFrequencies(TSettings& s, uint32_t sampleRate, FILE* to) {
    const double nyquist = sampleRate / 2.0;
    char range[96];
    if (!(s.Fmin >= MinFmin && s.Fmin < nyquist)) {
        std::snprintf(range, sizeof range, "%g <= Fmin < %g", MinFmin, nyquist);
        Complain(to, "Fmin", s.Fmin, range, Defaults.Fmin);
        s.Fmin = Defaults.Fmin;
    }
    if (!(s.Fmax > 0.0 && s.Fmax <= nyquist)) {
        std::snprintf(range, sizeof range, "0 < Fmax <= %g", nyquist);
        Complain(to, "Fmax", s.Fmax, range, Defaults.Fmax);
        s.Fmax = Defaults.Fmax;
    }
    if (s.Fmin >= s.Fmax && s.Fmin != Defaults.Fmin) {
        std::snprintf(range, sizeof range, "%g <= Fmin < Fmax = %g", MinFmin, s.Fmax);
        Complain(to, "Fmin", s.Fmin, range, Defaults.Fmin);
        s.Fmin = Defaults.Fmin;
    }
    if (s.Fmin >= s.Fmax) {
        std::snprintf(range, sizeof range, "Fmin = %g < Fmax <= %g", s.Fmin, nyquist);
        Complain(to, "Fmax", s.Fmax, range, Defaults.Fmax);
        s.Fmax = Defaults.Fmax;
    }
}

// The window must hold MinWindow to MaxWindow samples: E x Size from 4 to just below 16384.
void KeepSize(TSettings& s, uint32_t sampleRate, FILE* to) {
    const int32_t factor = WindowFactor(s.Fmin, sampleRate);
    const int64_t scaled = ScaledWindow(factor, s.Size);
    if (scaled >= MinWindow - 4 && scaled < MaxWindow) return;
    char range[112];
    std::snprintf(range, sizeof range, "%g <= size < %g (windows of %u to %u samples)",
                  (MinWindow - 4.0) / factor, double(MaxWindow) / factor, MinWindow, MaxWindow);
    Complain(to, "size", s.Size, range, Defaults.Size);
    s.Size = Defaults.Size;
}

// The hop must be at least one sample and at most the window.
void KeepStep(TSettings& s, uint32_t sampleRate, FILE* to) {
    const uint32_t n = WindowLength(ScaledWindow(WindowFactor(s.Fmin, sampleRate), s.Size));
    const int64_t hop = Hop(n, s.Step);
    if (hop >= 1 && hop <= n) return;
    char range[96];
    std::snprintf(range, sizeof range, "%g <= step <= 1 (hops of 1 to %u samples)", 1.0 / n, n);
    Complain(to, "step", s.Step, range, Defaults.Step);
    s.Step = Defaults.Step;
}

void KeepPixels(const char* key, double& value, double fallback, uint32_t most, FILE* to) {
    const int64_t pixels = TruncToInt64(value);
    if (pixels >= MinPixels && pixels <= most) return;
    char range[64];
    std::snprintf(range, sizeof range, "%u <= %s < %u", MinPixels, key, most + 1);
    Complain(to, key, value, range, fallback);
    value = fallback;
}

} // namespace

void SetSettingsDefaults(TSettings& settings) {
    settings = Defaults;
}

void ApplySettingsLine(TSettings& settings, const char* line) {
    TAnsiString key, value;
    if (!SplitAt(key, value, TAnsiString(line), '=')) return;
    TAnsiString text = value, ignored;
    const bool percent = SplitAt(text, ignored, value, '%');
    double number = 0.0;
    if (text.Length() > 0 && IsNumberText(text.Data(), text.Length()))
        TextToDouble(&number, text.Data(), text.Length(), true, nullptr);
    if (percent) number *= 0.01;
    double* const fields[] = {&settings.Fmin, &settings.Fmax,   &settings.Step,
                              &settings.Size, &settings.Height, &settings.Width};
    const char* const keys[] = {"Fmin", "Fmax", "step", "size", "height", "width"};
    for (int i = 0; i < 6; ++i) {
        if (Compare(key, TAnsiString(keys[i])) == 0) {
            *fields[i] = number;
            return;
        }
    }
}

void KeepSettingsInLimits(TSettings& settings, uint32_t sampleRate, FILE* complaints,
                          const char* source) {
    complaintSource = source;
    KeepFrequencies(settings, sampleRate, complaints);
    KeepSize(settings, sampleRate, complaints);
    KeepStep(settings, sampleRate, complaints);
    KeepPixels("height", settings.Height, Defaults.Height, MaxRows, complaints);
    KeepPixels("width", settings.Width, Defaults.Width, MaxCols, complaints);
}

TDerivedSizes DeriveSizes(const TSettings& settings, uint32_t sampleRate) {
    TDerivedSizes d{};
    d.N = WindowLength(ScaledWindow(WindowFactor(settings.Fmin, sampleRate), settings.Size));
    d.H = uint32_t(Hop(d.N, settings.Step));
    d.Rows = uint32_t(TruncToInt64(settings.Height));
    d.Cols = uint32_t(TruncToInt64(settings.Width));
    d.TimeFrom = double(static_cast<long double>(d.H) / sampleRate * -(int64_t(d.Cols) - 1));
    return d;
}

void FillConfigRecord(ConfigRecord& record, const TSettings& settings, const TDerivedSizes& sizes,
                      uint32_t sampleRate) {
    SetConfigDefaults(record);
    record.SampleCount = sizes.N;
    record.LagCount = sizes.N >> 2;
    record.PointCount = sizes.Rows;
    record.UnbiasedCorrelation = 0;
    record.FreqStart = settings.Fmin;
    record.FreqStop = settings.Fmax;
    record.SamplePeriod = 1.0 / sampleRate;
    ValidateConfig(record);
}

std::string SettingsFilePath() {
    const std::string name = "kavrel.ini";
#if !defined(_WIN32)
    if (FileExists(name.c_str())) return name;
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/kavrel/" + name;
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/kavrel/" + name;
#endif
    return name;
}

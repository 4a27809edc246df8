#include "Settings.h"

#include "Kernel.h"
#include "Matematicheskieoperacii.h"
#include "Preobrazovaniechisel.h"
#include "platform/Forms.h"
#include "platform/Gdi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// 1/3 as the nearest double, slightly below one third: the default hop of 552 samples is 183.
constexpr TSettings Defaults{40.0, 1200.0, 0x1.5555555555555p-2, 1.0, 280.0, 600.0, 0.0, {}, {}};
const char* const Keys[] = {"Fmin", "Fmax", "step", "size", "height", "width", "zoom"};
enum TField { FieldFmin, FieldFmax, FieldStep, FieldSize, FieldHeight, FieldWidth, FieldZoom };
constexpr int FieldCount = FieldZoom + 1;

// Where complaints go, and the settings file they name.
struct TComplaints {
    FILE* to;
    const char* file;
};

// One line to its stream; standard error is the program's messages, which a Windows program
// without a console shows in a box.
void Say(FILE* to, const char* line) {
    if (to == stderr)
        ProgramMessage(line);
    else
        std::fprintf(to, "%s\n", line);
}

// A complaint names the file (a path of up to 4096 bytes) and a value of up to 40.
using TLine = char[4096 + 512];

// A number as the scales write it: the user locale's decimal separator, at most six decimals.
struct TNumber {
    char text[48];
};
TNumber Num(double value) {
    TNumber n{};
    n.text[TrimZeros(n.text, FormatDouble(n.text, sizeof n.text, value, 1, 6, false))] = 0;
    return n;
}

// fallback: the default that is used instead, as said.
void Complain(const TComplaints& c, const TSettings& s, TField field, double value,
              const char* range, const char* fallback) {
    const TNumber number = Num(value);
    const char* written = s.Written[field][0] != 0 ? s.Written[field] : number.text;
    TLine line;
    if (s.NotANumber[field])
        std::snprintf(line, sizeof line, "%s: %s = %s is not a number; the default %s is used",
                      c.file, Keys[field], written, fallback);
    else
        std::snprintf(line, sizeof line,
                      "%s: %s = %s is outside its range %s; the default %s is used", c.file,
                      Keys[field], written, range, fallback);
    Say(c.to, line);
}

void Complain(const TComplaints& c, const TSettings& s, TField field, double value,
              const char* range, double fallback) {
    Complain(c, s, field, value, range, Num(fallback).text);
}

// The value text for complaints: control characters shown as '?', a long one cut short.
void KeepWritten(char (&to)[40], const TAnsiString& value) {
    const char* text = value.Data() != nullptr ? value.Data() : "";
    const uint32_t length = value.Length();
    const bool cut = length >= sizeof to;
    const uint32_t kept = cut ? sizeof to - 4 : length;
    for (uint32_t i = 0; i < kept; ++i)
        to[i] = static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7F ? '?' : text[i];
    std::strcpy(to + kept, cut ? "..." : "");
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

void KeepFrequencies(TSettings& s, uint32_t sampleRate, const TComplaints& to) {
    const double nyquist = sampleRate / 2.0;
    char range[192];
    if (!(s.Fmin >= MinFmin && s.Fmin < nyquist)) {
        std::snprintf(range, sizeof range, "%s <= Fmin < %s", Num(MinFmin).text, Num(nyquist).text);
        Complain(to, s, FieldFmin, s.Fmin, range, Defaults.Fmin);
        s.Fmin = Defaults.Fmin;
    }
    if (!(s.Fmax > 0.0 && s.Fmax <= nyquist)) {
        std::snprintf(range, sizeof range, "0 < Fmax <= %s", Num(nyquist).text);
        Complain(to, s, FieldFmax, s.Fmax, range, Defaults.Fmax);
        s.Fmax = Defaults.Fmax;
    }
    if (s.Fmin >= s.Fmax && s.Fmin != Defaults.Fmin) {
        std::snprintf(range, sizeof range, "%s <= Fmin < Fmax = %s", Num(MinFmin).text,
                      Num(s.Fmax).text);
        Complain(to, s, FieldFmin, s.Fmin, range, Defaults.Fmin);
        s.Fmin = Defaults.Fmin;
    }
    if (s.Fmin >= s.Fmax) {
        std::snprintf(range, sizeof range, "Fmin = %s < Fmax <= %s", Num(s.Fmin).text,
                      Num(nyquist).text);
        Complain(to, s, FieldFmax, s.Fmax, range, Defaults.Fmax);
        s.Fmax = Defaults.Fmax;
    }
}

// The window must hold MinWindow to MaxWindow samples: E x Size from 4 to just below 16384.
void KeepSize(TSettings& s, uint32_t sampleRate, const TComplaints& to) {
    const int32_t factor = WindowFactor(s.Fmin, sampleRate);
    const int64_t scaled = ScaledWindow(factor, s.Size);
    if (scaled >= MinWindow - 4 && scaled < MaxWindow) return;
    char range[192];
    std::snprintf(range, sizeof range, "%s <= size < %s (windows of %u to %u samples)",
                  Num((MinWindow - 4.0) / factor).text, Num(double(MaxWindow) / factor).text,
                  MinWindow, MaxWindow);
    Complain(to, s, FieldSize, s.Size, range, Defaults.Size);
    s.Size = Defaults.Size;
}

// The hop must be at least one sample and at most the window.
void KeepStep(TSettings& s, uint32_t sampleRate, const TComplaints& to) {
    const uint32_t n = WindowLength(ScaledWindow(WindowFactor(s.Fmin, sampleRate), s.Size));
    const int64_t hop = Hop(n, s.Step);
    if (hop >= 1 && hop <= n) return;
    char range[192];
    std::snprintf(range, sizeof range, "%s <= step <= 1 (hops of 1 to %u samples)",
                  Num(1.0 / n).text, n);
    Complain(to, s, FieldStep, s.Step, range, Defaults.Step);
    s.Step = Defaults.Step;
}

void KeepPixels(TSettings& s, TField field, double& value, double fallback, uint32_t most,
                const TComplaints& to) {
    const int64_t pixels = TruncToInt64(value);
    if (pixels >= MinPixels && pixels <= most) return;
    char range[64];
    std::snprintf(range, sizeof range, "%u <= %s < %u", MinPixels, Keys[field], most + 1);
    Complain(to, s, field, value, range, fallback);
    value = fallback;
}

// A whole factor from 1 to MaxZoom, or none written (the screen's).
void KeepZoom(TSettings& s, const TComplaints& to) {
    const bool written = s.Written[FieldZoom][0] != 0;
    if (!written || (s.Zoom >= 1 && s.Zoom <= MaxZoom && s.Zoom == std::floor(s.Zoom))) return;
    char range[64];
    std::snprintf(range, sizeof range, "1 to %u (a whole number)", MaxZoom);
    Complain(to, s, FieldZoom, s.Zoom, range, "(the screen's)");
    s.Zoom = Defaults.Zoom;
    s.Written[FieldZoom][0] = 0;
    s.NotANumber[FieldZoom] = false;
}

} // namespace

void SetSettingsDefaults(TSettings& settings) {
    settings = Defaults;
}

void ApplySettingsLine(TSettings& settings, const char* line, FILE* complaints,
                       const char* fileName) {
    TAnsiString key, value;
    if (!SplitAt(key, value, TAnsiString(line), '=')) return;
    TAnsiString text = value, ignored;
    const bool percent = SplitAt(text, ignored, value, '%');
    const bool numberText = text.Length() > 0 && IsNumberText(text.Data(), text.Length());
    double number = 0.0;
    if (numberText) TextToDouble(&number, text.Data(), text.Length(), true, nullptr);
    if (percent) number *= 0.01;
    double* const fields[] = {&settings.Fmin,   &settings.Fmax,  &settings.Step, &settings.Size,
                              &settings.Height, &settings.Width, &settings.Zoom};
    for (int i = 0; i < FieldCount; ++i) {
        if (Compare(key, TAnsiString(Keys[i])) == 0) {
            *fields[i] = number;
            KeepWritten(settings.Written[i], value);
            settings.NotANumber[i] = !numberText;
            return;
        }
    }
    const char first = key.Length() > 0 ? key.Data()[0] : ';';
    if (complaints == nullptr || first == ';' || first == '#') return;
    char shown[40];
    KeepWritten(shown, key);
    TLine said;
    std::snprintf(said, sizeof said,
                  "%s: the key \"%s\" is not known and its line is ignored; the keys are Fmin, "
                  "Fmax, step, size, height, width and zoom, written exactly so",
                  fileName, shown);
    Say(complaints, said);
}

void KeepSettingsInLimits(TSettings& settings, uint32_t sampleRate, FILE* complaints,
                          const char* fileName) {
    const TComplaints to{complaints, fileName};
    KeepFrequencies(settings, sampleRate, to);
    KeepSize(settings, sampleRate, to);
    KeepStep(settings, sampleRate, to);
    KeepPixels(settings, FieldHeight, settings.Height, Defaults.Height, MaxRows, to);
    KeepPixels(settings, FieldWidth, settings.Width, Defaults.Width, MaxCols, to);
    KeepZoom(settings, to);
}

uint32_t ZoomFactor(const TSettings& settings) {
    if (settings.Zoom >= 1) return uint32_t(settings.Zoom);
    HDC screen = CreateCompatibleDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) DeleteDC(screen);
    return uint32_t(std::clamp(dpi / 96, 1, int(MaxZoom)));
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

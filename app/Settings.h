// The display settings of kavrel.ini, their defaults and limits, and the sizes derived from
// them: the zoom factor of the windows, the analysis window length N, the hop H, the picture's rows
// and columns, the time axis and the engine's configuration record.
#pragma once

#include "Zol_config.h"

#include <cstdint>
#include <cstdio>
#include <string>

struct TSettings {
    double Fmin;   // lowest frequency shown, Hz; also sets the window length
    double Fmax;   // highest frequency shown, Hz
    double Step;   // hop between windows as a fraction of the window length
    double Size;   // factor on the window length
    double Height; // picture height in pixels = spectrum points per line
    double Width;  // picture width in pixels = lines shown
    double Zoom;   // the windows' pixels per picture pixel, 1 to 4; 0: the screen's factor
    // Each value as the file wrote it, in the order above (empty: not written), so that a
    // complaint names what the user sees; control characters are shown as '?' and a long
    // value is cut short.
    char Written[7][40];
    bool NotANumber[7]; // the written value is no number text
};

// What the picture and the engine are built from.
struct TDerivedSizes {
    uint32_t N;    // analysis window length, samples
    uint32_t H;    // hop between successive windows, samples
    uint32_t Rows; // spectrum points per line
    uint32_t Cols; // lines on screen
    double TimeFrom;
};

// Limits that every setting is kept inside: the engine serves windows of MinWindow to MaxWindow
// samples; the picture has MinPixels to MaxRows rows and MinPixels to MaxCols columns.
constexpr uint32_t MinWindow = 8, MaxWindow = 16384;
constexpr uint32_t MinPixels = 2, MaxRows = 2000, MaxCols = 4000;
constexpr double MinFmin = 2.0;
constexpr uint32_t MaxZoom = 4;

void SetSettingsDefaults(TSettings& settings);
// One line of the settings file: "key = value" or "key = value %", the key one of Fmin, Fmax,
// step, size, height, width, zoom (exactly so); a value that is not number text counts as 0. Other
// lines change nothing; one of the form key = value with another key is named in one line to
// complaints (when given), the key left out when it starts a comment (';' or '#'). Complaints
// sent to stderr go through ProgramMessage: a Windows program without a console shows them in a
// box.
void ApplySettingsLine(TSettings& settings, const char* line, FILE* complaints = nullptr,
                       const char* fileName = "kavrel.ini");
// Puts back the default of every setting outside its limits (which depend on the sample rate
// and the settings already kept), with one line to complaints (the program's standard error)
// naming the file, the key, the value as written (or that it is not a number) and the range,
// whose numbers are written with the user locale's decimal separator; stderr as above.
void KeepSettingsInLimits(TSettings& settings, uint32_t sampleRate, FILE* complaints,
                          const char* fileName = "kavrel.ini");
// The zoom factor of settings that KeepSettingsInLimits has passed: the written one, else the
// screen's (its pixels per inch / 96, rounded down, 1 to MaxZoom).
uint32_t ZoomFactor(const TSettings& settings);
// The sizes of settings that KeepSettingsInLimits has passed.
TDerivedSizes DeriveSizes(const TSettings& settings, uint32_t sampleRate);
// The settings file to read: kavrel.ini in the current directory when there is one, else (on
// Linux, where a program started from the desktop's menu runs in the home folder) the user's
// $XDG_CONFIG_HOME/kavrel/kavrel.ini, ~/.config/kavrel/kavrel.ini without that variable.
std::string SettingsFilePath();
// The engine's record: its defaults with the window, lag count, points, frequencies and sample
// period of these sizes, validated.
void FillConfigRecord(ConfigRecord& record, const TSettings& settings, const TDerivedSizes& sizes,
                      uint32_t sampleRate);

// Feeds arbitrary bytes as kavrel.ini through the settings handler, the limits and the
// derivation of the sizes and the engine's record: every input must end inside the limits.
#include "Settings.h"
#include "Ttekstoviyfayl.h"
#include "VirtualForms.h"
#include "platform/Kernel32.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool Handle(const char* line, TTekstoviyFayl*, void* settings) {
    ApplySettingsLine(*static_cast<TSettings*>(settings), line);
    return true;
}

// The input is a memory file of the platform's file layer: no input touches the disk.
constexpr const char* FileName = "kavrel.ini";

FILE* Complaints() {
    static FILE* sink = std::fopen("/dev/null", "w");
    return sink;
}

void Require(bool holds) {
    if (!holds) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (Complaints() == nullptr) return 0;
    SetMemoryFile(FileName, data, size);
    TSettings settings;
    SetSettingsDefaults(settings);
    TTekstoviyFayl reader{TAnsiString(FileName)};
    reader.SetLineHandler(Handle, &settings);
    reader.ReadLines();
    TakeRecordedMessageBoxes();
    KeepSettingsInLimits(settings, 11025, Complaints());
    const TDerivedSizes d = DeriveSizes(settings, 11025);
    Require(settings.Fmin >= MinFmin && settings.Fmin < settings.Fmax &&
            settings.Fmax <= 11025 / 2.0);
    Require(d.N >= MinWindow && d.N <= MaxWindow && d.N % 4 == 0);
    Require(d.H >= 1 && d.H <= d.N);
    Require(d.Rows >= MinPixels && d.Rows <= MaxRows && d.Cols >= MinPixels && d.Cols <= MaxCols);
    Require(d.TimeFrom < 0 && d.TimeFrom > -double(d.H) * d.Cols / 11025);
    Require(ZoomFactor(settings) >= 1 && ZoomFactor(settings) <= MaxZoom);
    ConfigRecord record{};
    FillConfigRecord(record, settings, d, 11025);
    Require(record.SampleCount == d.N && record.LagCount == d.N / 4 && record.PointCount == d.Rows);
    return 0;
}

#include "Render.h"

#include "EngineWorkers.h"
#include "Levels.h"
#include "Progress.h"
#include "SoundFile.h"
#include "Tfrmizobragenie.h"
#include "Zol_vis.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace {

constexpr uint32_t TickMilliseconds = 50;
// The frequency scale's band left of the columns.
constexpr uint32_t ScaleBandWidth = 70;

// Columns of a run of samples: one per window the viewer would analyse, and when they are more
// than allowed, one for every hopsPerColumn windows.
struct ColumnPlan {
    uint32_t columns = 0, hopsPerColumn = 1;
};

ColumnPlan PlanColumns(uint64_t samples, uint32_t n, uint32_t hop, uint32_t maxColumns) {
    ColumnPlan plan;
    if (samples < n || hop == 0 || maxColumns == 0) return plan;
    const uint64_t windows = (samples - n) / hop + 1;
    plan.hopsPerColumn = uint32_t((windows + maxColumns - 1) / maxColumns);
    plan.columns = uint32_t((windows - 1) / plan.hopsPerColumn + 1);
    return plan;
}

// The lines waiting in the line FIFO, as raw float32 (this machine is little-endian).
bool WriteWaitingLines(const TfrmMain& form, FILE* to) {
    const auto& fifo = form.LineFifo;
    const size_t count = size_t(fifo.BlocksAvailable()) * form.Rows;
    // An empty FIFO may have no storage at all: nothing is passed on then.
    if (to == nullptr || count == 0) return true;
    return std::fwrite(fifo.Items().Data() + fifo.ReadPos(), sizeof(float), count, to) == count;
}

// The decibel scale's peak: the largest value itself (the viewer's grey scale keeps only its
// whole part, which is 0 for quiet sound), decaying and rising as the viewer's peak does.
struct DecibelPeak {
    float value = 0.0f;

    void Decay(TfrmMain& form) {
        std::swap(form.Peak, value);
        form.DecayPeak();
        std::swap(form.Peak, value);
    }
};

// The picture's columns: each the per-row maximum of the lines of its windows (one window a
// column while there are no more windows than columns), drawn against the peak after its last
// window, so that a short event between columns still shows. A line with values that are not
// numbers is left out (a column of such lines only draws black), as the viewer draws it black.
class Columns {
public:
    Columns(const RenderJob& job, uint32_t rows, uint32_t hopsPerColumn)
        : job(job), rows(rows), hops(hopsPerColumn), values(rows) {}

    // The next waiting line of the form into the column, every peak following it; the column
    // drawn when complete.
    void Take(TfrmMain& form, const DDSURFACEDESC& pixels) {
        const float* line = form.LineFifo.Items().Data() + form.LineFifo.ReadPos();
        bool finite = true;
        float top = 0.0f;
        for (uint32_t k = 0; k < rows && finite; ++k)
            finite = std::isfinite(line[k]), top = std::max(top, line[k]);
        if (finite) {
            for (uint32_t k = 0; k < rows; ++k)
                values[k] = drawable ? std::max(values[k], line[k]) : line[k];
            drawable = true;
            decibelPeak.value = std::max(decibelPeak.value, top);
        }
        form.DrawColumns(nullptr, 0, 1); // the viewer's peak follows every window
        if (++taken == hops) Draw(form, pixels);
    }
    // The last column when its windows are fewer.
    void Finish(TfrmMain& form, const DDSURFACEDESC& pixels) {
        if (taken > 0) Draw(form, pixels);
    }
    void Decay(TfrmMain& form) { decibelPeak.Decay(form); }

private:
    void Draw(TfrmMain& form, const DDSURFACEDESC& pixels) {
        const TGraficheskoeOkno& surface = frmIzobragenie->Surface;
        auto* column =
            static_cast<uint8_t*>(pixels.lpSurface) + size_t(form.PictureRect.left + x) * 4;
        for (uint32_t k = 0; k < rows; ++k) {
            const uint32_t level = !drawable ? 0
                                   : job.scale == Scale::Linear
                                       ? GreyLevel(values[k], form.Peak, form.Gain)
                                       : DecibelLevel(values[k], decibelPeak.value, job.range);
            const size_t row = size_t(form.PictureRect.top) + rows - 1 - k;
            *reinterpret_cast<uint32_t*>(column + row * size_t(pixels.lPitch)) =
                surface.ConvertColour(surface.ConvertContext, level * 0x010101u);
        }
        ++x;
        taken = 0;
        drawable = false;
    }

    const RenderJob& job;
    uint32_t rows, hops, taken = 0, x = 0;
    bool drawable = false; // a line of numbers has been taken into values
    std::vector<float> values;
    DecibelPeak decibelPeak;
};

// Runs `draw` on the locked pixels of the picture's back buffer.
template <typename Draw> bool WithPixels(Draw draw) {
    TGraficheskoeOkno& owner = frmIzobragenie->Surface;
    IDirectDrawSurface* surface = owner.BeginDraw(true);
    if (surface == nullptr) return false;
    DDSURFACEDESC pixels{};
    pixels.dwSize = sizeof pixels;
    const bool locked = surface->Lock(nullptr, &pixels, DDLOCK_WAIT, nullptr) == DD_OK;
    if (locked) {
        draw(pixels);
        surface->Unlock(nullptr);
    }
    owner.EndDraw();
    return locked;
}

// One tick of the viewer's drawing without its scroll: the peaks decay, then every waiting
// line raises them as the viewer's would and goes into its column.
bool DrawTick(TfrmMain& form, Columns& columns) {
    form.DecayPeak();
    columns.Decay(form);
    const bool drawn = WithPixels([&](const DDSURFACEDESC& pixels) {
        for (uint32_t i = form.LineFifo.BlocksAvailable(); i > 0; --i)
            columns.Take(form, pixels);
    });
    form.LineFifo.Compact();
    return drawn;
}

bool DrawScalesOnce(TfrmMain& form) {
    TGraficheskoeOkno& owner = frmIzobragenie->Surface;
    if (owner.BeginDraw(true) == nullptr) return false;
    form.DrawScales();
    owner.EndDraw();
    return true;
}

// The back buffer with a reference of its own, so that it outlives the form: the copy is made
// after the picture window and its own pixels are gone, which keeps two pictures' worth of
// memory at the end, not three. Null when there is none.
IDirectDrawSurface* KeepBackBuffer(RenderPicture& picture) {
    IDirectDrawSurface* surface = frmIzobragenie->Surface.BackBuffer;
    if (surface == nullptr) return nullptr;
    picture.width = uint32_t(PictureClientWidth(frmIzobragenie));
    picture.height = uint32_t(PictureClientHeight(frmIzobragenie));
    surface->AddRef();
    return surface;
}

bool CopyClientArea(IDirectDrawSurface* surface, RenderPicture& picture) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    if (surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return false;
    const bool fits = d.dwWidth >= picture.width && d.dwHeight >= picture.height;
    if (fits) {
        picture.pixels.resize(size_t(picture.width) * picture.height);
        for (uint32_t y = 0; y < picture.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(
                static_cast<const uint8_t*>(d.lpSurface) + size_t(y) * size_t(d.lPitch));
            std::transform(row, row + picture.width,
                           picture.pixels.begin() + ptrdiff_t(size_t(y) * picture.width),
                           [](uint32_t p) { return p & 0x00FFFFFFu; });
        }
    }
    surface->Unlock(nullptr);
    return fits;
}

// The heat map over the picture's columns (the scales stay as they are), and a hint when the
// picture came out all black or all at full level.
void FinishColours(RenderPicture& picture, const RenderJob& job) {
    uint32_t darkest = 255, lightest = 0;
    for (uint32_t y = 0; y < picture.rows; ++y) {
        uint32_t* row = picture.pixels.data() + size_t(y) * picture.width + ScaleBandWidth;
        for (uint32_t x = 0; x < picture.columns; ++x) {
            const uint32_t level = row[x] & 0xFF;
            darkest = std::min(darkest, level);
            lightest = std::max(lightest, level);
            if (job.palette == Palette::Heat) row[x] = HeatColour(level);
        }
    }
    const char* scale = job.scale == Scale::Linear ? "try --scale db" : "try another --range";
    if (lightest == 0)
        picture.hint = std::string("the picture is all black (quiet or silent sound?); ") + scale;
    else if (darkest == 255)
        picture.hint = std::string("the picture is all at full level; ") + scale;
}

// The command line's settings over the file's, in the same limits, and the form made to follow
// them. A value given here outside its limits is refused, saying the range of the viewer's
// complaint: the returned message (empty when all are in their limits). Complaints about the
// file's values are passed on.
std::string OverrideSettings(TfrmMain& form, const RenderJob& job) {
    const SettingsOverride& o = job.settings;
    TSettings& s = form.Settings;
    double* const fields[] = {&s.Fmin, &s.Fmax, &s.Step, &s.Size, &s.Height};
    bool any = false;
    for (int f = SettingFmin; f <= SettingHeight; ++f) {
        if (!o.value[f]) continue;
        *fields[f] = *o.value[f];
        std::snprintf(s.Written[f], sizeof s.Written[f], "%s", o.written[f].c_str());
        s.NotANumber[f] = false;
        any = true;
    }
    if (!any) return {};
    char* text = nullptr;
    size_t size = 0;
    FILE* said = open_memstream(&text, &size);
    if (said == nullptr) return "out of memory";
    // Complaints name the settings file: those about its values are passed on as they are.
    const std::string file = job.settingsPath;
    KeepSettingsInLimits(s, form.SampleRate, said, file.c_str());
    std::fclose(said);
    std::istringstream complaints(std::string(text, size));
    std::free(text);
    static const char* const keys[] = {"Fmin", "Fmax", "step", "size", "height"};
    constexpr std::string_view outside = " is outside its range ", fallback = "; the default ";
    for (std::string line; std::getline(complaints, line);) {
        for (int f = SettingFmin; f <= SettingHeight; ++f) {
            const std::string named = file + ": " + keys[f] + " = ";
            if (!o.value[f] || line.rfind(named, 0) != 0) continue;
            const std::string given = std::string(SettingOptions[f]) + " " + o.written[f];
            const size_t from = line.find(outside);
            if (from == std::string::npos) return given + ": " + line;
            const size_t range = from + outside.size();
            return given + outside.data() + line.substr(range, line.find(fallback) - range);
        }
        std::fprintf(job.complaints, "%s\n", line.c_str());
    }
    form.ApplySettings();
    return {};
}

RenderPicture Refused(std::string message) {
    RenderPicture picture;
    picture.message = std::move(message);
    return picture;
}

// Deals the windows to the workers in batches, in order, reading the sound only as far as the
// batches dealt need, and takes their lines back in window order.
class Batches {
public:
    Batches(SampleSource& source, EngineWorkers& workers, uint64_t windows, const TfrmMain& form)
        : source(source), workers(workers), windows(windows), window(form.Sizes.N),
          hop(form.Sizes.H), rows(form.Rows) {}

    // The lines of the windows before `end` not yet taken onto the form's line FIFO.
    bool Take(TfrmMain& form, uint64_t end) {
        while (taken < end) {
            const uint64_t batch = taken / EngineWorkers::BatchWindows;
            while (dealt < Count() && dealt < batch + workers.InFlight())
                if (!Deal()) return false;
            if (lines == nullptr || collected != batch) {
                if ((lines = workers.Collect(batch)) == nullptr) return false;
                collected = batch;
            }
            const uint64_t first = batch * EngineWorkers::BatchWindows;
            const uint64_t last = std::min({end, first + EngineWorkers::BatchWindows, windows});
            TOdnomernoeMnogestvoElementov<float> some(16);
            some.Attach(const_cast<float*>(lines) + size_t(taken - first) * rows,
                        uint32_t((last - taken) * rows));
            if (!form.LineFifo.Append(some)) return false;
            taken = last;
        }
        return true;
    }
    // The source gave fewer samples than it was counted to have.
    bool Shrank() const { return shrank; }

private:
    uint64_t Count() const {
        return (windows + EngineWorkers::BatchWindows - 1) / EngineWorkers::BatchWindows;
    }

    // The next batch: the samples before it dropped, those up to its last window's end read.
    bool Deal() {
        const uint64_t first = dealt * EngineWorkers::BatchWindows;
        const auto count =
            uint32_t(std::min<uint64_t>(EngineWorkers::BatchWindows, windows - first));
        const uint64_t from = first * hop, to = (first + count - 1) * hop + window;
        buffer.erase(buffer.begin(), buffer.begin() + ptrdiff_t(from - start));
        start = from;
        while (start + buffer.size() < to) {
            const size_t had = buffer.size();
            buffer.resize(size_t(to - start));
            const size_t got = source.Read(buffer.data() + had, buffer.size() - had);
            buffer.resize(had + got);
            if (got == 0) return shrank = true, false;
        }
        return workers.Deal(dealt++, buffer.data(), count);
    }

    SampleSource& source;
    EngineWorkers& workers;
    uint64_t windows, window, hop, rows;
    uint64_t dealt = 0, taken = 0, collected = 0, start = 0;
    const float* lines = nullptr;
    bool shrank = false;
    std::vector<int16_t> buffer; // samples from `start` on
};

// The ticks of the sound: at each, the lines of the windows sounding by its time come from the
// workers and are drawn, so that the peaks decay and rise as in one process.
bool RunTicks(TfrmMain& form, SampleSource& source, uint64_t samples, const RenderJob& job,
              RenderPicture& picture) {
    using Clock = std::chrono::steady_clock;
    const uint64_t n = form.Sizes.N, hop = form.Sizes.H, windows = (samples - n) / hop + 1;
    Progress progress(job.progress, windows);
    // While the ticks run every line waits to be drawn: none is dropped for want of columns.
    const uint32_t columns = form.Cols;
    form.Cols = UINT32_MAX;
    Columns drawn(job, form.Rows, picture.hopsPerColumn);
    EngineWorkers workers;
    const uint64_t batches = (windows - 1) / EngineWorkers::BatchWindows + 1;
    if (!workers.Start(form, uint32_t(std::clamp<uint64_t>(batches, 1, job.jobs)))) return false;
    Batches dealer(source, workers, windows, form);
    for (uint64_t tick = 1, done = 0; done < samples; ++tick) {
        done = std::min(samples, SamplesByTick(tick));
        const auto start = Clock::now();
        if (done >= n && !dealer.Take(form, (done - n) / hop + 1)) {
            if (dealer.Shrank())
                picture.message = "the input changed while being read: it ended before the "
                                  "length read at first";
            return false;
        }
        if (!WriteWaitingLines(form, job.lines)) return picture.linesError = errno, false;
        const auto engineDone = Clock::now();
        if (!DrawTick(form, drawn)) return false;
        picture.engineSeconds += std::chrono::duration<double>(engineDone - start).count();
        picture.drawSeconds += std::chrono::duration<double>(Clock::now() - engineDone).count();
        progress.Show(workers.Made());
    }
    if (!WithPixels([&](const DDSURFACEDESC& pixels) { drawn.Finish(form, pixels); })) return false;
    progress.Finish();
    form.Cols = columns;
    return true;
}

// Samples in memory as a source.
class MemorySource : public SampleSource {
public:
    explicit MemorySource(const std::vector<int16_t>& samples) : samples(samples) {}
    size_t Read(int16_t* to, size_t most) override {
        const size_t n = std::min(most, samples.size() - at);
        std::copy_n(samples.data() + at, n, to);
        at += n;
        return n;
    }

private:
    const std::vector<int16_t>& samples;
    size_t at = 0;
};

} // namespace

uint64_t SamplesByTick(uint64_t tick) {
    return tick * TickMilliseconds * RenderRate / 1000;
}

RenderPicture RenderSamples(const std::vector<int16_t>& samples, const RenderJob& job) {
    MemorySource source(samples);
    return RenderStream(source, samples.size(), job);
}

RenderPicture RenderStream(SampleSource& source, uint64_t samples, const RenderJob& job) {
    TApplication application;
    application.Initialize();
    auto* form = new TfrmMain(&application, job.settingsPath.c_str(), 1);
    if (std::string bad = OverrideSettings(*form, job); !bad.empty()) {
        delete form;
        RenderPicture refused = Refused(std::move(bad));
        refused.badOption = true;
        return refused;
    }
    const ColumnPlan plan = PlanColumns(samples, form->Sizes.N, form->Sizes.H, job.maxColumns);
    if (plan.columns == 0) {
        const uint32_t n = form->Sizes.N;
        delete form;
        return Refused("the sound is shorter than one analysis window (" + std::to_string(n) +
                       " samples at 11025 Hz; it has " + std::to_string(samples) + ")");
    }
    form->Cols = plan.columns;
    form->CreatePicture();
    form->TimeFrom = job.startSeconds;
    form->TimeTo =
        job.startSeconds + double(plan.columns) * form->Sizes.H * plan.hopsPerColumn / RenderRate;
    RenderPicture picture;
    picture.columns = plan.columns;
    picture.rows = form->Rows;
    picture.hopsPerColumn = plan.hopsPerColumn;
    IDirectDrawSurface* backBuffer = nullptr;
    if (frmIzobragenie != nullptr && RunTicks(*form, source, samples, job, picture) &&
        DrawScalesOnce(*form))
        backBuffer = KeepBackBuffer(picture);
    picture.peak = form->Peak;
    delete form;
    picture.ok = backBuffer != nullptr && CopyClientArea(backBuffer, picture);
    if (backBuffer != nullptr) backBuffer->Release();
    if (picture.ok)
        FinishColours(picture, job);
    else if (picture.message.empty())
        picture.message = job.lines != nullptr && std::ferror(job.lines)
                              ? "the lines file could not be written"
                              : "the picture could not be drawn (too large for memory?)";
    return picture;
}

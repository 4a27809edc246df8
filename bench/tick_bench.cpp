// Time of one tick of the program at the defaults with three new windows, on the virtual
// desktop with a scripted capture device: the whole tick, and each of its stages (capture read,
// three engine runs, scroll, columns, both scales, present). --cpu-seconds=S instead lets the
// program tick for S seconds of real time, one tick every 50 ms as its timer asks, and prints
// the processor time it used per second of sound, its longest tick and its largest lag;
// --soak-seconds=S lets it tick for S seconds of virtual time as fast as the machine allows and
// prints its resident memory as it goes. --settings=TEXT gives the program TEXT as its one line
// of kavrel.ini.
#include "Kernel.h"
#include "Preobrazovaniechisel.h"
#include "Tfrmizobragenie.h"
#include "VirtualCapture.h"
#include "VirtualForms.h"
#include "Zol_vis.h"
#include "zol.h"

#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// The program as WinMain makes it, with the defaults, fed by two tones and noise per channel.
struct Program {
    TApplication application;
    Program() {
        VirtualReset();
        VirtualSetLoopBounds(UINT32_MAX, UINT32_MAX); // an hour of ticks and more
        VirtualCaptureSource source;
        for (VirtualCaptureChannel& channel : source.channel) {
            channel.tones = {{440.0, 0.2}, {1100.0, 0.05}};
            channel.noise = 0.01;
        }
        VirtualSetCaptureSource(source);
        frmMain = new TfrmMain(&application);
        application.CreateForm(frmMain);
        for (int i = 0; i < 40; ++i) // two seconds: a picture and a peak to draw against
            PassTick(true);
    }
    // 50 ms of virtual time: the capture device has one tick's sound; the tick itself runs
    // only when asked (the stage benchmarks call its parts themselves).
    static void PassTick(bool tick) {
        VirtualQueueDelay(50);
        MSG m{};
        do {
            if (GetMessageA(&m, nullptr, 0, 0) <= 0) return;
            if (tick || m.message != WM_TIMER) DispatchMessageA(&m);
        } while (m.message != WM_TIMER);
    }
};

Program& TheProgram() {
    static Program program;
    return program;
}

TGraficheskoeOkno& Surface() {
    return frmIzobragenie->Surface;
}

void Tick(benchmark::State& state) {
    TheProgram();
    for (auto _ : state) {
        state.PauseTiming();
        Program::PassTick(false);
        state.ResumeTiming();
        frmMain->tmrShowTimer(frmMain);
    }
}

void CaptureRead(benchmark::State& state) {
    TheProgram();
    for (auto _ : state) {
        state.PauseTiming();
        Program::PassTick(false);
        state.ResumeTiming();
        frmMain->ReadCapture();
        state.PauseTiming();
        frmMain->RunEngine();
        frmMain->DrawPicture();
        state.ResumeTiming();
    }
}

void EngineRuns(benchmark::State& state) {
    TheProgram();
    double lines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Program::PassTick(false);
        frmMain->ReadCapture();
        state.ResumeTiming();
        frmMain->RunEngine();
        state.PauseTiming();
        lines += frmMain->LineFifo.BlocksAvailable();
        frmMain->DrawPicture();
        state.ResumeTiming();
    }
    state.counters["windows_per_tick"] = lines / double(state.iterations());
}

void Scroll(benchmark::State& state) {
    TheProgram();
    for (auto _ : state) {
        IDirectDrawSurface* surface = Surface().BeginDraw(true);
        frmMain->ScrollPicture(surface, 3);
        Surface().EndDraw();
    }
}

void Columns(benchmark::State& state) {
    TheProgram();
    TOdnomernoeMnogestvoElementov<float> line(16);
    line.SetCount(frmMain->Rows, false, false);
    ZOL_DLL_ReadOutputArray(line.Data(), int32_t(line.Count()));
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 3; ++i)
            frmMain->LineFifo.Append(line);
        state.ResumeTiming();
        IDirectDrawSurface* surface = Surface().BeginDraw(true);
        DDSURFACEDESC pixels{};
        pixels.dwSize = sizeof pixels;
        surface->Lock(nullptr, &pixels, DDLOCK_WAIT, nullptr);
        frmMain->DrawColumns(&pixels, frmMain->Cols - 3);
        surface->Unlock(nullptr);
        Surface().EndDraw();
        frmMain->LineFifo.Compact();
    }
}

void Scales(benchmark::State& state) {
    TheProgram();
    for (auto _ : state) {
        IDirectDrawSurface* surface = Surface().BeginDraw(true);
        DDSURFACEDESC pixels{};
        pixels.dwSize = sizeof pixels;
        surface->Lock(nullptr, &pixels, DDLOCK_WAIT, nullptr);
        frmMain->DrawScales();
        surface->Unlock(nullptr);
        Surface().EndDraw();
    }
}

void Present(benchmark::State& state) {
    TheProgram();
    for (auto _ : state)
        Surface().Present(nullptr);
}

BENCHMARK(Tick)->Unit(benchmark::kMicrosecond);
BENCHMARK(CaptureRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(EngineRuns)->Unit(benchmark::kMicrosecond);
BENCHMARK(Scroll)->Unit(benchmark::kMicrosecond);
BENCHMARK(Columns)->Unit(benchmark::kMicrosecond);
BENCHMARK(Scales)->Unit(benchmark::kMicrosecond);
BENCHMARK(Present)->Unit(benchmark::kMicrosecond);

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Ticks every 50 ms of real time (absolute deadlines, so late ticks do not drift) and reports
// the processor time of the whole process per second of sound, and how far the analysed sound
// trailed the captured sound after a tick (the samples left waiting), at its worst.
int MeasureCpu(double seconds) {
    TheProgram();
    const int ticks = int(seconds * 20);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const double wallStart = Seconds(CLOCK_MONOTONIC);
    const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    double lag = 0, longest = 0;
    for (int i = 0; i < ticks; ++i) {
        next.tv_nsec += 50'000'000;
        if (next.tv_nsec >= 1'000'000'000) next.tv_nsec -= 1'000'000'000, ++next.tv_sec;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        const double tickStart = Seconds(CLOCK_MONOTONIC);
        Program::PassTick(true);
        longest = std::max(longest, Seconds(CLOCK_MONOTONIC) - tickStart);
        const TOdnokanalniyBufer<short, short>& fifo = frmMain->SampleFifo;
        lag = std::max(lag, double(fifo.Items().Count() - fifo.ReadPos()) / frmMain->SampleRate);
    }
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
    const double wall = Seconds(CLOCK_MONOTONIC) - wallStart;
    std::printf("N %u, hop %u: %d ticks in %.2f s of real time: %.3f processor seconds per second "
                "of sound, %.3f ms per tick, longest tick %.1f ms (a click waits at most that "
                "long), largest lag %.3f s\n",
                frmMain->Sizes.N, frmMain->Sizes.H, ticks, wall, cpu / (ticks * 0.05),
                1000.0 * cpu / ticks, 1000.0 * longest, lag);
    return 0;
}

long ResidentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Ticks through the given virtual time, switching the channel every simulated minute, and
// prints the resident memory every ten simulated minutes.
int Soak(double seconds) {
    TheProgram();
    const long ticks = long(seconds * 20);
    const long start = ResidentKiB();
    std::printf("resident at the start: %ld KiB\n", start);
    for (long i = 1; i <= ticks; ++i) {
        Program::PassTick(true);
        if (i % 1200 == 0) {
            if (frmMain->Channel == 0)
                frmMain->rbRightChannelClick(frmMain);
            else
                frmMain->rbLeftChannelClick(frmMain);
        }
        if (i % 12000 == 0 || i == ticks) {
            std::printf("after %6.0f s: resident %ld KiB\n", double(i) / 20, ResidentKiB());
            std::fflush(stdout);
        }
    }
    std::printf("resident at the end: %ld KiB (%+ld KiB), virtual clock %.1f s\n", ResidentKiB(),
                ResidentKiB() - start, VirtualNow() / 1000.0);
    return VirtualLoopBounded() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    // The program reads kavrel.ini from its current directory: run it in a new folder of its
    // own (made private, never a name someone else may have planted), removed at the end.
    std::string made =
        (std::filesystem::temp_directory_path() / "kavrel-tick-bench-XXXXXX").string();
    if (mkdtemp(made.data()) == nullptr) return std::perror("kavrel-tick-bench"), 2;
    const std::filesystem::path dir = made;
    struct Remove {
        std::filesystem::path dir;
        ~Remove() {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    } remove{dir};
    std::filesystem::current_path(dir);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--settings=", 11) == 0)
            if (FILE* ini = std::fopen("kavrel.ini", "wb")) {
                std::fprintf(ini, "%s\r\n", argv[i] + 11);
                std::fclose(ini);
            }
    StartNumberConversionUnit();
    StartKernelUnit((dir / "kavrel").c_str(), false);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--cpu-seconds=", 14) == 0)
            return MeasureCpu(std::atof(argv[i] + 14));
        else if (std::strncmp(argv[i], "--soak-seconds=", 15) == 0)
            return Soak(std::atof(argv[i] + 15));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

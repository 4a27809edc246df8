// kavrel-render on one hour of 11025 Hz sound at the default settings: reading the WAV file,
// the ticks through the engine, the columns, the scales and the PNG, each stage's share, and
// the processor time beside the wall time (the machine may be shared). Then, side by side on
// the same file, each a program run as a user runs it: kavrel-render with one worker and with
// one for every available processor, and sox's FFT spectrogram at as many columns, each with
// its wall time, processor time (every process of the run: the workers' included) and peak
// memory (that of the largest process of the run: wait4's ru_maxrss, which covers the workers
// the run waited for), beside the load average at the start.
#include "Kernel.h"
#include "OutputFile.h"
#include "Preobrazovaniechisel.h"
#include "Render.h"
#include "SoundFile.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// This process's and its finished children's (the engine workers') processor time.
double ProcessorSeconds() {
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage use{};
        getrusage(who, &use);
        seconds += double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                   double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
    }
    return seconds;
}

// A name in a folder of the run's own, made private and new (a fixed name in /tmp could be a
// link someone planted); the folder goes at the end, its files go after each benchmark.
std::string WorkFile(const char* name) {
    static const struct Folder {
        std::string path = "/tmp/kavrel-render-bench-XXXXXX";
        bool made = mkdtemp(path.data()) != nullptr;
        ~Folder() {
            if (made) rmdir(path.c_str());
        }
    } folder;
    return folder.path + "/" + name;
}

// Speech-like sound: a voice-like tone gliding slowly, a formant-like pair and noise.
std::string WriteSoundFile(double seconds) {
    const std::string path = WorkFile("sound.wav");
    SF_INFO info{};
    info.samplerate = int(RenderRate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<short> block(RenderRate);
    for (double t0 = 0; t0 < seconds; t0 += 1.0) {
        for (uint32_t i = 0; i < RenderRate; ++i) {
            const double t = t0 + double(i) / RenderRate;
            const double f = 150 + 100 * std::sin(t * 0.7);
            block[i] = short(std::lround(3000 * std::sin(2 * M_PI * f * t) +
                                         2000 * std::sin(2 * M_PI * 700 * t) + noise(gen)));
        }
        sf_write_short(file, block.data(), sf_count_t(block.size()));
    }
    sf_close(file);
    return path;
}

void RenderOneHour(benchmark::State& state) {
    const double seconds = double(state.range(0));
    const std::string wav = WriteSoundFile(seconds);
    StartNumberConversionUnit();
    StartKernelUnit("kavrel-render");
    for (auto _ : state) {
        const double cpu0 = ProcessorSeconds();
        const auto t0 = Clock::now();
        const SoundResult sound = ReadSoundFile(wav.c_str(), SoundSpan{});
        const double read = Seconds(t0);
        const auto t1 = Clock::now();
        const RenderPicture picture = RenderSamples(sound.samples, RenderJob{});
        const double render = Seconds(t1);
        const auto t2 = Clock::now();
        OutputFile png(WorkFile("picture.png"));
        const bool written =
            png.Resolve() && png.Open() &&
            WritePng(png.File(), picture.pixels.data(), picture.width, picture.height);
        const double write = Seconds(t2);
        const double total = Seconds(t0);
        if (!picture.ok || !written) state.SkipWithError("the render failed");
        const double other = render - picture.engineSeconds - picture.drawSeconds;
        state.counters["total_s"] = total;
        state.counters["cpu_s"] = ProcessorSeconds() - cpu0;
        state.counters["read_share"] = read / total;
        state.counters["engine_share"] = picture.engineSeconds / total;
        state.counters["columns_share"] = picture.drawSeconds / total;
        state.counters["setup_scales_share"] = other / total;
        state.counters["png_share"] = write / total;
        state.counters["columns"] = picture.columns;
        state.counters["hops_per_column"] = picture.hopsPerColumn;
    }
    FinishKernelUnit();
    std::remove(wav.c_str());
}

// One program run, waited for; false when it failed.
bool MeasureRun(benchmark::State& state, const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = -1;
        std::fclose(f);
    }
    const auto t0 = Clock::now();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage use{};
    if (pid < 0 || wait4(pid, &status, 0, &use) != pid) return false;
    state.counters["wall_s"] = Seconds(t0);
    state.counters["cpu_s"] = double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                              double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
    state.counters["peak_MB"] = double(use.ru_maxrss) / 1024.0;
    state.counters["load_1min"] = load;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Arg 0: kavrel-render with one worker; 1: with one a processor; 2: sox.
void CompareOneHour(benchmark::State& state) {
    const std::string wav = WriteSoundFile(3600);
    const std::string png = WorkFile("compare.png");
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    // As many columns as the render's: 216890 windows, 14 a column.
    const std::vector<std::vector<std::string>> commands = {
        {KAVREL_RENDER, wav, "-q", "--jobs", "1", "-o", png},
        {KAVREL_RENDER, wav, "-q", "--jobs", std::to_string(cores), "-o", png},
        {"sox", wav, "-n", "spectrogram", "-x", "15493", "-y", "281", "-o", png}};
    state.counters["jobs"] = state.range(0) == 0 ? 1 : state.range(0) == 1 ? double(cores) : 0;
    for (auto _ : state)
        if (!MeasureRun(state, commands[size_t(state.range(0))]))
            state.SkipWithError("the run failed");
    std::remove(wav.c_str());
    std::remove(png.c_str());
}

} // namespace

BENCHMARK(CompareOneHour)
    ->ArgName("one_all_sox")
    ->DenseRange(0, 2)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(RenderOneHour)->Arg(3600)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

BENCHMARK_MAIN();

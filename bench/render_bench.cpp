// kavrel-render on one hour of 11025 Hz sound at the default settings: reading the WAV file,
// the ticks through the engine, the columns, the scales and the PNG, each stage's share, and
// the processor time beside the wall time (the machine may be shared).
#include "Kernel.h"
#include "OutputFile.h"
#include "Preobrazovaniechisel.h"
#include "Render.h"
#include "SoundFile.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>

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

// This process's and its finished children's (the second engine's) processor time.
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

// Speech-like sound: a voice-like tone gliding slowly, a formant-like pair and noise.
std::string WriteSoundFile(double seconds) {
    const std::string path = "/tmp/kavrel-render-bench-" + std::to_string(getpid()) + ".wav";
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
        OutputFile png("/tmp/kavrel-render-bench.png");
        const bool written = png.Open() && WritePng(png.File(), picture.pixels.data(),
                                                    picture.width, picture.height);
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

} // namespace

BENCHMARK(RenderOneHour)->Arg(3600)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

BENCHMARK_MAIN();

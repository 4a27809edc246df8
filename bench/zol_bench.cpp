// Time per analysed window of the engine: whole runs through the library's exports (the fast
// path) beside the straightforward reference chain, and stage by stage, at the program's
// settings and at a heavy one. realtime_factor tells how many times faster than the sound
// arrives a window is analysed (one window per hop of samples).
//
// --write-blocks=DIR writes the analysed blocks (raw 16-bit little-endian) for the peer script.
#include "ReferenceStages.h"
#include "zol.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double SampleRate = 11025.0;

struct Setting {
    const char* name;
    uint32_t samples, lags, points;
    double fmin, fmax;
    uint32_t hop;
};

constexpr Setting Defaults{"defaults", 552, 138, 280, 40.0, 1200.0, 183};
constexpr Setting Heavy{"heavy", 2208, 552, 600, 10.0, 1200.0, 736};

ConfigRecord Record(const Setting& s) {
    return reference::Record(s.samples, s.lags, s.points, s.fmin, s.fmax);
}

// Speech-like test block: two tones and noise.
std::vector<int16_t> Block(uint32_t n) {
    std::mt19937 gen(42);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<int16_t> s(n);
    for (uint32_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(
            std::lround(4000 * std::sin(0.25 * i) + 2500 * std::sin(0.61 * i) + noise(gen)));
    return s;
}

void SetRealtimeFactor(benchmark::State& state, const Setting& s) {
    state.counters["realtime_factor"] =
        benchmark::Counter(s.hop / SampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

// Write, run and read through the exports.
void RunFast(benchmark::State& state, Setting s, bool correlogram) {
    const ConfigRecord r = Record(s);
    if (!ZOL_DLL_Init(&r, correlogram)) {
        state.SkipWithError("ZOL_DLL_Init failed");
        return;
    }
    const auto block = Block(s.samples);
    std::vector<float> out(s.points);
    for (auto _ : state) {
        ZOL_DLL_WriteInputArray(block.data(), static_cast<int32_t>(s.samples));
        ZOL_DLL_Run();
        ZOL_DLL_ReadOutputArray(out.data(), static_cast<int32_t>(s.points));
        benchmark::DoNotOptimize(out.data());
    }
    SetRealtimeFactor(state, s);
}

void RunReference(benchmark::State& state, Setting s, bool correlogram) {
    const ConfigRecord r = Record(s);
    reference::Chain chain(r, correlogram);
    const auto block = Block(s.samples);
    for (auto _ : state)
        chain.Run(block.data(), false);
    SetRealtimeFactor(state, s);
}

void Init(benchmark::State& state, Setting s) {
    const ConfigRecord r = Record(s);
    for (auto _ : state)
        ZOL_DLL_Init(&r, false);
}

// The chain's arrays, filled once by a complete run so that each stage can be timed alone.
struct Stages {
    ConfigRecord c;
    reference::Chain chain;
    SampledArray<double> work;
    DoubleSequence r, a, scratch;
    SpectrumFrameStack spectrum;
    AngleTable table;

    explicit Stages(const Setting& s) : c(Record(s)), chain(c, false) {
        const auto block = Block(s.samples);
        chain.Run(block.data(), false);
        a.Companion = &scratch;
        SampledArray<int16_t> input;
        input.Resize(c.SampleCount);
        std::memcpy(input.Data(), block.data(), block.size() * 2);
        ConvertSamples(work, input);
        spectrum.Reshape(1, c.PointCount, 1, 7);
        spectrum.FreqFirst = c.FreqStart;
        spectrum.FreqStep = c.FreqStep;
        spectrum.FreqLast = static_cast<double>(
            static_cast<long double>(c.LastPointIndex) * c.FreqStep + c.FreqStart);
    }
};

void StageAutocorrelate(benchmark::State& state, Setting s, bool fast) {
    Stages st(s);
    for (auto _ : state)
        fast ? Autocorrelate(st.r, st.work, st.c.ModelOrder, false)
             : reference::Autocorrelate(st.r, st.work, st.c.ModelOrder, false);
}

void StageLevinsonDurbin(benchmark::State& state, Setting s, bool fast) {
    Stages st(s);
    for (auto _ : state)
        fast ? LevinsonDurbin(st.a, st.chain.r, st.c.ModelOrder)
             : reference::LevinsonDurbin(st.a, st.chain.r, st.c.ModelOrder);
}

void StageArSpectrum(benchmark::State& state, Setting s, bool fast) {
    Stages st(s);
    st.table.Build(st.spectrum, st.c.SamplePeriod, st.c.LagCount, true);
    for (auto _ : state)
        EvaluateArSpectrum(st.spectrum, st.chain.a, st.c.SamplePeriod, fast ? &st.table : nullptr);
}

void StageCorrelogram(benchmark::State& state, Setting s, bool fast) {
    Stages st(s);
    st.table.Build(st.spectrum, st.c.SamplePeriod, st.c.LagCount, false);
    for (auto _ : state)
        EvaluateCorrelogram(st.spectrum, st.chain.r, st.c.SamplePeriod, fast ? &st.table : nullptr);
}

bool WriteBlocks(const std::string& dir) {
    for (const Setting& s : {Defaults, Heavy}) {
        const auto block = Block(s.samples);
        const std::string path = dir + "/" + s.name + ".pcm";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) return false;
        const bool ok = std::fwrite(block.data(), 2, block.size(), f) == block.size();
        if (std::fclose(f) != 0 || !ok) return false;
    }
    return true;
}

void Register() {
    for (const Setting& s : {Defaults, Heavy}) {
        const std::string n = s.name;
        for (bool correlogram : {false, true}) {
            const std::string mode = correlogram ? "correlogram/" : "model/";
            benchmark::RegisterBenchmark(("Run/" + mode + n + "/reference").c_str(), RunReference,
                                         s, correlogram);
            benchmark::RegisterBenchmark(("Run/" + mode + n + "/fast").c_str(), RunFast, s,
                                         correlogram);
        }
        benchmark::RegisterBenchmark(("Init/" + n).c_str(), Init, s);
        for (bool fast : {false, true}) {
            const std::string path = fast ? "/fast" : "/reference";
            benchmark::RegisterBenchmark(("Autocorrelate/" + n + path).c_str(), StageAutocorrelate,
                                         s, fast);
            benchmark::RegisterBenchmark(("LevinsonDurbin/" + n + path).c_str(),
                                         StageLevinsonDurbin, s, fast);
            benchmark::RegisterBenchmark(("ArSpectrum/" + n + path).c_str(), StageArSpectrum, s,
                                         fast);
            benchmark::RegisterBenchmark(("Correlogram/" + n + path).c_str(), StageCorrelogram, s,
                                         fast);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* option = "--write-blocks=";
    if (argc == 2 && std::strncmp(argv[1], option, std::strlen(option)) == 0)
        return WriteBlocks(argv[1] + std::strlen(option)) ? 0 : 1;
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

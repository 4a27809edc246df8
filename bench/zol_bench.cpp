// Time per analysed window of the engine, through its exports and stage by stage, at the
// program's settings and at a heavy one. realtime_factor tells how many times faster than the
// sound arrives a window is analysed (one window per hop of samples).
#include "EstimationStages.h"
#include "Zol_config.h"
#include "Zol_dll.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double SampleRate = 11025.0;

struct Setting {
    uint32_t samples, lags, points;
    double fmin, fmax;
    uint32_t hop;
};

constexpr Setting Defaults{552, 138, 280, 40.0, 1200.0, 183};
constexpr Setting Heavy{2208, 552, 600, 10.0, 1200.0, 736};

ConfigRecord Record(const Setting& s) {
    ConfigRecord r;
    InitConfigRecord(r);
    r.SampleCount = s.samples;
    r.LagCount = s.lags;
    r.PointCount = s.points;
    r.FreqStart = s.fmin;
    r.FreqStop = s.fmax;
    r.SamplePeriod = 1.0 / SampleRate;
    ValidateConfig(r);
    return r;
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

void EngineRun(benchmark::State& state, Setting s, bool correlogram) {
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

// The chain's arrays, filled once by a complete run so that each stage can be timed alone.
struct Stages {
    SampledArray<int16_t> input;
    SampledArray<double> work;
    DoubleSequence r, a, scratch;
    SpectrumFrameStack spectrum;
    RangeConstant mean;
    uint32_t order;

    explicit Stages(const Setting& s) : order(s.lags - 1) {
        const ConfigRecord c = Record(s);
        input.Resize(s.samples);
        const auto block = Block(s.samples);
        std::copy(block.begin(), block.end(), input.Data());
        input.SetStep(c.SamplePeriod);
        a.Companion = &scratch;
        spectrum.Reshape(1, s.points, 1, 7);
        spectrum.FreqFirst = c.FreqStart;
        spectrum.FreqStep = c.FreqStep;
        spectrum.FreqLast = static_cast<double>(
            static_cast<long double>(c.LastPointIndex) * c.FreqStep + c.FreqStart);
        mean.High =
            static_cast<double>(static_cast<long double>(c.LastSampleIndex) * c.SamplePeriod);
        RemoveMean();
        Autocorrelate(r, work, order, false);
        LevinsonDurbin(a, r, order);
    }

    void RemoveMean() {
        ConvertSamples(work, input);
        mean.Value = -BlockMean(work);
        AddFunction(work, mean, mean.Low, mean.High);
    }
};

void StageMeanRemoval(benchmark::State& state, Setting s) {
    Stages st(s);
    for (auto _ : state)
        st.RemoveMean();
}

void StageAutocorrelate(benchmark::State& state, Setting s) {
    Stages st(s);
    for (auto _ : state)
        Autocorrelate(st.r, st.work, st.order, false);
}

void StageLevinsonDurbin(benchmark::State& state, Setting s) {
    Stages st(s);
    for (auto _ : state)
        LevinsonDurbin(st.a, st.r, st.order);
}

void StageArSpectrum(benchmark::State& state, Setting s) {
    Stages st(s);
    for (auto _ : state)
        EvaluateArSpectrum(st.spectrum, st.a, 1.0 / SampleRate);
}

void StageCorrelogram(benchmark::State& state, Setting s) {
    Stages st(s);
    for (auto _ : state)
        EvaluateCorrelogram(st.spectrum, st.r, 1.0 / SampleRate);
}

} // namespace

BENCHMARK_CAPTURE(EngineRun, model_defaults, Defaults, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(EngineRun, model_heavy, Heavy, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(EngineRun, correlogram_defaults, Defaults, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageMeanRemoval, defaults, Defaults)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageMeanRemoval, heavy, Heavy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageAutocorrelate, defaults, Defaults)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageAutocorrelate, heavy, Heavy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageLevinsonDurbin, defaults, Defaults)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageLevinsonDurbin, heavy, Heavy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageArSpectrum, defaults, Defaults)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageArSpectrum, heavy, Heavy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageCorrelogram, defaults, Defaults)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StageCorrelogram, heavy, Heavy)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

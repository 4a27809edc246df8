#include "zol.h"

#include "EstimationStages.h"
#include "Matematicheskieoperacii.h"
#include "Operaciispamyatyu.h"
#include "Zol_config.h"

#include <algorithm>
#include <cmath>

namespace {

// The most the signal, correlation and spectrum buffers hold, 192 MB; with the angle table's own
// 64 MB the engine holds at most 256 MB.
constexpr uint64_t BufferLimitBytes = uint64_t{192} << 20;

ConfigRecord& EngineConfig = ZolConfig;
// False: the all-pole model spectrum; true: the correlogram.
bool EstimatorMode = false;
// Set once ZOL_DLL_Init has sized every buffer for EngineConfig.
bool Configured = false;

SampledArray<int16_t> InputSignal;
SampledArray<double> WorkSignal;
DoubleSequence Autocorrelation;
DoubleSequence ArCoefficients;
DoubleSequence ArScratch;
SpectrumFrameStack SpectrumOutput;
RangeConstant MeanCorrection;
// Sines and cosines of the evaluation's angles for EngineConfig; empty when too large.
AngleTable SpectrumAngles;

// A validated record the stages can analyse: samples, a model of order 1 or more, at least two
// spectrum points on a finite axis with a step, and a finite sample period.
bool Analysable(const ConfigRecord& r) {
    return r.SampleCount > 0 && r.LagCount >= 2 && r.PointCount >= 2 && r.FreqStart != r.FreqStop &&
           std::isfinite(r.FreqStart) && std::isfinite(r.FreqStop) &&
           std::isfinite(r.SamplePeriod) && std::isfinite(r.FreqStep) && r.FreqStep != 0;
}

bool FitsDouble(long double value) {
    return std::isfinite(static_cast<double>(value));
}

// Every value formed from the record is a finite double: the axis' last frequency, the sample
// period's inverse, the block's duration, the angle step per hertz, and the largest angle an
// evaluation visits (the farthest frequency times the highest term).
bool DerivedFinite(const ConfigRecord& r) {
    using spectrum_axis::Extended;
    const Extended last = Extended(r.LastPointIndex) * r.FreqStep + r.FreqStart;
    const Extended w = -spectrum_axis::TwoPi * r.SamplePeriod;
    const Extended farthest = std::max(std::fabs(Extended(r.FreqStart)), std::fabs(last));
    return FitsDouble(last) && FitsDouble(1.0L / r.SamplePeriod) &&
           FitsDouble(Extended(r.LastSampleIndex) * r.SamplePeriod) && FitsDouble(w) &&
           FitsDouble(farthest * std::fabs(w) * r.LagCount);
}

// Bytes held once the buffers are sized for the record: storage only grows, so each buffer
// counts at the larger of what it holds and what the record needs.
uint64_t BufferBytes(const ConfigRecord& r) {
    auto held = [](const auto& array, uint64_t count) {
        return std::max<uint64_t>(array.Capacity(), count) * sizeof(*array.Data());
    };
    return held(InputSignal, r.SampleCount) + held(WorkSignal, r.SampleCount) +
           held(Autocorrelation, r.LagCount) + held(ArCoefficients, r.LagCount) +
           held(ArScratch, r.LagCount) + held(SpectrumOutput, uint64_t{r.PointCount} + 64);
}

// Every value of the spectrum is finite.
bool FiniteSpectrum() {
    const float* values = SpectrumOutput.CurrentPtr();
    return std::all_of(values, values + EngineConfig.PointCount,
                       [](float v) { return std::isfinite(v); });
}

bool SizeBuffers(const ConfigRecord& r) {
    if (!InputSignal.Resize(r.SampleCount) || !WorkSignal.Resize(r.SampleCount) ||
        !Autocorrelation.Resize(r.LagCount) || !ArCoefficients.Resize(r.LagCount) ||
        !ArScratch.Resize(r.LagCount))
        return false;
    InputSignal.SetStep(r.SamplePeriod);
    WorkSignal.SetStep(r.SamplePeriod);
    ArCoefficients.Companion = &ArScratch;
    SpectrumOutput.Reshape(1, 0, 0, 7);
    if (!SpectrumOutput.Reshape(1, r.PointCount, 1, 7)) return false;
    // Until the first run the frame reads as zeros, also where an earlier spectrum lay.
    ZeroBytes(SpectrumOutput.Data(), SpectrumOutput.Count() * uint32_t{sizeof(float)});
    SpectrumOutput.FreqFirst = r.FreqStart;
    SpectrumOutput.FreqLast =
        static_cast<double>(static_cast<long double>(r.LastPointIndex) * r.FreqStep + r.FreqStart);
    SpectrumOutput.FreqStep = r.FreqStep;
    MeanCorrection.Low = 0.0;
    MeanCorrection.High = WorkSignal.TimeAt(r.LastSampleIndex);
    SpectrumAngles.Build(SpectrumOutput, r.SamplePeriod, r.LagCount, !EstimatorMode);
    if (!EstimatorMode) ChooseQuickerRecursion(ArCoefficients, Autocorrelation, r.ModelOrder);
    return true;
}

bool Estimate() {
    const ConfigRecord& r = EngineConfig;
    ConvertSamples(WorkSignal, InputSignal);
    MeanCorrection.Value = -BlockMean(InputSignal);
    bool ok = AddFunction(WorkSignal, MeanCorrection, MeanCorrection.Low, MeanCorrection.High);
    ok = ok && WorkSignal.Count() == r.SampleCount;
    ok = ok && Autocorrelate(Autocorrelation, WorkSignal, r.ModelOrder, r.UnbiasedCorrelation != 0);
    ok = ok && Autocorrelation.Count() == r.LagCount;
    SpectrumOutput.SelectFrame(0);
    if (!EstimatorMode) {
        ok = ok && LevinsonDurbin(ArCoefficients, Autocorrelation, r.ModelOrder);
        ok = ok && ArCoefficients.Count() == r.LagCount;
        return ok &&
               EvaluateArSpectrum(SpectrumOutput, ArCoefficients, r.SamplePeriod, &SpectrumAngles);
    }
    return ok &&
           EvaluateCorrelogram(SpectrumOutput, Autocorrelation, r.SamplePeriod, &SpectrumAngles);
}

} // namespace

bool ZOL_DLL_Init(const ConfigRecord* record, uint8_t mode) {
    if (record == nullptr) return false;
    // The record is validated and the axis, the mean's range and the angles formed under the
    // reset a run works under, whatever the caller's units are set to; they get them back as
    // they were.
    FpuResetScope reset;
    ConfigRecord candidate;
    CopyBytes(&candidate, record, sizeof candidate, true);
    ValidateConfig(candidate);
    if (!Analysable(candidate) || !DerivedFinite(candidate) ||
        BufferBytes(candidate) > BufferLimitBytes)
        return false;
    const bool previousMode = EstimatorMode;
    EstimatorMode = mode != 0;
    if (SizeBuffers(candidate)) {
        EngineConfig = candidate;
        Configured = true;
        return true;
    }
    // Storage ran out part way: the previous configuration fits in what is held, so it is sized
    // again and stays in force.
    EstimatorMode = previousMode;
    Configured = Configured && SizeBuffers(EngineConfig);
    return false;
}

bool ZOL_DLL_WriteInputArray(const int16_t* samples, int32_t count) {
    if (!Configured || samples == nullptr || count < 0 ||
        static_cast<uint32_t>(count) != EngineConfig.SampleCount)
        return false;
    CopyBytes(InputSignal.Data(), samples, static_cast<uint32_t>(count) * 2, true);
    return true;
}

// The x87 unit stays reset after the run, as the caller relies on; the SSE register is the
// caller's again.
bool ZOL_DLL_Run() {
    if (!Configured) return false;
    SseControlScope sse;
    ResetFpu();
    return Estimate() && FiniteSpectrum();
}

bool ZOL_DLL_ReadOutputArray(float* dest, int32_t count) {
    if (!Configured || dest == nullptr || count < 0 ||
        static_cast<uint32_t>(count) != EngineConfig.PointCount ||
        SpectrumOutput.Columns() < static_cast<uint32_t>(count))
        return false;
    CopyBytes(dest, SpectrumOutput.CurrentPtr(), static_cast<uint32_t>(count) * 4, true);
    return true;
}

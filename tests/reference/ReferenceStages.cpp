#include "ReferenceStages.h"

#include "Operaciispamyatyu.h"

#include <utility>

namespace reference {

using Extended = long double;

bool Autocorrelate(DoubleSequence& dest, const SampledArray<double>& signal, uint32_t highestLag,
                   bool unbiased) {
    if (highestLag == UINT32_MAX || !dest.Resize(highestLag + 1)) return false;
    const uint32_t n = signal.Count();
    if (n <= highestLag) return false;
    const double* x = signal.Data();
    for (uint32_t k = 0; k <= highestLag; ++k) {
        Extended acc = 0;
        for (uint32_t i = 0; i < n - k; ++i)
            acc += Extended(x[i]) * x[i + k];
        dest[k] = static_cast<double>(acc / (unbiased ? n - k : n));
    }
    return true;
}

bool LevinsonDurbin(DoubleSequence& dest, const DoubleSequence& source, uint32_t order) {
    DoubleSequence* companion = dest.Companion;
    if (order == 0 || order == UINT32_MAX || companion == nullptr) return false;
    if (source.Count() < order + 1) return false;
    if (!dest.Resize(0) || !dest.Resize(order + 1) || !companion->Resize(order + 1)) return false;

    const double* r = source.Data();
    DoubleSequence* cur = &dest;
    DoubleSequence* prev = companion;
    (*prev)[0] = r[0];
    double k = (*prev)[0] != 0 ? static_cast<double>(-Extended(r[1]) / (*prev)[0]) : 0.0;
    (*cur)[1] = k;
    (*cur)[0] = static_cast<double>((1 - Extended(k) * k) * (*prev)[0]);
    for (uint32_t m = 2; m <= order; ++m) {
        std::swap(cur, prev);
        double acc = r[m];
        for (uint32_t j = 1; j < m; ++j)
            acc = static_cast<double>(Extended((*prev)[j]) * r[m - j] + acc);
        k = (*prev)[0] != 0 ? static_cast<double>(-Extended(acc) / (*prev)[0]) : 0.0;
        (*cur)[m] = k;
        (*cur)[0] = static_cast<double>((1 - Extended(k) * k) * (*prev)[0]);
        for (uint32_t j = 1; j < m; ++j)
            (*cur)[j] = static_cast<double>(Extended(k) * (*prev)[m - j] + (*prev)[j]);
    }
    if (cur != &dest)
        CopyBytes(dest.Data(), cur->Data(), (order + 1) * uint32_t{sizeof(double)}, true);
    return true;
}

} // namespace reference

namespace reference {

ConfigRecord Record(uint32_t samples, uint32_t lags, uint32_t points, double fmin, double fmax) {
    ConfigRecord r;
    InitConfigRecord(r);
    r.SampleCount = samples;
    r.LagCount = lags;
    r.PointCount = points;
    r.FreqStart = fmin;
    r.FreqStop = fmax;
    r.SamplePeriod = 1.0 / 11025;
    ValidateConfig(r);
    return r;
}

Chain::Chain(const ConfigRecord& config, bool correlogramMode)
    : c(config), correlogram(correlogramMode) {
    a.Companion = &scratch;
    input.Resize(c.SampleCount);
    input.SetStep(c.SamplePeriod);
    spectrum.Reshape(1, c.PointCount, 1, 7);
    spectrum.FreqFirst = c.FreqStart;
    spectrum.FreqStep = c.FreqStep;
    spectrum.FreqLast =
        static_cast<double>(static_cast<long double>(c.LastPointIndex) * c.FreqStep + c.FreqStart);
    mean.High = input.TimeAt(c.LastSampleIndex);
    table.Build(spectrum, c.SamplePeriod, c.LagCount, !correlogram);
}

void Chain::Run(const int16_t* block, bool fast) {
    CopyBytes(input.Data(), block, c.SampleCount * 2, true);
    ConvertSamples(work, input);
    mean.Value = -BlockMean(work);
    AddFunction(work, mean, mean.Low, mean.High);
    const bool unbiased = c.UnbiasedCorrelation != 0;
    if (fast)
        ::Autocorrelate(r, work, c.ModelOrder, unbiased);
    else
        reference::Autocorrelate(r, work, c.ModelOrder, unbiased);
    const AngleTable* angles = fast ? &table : nullptr;
    if (correlogram) {
        EvaluateCorrelogram(spectrum, r, c.SamplePeriod, angles);
        return;
    }
    if (fast)
        ::LevinsonDurbin(a, r, c.ModelOrder);
    else
        reference::LevinsonDurbin(a, r, c.ModelOrder);
    EvaluateArSpectrum(spectrum, a, c.SamplePeriod, angles);
}

std::vector<float> Chain::Output() const {
    return {spectrum.CurrentPtr(), spectrum.CurrentPtr() + spectrum.Columns()};
}

} // namespace reference

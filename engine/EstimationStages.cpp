#include "EstimationStages.h"

#include "Matematicheskieoperacii.h"
#include "Operaciispamyatyu.h"

#include <utility>

namespace {

using Extended = long double;

constexpr Extended TwoPi = 6.283185307179586477L;

// Index of time t on the signal's axis, or `outside` when it falls off the signal.
uint32_t IndexOfTime(const SampledArray<double>& s, double t, uint32_t outside) {
    const auto i = static_cast<uint32_t>(
        RoundToInt(static_cast<double>((Extended(t) - s.Origin) * s.InvStep())));
    return i >= s.Count() ? outside : i;
}

// Sizes one row of columns for the frame's frequency axis and walks it: f runs from FreqFirst
// by repeated addition of FreqStep, and column(theta) receives theta = f * (-2*pi*dt).
template <typename Column>
bool EvaluateOnAxis(SpectrumFrameStack& frames, double dt, Column column) {
    const int32_t last = RoundToInt(
        static_cast<double>((Extended(frames.FreqLast) - frames.FreqFirst) / frames.FreqStep));
    if (last < 0 || last == INT32_MAX) return false;
    const auto n = static_cast<uint32_t>(last) + 1;
    if (!frames.Reshape(1, n, 0, 3)) return false;
    const auto w = static_cast<double>(-TwoPi * dt);
    float* out = frames.CurrentPtr();
    double f = frames.FreqFirst;
    for (uint32_t q = 0; q < n; ++q) {
        out[q] = column(static_cast<double>(Extended(f) * w));
        f = static_cast<double>(Extended(frames.FreqStep) + f);
    }
    return true;
}

// Leaves the order-p solution in dest when the recursion ended in the companion buffer.
void TakeSolution(DoubleSequence& dest, const DoubleSequence* solution, uint32_t order) {
    if (solution != &dest)
        CopyBytes(dest.Data(), solution->Data(), (order + 1) * uint32_t{sizeof(double)}, true);
}

} // namespace

bool ConvertSamples(SampledArray<double>& work, const SampledArray<int16_t>& input) {
    if (!work.Resize(input.Count())) return false;
    for (uint32_t i = 0; i < input.Count(); ++i)
        work[i] = input[i];
    work.SetStep(input.Step());
    work.Origin = input.Origin;
    return true;
}

double BlockMean(const SampledArray<double>& signal) {
    if (signal.Count() == 0) return 0.0;
    double s = 0.0;
    for (uint32_t i = 0; i < signal.Count(); ++i)
        s = static_cast<double>(Extended(signal[i]) + s);
    return static_cast<double>(Extended(s) / signal.Count());
}

// Each sample's time comes from its index, never from a running sum, so that a sample at the
// end of the range is not pushed past `high` by accumulated rounding.
bool AddFunction(SampledArray<double>& signal, const TimeFunction& function, double low,
                 double high) {
    if (signal.Count() == 0) return true;
    const uint32_t first = IndexOfTime(signal, low, 0);
    const uint32_t last = IndexOfTime(signal, high, signal.Count() - 1);
    for (uint32_t i = first; i <= last; ++i)
        signal[i] = static_cast<double>(Extended(function.Evaluate(signal.TimeAt(i))) + signal[i]);
    return true;
}

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
    TakeSolution(dest, cur, order);
    return true;
}

bool EvaluateArSpectrum(SpectrumFrameStack& frames, const DoubleSequence& coefficients,
                        double samplePeriod) {
    const double* a = coefficients.Data();
    const uint32_t count = coefficients.Count();
    const Extended gain = Extended(Abs(count > 0 ? a[0] : 0.0)) * samplePeriod;
    return EvaluateOnAxis(frames, samplePeriod, [&](double theta) {
        Extended re = 1, im = 0;
        double angle = theta;
        for (uint32_t i = 1; i < count; ++i) {
            re += Extended(Cos(angle)) * a[i];
            im += Extended(Sin(angle)) * a[i];
            angle = static_cast<double>(Extended(theta) + angle);
        }
        return static_cast<float>(gain / (re * re + im * im));
    });
}

bool EvaluateCorrelogram(SpectrumFrameStack& frames, const DoubleSequence& autocorrelation,
                         double samplePeriod) {
    const double* r = autocorrelation.Data();
    const uint32_t count = autocorrelation.Count();
    return EvaluateOnAxis(frames, samplePeriod, [&](double theta) {
        Extended s = count > 0 ? r[0] : 0.0;
        double angle = theta;
        for (uint32_t i = 1; i < count; ++i) {
            s += Extended(Cos(angle)) * r[i] * 2;
            angle = static_cast<double>(Extended(theta) + angle);
        }
        return static_cast<float>(Extended(Sqrt(static_cast<double>(s * s))) * samplePeriod);
    });
}

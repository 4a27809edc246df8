#include "EstimationStages.h"

#include "Matematicheskieoperacii.h"
#include "Operaciispamyatyu.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <utility>

namespace {

using spectrum_axis::Extended;

// Lags accumulated side by side, and spectrum columns evaluated side by side: independent
// extended-precision sums that the floating-point unit can overlap. Each sum still adds its
// terms one at a time in ascending order.
constexpr uint32_t LagsPerPass = 4;
constexpr uint32_t ModelColumnsPerPass = 2;
constexpr uint32_t CorrelogramColumnsPerPass = 4;

// Index of time t on the signal's axis, or `outside` when it falls off the signal.
uint32_t IndexOfTime(const SampledArray<double>& s, double t, uint32_t outside) {
    const auto i = static_cast<uint32_t>(
        RoundToInt(static_cast<double>((Extended(t) - s.Origin) * s.InvStep())));
    return i >= s.Count() ? outside : i;
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(ZOL_PORTABLE_FPU)

#include <x86intrin.h>
#define ZOL_X87_KERNELS 1

// Four extended-precision sums of products, n steps: sums 0 and 1 take a[0]*q and a[1]*q, sums
// 2 and 3 take b[0]*q and b[1]*q, each product and each sum rounded to extended precision in
// order; a and b advance by strideBytes and q by one double per step. Written for the unit so
// that every operand comes from memory and no register copies compete with the multiplies and
// additions.
void FourSums(Extended (&acc)[4], const double* a, const double* b, std::size_t strideBytes,
              const double* q, std::size_t n) {
    if (n == 0) return;
    asm volatile("fldt 48(%[acc])\n\t"
                 "fldt 32(%[acc])\n\t"
                 "fldt 16(%[acc])\n\t"
                 "fldt (%[acc])\n\t"
                 "1:\n\t"
                 "fldl (%[a])\n\t"
                 "fmull (%[q])\n\t"
                 "faddp %%st, %%st(1)\n\t"
                 "fldl 8(%[a])\n\t"
                 "fmull (%[q])\n\t"
                 "faddp %%st, %%st(2)\n\t"
                 "fldl (%[b])\n\t"
                 "fmull (%[q])\n\t"
                 "faddp %%st, %%st(3)\n\t"
                 "fldl 8(%[b])\n\t"
                 "fmull (%[q])\n\t"
                 "faddp %%st, %%st(4)\n\t"
                 "addq %[stride], %[a]\n\t"
                 "addq %[stride], %[b]\n\t"
                 "addq $8, %[q]\n\t"
                 "decq %[n]\n\t"
                 "jnz 1b\n\t"
                 "fstpt (%[acc])\n\t"
                 "fstpt 16(%[acc])\n\t"
                 "fstpt 32(%[acc])\n\t"
                 "fstpt 48(%[acc])"
                 : [a] "+r"(a), [b] "+r"(b), [q] "+r"(q), [n] "+r"(n)
                 : [acc] "r"(acc), [stride] "r"(strideBytes)
                 : "memory", "cc", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)",
                   "st(7)");
}

#endif

// Sums x[i]*x[i+lag] for W consecutive lags from `lag` on. The terms all lags share come first,
// then the remaining terms of the shorter lags, so every sum keeps its ascending order.
template <uint32_t W>
__attribute__((optimize("no-predictive-commoning"))) void
AccumulateLags(const double* x, uint32_t n, uint32_t lag, Extended (&acc)[W]) {
    for (auto& a : acc)
        a = 0;
    const uint32_t shared = n - lag - (W - 1);
#ifdef ZOL_X87_KERNELS
    if constexpr (W == 4) {
        FourSums(acc, x + lag, x + lag + 2, sizeof(double), x, shared);
    } else
#endif
        for (uint32_t i = 0; i < shared; ++i) {
            const Extended xi = x[i];
            const double* y = x + i + lag;
#pragma GCC unroll 8
            for (uint32_t w = 0; w < W; ++w)
                acc[w] += xi * y[w];
        }
    for (uint32_t w = 0; w + 1 < W; ++w)
        for (uint32_t i = shared; i < n - lag - w; ++i)
            acc[w] += Extended(x[i]) * x[i + lag + w];
}

template <uint32_t W>
void StoreLags(DoubleSequence& dest, const double* x, uint32_t n, uint32_t lag, bool unbiased) {
    Extended acc[W];
    AccumulateLags<W>(x, n, lag, acc);
    for (uint32_t w = 0; w < W; ++w)
        dest[lag + w] = static_cast<double>(acc[w] / (unbiased ? n - lag - w : n));
}

double ReflectionCoefficient(double acc, double error) {
    return error != 0 ? static_cast<double>(-Extended(acc) / error) : 0.0;
}

double ErrorPower(double k, double previous) {
    return static_cast<double>((1 - Extended(k) * k) * previous);
}

double MultiplyAdd(double a, double b, double acc) {
    return static_cast<double>(Extended(a) * b + acc);
}

// Updates cur[1..m-1] from the order m-1 solution in prev and returns the next order's sum
// r[m+1] + cur[1]*r[m] + ... + cur[m-1]*r[2], every term rounded as the recursion defines.
double UpdateAndSum(double* cur, const double* prev, const double* r, uint32_t m, double k) {
    double acc = r[m + 1];
    for (uint32_t j = 1; j < m; ++j) {
        cur[j] = MultiplyAdd(k, prev[m - j], prev[j]);
        acc = MultiplyAdd(cur[j], r[m + 1 - j], acc);
    }
    return acc;
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(ZOL_PORTABLE_FPU)

bool ProcessorHasFma() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma");
}

uint64_t CycleCount() {
    return __rdtsc();
}

bool SameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// Kept out of line so that the correction stays a branch and the chain never waits for it.
__attribute__((noinline)) double Corrected(double checked) {
    return checked;
}

// UpdateAndSum with the sum carried from term to term by fused multiply-adds, whose single
// rounding agrees with the extended-precision product and sum rounded to double except close to
// a rounding tie. Each term is also formed the exact way beside the chain and replaces the
// guess where the two differ, so the result is the same bit for bit; the chain only waits for
// the short fused operation.
__attribute__((target("fma"))) double
UpdateAndSumSpeculative(double* cur, const double* prev, const double* r, uint32_t m, double k) {
    double acc = r[m + 1];
    for (uint32_t j = 1; j < m; ++j) {
        const double c = MultiplyAdd(k, prev[m - j], prev[j]);
        cur[j] = c;
        const double checked = MultiplyAdd(c, r[m + 1 - j], acc);
        const double guess = __builtin_fma(c, r[m + 1 - j], acc);
        acc = SameBits(guess, checked) ? guess : Corrected(checked);
    }
    return acc;
}

#else

bool ProcessorHasFma() {
    return false;
}
uint64_t CycleCount() {
    return 0;
}
constexpr auto UpdateAndSumSpeculative = UpdateAndSum;

#endif

// The recursion's sums use fused multiply-adds where the processor has them.
bool FusedMultiplyAdd = ProcessorHasFma();

float ModelValue(Extended gain, Extended re, Extended im) {
    return static_cast<float>(gain / (re * re + im * im));
}

float CorrelogramValue(Extended s, double dt) {
    return static_cast<float>(Extended(Sqrt(static_cast<double>(s * s))) * dt);
}

// Model columns q .. q+W-1 from their rows of cosines and sines.
template <uint32_t W>
void ModelColumns(const AngleTable& table, uint32_t q, const double* a, uint32_t count,
                  Extended gain, float* out) {
    Extended re[W], im[W];
    const double* row[W];
    for (uint32_t w = 0; w < W; ++w) {
        re[w] = 1;
        im[w] = 0;
        row[w] = table.Row(q + w);
    }
#ifdef ZOL_X87_KERNELS
    if constexpr (W == 2) {
        Extended sums[4] = {re[0], im[0], re[1], im[1]};
        if (count > 1) FourSums(sums, row[0], row[1], 2 * sizeof(double), a + 1, count - 1);
        out[q] = ModelValue(gain, sums[0], sums[1]);
        out[q + 1] = ModelValue(gain, sums[2], sums[3]);
        return;
    }
#endif
    for (uint32_t i = 1; i < count; ++i) {
        const double ai = a[i];
        const uint32_t t = 2 * (i - 1);
#pragma GCC unroll 4
        for (uint32_t w = 0; w < W; ++w) {
            re[w] += Extended(row[w][t]) * ai;
            im[w] += Extended(row[w][t + 1]) * ai;
        }
    }
    for (uint32_t w = 0; w < W; ++w)
        out[q + w] = ModelValue(gain, re[w], im[w]);
}

// Correlogram columns q .. q+W-1 from their rows of cosines.
template <uint32_t W>
void CorrelogramColumns(const AngleTable& table, uint32_t q, const double* r, uint32_t count,
                        double dt, float* out) {
    Extended s[W];
    const double* row[W];
    for (uint32_t w = 0; w < W; ++w) {
        s[w] = r[0];
        row[w] = table.Row(q + w);
    }
    for (uint32_t i = 1; i < count; ++i) {
        const double ri = r[i];
#pragma GCC unroll 4
        for (uint32_t w = 0; w < W; ++w)
            s[w] += Extended(row[w][i - 1]) * ri * 2;
    }
    for (uint32_t w = 0; w < W; ++w)
        out[q + w] = CorrelogramValue(s[w], dt);
}

// Sizes the frame for its axis; the number of columns, or 0 when it cannot be sized.
uint32_t PrepareFrame(SpectrumFrameStack& frames) {
    const uint32_t n = spectrum_axis::ColumnCount(frames);
    return n > 0 && frames.Reshape(1, n, 0, 3) ? n : 0;
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

// Every partial sum of 16-bit samples is an integer below 2^53, which the rounded running sum of
// their doubles holds exactly; an integer sum gives the same mean without its rounding chain.
double BlockMean(const SampledArray<int16_t>& samples) {
    if (samples.Count() == 0) return 0.0;
    int64_t s = 0;
    for (uint32_t i = 0; i < samples.Count(); ++i)
        s += samples[i];
    return static_cast<double>(Extended(s) / samples.Count());
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
    uint32_t lag = 0;
    for (; lag + LagsPerPass <= highestLag + 1; lag += LagsPerPass)
        StoreLags<LagsPerPass>(dest, x, n, lag, unbiased);
    for (; lag <= highestLag; ++lag)
        StoreLags<1>(dest, x, n, lag, unbiased);
    return true;
}

// Each order's coefficient update is fused with the next order's sum over those coefficients,
// so that the update fills the wait of that sum's rounded, one-term-at-a-time chain.
bool LevinsonDurbin(DoubleSequence& dest, const DoubleSequence& source, uint32_t order) {
    DoubleSequence* companion = dest.Companion;
    if (order == 0 || order == UINT32_MAX || companion == nullptr) return false;
    if (source.Count() < order + 1) return false;
    if (!dest.Resize(0) || !dest.Resize(order + 1) || !companion->Resize(order + 1)) return false;

    const auto updateAndSum = FusedMultiplyAdd ? UpdateAndSumSpeculative : UpdateAndSum;
    const double* r = source.Data();
    double* cur = dest.Data();
    double* prev = companion->Data();
    prev[0] = r[0];
    double k = ReflectionCoefficient(r[1], prev[0]);
    cur[1] = k;
    cur[0] = ErrorPower(k, prev[0]);
    double acc = order >= 2 ? MultiplyAdd(cur[1], r[1], r[2]) : 0.0;
    for (uint32_t m = 2; m <= order; ++m) {
        std::swap(cur, prev);
        k = ReflectionCoefficient(acc, prev[0]);
        cur[m] = k;
        cur[0] = ErrorPower(k, prev[0]);
        if (m == order) {
            for (uint32_t j = 1; j < m; ++j)
                cur[j] = MultiplyAdd(k, prev[m - j], prev[j]);
            break;
        }
        acc = MultiplyAdd(k, r[1], updateAndSum(cur, prev, r, m, k));
    }
    if (cur != dest.Data())
        CopyBytes(dest.Data(), cur, (order + 1) * uint32_t{sizeof(double)}, true);
    return true;
}

void UseFusedMultiplyAdd(bool allow) {
    FusedMultiplyAdd = allow && ProcessorHasFma();
}

void ChooseQuickerRecursion(DoubleSequence& dest, DoubleSequence& source, uint32_t order) {
    if (!ProcessorHasFma() || source.Count() <= order) return;
    double value = 1.0;
    for (uint32_t k = 0; k <= order; ++k, value *= 0.9)
        source.Data()[k] = value;
    // The quickest of three passes each way, alternated, so that a pause of the machine cannot
    // decide alone.
    uint64_t best[2] = {UINT64_MAX, UINT64_MAX};
    for (int pass = 0; pass < 6; ++pass) {
        const bool fused = pass % 2 != 0;
        FusedMultiplyAdd = fused;
        const uint64_t start = CycleCount();
        LevinsonDurbin(dest, source, order);
        best[fused] = std::min(best[fused], CycleCount() - start);
    }
    FusedMultiplyAdd = best[1] <= best[0];
}

bool EvaluateArSpectrum(SpectrumFrameStack& frames, const DoubleSequence& coefficients,
                        double samplePeriod, const AngleTable* table) {
    const uint32_t n = PrepareFrame(frames);
    if (n == 0) return false;
    const double* a = coefficients.Data();
    const uint32_t count = coefficients.Count();
    const Extended gain = Extended(Abs(count > 0 ? a[0] : 0.0)) * samplePeriod;
    float* out = frames.CurrentPtr();
    if (table != nullptr && table->Covers(n, count, true)) {
        uint32_t q = 0;
        for (; q + ModelColumnsPerPass <= n; q += ModelColumnsPerPass)
            ModelColumns<ModelColumnsPerPass>(*table, q, a, count, gain, out);
        for (; q < n; ++q)
            ModelColumns<1>(*table, q, a, count, gain, out);
        return true;
    }
    spectrum_axis::ForEachColumn(frames, samplePeriod, n, [&](uint32_t q, double theta) {
        Extended re = 1, im = 0;
        spectrum_axis::ForEachAngle(theta, count, [&](uint32_t i, double angle) {
            re += Extended(Cos(angle)) * a[i];
            im += Extended(Sin(angle)) * a[i];
        });
        out[q] = ModelValue(gain, re, im);
    });
    return true;
}

bool EvaluateCorrelogram(SpectrumFrameStack& frames, const DoubleSequence& autocorrelation,
                         double samplePeriod, const AngleTable* table) {
    const uint32_t n = PrepareFrame(frames);
    if (n == 0) return false;
    const double* r = autocorrelation.Data();
    const uint32_t count = autocorrelation.Count();
    float* out = frames.CurrentPtr();
    if (table != nullptr && count > 0 && table->Covers(n, count, false)) {
        uint32_t q = 0;
        for (; q + CorrelogramColumnsPerPass <= n; q += CorrelogramColumnsPerPass)
            CorrelogramColumns<CorrelogramColumnsPerPass>(*table, q, r, count, samplePeriod, out);
        for (; q < n; ++q)
            CorrelogramColumns<1>(*table, q, r, count, samplePeriod, out);
        return true;
    }
    spectrum_axis::ForEachColumn(frames, samplePeriod, n, [&](uint32_t q, double theta) {
        Extended s = count > 0 ? r[0] : 0.0;
        spectrum_axis::ForEachAngle(
            theta, count, [&](uint32_t i, double angle) { s += Extended(Cos(angle)) * r[i] * 2; });
        out[q] = CorrelogramValue(s, samplePeriod);
    });
    return true;
}

#include "EstimationStages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

constexpr double SamplePeriod = 1.0 / 11025;
constexpr double Pi = 3.14159265358979323846;

// The stages chained as the engine chains them, on arrays of the test's own.
struct Chain {
    SampledArray<int16_t> input;
    SampledArray<double> work;
    DoubleSequence r;
    DoubleSequence a;
    DoubleSequence scratch;
    SpectrumFrameStack spectrum;

    Chain(const std::vector<int16_t>& samples, double fFirst, double fLast, uint32_t points) {
        input.Resize(static_cast<uint32_t>(samples.size()));
        std::copy(samples.begin(), samples.end(), input.Data());
        input.SetStep(SamplePeriod);
        a.Companion = &scratch;
        spectrum.FreqFirst = fFirst;
        spectrum.FreqStep = (fLast - fFirst) / (points - 1);
        spectrum.FreqLast = (points - 1) * spectrum.FreqStep + fFirst;
    }

    void RemoveMean() {
        ASSERT_TRUE(ConvertSamples(work, input));
        RangeConstant mean;
        mean.High = work.TimeAt(work.Count() - 1);
        mean.Value = -BlockMean(work);
        ASSERT_TRUE(AddFunction(work, mean, mean.Low, mean.High));
    }

    std::vector<float> Model(uint32_t order) {
        RemoveMean();
        EXPECT_TRUE(Autocorrelate(r, work, order, false));
        EXPECT_TRUE(LevinsonDurbin(a, r, order));
        EXPECT_TRUE(EvaluateArSpectrum(spectrum, a, SamplePeriod));
        return Output();
    }

    std::vector<float> Correlogram(uint32_t order) {
        RemoveMean();
        EXPECT_TRUE(Autocorrelate(r, work, order, false));
        EXPECT_TRUE(EvaluateCorrelogram(spectrum, r, SamplePeriod));
        return Output();
    }

    std::vector<float> Output() const {
        return {spectrum.CurrentPtr(), spectrum.CurrentPtr() + spectrum.Columns()};
    }

    double Frequency(size_t column) const {
        return spectrum.FreqFirst + column * spectrum.FreqStep;
    }
};

std::vector<int16_t> Sine(size_t n, double freq, double amplitude, double noise, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> e(0.0, noise);
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * Pi * freq * i * SamplePeriod) + e(gen)));
    return s;
}

std::vector<int16_t> Ar2(size_t n, double f0, double rho, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> e(0.0, 100.0);
    const double c1 = 2 * rho * std::cos(2 * Pi * f0 * SamplePeriod), c2 = -rho * rho;
    std::vector<int16_t> s(n);
    double x1 = 0, x2 = 0;
    for (size_t i = 0; i < n + 500; ++i) {
        const double x = c1 * x1 + c2 * x2 + e(gen);
        x2 = x1;
        x1 = x;
        if (i >= 500)
            s[i - 500] = static_cast<int16_t>(std::clamp(std::lround(x), -32768L, 32767L));
    }
    return s;
}

size_t ArgMax(const std::vector<float>& v) {
    return static_cast<size_t>(std::max_element(v.begin(), v.end()) - v.begin());
}

TEST(EstimationStages, EverySampleLosesTheBlockMean) {
    for (size_t n : {552u, 200u, 551u, 2208u}) {
        std::vector<int16_t> s = Sine(n, 300.0, 2000.0, 50.0, 1);
        for (auto& v : s)
            v = static_cast<int16_t>(v + 1234);
        Chain c(s, 40, 1200, 280);
        c.RemoveMean();
        const double mean = BlockMean(c.work);
        EXPECT_NEAR(mean, 0.0, 1e-9) << n;
        SampledArray<double> raw;
        ASSERT_TRUE(ConvertSamples(raw, c.input));
        const double correction = -BlockMean(raw);
        for (uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(c.work[i], static_cast<double>(correction + static_cast<long double>(s[i])))
                << "sample " << i << " of " << n;
    }
}

TEST(EstimationStages, AutocorrelationIsBiasedOrUnbiasedAsAsked) {
    Chain c(Sine(552, 700.0, 3000.0, 300.0, 2), 40, 1200, 280);
    c.RemoveMean();
    DoubleSequence biased, unbiased;
    ASSERT_TRUE(Autocorrelate(biased, c.work, 137, false));
    ASSERT_TRUE(Autocorrelate(unbiased, c.work, 137, true));
    ASSERT_EQ(biased.Count(), 138u);
    for (uint32_t k = 0; k < 138; ++k) {
        double direct = 0;
        for (uint32_t i = 0; i + k < 552; ++i)
            direct += c.work[i] * c.work[i + k];
        EXPECT_NEAR(biased[k], direct / 552, 1e-9 * std::fabs(biased[0])) << k;
        EXPECT_NEAR(unbiased[k], biased[k] * 552 / (552 - k), 1e-12 * std::fabs(biased[0])) << k;
    }
    EXPECT_FALSE(Autocorrelate(biased, c.work, 552, false));
}

TEST(EstimationStages, LevinsonDurbinSolvesTheNormalEquationsOfEveryOrder) {
    Chain c(Ar2(1000, 900.0, 0.9, 3), 40, 1200, 280);
    c.RemoveMean();
    for (uint32_t p : {1u, 2u, 3u, 4u, 7u, 8u, 31u}) {
        ASSERT_TRUE(Autocorrelate(c.r, c.work, p, false));
        ASSERT_TRUE(LevinsonDurbin(c.a, c.r, p)) << p;
        ASSERT_EQ(c.a.Count(), p + 1);
        const double r0 = c.r[0];
        for (uint32_t i = 1; i <= p; ++i) {
            double sum = c.r[i];
            for (uint32_t j = 1; j <= p; ++j)
                sum += c.a[j] * c.r[i > j ? i - j : j - i];
            EXPECT_NEAR(sum, 0.0, 1e-9 * r0) << "order " << p << " row " << i;
        }
        double error = r0;
        for (uint32_t j = 1; j <= p; ++j)
            error += c.a[j] * c.r[j];
        EXPECT_NEAR(c.a[0], error, 1e-9 * r0) << p;
    }
    EXPECT_FALSE(LevinsonDurbin(c.a, c.r, 0));
    EXPECT_FALSE(LevinsonDurbin(c.a, c.r, 32));
}

TEST(EstimationStages, ModelSpectrumMatchesItsClosedFormAndFindsTheResonance) {
    const double f0 = 1000.0, rho = 0.95;
    Chain c(Ar2(8000, f0, rho, 4), 10, 2000, 400);
    const auto psd = c.Model(2);
    EXPECT_NEAR(c.a[1], -2 * rho * std::cos(2 * Pi * f0 * SamplePeriod), 0.03);
    EXPECT_NEAR(c.a[2], rho * rho, 0.03);
    for (size_t q = 0; q < psd.size(); ++q) {
        std::complex<double> den = 1.0;
        for (uint32_t i = 1; i <= 2; ++i)
            den += c.a[i] * std::polar(1.0, -2 * Pi * c.Frequency(q) * SamplePeriod * i);
        const double expected = std::fabs(c.a[0]) * SamplePeriod / std::norm(den);
        ASSERT_NEAR(psd[q], expected, 1e-6 * expected) << q;
    }
    // The peak of an AR(2) spectrum lies where cos(w) = (1 + rho^2) cos(w0) / (2 rho).
    const double peak = std::acos((1 + c.a[2]) * -c.a[1] / (4 * c.a[2])) / (2 * Pi * SamplePeriod);
    EXPECT_NEAR(c.Frequency(ArgMax(psd)), peak, c.spectrum.FreqStep);
    EXPECT_NEAR(peak, f0, 30.0);
}

TEST(EstimationStages, SineInsideTheBandPeaksWithinOneColumn) {
    for (double f : {100.0, 440.0, 777.0, 1150.0}) {
        Chain c(Sine(552, f, 8000.0, 30.0, 5), 40, 1200, 280);
        const auto psd = c.Model(137);
        ASSERT_EQ(psd.size(), 280u);
        EXPECT_NEAR(c.Frequency(ArgMax(psd)), f, c.spectrum.FreqStep) << f;
    }
}

TEST(EstimationStages, CorrelogramIsTheMagnitudeOfTheCosineTransform) {
    Chain c(Sine(552, 500.0, 5000.0, 500.0, 6), 40, 1200, 280);
    const auto cg = c.Correlogram(137);
    for (size_t q = 0; q < cg.size(); ++q) {
        double s = c.r[0];
        for (uint32_t i = 1; i < c.r.Count(); ++i)
            s += 2 * c.r[i] * std::cos(2 * Pi * c.Frequency(q) * SamplePeriod * i);
        const double expected = SamplePeriod * std::fabs(s);
        ASSERT_NEAR(cg[q], expected, 1e-6 * std::fabs(c.r[0]) * SamplePeriod * 10) << q;
        ASSERT_GE(cg[q], 0.0f);
    }
    EXPECT_NEAR(c.Frequency(ArgMax(cg)), 500.0, 2 * c.spectrum.FreqStep);
}

TEST(EstimationStages, SilenceAndConstantBlocksGiveZeroSpectra) {
    for (int16_t level : {int16_t{0}, int16_t{1000}, int16_t{-32768}}) {
        Chain c(std::vector<int16_t>(552, level), 40, 1200, 280);
        const auto model = c.Model(137);
        EXPECT_EQ(c.a[0], 0.0);
        for (uint32_t k = 0; k < c.r.Count(); ++k)
            ASSERT_EQ(c.r[k], 0.0);
        for (uint32_t j = 1; j < c.a.Count(); ++j)
            ASSERT_EQ(c.a[j], 0.0);
        for (float v : model)
            ASSERT_EQ(v, 0.0f);
        for (float v : c.Correlogram(137))
            ASSERT_EQ(v, 0.0f);
    }
}

TEST(EstimationStages, EvaluationRefusesAnAxisWithoutPoints) {
    Chain c(Sine(552, 500.0, 5000.0, 50.0, 7), 40, 1200, 280);
    c.Model(8);
    c.spectrum.FreqStep = 0.0;
    EXPECT_FALSE(EvaluateArSpectrum(c.spectrum, c.a, SamplePeriod));
    c.spectrum.FreqStep = -1.0;
    EXPECT_FALSE(EvaluateCorrelogram(c.spectrum, c.r, SamplePeriod));
    EXPECT_EQ(c.spectrum.Columns(), 280u);
}

} // namespace

// The straightforward autocorrelation and Levinson-Durbin recursion, one sum at a time in the
// order the estimation defines. The engine's faster stages must match them bit for bit.
#pragma once

#include "EngineArrays.h"

namespace reference {

bool Autocorrelate(DoubleSequence& dest, const SampledArray<double>& signal, uint32_t highestLag,
                   bool unbiased);
bool LevinsonDurbin(DoubleSequence& dest, const DoubleSequence& source, uint32_t order);

} // namespace reference

#include "EstimationStages.h"
#include "Zol_config.h"

#include <vector>

namespace reference {

// A validated record for samples at 11025 Hz with the given block, lags and frequency axis.
ConfigRecord Record(uint32_t samples, uint32_t lags, uint32_t points, double fmin, double fmax);

// The engine's chain on arrays of its own, for one validated record: the straightforward
// stages with direct evaluation, or the engine's fast stages with a table of angles.
class Chain {
public:
    Chain(const ConfigRecord& config, bool correlogram);

    // Analyses one block of SampleCount samples; the spectrum stays in Output().
    void Run(const int16_t* block, bool fast);
    std::vector<float> Output() const;

    DoubleSequence r, a;

private:
    const ConfigRecord& c;
    const bool correlogram;
    SampledArray<int16_t> input;
    SampledArray<double> work;
    DoubleSequence scratch;
    SpectrumFrameStack spectrum;
    RangeConstant mean;
    AngleTable table;
};

} // namespace reference

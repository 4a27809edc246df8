// The angles at which a spectrum is evaluated, and their sines and cosines kept in a table.
// The angles depend only on the frequency axis, the sample period and the number of model
// terms, so the table is built once when the engine is configured and read by every run.
#pragma once

#include "EngineArrays.h"
#include "Matematicheskieoperacii.h"

namespace spectrum_axis {

using Extended = long double;
constexpr Extended TwoPi = 6.283185307179586477L;

// The number of columns on the frame's frequency axis, or 0 when the axis has none.
uint32_t ColumnCount(const SpectrumFrameStack& frames);

// Calls column(q, theta) for each of n columns: f runs from FreqFirst by repeated addition of
// FreqStep and theta = f * (-2*pi*dt), rounded to double.
template <typename Column>
void ForEachColumn(const SpectrumFrameStack& frames, double dt, uint32_t n, Column column) {
    const auto w = static_cast<double>(-TwoPi * dt);
    double f = frames.FreqFirst;
    for (uint32_t q = 0; q < n; ++q) {
        column(q, static_cast<double>(Extended(f) * w));
        f = static_cast<double>(Extended(frames.FreqStep) + f);
    }
}

// Calls term(i, angle) for i = 1 .. count-1 with angle = i*theta formed by repeated addition.
template <typename Term> void ForEachAngle(double theta, uint32_t count, Term term) {
    double angle = theta;
    for (uint32_t i = 1; i < count; ++i) {
        term(i, angle);
        angle = static_cast<double>(Extended(theta) + angle);
    }
}

} // namespace spectrum_axis

// Cosines (and, for the model spectrum, sines) of every angle an evaluation visits, one row per
// column: cos, sin of terms 1 .. count-1, interleaved.
class AngleTable {
public:
    // Tables larger than this are not built; the evaluation then computes directly.
    static constexpr uint64_t MemoryLimitBytes = 64ull << 20;

    // Builds the table for `count` terms on the frame's axis; false (and an empty table) when it
    // would exceed the memory limit or storage cannot be obtained.
    bool Build(const SpectrumFrameStack& frames, double dt, uint32_t count, bool withSine);
    // True when the table holds columns x count terms, with sines exactly when they are needed.
    bool Covers(uint32_t columns, uint32_t count, bool needSine) const;
    // Row of column q.
    const double* Row(uint32_t q) const { return values.Data() + uint64_t{q} * rowLength; }

private:
    EngineArray<double> values;
    uint32_t columns = 0;
    uint32_t terms = 0;
    uint32_t rowLength = 0;
    bool hasSine = false;
};

#include "AngleTable.h"

namespace spectrum_axis {

uint32_t ColumnCount(const SpectrumFrameStack& frames) {
    const int32_t last = RoundToInt(
        static_cast<double>((Extended(frames.FreqLast) - frames.FreqFirst) / frames.FreqStep));
    return last < 0 || last == INT32_MAX ? 0 : static_cast<uint32_t>(last) + 1;
}

} // namespace spectrum_axis

bool AngleTable::Build(const SpectrumFrameStack& frames, double dt, uint32_t count, bool withSine) {
    columns = terms = rowLength = 0;
    // The angles are summed and their sines and cosines taken as a run does, after its reset.
    FpuResetScope reset;
    const uint32_t n = spectrum_axis::ColumnCount(frames);
    if (n == 0 || count < 2) return false;
    const uint64_t row = uint64_t{count - 1} * (withSine ? 2 : 1);
    if (row * n * sizeof(double) > MemoryLimitBytes) return false;
    if (!values.Resize(static_cast<uint32_t>(row * n))) return false;
    rowLength = static_cast<uint32_t>(row);
    spectrum_axis::ForEachColumn(frames, dt, n, [&](uint32_t q, double theta) {
        double* out = values.Data() + uint64_t{q} * rowLength;
        spectrum_axis::ForEachAngle(theta, count, [&](uint32_t, double angle) {
            *out++ = Cos(angle);
            if (withSine) *out++ = Sin(angle);
        });
    });
    columns = n;
    terms = count;
    hasSine = withSine;
    return true;
}

bool AngleTable::Covers(uint32_t n, uint32_t count, bool needSine) const {
    return columns == n && terms == count && n > 0 && hasSine == needSine;
}

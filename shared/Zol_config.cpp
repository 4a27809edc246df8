#include "Zol_config.h"

#include "Matematicheskieoperacii.h"

namespace {

constexpr uint32_t SlotArraySize = 64;
constexpr uint32_t SlotCapacityLimit = 16380;
constexpr uint32_t SlotMemoryWords = 0x7FFFFC;

const char* const ShortBlockComplaint = "Длина выборки не должна быть меньше Delitel";
const char* const NoZonesComplaint = "Количество зон равно нулю";
const char* const ZoneOverflowComplaint =
    "Число зон для данного размера выборки не должно превышать ";
const char* const FewPointsComplaint = "Число точек спектра должно быть не меньше 2";

uint32_t RoundUpToMultiple(uint32_t value, uint32_t step) {
    const uint32_t rest = value % step;
    return rest == 0 ? value : value + (step - rest);
}

void DeriveIndices(ConfigRecord& r) {
    if (r.LagCount > r.SampleCount) r.LagCount = r.SampleCount;
    r.LastSampleIndex = r.SampleCount - 1;
    r.PenultimateSampleIndex = r.SampleCount - 2;
    r.ModelOrder = r.LagCount - 1;
    r.LastPointIndex = r.PointCount - 1;
}

// The frequency step between spectrum points; a record with fewer than two points has none.
bool DeriveFrequencyStep(ConfigRecord& r) {
    if (r.PointCount < 2) {
        r.FreqStep = 0.0;
        return false;
    }
    r.FreqStep = static_cast<double>((static_cast<long double>(r.FreqStop) - r.FreqStart) /
                                     static_cast<long double>(r.LastPointIndex));
    return true;
}

void DeriveFixedPoint(ConfigRecord& r) {
    uint32_t i = 0, f = 0;
    EncodeFixed(r.FreqStart, 18, 18, i, f);
    r.FreqStartFixInt = i;
    r.FreqStartFixFrac = f;
    EncodeFixed(r.FreqStep, 18, 32, i, f);
    r.FreqStepFixInt = i;
    r.FreqStepFixFrac = f;
    EncodeFixed(r.SamplePeriod, 18, 18, i, f);
    r.SamplePeriodFixInt = i;
    r.SamplePeriodFixFrac = f;
}

// Spreads the zones over the first slot of each group of four; the last group takes the rest,
// none when that is negative. The count is 32-bit and wraps, as the slot words do.
void SpreadZones(ConfigRecord& r, uint32_t slots) {
    const auto share =
        static_cast<uint32_t>(CeilToInt(static_cast<double>(r.SlotZones[0]) / (2.0 * Delitel)));
    uint32_t remaining = r.PaddedZoneCount;
    for (uint32_t g = 0; g < slots; g += 4) {
        if (g == slots - 4)
            r.SlotZones[g] = static_cast<int32_t>(remaining) < 0 ? 0 : remaining;
        else
            r.SlotZones[g] = share;
        remaining -= share;
    }
}

// Runs an excess on into the next slot of the group; the group's last slot clamps. Returns
// false when a slot had to be clamped.
bool CascadeOverflow(ConfigRecord& r, uint32_t slots) {
    bool fits = true;
    for (uint32_t j = 0; j < slots; ++j) {
        if (r.SlotZones[j] <= r.SlotCapacity) continue;
        if (j % 4 == 3) {
            r.SlotZones[j] = r.SlotCapacity;
            fits = false;
        } else {
            r.SlotZones[j + 1] = r.SlotZones[j] - r.SlotCapacity;
            r.SlotZones[j] = r.SlotCapacity;
        }
    }
    return fits;
}

void DeriveSlotWords(ConfigRecord& r, uint32_t slots) {
    uint32_t quarterSum = 0;
    for (uint32_t k = 0; k < slots; ++k) {
        r.SlotWord[k] = (r.PaddedSampleCount << 16) | r.SlotZones[k];
        const uint32_t q = r.SlotZones[k] >> 2;
        r.SlotLastWord[k] = r.PaddedSampleCount * q - 1;
        r.SlotQuarterA[k] = q;
        r.SlotQuarterB[k] = q;
        quarterSum += q;
    }
    r.QuarterSum = quarterSum / (2 * Delitel);
}

} // namespace

ConfigRecord ZolConfig = [] {
    ConfigRecord r{};
    InitConfigRecord(r);
    return r;
}();
uint32_t Delitel = 0;
std::string ConfigMessage;

void SetConfigDefaults(ConfigRecord& r) {
    r.Reserved0 = 0;
    r.SampleCount = 200;
    r.UnbiasedCorrelation = 0;
    r.LagCount = 151;
    r.PointCount = 400;
    r.FreqStart = 0.001;
    r.FreqStop = 0.02;
    r.SamplePeriod = 3.75;
    r.ZoneCount = 2880;
    r.Reserved48 = 1;
    r.Reserved49 = 1;
    r.ZoneSpread = 2;
}

void InitConfigRecord(ConfigRecord& r) {
    SetConfigDefaults(r);
    r.Reserved1404 = 0;
    r.Reserved1405 = 0;
}

bool ValidateConfig(ConfigRecord& r) {
    bool ok = true;
    auto complain = [&ok](std::string text) {
        ConfigMessage = std::move(text);
        ok = false;
    };

    DeriveIndices(r);
    if (!DeriveFrequencyStep(r)) complain(FewPointsComplaint);
    DeriveFixedPoint(r);

    if (Delitel == 0) Delitel = 1;
    // Delitel has room for at most 64 slots.
    const uint32_t slots = 8 * (Delitel > SlotArraySize / 8 ? SlotArraySize / 8 : Delitel);
    uint32_t padded = RoundUpToMultiple(r.SampleCount, slots);
    r.PaddedZoneCount = RoundUpToMultiple(r.ZoneCount, slots);
    if (padded == 0) {
        padded = slots;
        complain(ShortBlockComplaint);
    }
    if (r.PaddedZoneCount == 0) {
        r.PaddedZoneCount = slots;
        complain(NoZonesComplaint);
    }

    r.SlotCapacity = (SlotMemoryWords / padded) & ~3u;
    if (r.SlotCapacity > SlotCapacityLimit) r.SlotCapacity = SlotCapacityLimit;
    r.GroupCapacity = r.SlotCapacity * 4;
    r.PaddedSampleCount = padded;

    r.SlotZones[0] = r.PaddedZoneCount;
    for (uint32_t k = 1; k < slots; ++k)
        r.SlotZones[k] = 0;
    if (r.ZoneSpread > 1) SpreadZones(r, slots);
    if (!CascadeOverflow(r, slots))
        complain(ZoneOverflowComplaint +
                 IntToText(static_cast<int32_t>(r.GroupCapacity * 2 * Delitel)));
    DeriveSlotWords(r, slots);

    r.Reserved1403 = 0;
    r.Reserved1399 = 0;
    return ok;
}

void EncodeFixed(double value, uint32_t intBits, uint32_t fracBits, uint32_t& intField,
                 uint32_t& fracField) {
    uint32_t extra = 0;
    if (fracBits >= 32) {
        fracBits -= 16;
        extra = 16;
    }
    const bool negative = value < 0;
    long double v = negative ? -static_cast<long double>(value) : value;
    const int64_t whole = TruncToInt64(v);
    const long double scale = static_cast<long double>(uint64_t{1} << (fracBits & 31)) *
                              static_cast<long double>(uint64_t{1} << extra);
    const int64_t frac = TruncToInt64((v - static_cast<long double>(whole)) * scale);
    intField = static_cast<uint32_t>(whole);
    fracField = static_cast<uint32_t>(frac);
    if (negative) {
        intField = ~intField;
        fracField = ~fracField;
    }
    if (intBits < 32) intField &= (1u << intBits) - 1;
    if (fracBits + extra < 32) fracField &= (1u << fracBits) - 1;
}

std::string IntToText(int32_t value) {
    return std::to_string(value);
}

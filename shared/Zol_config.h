// The configuration record that the program hands to the analysis engine (defined with the
// engine's exports in include/zol.h): its layout checked, its defaults and its validation.
#pragma once

#include "zol.h"

#include <cstddef>
#include <cstdint>
#include <string>

static_assert(sizeof(ConfigRecord) == 1406);
static_assert(offsetof(ConfigRecord, SampleCount) == 4);
static_assert(offsetof(ConfigRecord, UnbiasedCorrelation) == 8);
static_assert(offsetof(ConfigRecord, LagCount) == 12);
static_assert(offsetof(ConfigRecord, PointCount) == 16);
static_assert(offsetof(ConfigRecord, FreqStart) == 20);
static_assert(offsetof(ConfigRecord, FreqStop) == 28);
static_assert(offsetof(ConfigRecord, SamplePeriod) == 36);
static_assert(offsetof(ConfigRecord, ZoneCount) == 44);
static_assert(offsetof(ConfigRecord, Reserved48) == 48);
static_assert(offsetof(ConfigRecord, Reserved49) == 49);
static_assert(offsetof(ConfigRecord, ZoneSpread) == 50);
static_assert(offsetof(ConfigRecord, LastSampleIndex) == 51);
static_assert(offsetof(ConfigRecord, PenultimateSampleIndex) == 55);
static_assert(offsetof(ConfigRecord, ModelOrder) == 59);
static_assert(offsetof(ConfigRecord, LastPointIndex) == 63);
static_assert(offsetof(ConfigRecord, FreqStartFixInt) == 67);
static_assert(offsetof(ConfigRecord, FreqStartFixFrac) == 71);
static_assert(offsetof(ConfigRecord, FreqStepFixInt) == 75);
static_assert(offsetof(ConfigRecord, FreqStepFixFrac) == 79);
static_assert(offsetof(ConfigRecord, SamplePeriodFixInt) == 83);
static_assert(offsetof(ConfigRecord, SamplePeriodFixFrac) == 87);
static_assert(offsetof(ConfigRecord, FreqStep) == 91);
static_assert(offsetof(ConfigRecord, SlotCapacity) == 99);
static_assert(offsetof(ConfigRecord, GroupCapacity) == 103);
static_assert(offsetof(ConfigRecord, PaddedZoneCount) == 107);
static_assert(offsetof(ConfigRecord, SlotLastWord) == 111);
static_assert(offsetof(ConfigRecord, SlotWord) == 367);
static_assert(offsetof(ConfigRecord, SlotQuarterA) == 623);
static_assert(offsetof(ConfigRecord, SlotQuarterB) == 879);
static_assert(offsetof(ConfigRecord, SlotZones) == 1135);
static_assert(offsetof(ConfigRecord, PaddedSampleCount) == 1391);
static_assert(offsetof(ConfigRecord, QuarterSum) == 1395);
static_assert(offsetof(ConfigRecord, Reserved1399) == 1399);
static_assert(offsetof(ConfigRecord, Reserved1403) == 1403);
static_assert(offsetof(ConfigRecord, Reserved1404) == 1404);
static_assert(offsetof(ConfigRecord, Reserved1405) == 1405);

// This deliverable's record: the program fills and passes it on, the engine keeps its copy here.
extern ConfigRecord ZolConfig;
// Divisor of the slot layout; validation replaces 0 by 1.
extern uint32_t Delitel;
// The last complaint of the validation (UTF-8); nothing displays it.
extern std::string ConfigMessage;

void SetConfigDefaults(ConfigRecord& record);
void InitConfigRecord(ConfigRecord& record);
// Clamps, derives and checks; true when it made no complaint. Always writes every derived field.
bool ValidateConfig(ConfigRecord& record);
// Fixed-point image of value: intBits integer bits and fracBits fraction bits, negative values
// as one's complements.
void EncodeFixed(double value, uint32_t intBits, uint32_t fracBits, uint32_t& intField,
                 uint32_t& fracField);
std::string IntToText(int32_t value);

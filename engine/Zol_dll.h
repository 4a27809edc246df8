// The four exports of the analysis engine: configure, write a block of samples, estimate its
// spectrum, read the spectrum. Booleans cross the boundary as one byte. The engine keeps one
// configuration and one block: one caller at a time, the calls never overlapping.
#pragma once

#include <cstdint>

struct ConfigRecord;

#if defined(_WIN32)
#define ZOL_EXPORT __declspec(dllexport)
#else
#define ZOL_EXPORT __attribute__((visibility("default")))
#endif

// The most the signal, correlation and spectrum buffers hold, 192 MB; with the angle table's own
// 64 MB the engine holds at most 256 MB.
constexpr uint64_t BufferLimitBytes = uint64_t{192} << 20;

extern "C" {
// Copies and validates the record and sizes the buffers; a mode byte of 0 selects the all-pole
// model, any other the correlogram. False, with the previous configuration still in force, when
// the record cannot be analysed, a value formed from it (the axis, the angles, the sample
// period's products) is not a finite double, the buffers would hold more than BufferLimitBytes
// (refused before anything is allocated) or storage runs out. The caller's floating-point units
// are left as they were.
ZOL_EXPORT bool ZOL_DLL_Init(const ConfigRecord* record, uint8_t mode);
// Copies exactly SampleCount samples into the engine; false, copying nothing, otherwise.
ZOL_EXPORT bool ZOL_DLL_WriteInputArray(const int16_t* samples, int32_t count);
// Estimates the spectrum of the block last written; true when every stage succeeded and every
// value of the spectrum is finite.
ZOL_EXPORT bool ZOL_DLL_Run();
// Copies exactly PointCount values of the last spectrum; false, writing nothing, otherwise.
ZOL_EXPORT bool ZOL_DLL_ReadOutputArray(float* dest, int32_t count);
}

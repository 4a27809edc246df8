// The four exports of the analysis engine: configure, write a block of samples, estimate its
// spectrum, read the spectrum. Booleans cross the boundary as one byte.
#pragma once

#include <cstdint>

struct ConfigRecord;

#if defined(_WIN32)
#define ZOL_EXPORT __declspec(dllexport)
#else
#define ZOL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Copies and validates the record and sizes the buffers; a mode byte of 0 selects the all-pole
// model, any other the correlogram. False when the record cannot be analysed or a buffer cannot
// be sized. The caller's floating-point units are left as they were.
ZOL_EXPORT bool ZOL_DLL_Init(const ConfigRecord* record, uint8_t mode);
// Copies exactly SampleCount samples into the engine; false, copying nothing, otherwise.
ZOL_EXPORT bool ZOL_DLL_WriteInputArray(const int16_t* samples, int32_t count);
// Estimates the spectrum of the block last written; true when every stage succeeded.
ZOL_EXPORT bool ZOL_DLL_Run();
// Copies exactly PointCount values of the last spectrum; false, writing nothing, otherwise.
ZOL_EXPORT bool ZOL_DLL_ReadOutputArray(float* dest, int32_t count);
}

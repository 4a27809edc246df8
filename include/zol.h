/* zol: the analysis engine's interface for C and C++ programs (libzol.so, zol.dll).
 *
 * A caller fills the settable fields of a ConfigRecord and passes it to ZOL_DLL_Init, which
 * copies it, derives the other fields and sizes the engine's buffers; then, block after block,
 * ZOL_DLL_WriteInputArray takes SampleCount 16-bit samples, ZOL_DLL_Run estimates their
 * spectrum and ZOL_DLL_ReadOutputArray copies its PointCount values, lowest frequency first.
 * The engine keeps one configuration and one block per process: one caller at a time, the calls
 * never overlapping. Booleans cross the boundary as one byte. */
#ifndef ZOL_H
#define ZOL_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

/* The library itself exports the four functions; callers declare them plainly. */
#if defined(ZOL_BUILDING) && defined(_WIN32)
#define ZOL_API __declspec(dllexport)
#elif defined(ZOL_BUILDING)
#define ZOL_API __attribute__((visibility("default")))
#else
#define ZOL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The configuration record, byte for byte as the engine reads it (1406 bytes, no padding). */
#pragma pack(push, 1)
typedef struct ConfigRecord {
    /* Settable fields. */
    uint32_t Reserved0;
    uint32_t SampleCount;         /* samples per block */
    uint32_t UnbiasedCorrelation; /* non-zero: the unbiased autocorrelation estimate */
    uint32_t LagCount;            /* autocorrelation lags; the model order is one less */
    uint32_t PointCount;          /* spectrum values per block */
    double FreqStart;             /* first and last frequency of the spectrum, Hz */
    double FreqStop;
    double SamplePeriod; /* seconds between samples */
    uint32_t ZoneCount;
    uint8_t Reserved48;
    uint8_t Reserved49;
    uint8_t ZoneSpread;
    /* Derived fields: written by the engine's validation, whatever the caller put there. */
    uint32_t LastSampleIndex;
    uint32_t PenultimateSampleIndex;
    uint32_t ModelOrder;
    uint32_t LastPointIndex;
    uint32_t FreqStartFixInt;
    uint32_t FreqStartFixFrac;
    uint32_t FreqStepFixInt;
    uint32_t FreqStepFixFrac;
    uint32_t SamplePeriodFixInt;
    uint32_t SamplePeriodFixFrac;
    double FreqStep;
    uint32_t SlotCapacity;
    uint32_t GroupCapacity;
    uint32_t PaddedZoneCount;
    uint32_t SlotLastWord[64];
    uint32_t SlotWord[64];
    uint32_t SlotQuarterA[64];
    uint32_t SlotQuarterB[64];
    uint32_t SlotZones[64];
    uint32_t PaddedSampleCount;
    uint32_t QuarterSum;
    uint32_t Reserved1399;
    uint8_t Reserved1403;
    uint8_t Reserved1404;
    uint8_t Reserved1405;
} ConfigRecord;
#pragma pack(pop)

/* Copies and validates the record and sizes the buffers; a mode byte of 0 selects the all-pole
 * model, any other the correlogram. False, with the previous configuration still in force, when
 * the record cannot be analysed, a value formed from it (the axis, the angles, the sample
 * period's products) is not a finite double, the buffers would hold more than 256 MB in all
 * (refused before anything is allocated) or storage runs out. The caller's floating-point units
 * are left as they were. */
ZOL_API bool ZOL_DLL_Init(const ConfigRecord* record, uint8_t mode);
/* Copies exactly SampleCount samples into the engine; false, copying nothing, otherwise. */
ZOL_API bool ZOL_DLL_WriteInputArray(const int16_t* samples, int32_t count);
/* Estimates the spectrum of the block last written; true when every stage succeeded and every
 * value of the spectrum is finite. */
ZOL_API bool ZOL_DLL_Run(void);
/* Copies exactly PointCount values of the last spectrum; false, writing nothing, otherwise. */
ZOL_API bool ZOL_DLL_ReadOutputArray(float* dest, int32_t count);

#ifdef __cplusplus
}
#endif

#endif

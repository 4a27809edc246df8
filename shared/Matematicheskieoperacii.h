// Floating-point helpers that work directly on the x87 unit: extended-precision results rounded
// to double, the unit's own sine and cosine, and integer stores under its rounding mode.
#pragma once

#include <cstdint>

// Reinitialises the floating-point unit: round to nearest even, extended precision, all
// exceptions masked, status and register stack cleared.
void ResetFpu();

// Holds the SSE unit's control register at its power-on state (all exceptions masked, round to
// nearest, no flushing of denormals) for its lifetime and then gives the caller's back. Double
// arithmetic that the compiler hands to that unit, fused multiply-adds among it, then rounds and
// signals alike whatever the host set. Does nothing on processors without that unit.
class SseControlScope {
public:
    SseControlScope();
    ~SseControlScope();
    SseControlScope(const SseControlScope&) = delete;
    SseControlScope& operator=(const SseControlScope&) = delete;

private:
    uint32_t saved = 0;
};

// Computes under the reset state of both units for its lifetime and then gives them back exactly
// as they were (control words, status and exception flags), for work that must round as a run
// does without changing the caller's floating-point state.
class FpuResetScope {
public:
    FpuResetScope();
    ~FpuResetScope();
    FpuResetScope(const FpuResetScope&) = delete;
    FpuResetScope& operator=(const FpuResetScope&) = delete;

private:
    SseControlScope sse;
    // The unit's saved environment (the x87 one, or the C library's where there is none).
    alignas(16) unsigned char environment[64];
};

double Sqrt(double x);
double Abs(double x);
// The unit's own sine and cosine, argument passed unreduced.
double Sin(double x);
double Cos(double x);
// x to the power y through 2^(y*log2 x); 0 for x == 0 whatever y is.
double Pow(double x, double y);

// Stores x as a 32-bit integer under the current rounding mode; NaN and values outside the
// 32-bit range give the integer-indefinite value INT32_MIN.
int32_t RoundToInt(double x);
// Ceiling and floor through the rounding field; the unit rounds to nearest afterwards.
int32_t CeilToInt(double x);
int32_t FloorToInt(double x);

// Truncates toward zero to 64 bits; NaN and values outside the 64-bit range give INT64_MIN,
// as the unit's truncating store does.
int64_t TruncToInt64(long double x);

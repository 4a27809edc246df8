#include "Matematicheskieoperacii.h"

#include <cfenv>
#include <cmath>
#include <limits>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(ZOL_PORTABLE_FPU)
#define ZOL_X87 1
#endif

namespace {

constexpr uint16_t RoundingField = 0x0C00;
constexpr uint16_t RoundDown = 0x0400;
constexpr uint16_t RoundUp = 0x0800;

#ifdef ZOL_X87

uint16_t ControlWord() {
    uint16_t cw;
    asm volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

void SetControlWord(uint16_t cw) {
    asm volatile("fldcw %0" : : "m"(cw));
}

int32_t StoreInt32(long double x) {
    int32_t result;
    asm volatile("fistpl %0" : "=m"(result) : "t"(x) : "st");
    return result;
}

// Stores x with the rounding field temporarily set to `mode`, then leaves round to nearest.
int32_t StoreInt32Rounded(double x, uint16_t mode) {
    const uint16_t cw = ControlWord();
    SetControlWord(static_cast<uint16_t>(cw | mode));
    const int32_t result = StoreInt32(x);
    SetControlWord(static_cast<uint16_t>(cw & ~RoundingField));
    return result;
}

#else

constexpr int32_t IntegerIndefinite32 = std::numeric_limits<int32_t>::min();

bool FitsInt32(double x) {
    return x >= -2147483648.0 && x < 2147483648.0;
}

int32_t StoreInt32Rounded(double x, uint16_t mode) {
    const double r = mode == RoundUp ? std::ceil(x) : std::floor(x);
    return FitsInt32(r) ? static_cast<int32_t>(r) : IntegerIndefinite32;
}

#endif

} // namespace

#if defined(__GNUC__) && defined(__SSE2__)

// All six exceptions masked, round to nearest, no flush to zero, denormals as they are.
constexpr uint32_t SsePowerOnControl = 0x1F80;

SseControlScope::SseControlScope() {
    asm volatile("stmxcsr %0" : "=m"(saved));
    asm volatile("ldmxcsr %0" : : "m"(SsePowerOnControl) : "memory");
}

SseControlScope::~SseControlScope() {
    asm volatile("ldmxcsr %0" : : "m"(saved) : "memory");
}

#else

SseControlScope::SseControlScope() = default;
SseControlScope::~SseControlScope() = default;

#endif

#ifdef ZOL_X87

void ResetFpu() {
    asm volatile("fninit" : : : "memory");
}

FpuResetScope::FpuResetScope() {
    static_assert(sizeof environment >= 28);
    asm volatile("fnstenv %0" : "=m"(environment));
    ResetFpu();
}

FpuResetScope::~FpuResetScope() {
    asm volatile("fldenv %0" : : "m"(environment) : "memory");
}

double Sqrt(double x) {
    long double r = x;
    asm("fsqrt" : "+t"(r));
    return static_cast<double>(r);
}

double Sin(double x) {
    long double r = x;
    asm("fsin" : "+t"(r));
    return static_cast<double>(r);
}

double Cos(double x) {
    long double r = x;
    asm("fcos" : "+t"(r));
    return static_cast<double>(r);
}

double Pow(double x, double y) {
    if (x == 0.0) return 0.0;
    long double t;
    asm("fyl2x"
        : "=t"(t)
        : "0"(static_cast<long double>(x)), "u"(static_cast<long double>(y))
        : "st(1)");
    long double n;
    asm("frndint" : "=t"(n) : "0"(t));
    long double f = t - n;
    asm("f2xm1" : "+t"(f));
    f += 1.0L;
    long double r;
    asm("fscale" : "=t"(r) : "0"(f), "u"(n));
    return static_cast<double>(r);
}

int32_t RoundToInt(double x) {
    return StoreInt32(x);
}

int64_t TruncToInt64(long double x) {
    const uint16_t cw = ControlWord();
    SetControlWord(static_cast<uint16_t>(cw | RoundingField));
    int64_t result;
    asm volatile("fistpll %0" : "=m"(result) : "t"(x) : "st");
    SetControlWord(cw);
    return result;
}

#else

// The C library's default environment is the unit's power-on state: round to nearest, all
// exceptions masked.
void ResetFpu() {
    std::fesetenv(FE_DFL_ENV);
}

FpuResetScope::FpuResetScope() {
    static_assert(sizeof environment >= sizeof(std::fenv_t));
    std::fegetenv(reinterpret_cast<std::fenv_t*>(environment));
    ResetFpu();
}

FpuResetScope::~FpuResetScope() {
    std::fesetenv(reinterpret_cast<const std::fenv_t*>(environment));
}

double Sqrt(double x) {
    return std::sqrt(x);
}
double Sin(double x) {
    return std::sin(x);
}
double Cos(double x) {
    return std::cos(x);
}

double Pow(double x, double y) {
    if (x == 0.0) return 0.0;
    return static_cast<double>(std::exp2(static_cast<long double>(y) * std::log2(x)));
}

int32_t RoundToInt(double x) {
    const double r = std::nearbyint(x);
    return FitsInt32(r) ? static_cast<int32_t>(r) : IntegerIndefinite32;
}

int64_t TruncToInt64(long double x) {
    const long double r = std::trunc(x);
    constexpr long double Limit = 9223372036854775808.0L;
    return r >= -Limit && r < Limit ? static_cast<int64_t>(r) : std::numeric_limits<int64_t>::min();
}

#endif

double Abs(double x) {
    return std::fabs(x);
}

int32_t CeilToInt(double x) {
    return StoreInt32Rounded(x, RoundUp);
}
int32_t FloorToInt(double x) {
    return StoreInt32Rounded(x, RoundDown);
}

#include "Operaciispamyatyu.h"

#include <cstring>

namespace {

// One word through a register, so that overlapping words behave as a word copy does.
inline void CopyWord(unsigned char* d, const unsigned char* s) {
    uint32_t w;
    std::memcpy(&w, s, sizeof w);
    std::memcpy(d, &w, sizeof w);
}

void CopyForward(unsigned char* d, const unsigned char* s, uint32_t n) {
    const uint32_t words = n / 4;
    for (uint32_t i = 0; i < words; ++i)
        CopyWord(d + 4 * i, s + 4 * i);
    for (uint32_t i = words * 4; i < n; ++i)
        d[i] = s[i];
}

void CopyBackward(unsigned char* d, const unsigned char* s, uint32_t n) {
    const uint32_t words = n / 4;
    const uint32_t front = n % 4;
    for (uint32_t i = words; i > 0; --i)
        CopyWord(d + front + 4 * (i - 1), s + front + 4 * (i - 1));
    for (uint32_t i = front; i > 0; --i)
        d[i - 1] = s[i - 1];
}

} // namespace

void CopyBytes(void* dst, const void* src, uint32_t n, bool forward) {
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    if (forward)
        CopyForward(d, s, n);
    else
        CopyBackward(d, s, n);
}

void MoveBytes(void* dst, const void* src, uint32_t n) {
    CopyBytes(dst, src, n, reinterpret_cast<uintptr_t>(dst) <= reinterpret_cast<uintptr_t>(src));
}

void ZeroBytes(void* dst, uint32_t n) {
    auto* d = static_cast<unsigned char*>(dst);
    const uint32_t words = n / 4;
    const uint32_t zero = 0;
    for (uint32_t i = 0; i < words; ++i)
        std::memcpy(d + 4 * i, &zero, sizeof zero);
    for (uint32_t i = words * 4; i < n; ++i)
        d[i] = 0;
}

void CopyRows(void* dst, const void* src, uint32_t rowBytes, uint32_t rows, int32_t dstGap,
              int32_t srcGap) {
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    for (uint32_t r = 0; r < rows; ++r) {
        CopyForward(d, s, rowBytes);
        if (r + 1 == rows) break;
        d += static_cast<int64_t>(rowBytes) + dstGap;
        s += static_cast<int64_t>(rowBytes) + srcGap;
    }
}

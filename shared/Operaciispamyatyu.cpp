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

bool Overlap(const unsigned char* d, const unsigned char* s, uint32_t n) {
    const uintptr_t dst = reinterpret_cast<uintptr_t>(d), src = reinterpret_cast<uintptr_t>(s);
    return dst < src + n && src < dst + n;
}

// Separate blocks end up the same whatever order the bytes are copied in, so they go through the
// library's block copy, which moves whole vectors; overlapping ones keep the word order asked for.
void CopyInDirection(unsigned char* d, const unsigned char* s, uint32_t n, bool forward) {
    if (n == 0) return;
    if (!Overlap(d, s, n))
        std::memcpy(d, s, n);
    else if (forward)
        CopyForward(d, s, n);
    else
        CopyBackward(d, s, n);
}

} // namespace

void CopyBytes(void* dst, const void* src, uint32_t n, bool forward) {
    CopyInDirection(static_cast<unsigned char*>(dst), static_cast<const unsigned char*>(src), n,
                    forward);
}

// The word copy in the direction that suits the overlap leaves the same bytes as the library's
// overlapping move.
void MoveBytes(void* dst, const void* src, uint32_t n) {
    if (n > 0) std::memmove(dst, src, n);
}

void ZeroBytes(void* dst, uint32_t n) {
    if (n > 0) std::memset(dst, 0, n);
}

void CopyRows(void* dst, const void* src, uint32_t rowBytes, uint32_t rows, int32_t dstGap,
              int32_t srcGap) {
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    for (uint32_t r = 0; r < rows; ++r) {
        CopyInDirection(d, s, rowBytes, true);
        if (r + 1 == rows) break;
        d += static_cast<int64_t>(rowBytes) + dstGap;
        s += static_cast<int64_t>(rowBytes) + srcGap;
    }
}

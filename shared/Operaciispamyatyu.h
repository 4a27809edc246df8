// Block copy and clear of raw bytes, four-byte words first, then the remaining bytes.
#pragma once

#include <cstdint>

// Copies n bytes. Forward ascends and suits a destination below an overlapping source;
// backward descends and suits a destination above it. The caller chooses.
void CopyBytes(void* dst, const void* src, uint32_t n, bool forward);
// Copies n bytes correctly for any overlap.
void MoveBytes(void* dst, const void* src, uint32_t n);
void ZeroBytes(void* dst, uint32_t n);
// Copies `rows` rows of rowBytes bytes; after each row the source skips srcGap and the
// destination dstGap further bytes (gaps run from the end of one row to the start of the next).
void CopyRows(void* dst, const void* src, uint32_t rowBytes, uint32_t rows, int32_t dstGap,
              int32_t srcGap);

#include "Ttekstoviyfayl.h"

#include "Operaciispamyatyu.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t Usable = TTekstoviyFayl::BufferSize - 1;

bool StartsWith(const char* bytes, uint32_t count, const char* mark, uint32_t length) {
    return count >= length && std::memcmp(bytes, mark, length) == 0;
}

} // namespace

void TTekstoviyFayl::SetLineHandler(TLineHandler lineHandler, void* data) {
    handler = lineHandler;
    userData = data;
}

bool TTekstoviyFayl::Open() {
    if (file != INVALID_HANDLE_VALUE) return true;
    file = CreateFileA(name.Data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE;
}

void TTekstoviyFayl::Close() {
    if (file == INVALID_HANDLE_VALUE) return;
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

bool TTekstoviyFayl::Fail(char* buffer) {
    std::free(buffer);
    Close();
    return false;
}

bool TTekstoviyFayl::ReadLines() {
    utf16 = false;
    if (handler == nullptr) return false;
    Close();
    if (!Open()) return false;
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && high == 0) return Fail(nullptr);
    const uint64_t size = uint64_t{high} << 32 | low;
    if (size == 0) {
        Close();
        return true;
    }
    auto* buffer = static_cast<char*>(std::malloc(BufferSize));
    if (buffer == nullptr) return Fail(nullptr);
    if (!ReadAll(buffer, size)) return Fail(buffer);
    std::free(buffer);
    return true;
}

// Reads blocks behind the unfinished line carried at the front of the buffer and hands out
// every line they complete. A line feed right behind a carriage return (also across blocks)
// ends nothing more. A line that fills the whole buffer is skipped up to its ending.
bool TTekstoviyFayl::ReadAll(char* buffer, uint64_t size) {
    uint64_t done = 0;
    uint32_t carried = 0;
    bool afterReturn = false, skipping = false;
    while (done < size) {
        const uint64_t left = size - done;
        const uint32_t request = left < Usable - carried ? uint32_t(left) : Usable - carried;
        DWORD got = 0;
        if (!ReadFile(file, buffer + carried, request, &got, nullptr) || got != request)
            return false;
        done += got;
        const uint32_t count = carried + got;
        // The 0 behind the block stops the search for line endings there; a 0 byte of the file
        // before it ends a line.
        buffer[count] = 0;
        uint32_t start = 0;
        if (done == got) {
            utf16 = StartsWith(buffer, count, "\xFF\xFE", 2) ||
                    StartsWith(buffer, count, "\xFE\xFF", 2);
            if (utf16) return false;
            if (StartsWith(buffer, count, "\xEF\xBB\xBF", 3)) start = 3;
        }
        for (uint32_t i = start; i < count; ++i) {
            const uint32_t end = i + uint32_t(std::strcspn(buffer + i, "\r\n"));
            if (end > i) afterReturn = false;
            if (end == count) break;
            i = end;
            const bool secondHalf = buffer[i] == '\n' && afterReturn;
            afterReturn = buffer[i] == '\r';
            if (!secondHalf) {
                buffer[i] = 0;
                if (!skipping && !handler(buffer + start, this, userData)) return false;
                skipping = false;
            }
            start = i + 1;
        }
        carried = count - start;
        if (carried == Usable) skipping = true;
        if (skipping) carried = 0;
        MoveBytes(buffer, buffer + start, carried);
    }
    if (carried == 0) return true;
    buffer[carried] = 0;
    return handler(buffer, this, userData);
}

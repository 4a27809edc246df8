#include "Operaciisostrokami.h"

#include "Operaciispamyatyu.h"

#include <cstring>

namespace {

bool InSet(char c, const char* set, uint32_t setSize) {
    for (uint32_t j = 0; j < setSize; ++j)
        if (set[j] == c) return true;
    return false;
}

// Removes characters [from, to) of a text of count characters; returns the new count.
uint32_t CloseUp(char* text, uint32_t from, uint32_t to, uint32_t count) {
    MoveBytes(text + from, text + to, count - to);
    const uint32_t shrunk = count - (to - from);
    text[shrunk] = 0;
    return shrunk;
}

} // namespace

uint32_t StrLength(const char* text) {
    return text == nullptr ? 0 : uint32_t(std::strlen(text));
}
uint32_t WideStrLength(const char16_t* text) {
    if (text == nullptr) return 0;
    uint32_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

void ReplaceChar(char* text, char newChar, char oldChar, uint32_t count) {
    if (text == nullptr) return;
    for (uint32_t i = 0; i < count; ++i)
        if (text[i] == oldChar) text[i] = newChar;
}

char* FindChar(char* text, char c, uint32_t count) {
    if (text == nullptr || count == 0) return nullptr;
    return static_cast<char*>(std::memchr(text, c, count));
}

uint32_t RemoveChars(char* text, const char* set, uint32_t count, uint32_t setSize) {
    if (set == nullptr || setSize == 0) return 0;
    if (text == nullptr) return count;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (!InSet(text[i], set, setSize)) text[kept++] = text[i];
    if (kept < count) text[kept] = 0;
    return kept;
}

uint32_t CountCharsInSet(const char* text, const char* set, uint32_t count, uint32_t setSize) {
    if (text == nullptr) return count;
    if (set == nullptr || setSize == 0 || count == 0) return 0;
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (InSet(text[i], set, setSize)) ++n;
    return n;
}

uint32_t SqueezeChar(char* text, uint32_t position, char c, bool forward, uint32_t count) {
    if (text == nullptr || position >= count || text[position] != c) return count;
    if (forward) {
        uint32_t end = position;
        while (end < count && text[end] == c)
            ++end;
        return CloseUp(text, position, end, count);
    }
    uint32_t start = position;
    while (start > 1 && text[start - 1] == c)
        --start;
    if (start == 0) return count;
    return CloseUp(text, start, position + 1, count);
}

// The program's strings: TAnsiString (8-bit, code page 1251) and TWideString (UTF-16). A string
// is one pointer to a reference-counted body shared by its copies and made private before a
// change; the empty string has no body. Positions are 1-based.
#pragma once

#include "TOdnomernoeMnogestvoElementov.h"

#include <cstdint>

template <typename C> class TStringT {
public:
    TStringT() = default;
    // Empty for no text or an empty text.
    TStringT(const C* text) { Assign(text); }
    // Empty for the character 0.
    explicit TStringT(C c);
    TStringT(const TStringT& other);
    TStringT& operator=(const TStringT& other);
    ~TStringT() { Release(); }

    // Drops this handle's reference; the body goes with the last one.
    void Release();
    // Replaces the text; an empty or absent text empties the string. When the storage cannot be
    // sized the string keeps its storage with an empty text and the result is false.
    bool Assign(const C* text);
    // Assign of the first n characters of text, which holds no 0 among them.
    bool Assign(const C* text, uint32_t n);
    // Gives the string a body of its own; false when none remains (empty string, or no memory
    // for the copy).
    bool Unique();
    // Writable characters of a private body; null for the empty string.
    C* CStr();
    // The characters without making the body private; null for the empty string.
    const C* Data() const;
    // Characters before the first 0.
    uint32_t Length() const;
    // Keeps the first n characters (new ones are 0) and terminates; 0 empties the string.
    bool SetLength(uint32_t n);
    // Inserts other before position pos (1 .. Length + 1).
    bool Insert(const TStringT& other, uint32_t pos);
    // Deletes n characters from pos when they all lie in the string.
    bool Delete(uint32_t pos, uint32_t n);
    // The n characters from start; empty unless they all lie in the string.
    TStringT SubString(uint32_t start, uint32_t n) const;
    // Without leading and trailing characters of code 32 or less.
    TStringT Trim() const;
    // Replaces the text with the Trim of source.SubString(start, n), in this string's own storage
    // where it has one (no new storage for a string that takes one part after another). False,
    // with an empty text, when the part does not lie in source or no storage remains.
    bool AssignTrimmed(const TStringT& source, uint32_t start, uint32_t n);
    // Storage of the body in elements; 0 for the empty string.
    uint32_t Capacity() const;

    friend TStringT operator+(const TStringT& a, const TStringT& b) {
        TStringT result = a;
        result.Insert(b, result.Length() + 1);
        return result;
    }

private:
    friend TStringT<char> AnsiFromWide(const TStringT<char16_t>& wide);
    struct Body;
    bool SizeBody(uint32_t count);

    Body* body = nullptr;
};

using TAnsiString = TStringT<char>;
using TWideString = TStringT<char16_t>;

// From UTF-16: the characters translated into code page 1251 where the code-page tables are
// ready, their low bytes otherwise.
TAnsiString AnsiFromWide(const TWideString& wide);

// -1, 0 or 1: the empty string first; then the first differing character as a signed 8-bit
// value (code-page letters before ASCII); then the shorter string.
int Compare(const TAnsiString& a, const TAnsiString& b);

extern template class TStringT<char>;
extern template class TStringT<char16_t>;

#include "Tstring.h"

#include "Kernel.h"
#include "Operaciisostrokami.h"
#include "Operaciispamyatyu.h"
#include "platform/Kernel32.h"

#include <cstring>
#include <new>
#include <type_traits>

namespace {

constexpr uint32_t StringGranularity = 400;

template <typename C> uint32_t TextLength(const C* text) {
    if constexpr (std::is_same_v<C, char>)
        return StrLength(text);
    else
        return WideStrLength(text);
}

template <typename C> void MoveChars(C* dst, const C* src, uint32_t n) {
    if (n > 0) MoveBytes(dst, src, n * uint32_t{sizeof(C)});
}

} // namespace

template <typename C> struct TStringT<C>::Body {
    TOdnomernoeMnogestvoElementov<C> items{StringGranularity};
    uint32_t references = 1;
};

template <typename C> TStringT<C>::TStringT(C c) {
    if (c == 0 || !SizeBody(2)) return;
    C* d = body->items.Data();
    d[0] = c;
    d[1] = 0;
}

TAnsiString AnsiFromWide(const TWideString& wide) {
    TAnsiString result;
    const uint32_t length = wide.Length();
    if (length == 0 || !result.SizeBody(length + 1)) return result;
    char* d = result.body->items.Data();
    const char16_t* w = wide.Data();
    for (uint32_t i = 0; i <= length; ++i)
        d[i] = static_cast<char>(w[i] & 0xFF);
    const int translated =
        WideToAnsi(CP_1251, 0, w, int(length), d, int(length + 1), nullptr, nullptr);
    if (translated > 0) d[translated] = 0;
    return result;
}

template <typename C> TStringT<C>::TStringT(const TStringT& other) : body(other.body) {
    if (body != nullptr) ++body->references;
}

template <typename C> TStringT<C>& TStringT<C>::operator=(const TStringT& other) {
    if (body == other.body) return *this;
    Release();
    body = other.body;
    if (body != nullptr) ++body->references;
    return *this;
}

template <typename C> void TStringT<C>::Release() {
    if (body != nullptr && --body->references == 0) delete body;
    body = nullptr;
}

// Gives this handle a private body of count elements (keeping the first characters); false,
// with the string unchanged, when that cannot be had.
template <typename C> bool TStringT<C>::SizeBody(uint32_t count) {
    if (body == nullptr) {
        body = new (std::nothrow) Body;
        if (body == nullptr) return false;
        if (!body->items.SetCount(count, false, false)) {
            Release();
            return false;
        }
        return true;
    }
    return Unique() && body->items.SetCount(count, false, false);
}

template <typename C> bool TStringT<C>::Assign(const C* text) {
    return Assign(text, TextLength(text));
}

template <typename C> bool TStringT<C>::Assign(const C* text, uint32_t n) {
    if (n == 0) {
        Release();
        return true;
    }
    // A text inside this string's own storage is copied before the storage changes.
    if (body != nullptr && text >= Data() && text < Data() + body->items.Capacity()) {
        TStringT copy;
        const bool copied = copy.Assign(text, n);
        *this = copy;
        return copied;
    }
    if (n == UINT32_MAX || !SizeBody(n + 1)) {
        if (body != nullptr && body->references == 1 && body->items.Count() > 0)
            body->items.Data()[0] = 0;
        return false;
    }
    C* d = body->items.Data();
    MoveChars(d, text, n);
    d[n] = 0;
    return true;
}

template <typename C> bool TStringT<C>::Unique() {
    if (body == nullptr) return false;
    if (body->references == 1) return true;
    TStringT copy;
    copy.body = new (std::nothrow) Body;
    if (copy.body == nullptr) return false;
    const uint32_t count = body->items.Count();
    if (!copy.body->items.SetCount(count, false, false)) return false;
    MoveChars(copy.body->items.Data(), body->items.Data(), count);
    *this = copy;
    if (Length() == 0) Release();
    return body != nullptr;
}

template <typename C> C* TStringT<C>::CStr() {
    if (!Unique()) return nullptr;
    C* d = body->items.Data();
    d[body->items.Count() - 1] = 0;
    return d;
}

template <typename C> const C* TStringT<C>::Data() const {
    return body == nullptr ? nullptr : body->items.Data();
}

template <typename C> uint32_t TStringT<C>::Length() const {
    if (body == nullptr) return 0;
    const C* d = body->items.Data();
    const uint32_t count = body->items.Count();
    if constexpr (std::is_same_v<C, char>) {
        const void* end = std::memchr(d, 0, count);
        return end != nullptr ? uint32_t(static_cast<const char*>(end) - d) : count;
    }
    uint32_t n = 0;
    while (n < count && d[n] != 0)
        ++n;
    return n;
}

template <typename C> uint32_t TStringT<C>::Capacity() const {
    return body == nullptr ? 0 : body->items.Capacity();
}

template <typename C> bool TStringT<C>::SetLength(uint32_t n) {
    if (n == 0) {
        Release();
        return true;
    }
    const uint32_t old = Length();
    if (n == UINT32_MAX || !SizeBody(n + 1)) return false;
    C* d = body->items.Data();
    for (uint32_t i = old; i < n; ++i)
        d[i] = 0;
    d[n] = 0;
    return true;
}

template <typename C> bool TStringT<C>::Insert(const TStringT& other, uint32_t pos) {
    // A handle of its own keeps the inserted text alive and apart while this string changes.
    const TStringT source = other;
    const uint32_t added = source.Length();
    if (added == 0) return true;
    if (body == nullptr) {
        if (pos != 1) return false;
        *this = source;
        return true;
    }
    const uint32_t length = Length();
    if (pos < 1 || pos > length + 1 || uint64_t{length} + added >= UINT32_MAX) return false;
    if (!SizeBody(length + added + 1)) return false;
    C* d = body->items.Data();
    MoveChars(d + pos - 1 + added, d + pos - 1, length - (pos - 1));
    MoveChars(d + pos - 1, source.Data(), added);
    d[length + added] = 0;
    return true;
}

template <typename C> bool TStringT<C>::Delete(uint32_t pos, uint32_t n) {
    const uint32_t length = Length();
    if (pos < 1 || n == 0 || uint64_t{pos} + n - 1 > length) return false;
    if (length == n) {
        Release();
        return true;
    }
    if (!Unique()) return false;
    C* d = body->items.Data();
    MoveChars(d + pos - 1, d + pos - 1 + n, length - (pos - 1) - n);
    d[length - n] = 0;
    body->items.SetCount(length - n + 1, false, false);
    return true;
}

template <typename C> TStringT<C> TStringT<C>::SubString(uint32_t start, uint32_t n) const {
    TStringT result;
    if (start >= 1 && n > 0 && uint64_t{start} + n - 1 <= Length())
        result.Assign(Data() + start - 1, n);
    return result;
}

template <typename C> TStringT<C> TStringT<C>::Trim() const {
    TStringT result;
    result.AssignTrimmed(*this, 1, Length());
    return result;
}

template <typename C>
bool TStringT<C>::AssignTrimmed(const TStringT& source, uint32_t start, uint32_t n) {
    if (start < 1 || n == 0 || uint64_t{start} + n - 1 > source.Length()) {
        Release();
        return start >= 1 && n == 0;
    }
    const C* d = source.Data();
    auto blank = [](C c) { return static_cast<std::make_unsigned_t<C>>(c) <= 32; };
    uint32_t first = start - 1, end = start - 1 + n;
    while (first < end && blank(d[first]))
        ++first;
    while (end > first && blank(d[end - 1]))
        --end;
    return Assign(d + first, end - first);
}

int Compare(const TAnsiString& a, const TAnsiString& b) {
    const uint32_t la = a.Length(), lb = b.Length();
    if (la == 0 || lb == 0) return la == lb ? 0 : (la == 0 ? -1 : 1);
    const uint32_t common = la < lb ? la : lb;
    for (uint32_t i = 0; i < common; ++i) {
        const auto ca = static_cast<signed char>(a.Data()[i]);
        const auto cb = static_cast<signed char>(b.Data()[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

template class TStringT<char>;
template class TStringT<char16_t>;

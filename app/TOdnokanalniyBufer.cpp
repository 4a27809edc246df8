#include "TOdnokanalniyBufer.h"

#include "Operaciispamyatyu.h"

template <typename T, typename S>
TOdnokanalniyBufer<T, S>::TOdnokanalniyBufer(uint32_t a, uint32_t length, uint32_t granularity,
                                             bool partial)
    : partialBlocks(partial), items(granularity) {
    SetAdvance(a);
    SetBlockLength(length);
}

// Makes room for n more elements behind the present ones, whose count goes to old.
template <typename T, typename S> bool TOdnokanalniyBufer<T, S>::Grow(uint32_t n, uint32_t& old) {
    old = items.Count();
    if (uint64_t{old} + n > UINT32_MAX) return false;
    return items.SetCount(old + n, false, true);
}

template <typename T, typename S>
bool TOdnokanalniyBufer<T, S>::Append(const TOdnomernayaViborkaElementov<S>& source) {
    static_assert(sizeof(S) == sizeof(T));
    const uint32_t n = source.SelectedCount();
    uint32_t old = 0;
    if (!Grow(n, old)) return false;
    if (n > 0)
        CopyRows(items.Data() + old, source.Data() + source.First(), sizeof(T), n, 0,
                 static_cast<int32_t>((source.Stride() - 1) * sizeof(T)));
    return true;
}

template <typename T, typename S>
bool TOdnokanalniyBufer<T, S>::Append(const TOdnomernoeMnogestvoElementov<S>& source) {
    const uint32_t n = source.Count();
    uint32_t old = 0;
    if (!Grow(n, old)) return false;
    if (n > 0) CopyBytes(items.Data() + old, source.Data(), n * uint32_t{sizeof(T)}, true);
    return true;
}

template <typename T, typename S>
bool TOdnokanalniyBufer<T, S>::ReadBlock(TOdnomernoeMnogestvoElementov<T>& destination,
                                         bool alias) {
    const uint32_t available = items.Count() - readPos;
    if (available == 0) return false;
    uint32_t length = blockLength;
    if (length > available && partialBlocks) length = available;
    if (length > available) return false;
    const bool result = items.GetRange(destination, readPos, length, alias);
    readPos += length < advance ? length : advance;
    return result;
}

template <typename T, typename S> uint32_t TOdnokanalniyBufer<T, S>::BlocksAvailable() const {
    const uint32_t available = items.Count() - readPos;
    if (available == 0 || available < blockLength) return 0;
    return static_cast<uint32_t>((uint64_t{available} - blockLength + advance) / advance);
}

template <typename T, typename S> bool TOdnokanalniyBufer<T, S>::Compact() {
    if (readPos == 0) return true;
    const bool result = items.SetCount(items.Count() - readPos, true, true);
    readPos = 0;
    return result;
}

template <typename T, typename S> void TOdnokanalniyBufer<T, S>::Skip(uint32_t count) {
    const uint32_t available = items.Count() - readPos;
    readPos += count < available ? count : available;
}

template <typename T, typename S> bool TOdnokanalniyBufer<T, S>::Reserve(uint32_t count) {
    const uint32_t kept = items.Count();
    if (count <= items.Capacity()) return true;
    return items.SetCount(count, false, true) && items.SetCount(kept, false, true);
}

template class TOdnokanalniyBufer<short, short>;
template class TOdnokanalniyBufer<float, float>;

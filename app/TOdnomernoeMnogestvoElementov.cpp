#include "TOdnomernoeMnogestvoElementov.h"

#include "Operaciispamyatyu.h"
#include "platform/Kernel32.h"

#include <cstdlib>
#include <limits>

namespace {

template <typename T> uint32_t Bytes(uint32_t n) {
    return n * uint32_t{sizeof(T)};
}

// Moves n elements; counts never exceed MemoryLimit, so their bytes fit 32 bits.
template <typename T> void MoveElements(T* dst, const T* src, uint32_t n) {
    if (n > 0 && dst != src) MoveBytes(dst, src, Bytes<T>(n));
}

// The machine's physical memory, asked once: it does not change while the program runs, and
// asking the system costs more than the allocation it guards.
size_t PhysicalMemory() {
    static const size_t physical = [] {
        MEMORYSTATUS status;
        GlobalMemoryStatus(&status);
        return status.dwTotalPhys;
    }();
    return physical;
}

} // namespace

template <typename T>
TOdnomernoeMnogestvoElementov<T>::TOdnomernoeMnogestvoElementov(uint32_t g)
    : granularity(g == 0 ? 1 : g) {}

template <typename T> uint32_t TOdnomernoeMnogestvoElementov<T>::MemoryLimit() {
    const uint64_t physical = PhysicalMemory() / sizeof(T);
    const uint64_t addressable = std::numeric_limits<uint32_t>::max() / sizeof(T);
    return static_cast<uint32_t>(physical < addressable ? physical : addressable);
}

template <typename T>
bool TOdnomernoeMnogestvoElementov<T>::SetCount(uint32_t newCount, bool keepTail, bool noShrink) {
    const uint64_t rounded = (uint64_t{newCount} + granularity - 1) / granularity * granularity;
    const bool needMemory = rounded > capacity || (rounded < capacity / 2 && !noShrink);
    T* target = data;
    if (needMemory) {
        if (external) Forget();
        if (newCount > MemoryLimit() || rounded > MemoryLimit()) return false;
        target = nullptr;
        if (rounded > 0) {
            target = static_cast<T*>(std::malloc(rounded * sizeof(T)));
            if (target == nullptr) return false;
        }
    }
    const uint32_t old = count;
    if (newCount >= old) {
        const uint32_t added = newCount - old;
        MoveElements(target + (keepTail ? added : 0), data, old);
        if (added > 0) ZeroBytes(target + (keepTail ? 0 : old), Bytes<T>(added));
    } else {
        MoveElements(target, data + (keepTail ? old - newCount : 0), newCount);
    }
    if (needMemory) {
        std::free(data);
        data = target;
        capacity = static_cast<uint32_t>(rounded);
    }
    count = newCount;
    return true;
}

template <typename T> bool TOdnomernoeMnogestvoElementov<T>::Attach(T* pointer, uint32_t n) {
    FreeItems();
    external = true;
    data = pointer;
    count = capacity = n;
    return true;
}

template <typename T> void TOdnomernoeMnogestvoElementov<T>::FreeItems() {
    if (external) return;
    std::free(data);
    data = nullptr;
    capacity = count = 0;
}

template <typename T> bool TOdnomernoeMnogestvoElementov<T>::Forget() {
    if (!external) return false;
    external = false;
    data = nullptr;
    capacity = count = 0;
    return true;
}

template <typename T>
bool TOdnomernoeMnogestvoElementov<T>::GetRange(TOdnomernoeMnogestvoElementov& destination,
                                                uint32_t index, uint32_t n, bool alias) const {
    if (uint64_t{index} + n > count) return false;
    T* source = data + index;
    if (alias) return destination.Attach(source, n);
    // A view is detached before anything is copied into it, so the copy never lands in the
    // memory it viewed. A range of this array's own memory copied into itself goes to the
    // front, where SetCount keeps it.
    destination.Forget();
    const bool itself = &destination == this && data != nullptr;
    if (itself) MoveElements(data, source, n);
    if (!destination.SetCount(n, false, false)) return false;
    if (!itself) MoveElements(destination.data, source, n);
    return true;
}

template <typename T>
float TOdnomernoeMnogestvoElementov<T>::MaxElement() const requires std::is_same_v<T, float> {
    if (count == 0) return 0.0f;
    float best = data[0];
    for (uint32_t i = 1; i < count; ++i)
        if (data[i] > best) best = data[i];
    return best;
}

template <typename T>
bool TOdnomernayaViborkaElementov<T>::Select(uint32_t newFirst, uint32_t newStride,
                                             uint32_t newEnd) {
    if (newStride == 0) return false;
    stride = newStride;
    first = 0;
    end = this->Count();
    if (newEnd == 0) newEnd = this->Count();
    if (newEnd > this->Count() || newFirst >= newEnd) return false;
    first = newFirst;
    end = newEnd;
    return true;
}

// The array may have shrunk or been attached elsewhere since Select: only the elements it
// still has are selected.
template <typename T> uint32_t TOdnomernayaViborkaElementov<T>::SelectedCount() const {
    const uint32_t stop = end < this->Count() ? end : this->Count();
    return first < stop ? (stop - first - 1) / stride + 1 : 0;
}

template class TOdnomernoeMnogestvoElementov<short>;
template class TOdnomernoeMnogestvoElementov<float>;
template class TOdnomernoeMnogestvoElementov<char>;
template class TOdnomernoeMnogestvoElementov<char16_t>;
template class TOdnomernayaViborkaElementov<short>;
template class TOdnomernayaViborkaElementov<float>;

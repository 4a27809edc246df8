// Growable one-dimensional arrays of elements that own their memory or view someone else's,
// and strided selections of their elements.
#pragma once

#include <cstdint>
#include <type_traits>

template <typename T> class TOdnomernoeMnogestvoElementov {
public:
    // A granularity of 0 counts as 1.
    explicit TOdnomernoeMnogestvoElementov(uint32_t granularity);
    ~TOdnomernoeMnogestvoElementov() { FreeItems(); }
    TOdnomernoeMnogestvoElementov(const TOdnomernoeMnogestvoElementov&) = delete;
    TOdnomernoeMnogestvoElementov& operator=(const TOdnomernoeMnogestvoElementov&) = delete;

    // Sets the element count. Own memory comes in whole granularity steps; new memory is taken
    // when the count outgrows it or, without noShrink, when it needs less than half of it. A
    // view is forgotten when new memory is taken. keepTail keeps (or places) the old elements
    // at the end instead of the start; the positions they do not fill are zero. False, with
    // memory and contents unchanged, when the count is beyond MemoryLimit or memory cannot be
    // had.
    bool SetCount(uint32_t count, bool keepTail, bool noShrink);
    // Makes the array a view of count elements at pointer, after freeing its own memory.
    bool Attach(T* pointer, uint32_t count);
    // Frees own memory and empties the array; a view is left as it is.
    void FreeItems();
    // Empties a view without freeing anything; false for an array that owns its memory.
    bool Forget();
    // The count elements from index into destination, as a view (alias) or as a copy into
    // memory of the destination's own (a destination that is a view is detached first). The
    // destination may be this array.
    bool GetRange(TOdnomernoeMnogestvoElementov& destination, uint32_t index, uint32_t count,
                  bool alias) const;
    // The largest count an array of T may reach: the machine's physical memory in elements,
    // and no more bytes than a 32-bit count describes.
    static uint32_t MemoryLimit();
    // The largest element, 0 for an empty array.
    float MaxElement() const requires std::is_same_v<T, float>;

    uint32_t Capacity() const { return capacity; }
    bool External() const { return external; }
    T* Data() const { return data; }
    uint32_t Count() const { return count; }
    uint32_t Granularity() const { return granularity; }
    T& operator[](uint32_t i) const { return data[i]; }

private:
    uint32_t capacity = 0;
    bool external = false;
    T* data = nullptr;
    uint32_t count = 0;
    uint32_t granularity;
};

// An array with a selection of every Stride-th element of [First, End).
template <typename T> class TOdnomernayaViborkaElementov : public TOdnomernoeMnogestvoElementov<T> {
public:
    explicit TOdnomernayaViborkaElementov(uint32_t granularity)
        : TOdnomernoeMnogestvoElementov<T>(granularity) {}

    // Selects first, first + stride, ... below end (0 = the count). On a range outside the
    // elements the selection becomes all elements with the new stride and the result is false;
    // a stride of 0 is refused and changes nothing.
    bool Select(uint32_t first, uint32_t stride, uint32_t end);
    // The selected elements that the array still has.
    uint32_t SelectedCount() const;

    uint32_t First() const { return first; }
    uint32_t End() const { return end; }
    uint32_t Stride() const { return stride; }

private:
    uint32_t first = 0;
    uint32_t end = 0;
    uint32_t stride = 1;
};

extern template class TOdnomernoeMnogestvoElementov<short>;
extern template class TOdnomernoeMnogestvoElementov<float>;
extern template class TOdnomernoeMnogestvoElementov<char>;
extern template class TOdnomernoeMnogestvoElementov<char16_t>;
extern template class TOdnomernayaViborkaElementov<short>;
extern template class TOdnomernayaViborkaElementov<float>;

// A first-in-first-out store of elements from which blocks of BlockLength elements are read,
// Advance elements apart, so that successive blocks may overlap.
#pragma once

#include "TOdnomernoeMnogestvoElementov.h"

template <typename T, typename S = T> class TOdnokanalniyBufer {
public:
    // An advance or block length of 0 counts as 1.
    TOdnokanalniyBufer(uint32_t advance, uint32_t blockLength, uint32_t granularity,
                       bool partialBlocks);

    // Appends the selected elements of a selection, or all elements of an array.
    bool Append(const TOdnomernayaViborkaElementov<S>& source);
    bool Append(const TOdnomernoeMnogestvoElementov<S>& source);
    // The next block into destination (a view into the store with alias, valid until the next
    // Append or Compact), then moves on by Advance. False when too few elements are unread.
    bool ReadBlock(TOdnomernoeMnogestvoElementov<T>& destination, bool alias);
    uint32_t BlocksAvailable() const;
    // Moves the unread elements to the front of the store.
    bool Compact();
    // Drops up to count of the oldest unread elements (they are freed by the next Compact).
    void Skip(uint32_t count);
    // Takes memory for count elements at once, so that the store does not move while it
    // holds no more. False (nothing changed) when the memory cannot be had.
    bool Reserve(uint32_t count);

    void SetAdvance(uint32_t advance) { this->advance = advance == 0 ? 1 : advance; }
    void SetBlockLength(uint32_t length) { blockLength = length == 0 ? 1 : length; }
    uint32_t Advance() const { return advance; }
    uint32_t BlockLength() const { return blockLength; }
    uint32_t ReadPos() const { return readPos; }
    const TOdnomernoeMnogestvoElementov<T>& Items() const { return items; }

private:
    bool Grow(uint32_t n, uint32_t& old);

    uint32_t readPos = 0;
    bool partialBlocks;
    TOdnomernoeMnogestvoElementov<T> items;
    uint32_t advance = 1;
    uint32_t blockLength = 1;
};

extern template class TOdnokanalniyBufer<short, short>;
extern template class TOdnokanalniyBufer<float, float>;

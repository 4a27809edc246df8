#include "EngineArrays.h"

#include "Operaciispamyatyu.h"

#include <cstdlib>
#include <limits>

namespace {

// Byte size of n elements, or 0 when it does not fit the 32-bit byte counts of the copies.
template <typename T> uint32_t ByteSize(uint64_t n) {
    const uint64_t bytes = n * sizeof(T);
    return bytes > std::numeric_limits<uint32_t>::max() ? 0 : static_cast<uint32_t>(bytes);
}

} // namespace

template <typename T> EngineArray<T>::~EngineArray() {
    if (!borrowed) std::free(data);
    data = nullptr;
    capacity = count = 0;
}

template <typename T> bool EngineArray<T>::Resize(uint32_t n) {
    if (n > capacity) {
        const uint32_t bytes = ByteSize<T>(n);
        T* fresh = bytes == 0 ? nullptr : static_cast<T*>(std::malloc(bytes));
        if (fresh == nullptr) return false;
        if (count > 0) CopyBytes(fresh, data, ByteSize<T>(count), true);
        ZeroBytes(fresh + count, ByteSize<T>(n - count));
        if (!borrowed) std::free(data);
        data = fresh;
        capacity = n;
        borrowed = false;
    } else if (n > count) {
        ZeroBytes(data + count, ByteSize<T>(n - count));
    }
    count = n;
    return true;
}

template <typename T> void SampledArray<T>::SetStep(double s) {
    step = s;
    invStep = static_cast<double>(1.0L / s);
}

template <typename T> double SampledArray<T>::TimeAt(uint32_t i) const {
    return static_cast<double>(static_cast<long double>(i) * step + Origin);
}

bool FrameStack::Reshape(uint32_t newRows, uint32_t newColumns, uint32_t newFrames, uint32_t mask) {
    if ((mask & 1) == 0) newRows = rows;
    if ((mask & 2) == 0) newColumns = columns;
    if ((mask & 4) == 0) newFrames = frames;
    const uint64_t size = uint64_t{newColumns} * newRows;
    const uint64_t total = size * newFrames + SpareElements;
    if (total > std::numeric_limits<uint32_t>::max()) return false;
    if (!Resize(static_cast<uint32_t>(total))) return false;
    columns = newColumns;
    rows = newRows;
    frameSize = static_cast<uint32_t>(size);
    frames = newFrames;
    // A current frame that no longer exists falls back to the first.
    if (current >= frames) current = 0;
    currentPtr = Data() + uint64_t{current} * frameSize;
    return true;
}

bool FrameStack::SelectFrame(uint32_t index) {
    if (index >= frames) return false;
    current = index;
    currentPtr = Data() + uint64_t{index} * frameSize;
    return true;
}

template class EngineArray<int16_t>;
template class EngineArray<double>;
template class EngineArray<float>;
template class SampledArray<int16_t>;
template class SampledArray<double>;
template class SampledArray<float>;

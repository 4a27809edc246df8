// The engine's growable arrays: sampled signals with a time axis, plain double sequences, the
// frame stack that holds the output spectrum, and functions of time added to a signal.
#pragma once

#include <cstdint>

// Storage only grows, exactly to the request, and is freed at destruction.
template <typename T> class EngineArray {
public:
    EngineArray() = default;
    EngineArray(const EngineArray&) = delete;
    EngineArray& operator=(const EngineArray&) = delete;
    ~EngineArray();

    // Sets the element count. Growing beyond the capacity reallocates exactly; newly counted
    // elements are zero. False, with nothing changed, when storage cannot be obtained.
    bool Resize(uint32_t n);

    T* Data() const { return data; }
    uint32_t Capacity() const { return capacity; }
    uint32_t Count() const { return count; }
    T& operator[](uint32_t i) { return data[i]; }
    const T& operator[](uint32_t i) const { return data[i]; }

private:
    T* data = nullptr;
    uint32_t capacity = 0;
    uint32_t count = 0;
    bool borrowed = false;
};

template <typename T> class SampledArray : public EngineArray<T> {
public:
    // Step = step and InvStep = 1/step, the quotient formed in extended precision.
    void SetStep(double step);
    double Step() const { return step; }
    double InvStep() const { return invStep; }
    double Origin = 0.0;

    // Time of element i: i*Step + Origin, formed in extended precision.
    double TimeAt(uint32_t i) const;

private:
    double step = 1.0;
    double invStep = 1.0;
};

class DoubleSequence : public EngineArray<double> {
public:
    // Second buffer of the recursion that fills this sequence; null when it has none.
    DoubleSequence* Companion = nullptr;
};

class FrameStack : public SampledArray<float> {
public:
    virtual ~FrameStack() = default;
    // Mask bits: 1 takes rows, 2 columns, 4 frames; a cleared bit keeps the present value.
    bool Reshape(uint32_t rows, uint32_t columns, uint32_t frames, uint32_t mask);
    virtual uint32_t FrameCount() const { return frames; }
    virtual uint32_t CurrentFrame() const { return current; }
    virtual bool SelectFrame(uint32_t index);

    uint32_t Columns() const { return columns; }
    uint32_t Rows() const { return rows; }
    uint32_t FrameSize() const { return frameSize; }
    float* CurrentPtr() const { return currentPtr; }

private:
    // Spare elements kept beyond the frames.
    static constexpr uint32_t SpareElements = 64;

    uint32_t columns = 0;
    uint32_t rows = 0;
    uint32_t frameSize = 0;
    uint32_t frames = 1;
    uint32_t current = 0;
    float* currentPtr = nullptr;
};

class SpectrumFrameStack : public FrameStack {
public:
    double FreqFirst = 0.0;
    double FreqLast = 0.0;
    double FreqStep = 0.0;
};

class TimeFunction {
public:
    virtual ~TimeFunction() = default;
    virtual double Evaluate(double t) const = 0;
};

// Value inside [Low, High], 0 outside (and for a time that is not a number).
class RangeConstant : public TimeFunction {
public:
    double Evaluate(double t) const override { return Low <= t && t <= High ? Value : 0.0; }

    double Low = 0.0;
    double High = 0.0;
    double Value = 0.0;
};

extern template class EngineArray<int16_t>;
extern template class EngineArray<double>;
extern template class EngineArray<float>;
extern template class SampledArray<int16_t>;
extern template class SampledArray<double>;
extern template class SampledArray<float>;

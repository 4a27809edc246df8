// The later windows of a long run analysed at the same time by a second process: a child forked
// before the first tick, so that it holds an engine configured exactly as this process's one,
// runs those windows through its copy of the control window's pipeline and hands the lines over
// in shared memory. The engine keeps one configuration per process; two processes keep the
// outputs bit for bit those of one.
#pragma once

#include <cstdint>
#include <sys/types.h>
#include <vector>

class TfrmMain;

class SecondEngine {
public:
    SecondEngine() = default;
    ~SecondEngine();
    SecondEngine(const SecondEngine&) = delete;
    SecondEngine& operator=(const SecondEngine&) = delete;

    // Starts the child on windows first .. windows - 1 of the samples; false (and no child)
    // when it cannot be started, and then this process analyses everything.
    bool Start(TfrmMain& form, const std::vector<int16_t>& samples, uint64_t first,
               uint64_t windows);
    bool Started() const { return started; }
    uint64_t First() const { return first; }
    // The windows the child has analysed so far.
    uint64_t Made() const;
    // Appends the lines of the windows before `end` that are not yet taken to the form's line
    // FIFO, waiting for the child as needed; false when the child failed before making them.
    bool TakeLines(TfrmMain& form, uint64_t end);

private:
    struct Shared;
    [[noreturn]] void RunChild(TfrmMain& form, const std::vector<int16_t>& samples);

    pid_t child = -1;
    bool started = false;
    Shared* shared = nullptr;
    size_t bytes = 0;
    uint64_t first = 0, count = 0, taken = 0;
    uint32_t rows = 0;
};

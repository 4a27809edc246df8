// The engine run in worker processes: the engine keeps one configuration and one caller per
// process, so each worker is a child forked after the control window set its engine up, holding
// an engine configured exactly as this process's. Windows are dealt in batches of consecutive
// windows, round the workers in turn; a batch's samples go out and its lines come back through
// shared memory, and a socket to each worker carries the orders and their replies. A worker
// dies with its parent.
#pragma once

#include <cstdint>
#include <sys/types.h>
#include <vector>

class TfrmMain;

class EngineWorkers {
public:
    // Windows a batch at most.
    static constexpr uint32_t BatchWindows = 256;

    EngineWorkers() = default;
    ~EngineWorkers();
    EngineWorkers(const EngineWorkers&) = delete;
    EngineWorkers& operator=(const EngineWorkers&) = delete;

    // Forks `count` workers (at least one); false when not one could be started.
    bool Start(TfrmMain& form, uint32_t count);
    // Batches dealt and not yet collected at most: two a worker, so that each has the next
    // while its last is taken.
    uint64_t InFlight() const { return 2 * uint64_t(workers.size()); }
    // Hands batch `index` to its worker: the samples of `windows` consecutive windows.
    bool Deal(uint64_t index, const int16_t* samples, uint32_t windows);
    // Batch `index`'s lines, Rows floats a window, once its worker has made them; valid until
    // batch index + InFlight() is dealt. Null when the worker failed.
    const float* Collect(uint64_t index);
    // The windows all workers have analysed so far.
    uint64_t Made() const;

private:
    struct Shared;
    struct Worker {
        pid_t pid = -1;
        int socket = -1;
    };
    struct Order {
        uint32_t slot, windows;
    };
    [[noreturn]] void Work(TfrmMain& form, int socket);
    int16_t* Samples(uint64_t slot) const;
    float* Lines(uint64_t slot) const;

    std::vector<Worker> workers;
    Shared* shared = nullptr;
    size_t bytes = 0, slotBytes = 0, linesOffset = 0;
    uint32_t rows = 0, window = 0, hop = 0;
};

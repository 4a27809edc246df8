// A progress bar on a terminal: percentage and time left, redrawn at most a few times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    // to null: nothing is shown.
    Progress(FILE* to, uint64_t total, Clock::time_point start = Clock::now());
    void Show(uint64_t done) { Show(done, Clock::now()); }
    // The same at a given time.
    void Show(uint64_t done, Clock::time_point now);
    // The full bar and the end of its line.
    void Finish();

private:
    FILE* to;
    uint64_t total, lastDone = 0;
    Clock::time_point last;
    double rate = 0; // done a second, measured over the last few seconds
};

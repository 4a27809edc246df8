// A progress bar on a terminal: percentage and time left, redrawn at most a few times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

class Progress {
public:
    // to null: nothing is shown.
    Progress(FILE* to, uint64_t total);
    void Show(uint64_t done);
    // The full bar and the end of its line.
    void Finish();

private:
    FILE* to;
    uint64_t total;
    std::chrono::steady_clock::time_point start, last;
};

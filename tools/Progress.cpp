#include "Progress.h"

#include <algorithm>

namespace {

constexpr int BarWidth = 30;
constexpr auto Interval = std::chrono::milliseconds(200);
// The time over which the measured rate settles to a new one.
constexpr double SmoothingSeconds = 5.0;

} // namespace

Progress::Progress(FILE* to, uint64_t total, Clock::time_point start)
    : to(to), total(total == 0 ? 1 : total), last(start) {}

// The time left follows the rate of the last few seconds, not the average since the start, so
// that it follows a machine growing busier or quieter.
void Progress::Show(uint64_t done, Clock::time_point now) {
    if (to == nullptr) return;
    if (now - last < Interval && done < total) return;
    const double seconds = std::chrono::duration<double>(now - last).count();
    if (seconds > 0 && done >= lastDone) {
        const double measured = double(done - lastDone) / seconds;
        rate = rate > 0 ? rate + (measured - rate) * std::min(1.0, seconds / SmoothingSeconds)
                        : measured;
    }
    last = now, lastDone = done;
    const double share = done >= total ? 1.0 : double(done) / double(total);
    const double left = rate > 0 && done < total ? double(total - done) / rate : 0.0;
    char bar[BarWidth + 1];
    for (int i = 0; i < BarWidth; ++i)
        bar[i] = i < int(share * BarWidth) ? '#' : ' ';
    bar[BarWidth] = '\0';
    std::fprintf(to, "\r[%s] %3d%%  %4.0f s left ", bar, int(share * 100), left);
    std::fflush(to);
}

void Progress::Finish() {
    if (to == nullptr) return;
    Show(total);
    std::fputc('\n', to);
}

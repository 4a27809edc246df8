#include "Progress.h"

namespace {

constexpr int BarWidth = 30;
constexpr auto Interval = std::chrono::milliseconds(200);

} // namespace

Progress::Progress(FILE* to, uint64_t total)
    : to(to), total(total == 0 ? 1 : total), start(std::chrono::steady_clock::now()), last(start) {}

void Progress::Show(uint64_t done) {
    if (to == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last < Interval && done < total) return;
    last = now;
    const double share = done >= total ? 1.0 : double(done) / double(total);
    const double spent = std::chrono::duration<double>(now - start).count();
    const double left = share > 0 ? spent * (1.0 - share) / share : 0.0;
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

#include "SecondEngine.h"

#include "Interruption.h"
#include "Zol_vis.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <new>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

// The count of lines made; the lines follow at byte 64, Rows floats each.
struct SecondEngine::Shared {
    std::atomic<uint64_t> made;
};

namespace {

constexpr uint64_t WindowsPerRound = 64;

float* Lines(void* shared) {
    return reinterpret_cast<float*>(static_cast<char*>(shared) + 64);
}

} // namespace

bool SecondEngine::Start(TfrmMain& form, const std::vector<int16_t>& samples, uint64_t first,
                         uint64_t windows) {
    rows = form.Rows;
    this->first = first;
    count = windows - first;
    bytes = 64 + size_t(count) * rows * sizeof(float);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    shared = new (memory) Shared{};
    std::fflush(nullptr); // nothing buffered is written twice
    const pid_t parent = getpid();
    child = fork();
    if (child == 0) {
        BecomeWorker(parent);
        try {
            RunChild(form, samples);
        } catch (const std::bad_alloc&) {
            _exit(1); // the parent says the picture could not be drawn
        }
    }
    started = child > 0;
    if (started) AddWorker(child);
    return started;
}

// The child: the samples of its windows through RunEngine in rounds, each round's lines copied
// out and the count published; it ends without running anything of the parent's shutdown.
void SecondEngine::RunChild(TfrmMain& form, const std::vector<int16_t>& samples) {
    const uint64_t hop = form.Sizes.H;
    uint64_t at = first * hop, made = 0;
    float* out = Lines(shared);
    TOdnomernoeMnogestvoElementov<float> line(16);
    while (made < count && at < samples.size()) {
        const uint64_t end = std::min<uint64_t>(samples.size(), at + WindowsPerRound * hop);
        TOdnomernoeMnogestvoElementov<short> chunk(16);
        chunk.Attach(const_cast<int16_t*>(samples.data() + at), uint32_t(end - at));
        if (!form.SampleFifo.Append(chunk) || !form.RunEngine()) _exit(1);
        at = end;
        while (made < count && form.LineFifo.ReadBlock(line, true))
            std::copy_n(line.Data(), rows, out + size_t(made++) * rows);
        form.LineFifo.Compact();
        shared->made.store(made, std::memory_order_release);
    }
    _exit(made == count ? 0 : 1);
}

uint64_t SecondEngine::Made() const {
    return started ? shared->made.load(std::memory_order_acquire) : 0;
}

bool SecondEngine::TakeLines(TfrmMain& form, uint64_t end) {
    const uint64_t need = std::min(end - std::min(end, first), count);
    while (shared->made.load(std::memory_order_acquire) < need) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            DropWorker(child);
            child = -1;
            if (shared->made.load(std::memory_order_acquire) < need) return false;
            break;
        }
        const timespec pause{0, 200000};
        nanosleep(&pause, nullptr);
    }
    if (need <= taken) return true;
    TOdnomernoeMnogestvoElementov<float> lines(16);
    lines.Attach(Lines(shared) + size_t(taken) * rows, uint32_t((need - taken) * rows));
    taken = need;
    return form.LineFifo.Append(lines);
}

SecondEngine::~SecondEngine() {
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        DropWorker(child);
    }
    if (shared != nullptr) munmap(shared, bytes);
}

#include "EngineWorkers.h"

#include "Interruption.h"
#include "Zol_vis.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <new>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// The count of windows made; the slots follow at byte 64, each a batch's samples then its
// lines.
struct EngineWorkers::Shared {
    std::atomic<uint64_t> made;
};

namespace {

constexpr size_t Header = 64;

size_t RoundUp(size_t bytes) {
    return (bytes + 63) / 64 * 64;
}

// The samples left after a batch's last window: they are not the start of the worker's next
// batch. Read as one block of their own length, which leaves the FIFO empty.
void DropLeftover(TOdnokanalniyBufer<short, short>& fifo) {
    const uint32_t left = fifo.Items().Count() - fifo.ReadPos();
    if (left == 0) return;
    const uint32_t length = fifo.BlockLength(), advance = fifo.Advance();
    fifo.SetBlockLength(left);
    fifo.SetAdvance(left);
    TOdnomernoeMnogestvoElementov<short> rest(16);
    fifo.ReadBlock(rest, true);
    fifo.SetBlockLength(length);
    fifo.SetAdvance(advance);
    fifo.Compact();
}

// The whole of a message, or false (the other end gone).
bool SendAll(int socket, const void* data, size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = send(socket, at, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        at += sent, size -= size_t(sent);
    }
    return true;
}

bool ReceiveAll(int socket, void* data, size_t size) {
    char* at = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = recv(socket, at, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += got, size -= size_t(got);
    }
    return true;
}

} // namespace

bool EngineWorkers::Start(TfrmMain& form, uint32_t count) {
    rows = form.Rows, window = form.Sizes.N, hop = form.Sizes.H;
    const size_t samples = size_t(BatchWindows - 1) * hop + window;
    linesOffset = RoundUp(samples * sizeof(int16_t));
    slotBytes = linesOffset + RoundUp(size_t(BatchWindows) * rows * sizeof(float));
    bytes = Header + 2 * size_t(count) * slotBytes;
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    shared = new (memory) Shared{};
    std::fflush(nullptr); // nothing buffered is written twice
    const pid_t parent = getpid();
    for (uint32_t w = 0; w < count; ++w) {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) break;
        const pid_t pid = fork();
        if (pid == 0) {
            BecomeWorker(parent);
            for (const Worker& other : workers)
                close(other.socket);
            close(ends[0]);
            Work(form, ends[1]);
        }
        close(ends[1]);
        if (pid < 0) {
            close(ends[0]);
            break;
        }
        AddWorker(pid);
        workers.push_back(Worker{pid, ends[0]});
    }
    return !workers.empty();
}

int16_t* EngineWorkers::Samples(uint64_t slot) const {
    return reinterpret_cast<int16_t*>(reinterpret_cast<char*>(shared) + Header + slot * slotBytes);
}

float* EngineWorkers::Lines(uint64_t slot) const {
    return reinterpret_cast<float*>(reinterpret_cast<char*>(Samples(slot)) + linesOffset);
}

// A worker: each order's samples through the control window's pipeline, the lines copied out,
// the order sent back; it ends when the parent closes its socket, without running anything of
// the parent's shutdown.
void EngineWorkers::Work(TfrmMain& form, int socket) {
    try {
        TOdnomernoeMnogestvoElementov<float> line(16);
        for (Order order{}; ReceiveAll(socket, &order, sizeof order);) {
            TOdnomernoeMnogestvoElementov<short> chunk(16);
            chunk.Attach(Samples(order.slot), (order.windows - 1) * hop + window);
            if (!form.SampleFifo.Append(chunk) || !form.RunEngine()) _exit(1);
            float* out = Lines(order.slot);
            uint32_t made = 0;
            for (; made < order.windows && form.LineFifo.ReadBlock(line, true); ++made)
                std::copy_n(line.Data(), rows, out + size_t(made) * rows);
            form.LineFifo.Compact();
            DropLeftover(form.SampleFifo);
            if (made != order.windows) _exit(1);
            shared->made.fetch_add(made, std::memory_order_relaxed);
            if (!SendAll(socket, &order, sizeof order)) _exit(1);
        }
    } catch (const std::bad_alloc&) {
        _exit(1); // the parent says the picture could not be drawn
    }
    _exit(0);
}

bool EngineWorkers::Deal(uint64_t index, const int16_t* samples, uint32_t windows) {
    const uint64_t slot = index % InFlight();
    std::copy_n(samples, size_t(windows - 1) * hop + window, Samples(slot));
    const Order order{uint32_t(slot), windows};
    return SendAll(workers[index % workers.size()].socket, &order, sizeof order);
}

const float* EngineWorkers::Collect(uint64_t index) {
    Order order{};
    if (!ReceiveAll(workers[index % workers.size()].socket, &order, sizeof order) ||
        order.slot != index % InFlight())
        return nullptr;
    return Lines(order.slot);
}

uint64_t EngineWorkers::Made() const {
    return shared != nullptr ? shared->made.load(std::memory_order_relaxed) : 0;
}

EngineWorkers::~EngineWorkers() {
    for (const Worker& w : workers) {
        close(w.socket); // the worker's order loop ends
        kill(w.pid, SIGKILL);
        // Out of the signal handler's table before it is reaped: once reaped, its pid may be
        // another process's.
        DropWorker(w.pid);
        waitpid(w.pid, nullptr, 0);
    }
    if (shared != nullptr) munmap(shared, bytes);
}

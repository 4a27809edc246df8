#include "Interruption.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// SIGPIPE too: a reader of standard output that stops early ends the run as an interruption.
constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr size_t MaxTemporaries = 4, MaxName = 4096, MaxWorkers = 256;

struct Temporary {
    std::atomic<bool> used{false};
    char name[MaxName];
};
Temporary temporaries[MaxTemporaries];
std::atomic<pid_t> workers[MaxWorkers];

void Interrupted(int signal) {
    for (auto& w : workers)
        if (const pid_t pid = w.load(); pid > 0) kill(pid, SIGKILL);
    for (auto& t : temporaries)
        if (t.used.load()) unlink(t.name);
    _exit(128 + signal);
}

} // namespace

void CatchInterruptions() {
    struct sigaction action {};
    action.sa_handler = Interrupted;
    sigfillset(&action.sa_mask);
    for (const int s : Signals)
        sigaction(s, &action, nullptr);
}

int CreateTemporary(char* pattern) {
    if (std::strlen(pattern) >= MaxName) return errno = ENAMETOOLONG, -1;
    Temporary* slot = nullptr;
    for (auto& t : temporaries)
        if (!t.used.load()) slot = &t;
    if (slot == nullptr) return errno = EMFILE, -1;
    // No signal between making the file and recording its name.
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    const int fd = mkstemp(pattern);
    if (fd >= 0) {
        std::strcpy(slot->name, pattern);
        slot->used.store(true);
    }
    const int saved = errno;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return fd;
}

void DropTemporary(const char* path) {
    for (auto& t : temporaries)
        if (t.used.load() && std::strcmp(t.name, path) == 0) t.used.store(false);
}

void AddWorker(pid_t pid) {
    for (auto& w : workers) {
        pid_t free = 0;
        if (w.compare_exchange_strong(free, pid)) return;
    }
}

void DropWorker(pid_t pid) {
    for (auto& w : workers) {
        pid_t expected = pid;
        w.compare_exchange_strong(expected, 0);
    }
}

void BecomeWorker(pid_t parent) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int s : Signals)
        sigaction(s, &action, nullptr);
    // A terminal's Ctrl-C reaches the whole group: the parent ends the workers itself.
    signal(SIGINT, SIG_IGN);
    for (auto& t : temporaries)
        t.used.store(false);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
}

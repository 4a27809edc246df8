// A server a test starts as its own child, stopped by its process id when the test is done:
// this container's first process reaps no orphans.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>

#include <csignal>

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Stop(); }
    bool Running() const { return pid > 0; }

protected:
    void Stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    pid_t pid = -1;
};

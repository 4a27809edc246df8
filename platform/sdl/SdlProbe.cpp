#include "SdlProbe.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <initializer_list>

bool SucceedsInChild(bool (*attempt)(), int milliseconds) {
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // Ends with the program, even when the program is killed while the attempt hangs (and
        // when it ended before the request was made).
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        // A crash ends the child by its signal, whatever handlers the program set.
        for (int s : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL})
            signal(s, SIG_DFL);
        _exit(attempt() ? 0 : 1);
    }
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; waited += 5) {
        if (waited >= milliseconds) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        usleep(5000);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

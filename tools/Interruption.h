// SIGINT, SIGTERM and SIGHUP end kavrel-render cleanly: its temporary files are removed, its
// worker processes killed, and it exits with 128 + the signal. Everything here is safe to use
// from the signal handler: fixed tables, no allocation.
#pragma once

#include <sys/types.h>

// Installs the handler (once, at start).
void CatchInterruptions();
// mkstemp(pattern) with the file made known to the handler at once: the descriptor, or -1
// with errno set (ENAMETOOLONG when the name does not fit the handler's table).
int CreateTemporary(char* pattern);
// After the file was renamed or removed.
void DropTemporary(const char* path);
// A worker process the handler kills.
void AddWorker(pid_t pid);
void DropWorker(pid_t pid);
// In a newly forked worker: default handlers, killed when the parent dies, and gone at once
// if it already has. parent: the pid the worker was forked from.
void BecomeWorker(pid_t parent);

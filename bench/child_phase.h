// A benchmark phase run in a child process, so that its peak memory is its own and one
// phase's caches and heap never flatter the next.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/storage/table.h"

namespace corvix::bench {

struct Phase {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system: the work itself, on a machine that may be shared
    long peakKb = 0;
};

// Runs body in a child; its wall and CPU time and peak resident memory. A failed phase ends
// the benchmark: its figures would mean nothing.
inline Phase inChild(const std::function<int()>& body) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        storage::abandonConnectionsAfterFork();
        ::_exit(body());
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a phase failed (status %d)\n", status);
        std::exit(1);
    }
    const auto secondsOf = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace corvix::bench

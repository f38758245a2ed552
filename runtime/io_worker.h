// One background thread that runs steps in the order they are handed over, beside the
// caller: reading the next batches of a file while the caller seals the one before, or
// writing the last batches while the caller decrypts the next. Up to `depth` steps wait
// or run at once, so that a slow moment of either side (a busy disk, a thread that is not
// scheduled at once on a loaded machine) does not stall the other.
//
// Waking a sleeping thread is a system call and, on virtual machines, costs about as much
// as copying a page: either side signals the other only when that one is actually asleep
// (the thread waits for steps, a caller waits for room or for a step to finish).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace corvix::runtime {

class IoWorker {
  public:
    explicit IoWorker(size_t depth = 1);
    ~IoWorker();  // finishes every step handed over, then ends the thread
    IoWorker(const IoWorker&) = delete;
    IoWorker& operator=(const IoWorker&) = delete;

    // Hands a step over once fewer than depth wait or run; returns its number (from 1).
    // What a step writes is safe to read after waitFor(its number).
    uint64_t start(std::function<void()> step);
    // Returns once step number `ticket` and every step before it have finished (at once
    // for 0).
    void waitFor(uint64_t ticket);
    // Returns once every step handed over has finished.
    void wait();

  private:
    void run();
    void sleepUntilDone(std::unique_lock<std::mutex>& lock, uint64_t ticket);

    const size_t depth_;
    std::mutex mutex_;
    std::condition_variable work_;      // the thread sleeps on it while there is no step
    std::condition_variable finished_;  // callers sleep on it for room or a finished step
    bool threadAsleep_ = false;
    int callersAsleep_ = 0;
    std::deque<std::function<void()>> steps_;
    uint64_t started_ = 0;
    uint64_t done_ = 0;
    bool quit_ = false;
    std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace corvix::runtime

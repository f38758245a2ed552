#include "runtime/io_worker.h"

#include <pthread.h>
#include <sched.h>

namespace corvix::runtime {

IoWorker::IoWorker(size_t depth) : depth_(depth ? depth : 1), thread_([this] { run(); }) {}

IoWorker::~IoWorker() {
    wait();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    work_.notify_one();
    thread_.join();
}

uint64_t IoWorker::start(std::function<void()> step) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (started_ - done_ >= depth_) {
        ++callersAsleep_;
        finished_.wait(lock, [this] { return started_ - done_ < depth_; });
        --callersAsleep_;
    }
    steps_.push_back(std::move(step));
    const uint64_t ticket = ++started_;
    const bool wake = threadAsleep_;
    lock.unlock();
    if (wake) work_.notify_one();
    return ticket;
}

void IoWorker::waitFor(uint64_t ticket) {
    std::unique_lock<std::mutex> lock(mutex_);
    sleepUntilDone(lock, ticket);
}

void IoWorker::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    sleepUntilDone(lock, started_);
}

void IoWorker::sleepUntilDone(std::unique_lock<std::mutex>& lock, uint64_t ticket) {
    if (done_ >= ticket) return;
    ++callersAsleep_;
    finished_.wait(lock, [this, ticket] { return done_ >= ticket; });
    --callersAsleep_;
}

void IoWorker::run() {
    // Woken for a step, a thread of the usual policy takes the processor from the caller
    // that woke it, which then waits for the step's few hundred microseconds instead of
    // going on beside it (on a busy two-processor machine, a stall at every batch). As a
    // batch thread it runs on another processor, or when the caller next waits.
    sched_param batch{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (steps_.empty() && !quit_) {
            threadAsleep_ = true;
            work_.wait(lock, [this] { return !steps_.empty() || quit_; });
            threadAsleep_ = false;
        }
        if (steps_.empty()) return;  // quit, nothing left
        std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        lock.unlock();
        step();
        step = nullptr;
        lock.lock();
        ++done_;
        if (callersAsleep_ > 0) {
            // The condition variable outlives this call: the destructor joins this thread.
            lock.unlock();
            finished_.notify_all();
            lock.lock();
        }
    }
}

}  // namespace corvix::runtime

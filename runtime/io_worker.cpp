#include "runtime/io_worker.h"

namespace corvix::runtime {

IoWorker::IoWorker(size_t depth) : depth_(depth ? depth : 1), thread_([this] { run(); }) {}

IoWorker::~IoWorker() {
    wait();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

uint64_t IoWorker::start(std::function<void()> step) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return started_ - finished_ < depth_; });
    steps_.push_back(std::move(step));
    const uint64_t ticket = ++started_;
    lock.unlock();
    changed_.notify_all();
    return ticket;
}

void IoWorker::waitFor(uint64_t ticket) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this, ticket] { return finished_ >= ticket; });
}

void IoWorker::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return finished_ == started_; });
}

void IoWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !steps_.empty() || quit_; });
        if (steps_.empty()) return;  // quit, nothing left
        std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        lock.unlock();
        step();
        step = nullptr;
        lock.lock();
        ++finished_;
        changed_.notify_all();
    }
}

}  // namespace corvix::runtime

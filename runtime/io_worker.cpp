#include "runtime/io_worker.h"

namespace corvix::runtime {

IoWorker::IoWorker() : thread_([this] { run(); }) {}

IoWorker::~IoWorker() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void IoWorker::start(std::function<void()> step) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    step_ = std::move(step);
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
}

void IoWorker::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void IoWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || quit_; });
        if (!busy_) return;  // quit, nothing in hand
        std::function<void()> step = std::move(step_);
        lock.unlock();
        step();
        step = nullptr;
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace corvix::runtime

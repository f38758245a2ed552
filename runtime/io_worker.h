// One background thread that runs one step at a time beside the caller: the next read of
// a file while the caller seals the batch before it, or the last batch's write while the
// caller decrypts the next. Steps run in the order they are started; a step is started
// only after the one before it has finished, so the two never run at once.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace corvix::runtime {

class IoWorker {
  public:
    IoWorker();
    ~IoWorker();  // finishes the step in hand, then ends the thread
    IoWorker(const IoWorker&) = delete;
    IoWorker& operator=(const IoWorker&) = delete;

    // Waits for the step in hand, then hands this one to the thread. What the step writes
    // is safe to read after the next wait().
    void start(std::function<void()> step);
    // Returns once no step is waiting or running.
    void wait();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> step_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace corvix::runtime

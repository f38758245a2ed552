// Starts the test target window (corvix-desktop-target) and reads what it received.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/desktop/desktop.h"

namespace corvix::desktop::testing {

class TargetProcess {
  public:
    // Starts the target with a unique title; accessible (QT_LINUX_ACCESSIBILITY_ALWAYS_ON).
    explicit TargetProcess(const std::string& titlePrefix);
    ~TargetProcess();
    TargetProcess(const TargetProcess&) = delete;
    TargetProcess& operator=(const TargetProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& title() const { return title_; }
    // Waits until the window is listed among the desktop's top windows; 0 on timeout.
    WindowHandle waitForWindow(Desktop& desktop, std::chrono::milliseconds limit);
    // What the line edit holds now (as last written to the file).
    std::string received() const;
    // Waits until the edit holds `expected` (or the limit passes); returns what it holds.
    std::string waitForText(const std::string& expected, std::chrono::milliseconds limit) const;

  private:
    pid_t pid_ = -1;
    std::string title_;
    std::string outFile_;
};

// Any program started for a test, ended (SIGTERM) when this goes.
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool started() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
};

// Holds a lock file for one display while alive, so that tests which move the focus and
// type run one at a time across processes.
class DisplayLock {
  public:
    DisplayLock();
    ~DisplayLock();
    DisplayLock(const DisplayLock&) = delete;
    DisplayLock& operator=(const DisplayLock&) = delete;

  private:
    int fd_ = -1;
};

// Runs a program (argv[0] searched in PATH) and waits for it; its exit code or -1.
int runProgram(const std::vector<std::string>& argv);

// Directory of the running test program.
std::string programDir();

}  // namespace corvix::desktop::testing

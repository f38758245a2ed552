// Programs the tray tests start: the program under test, the command-line tool that sets
// up a vault, xdotool and the X servers. Every child is ended by its process id when its
// owner goes, also when a test fails half-way.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace corvix::app::desktop_testing {

struct ChildOptions {
    std::string workingDirectory;          // empty: the test's own
    std::vector<std::string> setEnv;       // "NAME=value", replacing an inherited NAME
    std::vector<std::string> unsetEnv;     // names removed from the inherited environment
    std::string outputFile;                // stdout and stderr; empty: /dev/null
    std::optional<std::string> stdinText;  // written to the child's standard input, then closed
};

// How a child ended.
struct ChildExit {
    bool exited = false;  // by exit(); else by a signal
    int code = -1;        // exit code when exited
    int signal = 0;       // the signal otherwise
};

class Child {
  public:
    // argv[0] is searched in PATH unless it holds a slash.
    Child(const std::vector<std::string>& argv, const ChildOptions& options = {});
    ~Child();  // SIGTERM, then SIGKILL if it does not end within two seconds
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool running();
    // Waits until the child ends or the limit passes (nullopt then; the child keeps running).
    std::optional<ChildExit> waitExit(std::chrono::milliseconds limit);
    // SIGTERM (then SIGKILL) and reaps it.
    void stop();

  private:
    pid_t pid_ = -1;
    std::optional<ChildExit> exit_;
};

struct ToolResult {
    ChildExit exit;
    bool timedOut = false;
    std::string output;  // stdout and stderr together
};

// Runs a program to its end (killed after `limit`) and returns its exit and output.
ToolResult runTool(const std::vector<std::string>& argv, const ChildOptions& options,
                   std::chrono::milliseconds limit);

// The whole text of a file ("" when it cannot be read).
std::string readFile(const std::string& path);

// Polls `ready` every 50 ms until it holds or the limit passes; returns its last answer.
template <typename Pred>
bool waitUntil(Pred ready, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return ready();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace corvix::app::desktop_testing

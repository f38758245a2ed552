// What the sending desktop tests share: running corvix-cli and other programs with a
// time limit, windows started in the background, waiting for a window or a file, and a
// fixture with a fresh vault holding the category "Work".
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop/desktop.h"

namespace corvix::send::testing {

namespace fs = std::filesystem;

std::string selfDir();  // the folder of the test program
std::string slurp(const fs::path& p);

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs a program in dir with the given standard input; waits at most `limit`.
Result run(const std::vector<std::string>& argv, const fs::path& dir, const std::string& input,
           std::chrono::seconds limit = std::chrono::seconds(30));

// A program running in the background, stopped (SIGTERM, then waited for) at the end.
// Its standard output goes to `output` when one is given; `env` adds variables.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const fs::path& output = {},
          const std::vector<std::pair<std::string, std::string>>& env = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool started() const { return pid_ > 0; }
    // Waits until the program has ended by itself; false after the limit.
    bool waitForExit(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
};

// The test login window (corvix-send-target) titled `title`, writing what arrived to
// `outFile`; with `busy`, the first key it reads keeps it from reading on that long.
class Target : public Child {
  public:
    Target(const std::string& title, const fs::path& outFile,
           std::chrono::milliseconds busy = std::chrono::milliseconds(0));
};

desktop::WindowHandle windowTitled(desktop::Desktop& d, const std::string& title);
bool waitForWindow(const std::string& title, std::chrono::milliseconds limit);
// The first top-level title starting with prefix that differs from `other`, once one
// shows; "" after the limit.
std::string waitForTitle(const std::string& prefix, const std::string& other,
                         std::chrono::milliseconds limit);
std::string waitForFile(const fs::path& p, std::chrono::milliseconds limit);

class CliSendDesktop : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Adds an account in category "Work" with the given options; its number.
    int addAccount(const std::vector<std::string>& options, const std::string& password);
    fs::path dir;
    std::string cli;
};

}  // namespace corvix::send::testing

#include "target_process.h"

#include "platform/desktop/atspi_client.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace corvix::desktop::testing {

std::string programDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string path(buf, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/'));
}

namespace {

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
            bool searchPath) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) envStore.emplace_back(*e);
    for (const auto& e : extraEnv) envStore.push_back(e);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    int rc = searchPath ? posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data())
                        : posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data());
    return rc == 0 ? pid : -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnv)
    : pid_(spawn(argv, extraEnv, false)) {}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

DisplayLock::DisplayLock() {
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    for (char& c : display) {
        if (c == '/' || c == ':') c = '_';
    }
    fd_ = open(("/tmp/corvix-desktop-test" + display + ".lock").c_str(),
               O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
}

DisplayLock::~DisplayLock() {
    if (fd_ >= 0) close(fd_);  // releases the lock
}

int runProgram(const std::vector<std::string>& args) {
    pid_t pid = spawn(args, {}, true);
    if (pid <= 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TargetProcess::TargetProcess(const std::string& titlePrefix) {
    // A fresh session starts its accessibility bus on first use, and a program started
    // while it comes up may miss it: bring it up with one lookup before the first target.
    static const bool busReady = atspiWindowTexts(0, "corvix test warm-up").ran;
    (void)busReady;
    static int counter = 0;
    title_ = titlePrefix + " " + std::to_string(getpid()) + "-" + std::to_string(++counter);
    outFile_ =
        "/tmp/corvix-target-" + std::to_string(getpid()) + "-" + std::to_string(counter) + ".txt";
    unlink(outFile_.c_str());
    pid_ = spawn(
        {programDir() + "/corvix-desktop-target", "--window-title", title_, "--out", outFile_},
        {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", "QT_QPA_PLATFORM=xcb"}, false);
}

TargetProcess::~TargetProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    unlink(outFile_.c_str());
}

WindowHandle TargetProcess::waitForWindow(Desktop& desktop, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& w : desktop.topWindows()) {
            if (w.title == title_) return w.handle;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

std::string TargetProcess::received() const {
    std::ifstream in(outFile_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TargetProcess::waitForText(const std::string& expected,
                                       std::chrono::milliseconds limit) const {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::string now = received();
    while (now != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        now = received();
    }
    return now;
}

}  // namespace corvix::desktop::testing

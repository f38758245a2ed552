#include "private_display.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

extern char** environ;

namespace corvix::desktop::testing {

PrivateDisplay::PrivateDisplay() {
    if (const char* d = std::getenv("DISPLAY")) {
        savedDisplay_ = d;
        hadDisplay_ = true;
    }
    int n = 150 + getpid() % 50;
    while (access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0 ||
           access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) {
        ++n;
    }
    name_ = ":" + std::to_string(n);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"Xvfb",      name_.c_str(), "-screen",  "0",    "1024x768x24",
                          "-nolisten", "tcp",         "-noreset", nullptr};
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ) !=
        0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ <= 0) return;
    for (int i = 0; i < 100 && !ok_; ++i) {
        if (Display* dpy = XOpenDisplay(name_.c_str())) {
            XCloseDisplay(dpy);
            ok_ = true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (ok_) setenv("DISPLAY", name_.c_str(), 1);
}

PrivateDisplay::~PrivateDisplay() {
    if (hadDisplay_) {
        setenv("DISPLAY", savedDisplay_.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

}  // namespace corvix::desktop::testing

#include "private_session.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "x_windows.h"

namespace corvix::app::desktop_testing {

using namespace std::chrono_literals;

const char* const kTrayerArgs[] = {"trayer",      "--edge",  "top",      "--align", "right",
                                   "--widthtype", "request", "--height", "24",      nullptr};

namespace {

bool displayInUse(int n) {
    return access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0 ||
           access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0;
}

}  // namespace

PrivateSession::PrivateSession() {
    int n = 200 + getpid() % 50;
    while (displayInUse(n)) ++n;
    display_ = ":" + std::to_string(n);
    char dir[] = "/tmp/corvix-tray-session-XXXXXX";
    logDir_ = mkdtemp(dir) ? dir : "/tmp";

    ChildOptions o;
    o.outputFile = logDir_ + "/xvfb.log";
    xvfb_ = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", display_, "-screen", "0", "1024x768x24", "-nolisten",
                                 "tcp", "-noreset"},
        o);
    if (!xvfb_->started()) {
        error_ = "Xvfb could not be started";
        return;
    }
    if (!waitUntil([this] { return XDisplay(display_).ok() || !xvfb_->running(); }, 10s) ||
        !XDisplay(display_).ok()) {
        error_ = "Xvfb did not come up on " + display_ + ": " + readFile(logDir_ + "/xvfb.log");
        return;
    }
    ChildOptions wm = options();
    wm.outputFile = logDir_ + "/openbox.log";
    openbox_ = std::make_unique<Child>(std::vector<std::string>{"openbox"}, wm);
    // openbox announces itself on the root window once it manages the screen.
    XDisplay x(display_);
    if (!waitUntil([&x] { return x.windowManagerRunning(); }, 10s)) {
        error_ = "openbox did not start: " + readFile(wm.outputFile);
        return;
    }
    ok_ = startTrayHost();
}

PrivateSession::~PrivateSession() {
    trayer_.reset();
    openbox_.reset();
    xvfb_.reset();
    std::error_code ec;
    if (logDir_ != "/tmp") std::filesystem::remove_all(logDir_, ec);
}

ChildOptions PrivateSession::options() const {
    ChildOptions o;
    o.setEnv = {"DISPLAY=" + display_};
    return o;
}

bool PrivateSession::startTrayHost() {
    trayer_.reset();
    ChildOptions o = options();
    o.outputFile = logDir_ + "/trayer.log";
    std::vector<std::string> argv;
    for (const char* const* a = kTrayerArgs; *a; ++a) argv.emplace_back(*a);
    trayer_ = std::make_unique<Child>(argv, o);
    XDisplay x(display_);
    if (!trayer_->started() || !waitUntil([&x] { return x.trayOwner() != 0; }, 10s)) {
        error_ = "trayer did not take the tray selection: " + readFile(o.outputFile);
        return false;
    }
    return true;
}

bool PrivateSession::killTrayHost() {
    trayer_.reset();
    XDisplay x(display_);
    return waitUntil([&x] { return x.trayOwner() == 0; }, 5s);
}

}  // namespace corvix::app::desktop_testing

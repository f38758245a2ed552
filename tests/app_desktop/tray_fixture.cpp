#include "tray_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace corvix::app::desktop_testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

DisplayLock::DisplayLock(const std::string& display) {
    std::string name = display;
    for (char& c : name) {
        if (c == '/' || c == ':') c = '_';
    }
    // The same lock file as the other desktop tests of this display.
    fd_ = open(("/tmp/corvix-desktop-test" + name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC,
               0600);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
}

DisplayLock::~DisplayLock() {
    if (fd_ >= 0) close(fd_);
}

void TrayProgramTest::SetUp() {
    if (usesSharedDisplay()) {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "needs an X display (scripts/test starts one)";
        lock_ = std::make_unique<DisplayLock>(display);
        x_ = std::make_unique<XDisplay>();
        ASSERT_TRUE(x_->ok()) << "cannot open " << display;
        // The tray host takes the tray selection some time after it starts.
        ASSERT_TRUE(waitUntil([&] { return x_->trayOwner() != 0; }, 10s))
            << "no tray host on " << display;
    }
    char dir[] = "/tmp/corvix-tray-vault-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    vault_ = dir;
}

void TrayProgramTest::TearDown() {
    if (!vault_.empty()) {
        std::error_code ec;
        fs::remove_all(vault_, ec);
    }
}

bool TrayProgramTest::makeVault(const std::string& masterPassword) {
    ChildOptions o;
    o.workingDirectory = vault_;
    o.stdinText = masterPassword + "\n";
    ToolResult r = runTool({CORVIX_CLI_PROGRAM, "init", "--master-password-stdin"}, o, 60s);
    EXPECT_FALSE(r.timedOut) << "corvix-cli init did not finish";
    EXPECT_TRUE(r.exit.exited && r.exit.code == 0) << r.output;
    return !r.timedOut && r.exit.exited && r.exit.code == 0;
}

ToolResult TrayProgramTest::cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv{CORVIX_CLI_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildOptions o;
    o.workingDirectory = vault_;
    return runTool(argv, o, 60s);
}

Program TrayProgramTest::start(const std::string& display, const std::vector<std::string>& env) {
    Program p;
    p.logPath = vault_ + "/corvix-output.log";
    ChildOptions o;
    o.workingDirectory = vault_;
    o.outputFile = p.logPath;
    o.setEnv = {"QT_QPA_PLATFORM=xcb"};
    if (!display.empty()) o.setEnv.push_back("DISPLAY=" + display);
    // glibc's heap checks: a double free or a write into freed memory ends the program
    // there and then, instead of passing unseen or crashing only now and then.
    for (const char* lib : {"/lib/x86_64-linux-gnu/libc_malloc_debug.so.0",
                            "/usr/lib/x86_64-linux-gnu/libc_malloc_debug.so.0"}) {
        if (access(lib, R_OK) != 0) continue;
        o.setEnv.push_back(std::string("LD_PRELOAD=") + lib);
        o.setEnv.push_back("MALLOC_CHECK_=3");
        break;
    }
    o.setEnv.push_back("MALLOC_PERTURB_=165");
    o.setEnv.insert(o.setEnv.end(), env.begin(), env.end());
    p.child = std::make_unique<Child>(std::vector<std::string>{CORVIX_TRAY_PROGRAM}, o);
    EXPECT_TRUE(p.child->started()) << CORVIX_TRAY_PROGRAM;
    return p;
}

int TrayProgramTest::openListsMenu(const Program& p, XWindowId frame) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int rc =
        xdotool({"mousemove", "--window", std::to_string(frame), "97", "9", "click", "1"});
    if (rc != 0) return rc;
    return waitUntil([&] { return popupOf(*x_, p, 0).id != 0; }, 10s) ? 0 : -1;
}

bool TrayProgramTest::openMenuByKey(const Program& p, const std::string& key) {
    if (xdotool({"key", key}) != 0) return false;
    return waitUntil([&] { return popupOf(*x_, p, 0).id != 0; }, 10s);
}

bool TrayProgramTest::waitForText(const Program& p, const std::string& window,
                                  const std::string& text, std::chrono::milliseconds limit) {
    const std::string helper =
        (fs::path(CORVIX_TRAY_PROGRAM).parent_path() / "corvix-atspi-texts").string();
    return waitUntil(
        [&] {
            ToolResult r =
                runTool({helper, "--pid", std::to_string(p.pid()), "--title", window}, {}, 5s);
            std::istringstream lines(r.output);
            for (std::string line; std::getline(lines, line);)
                if (line == text) return true;
            return false;
        },
        limit);
}

bool TrayProgramTest::logOnWithHotKey(Program& p, const std::string& masterPassword) {
    using namespace std::chrono_literals;
    if (waitForIcon(*x_, p, trayHostPid()).id == 0) return false;
    if (!waitUntil([&] { return frameOf(*x_, p).id != 0 && !frameShown(*x_, p); }, 10s))
        return false;
    // The hot key is grabbed once the frame runs; on a loaded machine a first press can
    // come before that, so it is pressed again while no logon window shows.
    XWindowInfo logon;
    bool shown = false;
    for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
        if (xdotool({"key", "super+s"}) != 0) return false;
        shown = waitUntil(
            [&] {
                logon = windowTitled(*x_, p, kLogonWindowTitle);
                return logon.viewable && x_->activeWindow() == logon.id;
            },
            5s);
    }
    if (!shown) return false;
    std::this_thread::sleep_for(300ms);
    if (xdotool({"type", "--delay", "40", masterPassword}) != 0) return false;
    if (xdotool({"key", "Return"}) != 0) return false;
    return waitUntil(
        [&] {
            const XWindowInfo frame = frameOf(*x_, p);
            return frame.viewable && x_->activeWindow() == frame.id;
        },
        10s);
}

std::string TrayProgramTest::log(const Program& p) const {
    return "program output:\n" + readFile(p.logPath);
}

std::string TrayProgramTest::describe(XDisplay& x, const Program& p) const {
    std::ostringstream s;
    s << "windows of process " << p.pid() << ":\n";
    for (const XWindowInfo& w : x.windowsOf(p.pid())) {
        s << "  0x" << std::hex << w.id << std::dec << " \"" << w.title << "\" " << w.width << "x"
          << w.height << "+" << w.x << "+" << w.y << (w.viewable ? " viewable" : " unmapped")
          << (w.overrideRedirect ? " override-redirect" : "") << " ancestors:";
        for (XWindowId a : x.ancestors(w.id)) s << " 0x" << std::hex << a << std::dec;
        for (const std::string& t : w.types) s << " " << t;
        s << "\n";
    }
    s << "tray owner 0x" << std::hex << x.trayOwner() << std::dec << "\n" << log(p);
    return s.str();
}

pid_t TrayProgramTest::trayHostPid() {
    if (const char* env = std::getenv("CORVIX_TRAYER_PID")) {
        pid_t pid = static_cast<pid_t>(std::atoi(env));
        if (pid > 0 && kill(pid, 0) == 0) return pid;
    }
    return x_ ? x_->info(x_->trayOwner()).pid : 0;
}

XWindowInfo TrayProgramTest::clickIcon(const Program& p, int button, int count) {
    XWindowInfo icon;
    XWindowId under = 0;
    const bool onIcon = waitUntil(
        [&] {
            icon = waitForIcon(*x_, p, trayHostPid(), 2s);
            if (icon.id == 0) return false;
            if (xdotool({"mousemove", std::to_string(icon.x + icon.width / 2),
                         std::to_string(icon.y + icon.height / 2)}) != 0)
                return false;
            under = x_->windowAtPointer();
            return under == icon.id;
        },
        10s);
    if (!onIcon) {
        ADD_FAILURE() << "the pointer did not come to rest on the icon 0x" << std::hex << icon.id
                      << " but on 0x" << under << std::dec << "\n"
                      << describe(*x_, p);
        return {};
    }
    if (xdotool({"click", "--repeat", std::to_string(count), "--delay", "80",
                 std::to_string(button)}) != 0)
        return {};
    return icon;
}

int TrayProgramTest::xdotool(const std::vector<std::string>& args, const std::string& display) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildOptions o;
    if (!display.empty()) o.setEnv = {"DISPLAY=" + display};
    ToolResult r = runTool(argv, o, 20s);
    EXPECT_FALSE(r.timedOut) << "xdotool hangs";
    EXPECT_TRUE(r.exit.exited && r.exit.code == 0) << r.output;
    return r.exit.exited ? r.exit.code : -1;
}

bool TrayProgramTest::screenshot(const std::string& window, const std::string& fileName) {
    std::error_code ec;
    fs::create_directories(CORVIX_SCREENSHOT_DIR, ec);
    const std::string path = std::string(CORVIX_SCREENSHOT_DIR) + "/" + fileName;
    fs::remove(path, ec);
    ToolResult r = runTool({"import", "-window", window, path}, {}, 30s);
    EXPECT_TRUE(r.exit.exited && r.exit.code == 0) << r.output;
    // A PNG begins with its eight-byte signature.
    return readFile(path).rfind("\x89PNG\r\n\x1a\n", 0) == 0;
}

XWindowInfo embeddedIcon(XDisplay& x, const Program& p, pid_t hostPid) {
    for (const XWindowInfo& w : x.windowsOf(p.pid())) {
        if (!w.viewable || w.width > 64 || w.height > 64) continue;
        for (XWindowId a : x.ancestors(w.id)) {
            pid_t owner = x.info(a).pid;
            if (owner != 0 && owner != p.pid() && (hostPid == 0 || owner == hostPid)) return w;
        }
    }
    return {};
}

XWindowInfo waitForIcon(XDisplay& x, const Program& p, pid_t hostPid,
                        std::chrono::milliseconds limit) {
    XWindowInfo icon;
    waitUntil(
        [&] {
            icon = embeddedIcon(x, p, hostPid);
            return icon.id != 0;
        },
        limit);
    return icon;
}

XWindowInfo windowTitled(XDisplay& x, const Program& p, const std::string& title) {
    XWindowInfo found;
    for (const XWindowInfo& w : x.windowsOf(p.pid())) {
        if (w.title != title || w.overrideRedirect) continue;
        if (!found.id || (w.viewable && !found.viewable)) found = w;
    }
    return found;
}

XWindowInfo frameOf(XDisplay& x, const Program& p) {
    return windowTitled(x, p, kFrameTitle);
}

bool frameShown(XDisplay& x, const Program& p) {
    return frameOf(x, p).viewable;
}

bool inTaskList(XDisplay& x, XWindowId w) {
    std::vector<XWindowId> list = x.clientList();
    return std::find(list.begin(), list.end(), w) != list.end();
}

XWindowInfo popupOf(XDisplay& x, const Program& p, XWindowId icon) {
    // Pop-ups bypass the window manager and sit straight on the root; the icon sits
    // inside the tray host.
    for (const XWindowInfo& w : x.windowsOf(p.pid())) {
        if (w.id == icon || !w.viewable || !w.overrideRedirect) continue;
        if (x.ancestors(w.id).empty()) return w;
    }
    return {};
}

int distanceToRect(int px, int py, const XWindowInfo& w) {
    int dx = std::max({w.x - px, 0, px - (w.x + w.width - 1)});
    int dy = std::max({w.y - py, 0, py - (w.y + w.height - 1)});
    return std::max(dx, dy);
}

int unusedDisplayNumber() {
    int n = 250 + getpid() % 50;
    while (access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0 ||
           access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0)
        ++n;
    return n;
}

}  // namespace corvix::app::desktop_testing

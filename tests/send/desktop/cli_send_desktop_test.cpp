// corvix-cli send and watch against a real window on the X display (label "desktop").
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "keymap_probe.h"
#include "platform/desktop/desktop.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string selfDir() {
    return fs::canonical("/proc/self/exe").parent_path().string();
}

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a program in dir with the given standard input; waits at most `limit`.
Result run(const std::vector<std::string>& argv, const fs::path& dir, const std::string& input,
           std::chrono::seconds limit = 30s) {
    const fs::path in = dir / "stdin.txt", out = dir / "stdout.txt", err = dir / "stderr.txt";
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    Result r;
    if (posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) return r;
    posix_spawn_file_actions_destroy(&fa);
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

// The login window, started in the background and stopped at the end.
class Target {
  public:
    Target(const std::string& title, const fs::path& outFile) {
        std::vector<std::string> argv{selfDir() + "/corvix-send-target", "--title", title, "--out",
                                      outFile.string()};
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
    }
    ~Target() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }

  private:
    pid_t pid_ = -1;
};

corvix::desktop::WindowHandle windowTitled(corvix::desktop::Desktop& d, const std::string& title) {
    for (const auto& w : d.topWindows())
        if (w.title == title) return w.handle;
    return 0;
}

bool waitForWindow(const std::string& title, std::chrono::milliseconds limit) {
    auto d = corvix::desktop::openX11Desktop();
    if (!d) return false;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        for (const auto& w : d->topWindows())
            if (w.title == title) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::string waitForFile(const fs::path& p, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (fs::exists(p)) return slurp(p);
        std::this_thread::sleep_for(50ms);
    }
    return "(nothing arrived)";
}

class CliSendDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
        // Qt windows show their labels to the accessibility bus only when asked to.
        setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
        char tmpl[] = "/tmp/corvix-send-desktop.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        cli = selfDir() + "/../bin/corvix-cli";
        ASSERT_TRUE(fs::exists(cli)) << cli;
        Result r = run({cli, "init"}, dir, "");
        ASSERT_EQ(r.code, 0) << r.err;
        r = run({cli, "categories", "add", "Work"}, dir, "");
        ASSERT_EQ(r.code, 0) << r.err;
    }
    void TearDown() override {
        if (!dir.empty()) fs::remove_all(dir);
    }
    int addAccount(const std::vector<std::string>& options, const std::string& password) {
        std::vector<std::string> argv{cli,          "add",  "--description",   "Login",
                                      "--category", "Work", "--password-stdin"};
        argv.insert(argv.end(), options.begin(), options.end());
        Result r = run(argv, dir, password + "\n");
        EXPECT_EQ(r.code, 0) << r.err;
        return std::atoi(r.out.c_str());
    }
    fs::path dir;
    std::string cli;
};

const std::string kName = "J\xC3\xB6rg O'Brien";                  // Jörg O'Brien
const std::string kPassword = "P@ss W\xC3\xB6rd!#~\xE2\x82\xAC";  // P@ss Wörd!#~€

TEST_F(CliSendDesktop, SendTypesTheAccountIntoItsWindow) {
    const std::string title = "Send Target " + std::to_string(getpid());
    const int id = addAccount({"--name", kName, "--target-window", "Send Target*", "--action",
                               "[name][tab][password][enter]", "--wait", "0"},
                              kPassword);
    ASSERT_GT(id, 0);
    Target target(title, dir / "typed.txt");
    ASSERT_TRUE(target.started());
    ASSERT_TRUE(waitForWindow(title, 10s));
    Result r = run({cli, "send", std::to_string(id)}, dir, "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(waitForFile(dir / "typed.txt", 10s), kName + "\n" + kPassword + "\n");
}

TEST_F(CliSendDesktop, SendToAMissingWindowSaysSoAndTypesNothing) {
    const int id = addAccount({"--name", "x", "--target-window", "No Such Window 4711"}, "pw");
    Result r = run({cli, "send", std::to_string(id)}, dir, "");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Cannot Send: Target window (No Such Window 4711) does not exist."),
              std::string::npos)
        << r.err;
}

TEST_F(CliSendDesktop, WatchServesAWindowThatAppears) {
    const std::string title = "Watch Target " + std::to_string(getpid());
    const int id = addAccount(
        {"--name", kName, "--target-window", "Watch Target*", "--required-text", "*Password*",
         "--action", "[name][tab][password][enter]", "--wait", "1", "--watch"},
        kPassword);
    ASSERT_GT(id, 0);
    Target target(title, dir / "watched.txt");
    ASSERT_TRUE(target.started());
    ASSERT_TRUE(waitForWindow(title, 10s));
    Result r = run({cli, "watch", "--seconds", "4"}, dir, "", 30s);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("sent account " + std::to_string(id)), std::string::npos) << r.out;
    EXPECT_EQ(waitForFile(dir / "watched.txt", 10s), kName + "\n" + kPassword + "\n");
}

// Another client takes the focus while the account waits: nothing reaches either window,
// and the command says so and fails.
TEST_F(CliSendDesktop, FocusMovedDuringTheWaitStopsTheSend) {
    const std::string one = "Target One " + std::to_string(getpid());
    const std::string two = "Target Two " + std::to_string(getpid());
    const int id = addAccount({"--name", kName, "--target-window", one, "--action",
                               "[name][tab][password][enter]", "--wait", "3"},
                              kPassword);
    ASSERT_GT(id, 0);
    Target first(one, dir / "one.txt"), second(two, dir / "two.txt");
    ASSERT_TRUE(waitForWindow(one, 10s) && waitForWindow(two, 10s));
    auto sending = std::async(std::launch::async, [&] {
        return run({cli, "send", std::to_string(id)}, dir, "");
    });
    std::this_thread::sleep_for(1500ms);
    auto other = corvix::desktop::openX11Desktop();
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->activate(windowTitled(*other, two)));
    const Result r = sending.get();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Cannot Send: The keyboard focus left the target window (" + one + ")"),
              std::string::npos)
        << r.err;
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(fs::exists(dir / "two.txt.live")) << slurp(dir / "two.txt.live");
    EXPECT_FALSE(fs::exists(dir / "one.txt.live")) << slurp(dir / "one.txt.live");
}

// Without a target the command would type into its own terminal: it refuses, and
// --window names the window instead.
TEST_F(CliSendDesktop, ABlankTargetNeedsAWindowPattern) {
    const int id =
        addAccount({"--name", kName, "--action", "[name][tab][password][enter]"}, kPassword);
    ASSERT_GT(id, 0);
    Result r = run({cli, "send", std::to_string(id)}, dir, "");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("has no target window; name the window to type into with --window"),
              std::string::npos)
        << r.err;
    r = run({cli, "send", std::to_string(id), "--window", " "}, dir, "");
    EXPECT_EQ(r.code, 2) << r.err;

    const std::string title = "Pattern Target " + std::to_string(getpid());
    Target target(title, dir / "typed.txt");
    ASSERT_TRUE(waitForWindow(title, 10s));
    r = run({cli, "send", std::to_string(id), "--window", "Pattern Target*"}, dir, "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(waitForFile(dir / "typed.txt", 10s), kName + "\n" + kPassword + "\n");
}

// The text arrives exactly whatever the layout and its active group, with Shift held
// down by another client, and the characters typed through spare keycodes are gone from
// the keymap when the command has ended.
TEST_F(CliSendDesktop, TextArrivesExactlyInEveryLayoutAndLeavesNoKeysBehind) {
    const std::string password = "Ab1!@#xyz\xE7\xA7\x98\xE5\xAF\x86\xC3\xA9\xC3\x9F";  // ...秘密éß
    const int id = addAccount({"--name", "user1", "--target-window", "Layout Target*", "--action",
                               "[name][tab][password][enter]"},
                              password);
    ASSERT_GT(id, 0);
    struct Restore {
        ~Restore() {
            std::system("xdotool keyup Shift_L");
            corvix::send::testing::setLayout("us");
        }
    } restore;
    struct Case {
        std::string layouts;
        int group;
        bool holdShift;
    };
    int round = 0;
    for (const Case& c : {Case{"us,ru", 1, false}, Case{"de", 0, false}, Case{"fr", 0, false},
                          Case{"us", 0, true}}) {
        SCOPED_TRACE(c.layouts + (c.holdShift ? " with Shift held" : ""));
        ASSERT_TRUE(corvix::send::testing::setLayout(c.layouts));
        const std::string title = "Layout Target " + std::to_string(++round);
        const fs::path out = dir / ("typed" + std::to_string(round) + ".txt");
        Target target(title, out);
        ASSERT_TRUE(waitForWindow(title, 10s));
        ASSERT_TRUE(corvix::send::testing::lockGroup(c.group));
        if (c.holdShift) ASSERT_EQ(std::system("xdotool keydown Shift_L"), 0);
        Result r = run({cli, "send", std::to_string(id)}, dir, "");
        if (c.holdShift) std::system("xdotool keyup Shift_L");
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(waitForFile(out, 10s), "user1\n" + password + "\n");
        EXPECT_EQ(corvix::send::testing::activeGroup(), c.group);
        for (char32_t ch : {U'\u79D8', U'\u5BC6'})
            EXPECT_FALSE(corvix::send::testing::keymapHas(ch)) << std::hex << uint32_t(ch);
    }
}

}  // namespace

#include "cli_session.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace corvix::send::testing {

using namespace std::chrono_literals;

std::string selfDir() {
    return fs::canonical("/proc/self/exe").parent_path().string();
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

bool waitFor(pid_t pid, std::chrono::milliseconds limit, int* status) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (waitpid(pid, status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<char*> argvOf(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

}  // namespace

Result run(const std::vector<std::string>& argv, const fs::path& dir, const std::string& input,
           std::chrono::seconds limit) {
    // Every run its own files: runs may overlap (a watch while sends go on).
    static std::atomic<int> runs{0};
    const std::string n = std::to_string(++runs);
    const fs::path in = dir / ("stdin" + n), out = dir / ("stdout" + n), err = dir / ("stderr" + n);
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
    std::vector<char*> args = argvOf(argv);
    pid_t pid = -1;
    Result r;
    const int spawned = posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (spawned != 0) return r;
    int status = 0;
    if (!waitFor(pid, limit, &status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

Child::Child(const std::vector<std::string>& argv, const fs::path& output,
             const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) vars.emplace_back(*e);
    for (const auto& [name, value] : env) vars.push_back(name + "=" + value);
    std::vector<char*> envp = argvOf(vars);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (!output.empty())
        posix_spawn_file_actions_addopen(&fa, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    // Whatever the program complains about stays out of the test's log.
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    // A process group of its own: a browser's helper processes outlive its main process
    // and go on writing into the test's folder unless they are ended with it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<char*> args = argvOf(argv);
    if (posix_spawn(&pid_, args[0], &fa, &attr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
}

Child::~Child() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    int status = 0;
    if (!waitFor(pid_, 5000ms, &status)) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    // The group's other members are gone once no process is left in it.
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (kill(-pid_, 0) == 0 && std::chrono::steady_clock::now() < until) {
        kill(-pid_, SIGKILL);
        std::this_thread::sleep_for(20ms);
    }
}

bool Child::waitForExit(std::chrono::milliseconds limit) {
    int status = 0;
    if (pid_ <= 0 || !waitFor(pid_, limit, &status)) return false;
    pid_ = -1;
    return true;
}

Target::Target(const std::string& title, const fs::path& outFile, std::chrono::milliseconds busy)
    : Child({selfDir() + "/corvix-send-target", "--title", title, "--out", outFile.string(),
             "--busy-ms", std::to_string(busy.count())}) {}

desktop::WindowHandle windowTitled(desktop::Desktop& d, const std::string& title) {
    for (const auto& w : d.topWindows())
        if (w.title == title) return w.handle;
    return 0;
}

bool waitForWindow(const std::string& title, std::chrono::milliseconds limit) {
    auto d = desktop::openX11Desktop();
    if (!d) return false;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (windowTitled(*d, title)) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::string waitForTitle(const std::string& prefix, const std::string& other,
                         std::chrono::milliseconds limit) {
    auto d = desktop::openX11Desktop();
    if (!d) return "";
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        for (const auto& w : d->topWindows())
            if (w.title.starts_with(prefix) && w.title != other) return w.title;
        std::this_thread::sleep_for(20ms);
    }
    return "";
}

std::string waitForFile(const fs::path& p, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (fs::exists(p)) return slurp(p);
        std::this_thread::sleep_for(50ms);
    }
    return "(nothing arrived)";
}

void CliSendDesktop::SetUp() {
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

void CliSendDesktop::TearDown() {
    if (dir.empty()) return;
    std::error_code ec;
    fs::remove_all(dir, ec);
    EXPECT_FALSE(ec) << "cannot remove " << dir << ": " << ec.message();
}

int CliSendDesktop::addAccount(const std::vector<std::string>& options,
                               const std::string& password) {
    std::vector<std::string> argv{cli,          "add",  "--description",   "Login",
                                  "--category", "Work", "--password-stdin"};
    argv.insert(argv.end(), options.begin(), options.end());
    Result r = run(argv, dir, password + "\n");
    EXPECT_EQ(r.code, 0) << r.err;
    return std::atoi(r.out.c_str());
}

}  // namespace corvix::send::testing

#include "platform/desktop/atspi_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>
#include <cstdlib>

extern char** environ;

namespace corvix::desktop {
namespace {

constexpr const char* kHelperName = "corvix-atspi-texts";

bool executable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

std::string programDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string atspiHelperPath() {
    if (const char* env = std::getenv("CORVIX_ATSPI_TEXTS"); env && *env) {
        return executable(env) ? std::string(env) : std::string();
    }
    std::string dir = programDir();
    if (dir.empty()) return {};
    // Beside the program in the build tree; in libexec/corvix when installed.
    for (const std::string& candidate : {dir + "/" + kHelperName, dir + "/../bin/" + kHelperName,
                                         dir + "/../libexec/corvix/" + kHelperName}) {
        if (executable(candidate)) return candidate;
    }
    return {};
}

std::string escapeAtspiLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescapeAtspiLine(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            out += line[i];
            continue;
        }
        char next = line[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

namespace {

struct HelperRun {
    bool ran = false;  // found, finished in time, exited 0
    std::string output;
};

HelperRun runHelper(const std::string& helper, const std::vector<std::string>& args,
                    std::chrono::milliseconds limit) {
    HelperRun result;
    if (helper.empty()) return result;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return result;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<const char*> argv{helper.c_str()};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    pid_t child = 0;
    int spawned = posix_spawn(&child, helper.c_str(), &actions, nullptr,
                              const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return result;
    }

    std::string& output = result.output;
    auto deadline = std::chrono::steady_clock::now() + limit;
    bool finished = false;
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) break;
        pollfd p{out[0], POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        char buf[4096];
        ssize_t n = read(out[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            finished = true;  // end of output
            break;
        }
        output.append(buf, static_cast<size_t>(n));
        if (output.size() > (1u << 20)) break;  // a runaway helper
    }
    close(out[0]);
    // Closed output is not yet an exit: give the helper what is left of its time (at
    // least a moment) to finish, then end it.
    int status = 0;
    pid_t done = 0;
    if (finished) {
        auto until =
            std::max(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
        while ((done = waitpid(child, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < until) {
            usleep(2000);
        }
    }
    if (done != child) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return result;
    }
    result.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

}  // namespace

AtspiLookup atspiWindowTexts(long pid, const std::string& title, std::chrono::milliseconds limit,
                             const std::string& helper) {
    AtspiLookup result;
    HelperRun run = runHelper(helper, {"--pid", std::to_string(pid), "--title", title}, limit);
    if (!run.ran) return result;
    result.ran = true;
    const std::string& output = run.output;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = unescapeAtspiLine(output.substr(start, end - start));
        if (!line.empty()) result.texts.push_back(std::move(line));
        start = end + 1;
    }
    return result;
}

bool atspiBusReachable(std::chrono::milliseconds limit, const std::string& helper) {
    return runHelper(helper, {"--probe"}, limit).ran;
}

}  // namespace corvix::desktop

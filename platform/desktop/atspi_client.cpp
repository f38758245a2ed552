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
#include <cstdlib>
#include <vector>

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

AtspiHelperRun::AtspiHelperRun(const std::vector<std::string>& args,
                               std::chrono::milliseconds limit, const std::string& helper)
    : deadline_(Clock::now() + limit) {
    done_ = true;
    if (helper.empty()) return;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
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
        return;
    }
    child_ = child;
    fd_ = out[0];
    done_ = false;
}

AtspiHelperRun::~AtspiHelperRun() {
    if (!done_) end(true);
}

// Closed output is not yet an exit: the helper gets what is left of its time (at least a
// moment) to finish, then it is ended.
bool AtspiHelperRun::poll(std::chrono::milliseconds wait) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    while (!done_) {
        const auto now = Clock::now();
        if (fd_ < 0) {  // output closed: waiting for the exit
            int status = 0;
            if (waitpid(child_, &status, WNOHANG) == child_) {
                child_ = -1;
                ran_ = WIFEXITED(status) && WEXITSTATUS(status) == 0;
                done_ = true;
                break;
            }
            if (now >= exitBy_) {
                end(true);
                break;
            }
            const auto left = duration_cast<milliseconds>(exitBy_ - now);
            if (wait <= milliseconds(0)) break;
            const auto step = std::min({wait, left, milliseconds(2)});
            usleep(static_cast<useconds_t>(std::max<long>(step.count(), 1) * 1000));
            wait -= step;
            continue;
        }
        if (now >= deadline_) {
            end(true);
            break;
        }
        const auto left = duration_cast<milliseconds>(deadline_ - now);
        const int timeout = static_cast<int>(std::max<long>(std::min(wait, left).count(), 0));
        pollfd p{fd_, POLLIN, 0};
        const auto before = Clock::now();
        int r = ::poll(&p, 1, timeout);
        wait -= duration_cast<milliseconds>(Clock::now() - before);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            end(true);
            break;
        }
        if (r == 0) {
            if (wait <= milliseconds(0)) break;
            continue;
        }
        char buf[4096];
        ssize_t n = read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {  // end of output
            close(fd_);
            fd_ = -1;
            exitBy_ = std::max(deadline_, Clock::now() + milliseconds(100));
            continue;
        }
        output_.append(buf, static_cast<size_t>(n));
        if (output_.size() > (1u << 20)) end(true);  // a runaway helper
    }
    return done_;
}

void AtspiHelperRun::finish() {
    while (!poll(std::chrono::milliseconds(50))) {
    }
}

void AtspiHelperRun::end(bool killHelper) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (child_ > 0) {
        int status = 0;
        if (killHelper) kill(child_, SIGKILL);
        waitpid(child_, &status, 0);
        child_ = -1;
    }
    ran_ = false;
    done_ = true;
}

std::vector<std::string> atspiTextsArgs(long pid, const std::string& title) {
    return {"--pid", std::to_string(pid), "--title", title};
}

std::vector<std::string> atspiTextsFromOutput(const std::string& output) {
    std::vector<std::string> texts;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = unescapeAtspiLine(output.substr(start, end - start));
        if (!line.empty()) texts.push_back(std::move(line));
        start = end + 1;
    }
    return texts;
}

AtspiLookup atspiWindowTexts(long pid, const std::string& title, std::chrono::milliseconds limit,
                             const std::string& helper) {
    AtspiHelperRun run(atspiTextsArgs(pid, title), limit, helper);
    run.finish();
    AtspiLookup result;
    if (!run.ran()) return result;
    result.ran = true;
    result.texts = atspiTextsFromOutput(run.output());
    return result;
}

bool atspiBusReachable(std::chrono::milliseconds limit, const std::string& helper) {
    AtspiHelperRun run({"--probe"}, limit, helper);
    run.finish();
    return run.ran();
}

}  // namespace corvix::desktop

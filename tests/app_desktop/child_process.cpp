#include "child_process.h"

#include <algorithm>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace corvix::app::desktop_testing {

namespace {

std::string nameOf(const std::string& assignment) {
    return assignment.substr(0, assignment.find('='));
}

// The inherited environment with the options' changes.
std::vector<std::string> childEnvironment(const ChildOptions& options) {
    std::vector<std::string> names;
    for (const std::string& s : options.setEnv) names.push_back(nameOf(s));
    for (const std::string& n : options.unsetEnv) names.push_back(n);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const std::string& n : names) replaced = replaced || nameOf(entry) == n;
        if (!replaced) env.push_back(entry);
    }
    for (const std::string& s : options.setEnv) env.push_back(s);
    // The programs work in their data folder: here, the folder the child starts in.
    const bool homeGiven =
        std::find(names.begin(), names.end(), std::string("CORVIX_HOME")) != names.end();
    if (!options.workingDirectory.empty() && !homeGiven) {
        std::erase_if(env, [](const std::string& e) { return nameOf(e) == "CORVIX_HOME"; });
        env.push_back("CORVIX_HOME=" + options.workingDirectory);
    }
    return env;
}

ChildExit decode(int status) {
    ChildExit e;
    if (WIFEXITED(status)) {
        e.exited = true;
        e.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        e.signal = WTERMSIG(status);
    }
    return e;
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const ChildOptions& options) {
    if (argv.empty()) return;
    // Everything the child needs is prepared before fork: after it only system calls.
    std::vector<std::string> env = childEnvironment(options);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string out = options.outputFile.empty() ? "/dev/null" : options.outputFile;
    int input[2] = {-1, -1};
    if (options.stdinText && pipe2(input, O_CLOEXEC) != 0) return;

    pid_t pid = fork();
    if (pid == 0) {
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
            _exit(126);
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
        int in = options.stdinText ? input[0] : open("/dev/null", O_RDONLY);
        if (in >= 0) dup2(in, STDIN_FILENO);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    pid_ = pid > 0 ? pid : -1;
    if (options.stdinText) {
        close(input[0]);
        if (pid_ > 0) {
            const std::string& text = *options.stdinText;
            size_t done = 0;
            while (done < text.size()) {
                ssize_t n = write(input[1], text.data() + done, text.size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
        }
        close(input[1]);
    }
}

Child::~Child() {
    stop();
}

bool Child::running() {
    if (pid_ <= 0 || exit_) return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        exit_ = decode(status);
        return false;
    }
    return r == 0;
}

std::optional<ChildExit> Child::waitExit(std::chrono::milliseconds limit) {
    waitUntil([this] { return !running(); }, limit);
    return exit_;
}

void Child::stop() {
    if (pid_ <= 0 || exit_ || !running()) return;
    kill(pid_, SIGTERM);
    if (!waitExit(std::chrono::seconds(2))) {
        kill(pid_, SIGKILL);
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_) exit_ = decode(status);
    }
}

ToolResult runTool(const std::vector<std::string>& argv, const ChildOptions& options,
                   std::chrono::milliseconds limit) {
    ToolResult result;
    ChildOptions o = options;
    char path[] = "/tmp/corvix-tray-tool-XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0) close(fd);
    o.outputFile = path;
    {
        Child child(argv, o);
        std::optional<ChildExit> e = child.waitExit(limit);
        if (e) {
            result.exit = *e;
        } else {
            result.timedOut = true;
            child.stop();
        }
    }
    result.output = readFile(path);
    unlink(path);
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace corvix::app::desktop_testing

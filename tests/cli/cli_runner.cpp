#include "cli_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvix::testing {

namespace fs = std::filesystem;

namespace {
std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

std::string CliRunner::program() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    const fs::path self(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0));
    return (self.parent_path() / ".." / "bin" / "corvix-cli").lexically_normal().string();
}

CliRunner::CliRunner() {
    std::string pattern = (fs::temp_directory_path() / "corvix-cli-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    // corvix-cli works in its data folder; "." makes that the folder it is started in.
    setenv("CORVIX_HOME", ".", 1);
}

CliRunner::~CliRunner() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string CliRunner::fileBytes(const std::string& name) const {
    return slurp(fs::path(dir_) / name);
}

CliResult CliRunner::run(const std::vector<std::string>& args, const std::string& input) const {
    const fs::path in = fs::path(dir_) / ".stdin", out = fs::path(dir_) / ".stdout",
                   err = fs::path(dir_) / ".stderr";
    std::ofstream(in, std::ios::binary) << input;
    const std::string exe = program();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir_.c_str()) != 0) _exit(126);
        const int i = open(in.c_str(), O_RDONLY);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || e < 0) _exit(126);
        dup2(i, 0);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    CliResult r;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    r.out = slurp(out);
    r.err = slurp(err);
    std::error_code ec;
    fs::remove(in, ec);
    fs::remove(out, ec);
    fs::remove(err, ec);
    return r;
}

}  // namespace corvix::testing

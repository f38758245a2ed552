#include "vault/locations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace corvix::vault {

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool makePrivateFolders(const std::string& path, std::string* error) {
    if (path.empty() || isDirectory(path)) return true;
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 &&
        !makePrivateFolders(path.substr(0, slash), error))
        return false;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = "cannot create the folder " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string dataFolderPath() {
    if (std::string home = env("CORVIX_HOME"); !home.empty()) return home;
    std::string base = env("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid by the base-directory rules and is ignored.
    if (base.empty() || base[0] != '/') base = env("HOME") + "/.local/share";
    return base + "/corvix";
}

bool enterDataFolder(std::string* folder, std::string* error) {
    *folder = dataFolderPath();
    if (!makePrivateFolders(*folder, error)) return false;
    if (chdir(folder->c_str()) != 0) {
        *error = "cannot use the folder " + *folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string crashMarkFile() {
    if (env("CORVIX_HOME").empty()) return {};
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/win.ini" : std::string();
}

std::string programDirectory() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string sharedDataDirectory() {
    const std::string dir = programDirectory();
    if (isFile(dir + "/CVWRD.TPS")) return dir;  // the build tree
    const std::string installed = dir + "/../share/corvix";
    return isFile(installed + "/CVWRD.TPS") ? installed : dir;
}

std::string manualDirectory() {
    const std::string dir = programDirectory() + "/../share/doc/corvix/manual";
    return isFile(dir + "/index.html") ? dir : std::string();
}

}  // namespace corvix::vault

// The start-up check of programs that run from a local copy of a network directory: when a
// server file is missing locally or differs in size or date, the updater is started with
// both directories and the program ends so that its files can be replaced.
#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "libs/ferrule/ferrule.h"
#include "libs/ferrule/messages.h"
#include "libs/ferrule/settings.h"
#include "platform/storage/errors.h"
#include "runtime/date.h"
#include "runtime/ini_file.h"
#include "runtime/picture.h"

extern char** environ;

namespace corvix::ferrule {
namespace {

struct DirEntry {
    std::string name;  // upper case
    int32_t date = 0;  // standard date
    int32_t time = 0;  // hundredths of a second
    int64_t size = 0;
    int attrib = 0;  // 1 read-only, 2 hidden
};

constexpr const char* kUpdater = "Mirrane";
const char* const kUpdaterFailed =
    "The application on the server has been upgraded. However a program required to upgraded "
    "this workstation, Mirrane.Exe, could not run. Although this application can carry on "
    "running, it is recommended that you contact your supplier. The error code returned by "
    "Mirrane was :";

// Every file of the directory, hidden and read-only ones included, in listing order.
std::vector<DirEntry> listDirectory(const std::string& dir) {
    std::vector<DirEntry> out;
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        struct stat st;
        if (stat((dir + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        struct tm local;
        time_t mtime = st.st_mtime;
        localtime_r(&mtime, &local);
        DirEntry entry;
        entry.name = upper(name);
        entry.date = runtime::standardDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        entry.time = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 100;
        entry.size = int64_t(st.st_size);
        entry.attrib = ((st.st_mode & S_IWUSR) ? 0 : 1) | (name[0] == '.' ? 2 : 0);
        out.push_back(std::move(entry));
    }
    closedir(d);
    return out;
}

std::string logValue(const DirEntry& e) {
    return e.name + " " + std::to_string(e.size) + " " + std::to_string(e.date) + " " +
           std::to_string(e.time);
}

std::string detail(const DirEntry& e) {
    return e.name + " " + runtime::formatPicture(e.date, "@d6") + " " +
           runtime::formatPicture(e.time, "@t4") + " " + std::to_string(e.size) + " " +
           std::to_string(e.attrib);
}

// The updater beside the program, else in the current directory, else on the PATH.
std::string updaterPath() {
    for (const std::string& dir : {programDirectory(), std::string("./")}) {
        std::string path = dir + kUpdater;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return kUpdater;
}

// Starts the updater without waiting for it; 0 or the error number.
int startUpdater(const std::string& net, const std::string& local) {
    std::string path = updaterPath();
    std::vector<std::string> args = {kUpdater, clip(net), clip(local), clip(programPath()),
                                     firstArgument()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    int err = posix_spawnp(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    return err;
}

}  // namespace
}  // namespace corvix::ferrule

using namespace corvix::ferrule;

void fu_SyncDir(std::string localDir, std::string networkDir) {
    localDir = clip(localDir);
    networkDir = clip(networkDir);
    if (localDir.empty() || networkDir.empty()) return;
    localDir = withSlash(localDir);
    networkDir = withSlash(networkDir);
    if (localDir == networkDir) return;

    auto net = listDirectory(networkDir);
    auto local = listDirectory(localDir);
    corvix::runtime::IniFile log("Mirrane.Log");
    log.removeSection("Program Local Q");
    log.removeSection("Program Net Q");
    for (size_t i = 0; i < local.size(); ++i)
        log.write("Program Local Q", std::to_string(i + 1), logValue(local[i]));
    auto byName = [](const auto& a, const auto& b) { return a.name < b.name; };
    std::sort(net.begin(), net.end(), byName);
    std::sort(local.begin(), local.end(), byName);

    for (size_t i = 0; i < net.size(); ++i) {
        const auto& n = net[i];
        log.write("Program Net Q", std::to_string(i + 1), logValue(n));
        auto l = std::lower_bound(local.begin(), local.end(), n, byName);
        bool missing = l == local.end() || l->name != n.name;
        // Only size and date count: copying a file changes its time of day.
        if (!missing && l->size == n.size && l->date == n.date) continue;
        if (hasSwitch("/LogMirrane")) {
            corvix::runtime::IniFile details("mirrane.ini");
            DirEntry none;
            details.write("LogMirrane", std::to_string(i + 1),
                          "local queue " + detail(missing ? none : *l) + " | network queue " +
                              detail(n) + " Error = " + corvix::storage::lastError().text);
        }
        int err = startUpdater(networkDir, localDir);
        if (err == 0) {
            endApplication(0);
            return;
        }
        if (hasSwitch("/NotQuiet"))
            messages().show("Error", std::string(kUpdaterFailed) + std::to_string(err) + " " +
                                         std::strerror(err));
    }
}

void fu_UpgradeLocalMachine(std::string iniFile, std::string section) {
    iniFile = clip(iniFile);
    if (upper(iniFile).find(".INI") == std::string::npos) iniFile += ".ini";
    corvix::runtime::IniFile ini(iniFile);
    std::string net = clip(ini.read(clip(section), "netpath"));
    std::string local = clip(ini.read(clip(section), "localpath"));
    if (!net.empty() && !local.empty() && net != local) {
        fu_SyncDir(local, net);
    } else if (hasSwitch("/DebugMirrane")) {
        stopMessage("Netpath = " + net + " Localpath = " + local + " hence nothing to do.");
    }
}

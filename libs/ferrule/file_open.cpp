// Opening a host file through the library: the open is marked in the default INI file
// and in memory (so a crash during it leaves the file's name behind), and a file whose
// structure on disk differs is upgraded and opened again.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "libs/ferrule/engine.h"
#include "libs/ferrule/ferrule.h"
#include "libs/ferrule/messages.h"
#include "libs/ferrule/settings.h"
#include "libs/ferrule/state.h"
#include "libs/ferrule/swap.h"
#include "runtime/ini_file.h"

namespace corvix::ferrule {
namespace {

std::string& defaultIniOverride() {
    static std::string path;
    return path;
}

std::string defaultIniFile() {
    if (!defaultIniOverride().empty()) return defaultIniOverride();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string dir = config && *config ? config : "";
    if (dir.empty()) {
        const char* home = std::getenv("HOME");
        dir = std::string(home ? home : ".") + "/.config";
    }
    return dir + "/corvix/win.ini";
}

// The folders of the default INI file are made on first use, private to the user.
void makeFoldersOf(const std::string& file) {
    for (size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1))
        ::mkdir(file.substr(0, slash).c_str(), 0700);
}

// The file being opened, for a crash report (fileBeingOpened); cut to a buffer's size. A
// name is written into a buffer no reader has been given and handed out only once it is
// whole, so another thread (or a handler of a fatal signal) never reads it half written.
// The buffers take turns: a reader holding the last name still finds it while the next
// open writes its own.
constexpr size_t kNameBuffers = 4;
char gNames[kNameBuffers][1024];
std::atomic<unsigned> gNextBuffer{0};
std::atomic<const char*> gBeingOpened{""};

void noteBeingOpened(const std::string& name) {
    if (name.empty()) {
        gBeingOpened.store("", std::memory_order_release);
        return;
    }
    char* buffer = gNames[gNextBuffer.fetch_add(1, std::memory_order_relaxed) % kNameBuffers];
    const size_t n = std::min(name.size(), sizeof gNames[0] - 1);
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    gBeingOpened.store(buffer, std::memory_order_release);
}

void markBadFile(const std::string& name) {
    const std::string path = defaultIniFile();
    if (::access(path.c_str(), F_OK) != 0) makeFoldersOf(path);
    runtime::IniFile ini(path);
    ini.write(fu_AppName(), "BadFile", name);
}

// The physical file of a name ("Corvix\!Passwords" is in "Corvix"), with the working
// directory when the name is relative: the same name elsewhere is another file.
std::string openedKey(const std::string& name) {
    const std::string file = name.substr(0, name.find("\\!"));
    if (!file.empty() && file.front() == '/') return file;
    char cwd[4096];
    return std::string(::getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + file;
}

// The mark in the INI file costs a rewrite of it before and after the open, and a command
// opens several tables of one file one after the other. The first open of a physical file
// in this process is marked there; once it has opened fine, the file's key, header and
// schema have been read through the connection its other tables share, so their opens
// here are not marked there again. An open that follows an upgrade is always marked
// (`always`). The mark in memory costs nothing and names every open.
template <typename Open>
int markedOpen(const std::string& name, Open open, bool always = false) {
    const std::string key = openedKey(name);
    auto& opened = state().openedFiles;
    const bool inIni = state().badFileInIni && (always || opened.count(key) == 0);
    noteBeingOpened(name);
    if (inIni) markBadFile(name);
    int err = open();
    if (inIni) markBadFile("");
    noteBeingOpened("");
    if (err == 0) opened.insert(key);
    return err;
}

bool needsUpgrade(int err) {
    return err == storage::kFileNotFound || err == storage::kRecordMismatch ||
           err == storage::kKeyLengthMismatch;
}

// The driver's code for a damaged file ("database disk image is malformed").
constexpr int kDriverCorrupt = 11;

// What is left after the open: a damaged file ends the program, anything else (a wrong
// key, a file another process holds) goes to the caller, who reports it.
void afterOpen(int err, const std::string& name) {
    if (err == storage::kDriverError &&
        (storage::lastError().driverCode & 0xFF) == kDriverCorrupt) {
        haltMessage(messageText(19) + " Name : " + name);
    } else if (err != 0) {
        debugMessage("This caused an error : " + std::to_string(err) + " " +
                     storage::errorText(err));
    }
}

}  // namespace

void setDefaultIniFile(std::string path) {
    defaultIniOverride() = std::move(path);
}

void setBadFileInIniFile(bool on) {
    state().badFileInIni = on;
}

const char* fileBeingOpened() {
    return gBeingOpened.load(std::memory_order_acquire);
}

}  // namespace corvix::ferrule

using namespace corvix::ferrule;

int fu_FileOpen(corvix::storage::Table& file, int32_t mode) {
    const std::string name = file.name();
    debugMessage("About to open file : " + name);
    recoverInterruptedUpgrade(name, file.owner());
    int err = markedOpen(name, [&] { return file.open(mode); });
    if (needsUpgrade(err)) {
        debugMessage("About to upgrade file : reason " + corvix::storage::errorText(err) + " " +
                     std::to_string(err));
        fu_UpGradeFile(file);
        debugMessage("Finshed upgrade file");
        err = markedOpen(
            name, [&] { return file.open(mode); }, true);
    }
    afterOpen(err, name);
    return err;
}

// A raw file carries no declaration, so there is no structure to upgrade: it is opened
// with the same marking and the same handling of its result.
int fu_FileOpen(corvix::storage::RawFile& file, int32_t mode) {
    const std::string name = file.name();
    debugMessage("About to open file : " + name);
    int err = markedOpen(name, [&] { return file.open(mode); });
    afterOpen(err, name);
    return err;
}

#include "libs/ferrule/settings.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

#include "libs/ferrule/ferrule.h"
#include "libs/ferrule/state.h"
#include "runtime/ini_file.h"
#include "runtime/qt_services.h"

namespace corvix::ferrule {
namespace {

std::optional<std::vector<std::string>>& storedCommandLine() {
    static std::optional<std::vector<std::string>> args;
    return args;
}

std::vector<std::string> readProcCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::string current;
    for (char c : all) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) args.push_back(current);
    return args;
}

}  // namespace

const std::vector<std::string>& commandLine() {
    auto& args = storedCommandLine();
    if (!args) args = readProcCommandLine();
    return *args;
}

void setCommandLine(std::vector<std::string> args) {
    storedCommandLine() = std::move(args);
}
void resetCommandLine() {
    storedCommandLine().reset();
}

bool hasSwitch(std::string_view sw) {
    std::string line;
    for (const auto& a : commandLine()) line += a + " ";
    return upper(line).find(upper(sw)) != std::string::npos;
}

std::string programPath() {
    const auto& args = commandLine();
    std::string path = args.empty() ? std::string() : args.front();
    if (path.find('/') == std::string::npos) {
        // Started through PATH: the command line holds no directory, the kernel knows it.
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n > 0) path = std::string(buf, size_t(n));
    }
    return path;
}

std::string programDirectory() {
    std::string path = programPath();
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string firstArgument() {
    const auto& args = commandLine();
    return args.size() > 1 ? clip(args[1]) : std::string();
}

std::string settingsFile() {
    return programDirectory() + "FRL.Ini";
}

std::string readSetting(std::string_view section, std::string_view key, std::string_view fallback) {
    runtime::IniFile ini(settingsFile());
    return ini.read(section, key, fallback);
}

void refreshSilent() {
    if (hasSwitch("/FRLSILENT") || upper(clip(readSetting("Command", "Silent"))) == "TRUE")
        state().silent = true;
}

std::string upper(std::string_view text) {
    // Names and switches are nearly always plain ASCII: Unicode's rules only beyond it.
    if (std::any_of(text.begin(), text.end(), [](char c) { return c & 0x80; }))
        return corvix::runtime::qtServices().upper(text);
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string clip(std::string_view text) {
    auto end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return upper(a) == upper(b);
}

std::string withSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace corvix::ferrule

void fu_SetCommandLine(std::vector<std::string> args) {
    corvix::ferrule::setCommandLine(std::move(args));
}

std::string fu_AppName() {
    using namespace corvix::ferrule;
    auto& s = state();
    if (s.appName.empty()) {
        std::string path = programPath();
        auto slash = path.rfind('/');
        s.appName = slash == std::string::npos ? path : path.substr(slash + 1);
        if (s.appName.size() > 100) s.appName.resize(100);
    }
    return s.appName;
}

// corvix-cli autostart on|off: starts Corvix with the desktop session (hidden in the tray,
// as the program starts when its vault is set up), through the freedesktop autostart folder.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "cli/command.h"
#include "vault/locations.h"

namespace corvix::cli {
namespace {

std::string autostartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base =
        config && config[0] == '/' ? config : std::string(home ? home : "") + "/.config";
    return base + "/autostart";
}

// The desktop entry's Exec value: the program beside this CLI, quoted for the entry.
std::string execLine() {
    std::string path = vault::programDirectory() + "/corvix";
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

int runAutostart(const std::vector<std::string>& args) {
    if (args.size() != 1 || (args[0] != "on" && args[0] != "off"))
        return usageError("autostart", "autostart takes on or off");
    const std::string folder = autostartFolder();
    const std::string entry = folder + "/corvix.desktop";
    if (args[0] == "off") {
        if (std::remove(entry.c_str()) != 0 && errno != ENOENT) {
            std::fprintf(stderr, "corvix-cli: cannot remove %s: %s\n", entry.c_str(),
                         std::strerror(errno));
            return kExitError;
        }
        std::printf("Corvix no longer starts with the session.\n");
        return kExitOk;
    }
    if (std::string error; !vault::makePrivateFolders(folder, &error)) {
        std::fprintf(stderr, "corvix-cli: %s\n", error.c_str());
        return kExitError;
    }
    std::ofstream out(entry, std::ios::trunc);
    out << "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Corvix\n"
           "Comment=Password vault in the tray\n"
           "Exec="
        << execLine()
        << "\n"
           "Icon=corvix\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "corvix-cli: cannot write %s\n", entry.c_str());
        return kExitError;
    }
    std::printf("Corvix starts with the session (%s).\n", entry.c_str());
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kAutostart, "autostart", "autostart on|off",
                   "start Corvix (in the tray) with the desktop session, or stop doing so",
                   runAutostart);

}  // namespace corvix::cli

// corvix: the program. Everything after the command line and the data folder is in
// runCorvix, so that tests can run it too.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/program.h"
#include "corvix_version.h"
#include "libs/ferrule/ferrule.h"
#include "vault/locations.h"

namespace {

constexpr const char* kUsage =
    "usage: corvix [--version] [--help]\n"
    "\n"
    "Corvix keeps password accounts in an encrypted vault, lives in the tray and types an\n"
    "account's details into another program's window (Super+S restores it).\n"
    "\n"
    "Its data folder is $CORVIX_HOME when set, else $XDG_DATA_HOME/corvix\n"
    "(~/.local/share/corvix). A second start for the same folder restores the running one.\n"
    "See also corvix-cli --help.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("corvix %s (%s)\n", CORVIX_VERSION, CORVIX_COMMIT);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    std::string folder, error;
    if (!corvix::vault::enterDataFolder(&folder, &error)) {
        std::fprintf(stderr, "corvix: %s\n", error.c_str());
        return 1;
    }
    if (const std::string mark = corvix::vault::crashMarkFile(); !mark.empty())
        corvix::ferrule::setDefaultIniFile(mark);
    return corvix::app::runCorvix(argc, argv);
}

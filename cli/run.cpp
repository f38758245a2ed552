// The command-line front end: checks the arguments and runs the command they name, in the
// data folder like the program. Commands come from the cmd_*.cpp files of this folder,
// registered through command.h; the corvix-cli program (start/main.cpp) loads this.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/crash_report.h"
#include "cli/entry.h"
#include "corvix_version.h"
#include "runtime/utf8.h"
#include "vault/locations.h"

namespace {

void printUsage(std::FILE* out) {
    std::fputs("usage: corvix-cli <command> [options]\n", out);
    std::fputs(
        "Works in the data folder: $CORVIX_HOME when set, else $XDG_DATA_HOME/corvix\n"
        "(~/.local/share/corvix).\n",
        out);
    std::fputs("  --version    print the version\n", out);
    for (const auto& c : corvix::cli::commands())
        std::fprintf(out, "  %s\n      %s\n", c.usage.c_str(), c.summary.c_str());
}

}  // namespace

// The program (start/main.cpp) has already kept core files and ptrace away.
extern "C" __attribute__((visibility("default"))) int corvix_cli_run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Text is UTF-8 throughout: bytes that are not are refused here, never stored.
    for (size_t i = 0; i < args.size(); ++i) {
        if (!corvix::runtime::isValidUtf8(args[i])) {
            std::fprintf(stderr, "corvix-cli: argument %zu is not valid UTF-8 text\n", i + 1);
            return corvix::cli::kExitUsage;
        }
    }
    if (args.empty()) {
        printUsage(stderr);
        return corvix::cli::kExitUsage;
    }
    if (args[0] == "--version") {
        std::printf("corvix-cli %s (%s)\n", CORVIX_VERSION, CORVIX_COMMIT);
        return corvix::cli::kExitOk;
    }
    if (args[0] == "--help" || args[0] == "help") {
        printUsage(stdout);
        return corvix::cli::kExitOk;
    }
    // Every command works in the data folder, whatever the working directory.
    std::string folder, error;
    corvix::cli::rememberStartDirectory();
    if (!corvix::vault::enterDataFolder(&folder, &error)) {
        std::fprintf(stderr, "corvix-cli: %s\n", error.c_str());
        return corvix::cli::kExitError;
    }
    corvix::cli::reportCrashesDuringOpens();
    size_t used = 0;
    const corvix::cli::Command* command = corvix::cli::findCommand(args, &used);
    if (!command) {
        // A group word alone ("categories") or with an unknown second word: show the
        // group's commands only.
        bool group = false;
        for (const auto& c : corvix::cli::commands())
            if (c.words.rfind(args[0] + " ", 0) == 0) {
                if (!group)
                    std::fprintf(stderr, "corvix-cli: \"%s\" needs one of:\n", args[0].c_str());
                group = true;
                std::fprintf(stderr, "  corvix-cli %s\n", c.usage.c_str());
            }
        if (!group) {
            std::fprintf(stderr, "corvix-cli: unknown command \"%s\"\n", args[0].c_str());
            printUsage(stderr);
        }
        return corvix::cli::kExitUsage;
    }
    return command->run(std::vector<std::string>(args.begin() + used, args.end()));
}

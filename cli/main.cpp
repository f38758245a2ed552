// corvix-cli: the command-line front end.
#include <cstdio>
#include <cstring>

namespace {
const char kUsage[] =
    "usage: corvix-cli <command> [options]\n"
    "  --version    print the version\n";
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("corvix-cli 1.03\n");
        return 0;
    }
    std::fputs(kUsage, argc >= 2 ? stderr : stdout);
    return argc >= 2 ? 2 : 0;
}

// corvix-cli: the program itself is small and links no library of the project, so that
// printing the version starts in a few milliseconds. Every command is in libcorvix_cli.so
// (with Qt Core, SQLCipher and the vault), loaded from beside the program in the build
// tree and from lib/corvix when installed.
#include <dlfcn.h>
#include <limits.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "cli/entry.h"
#include "corvix_version.h"

namespace {

// The commands' library: bin/../lib/corvix when installed, else beside the program.
// False when the program's own path cannot be read.
bool libraryPath(char* out, size_t size) {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    exe[n] = '\0';
    char* slash = std::strrchr(exe, '/');
    if (!slash) return false;
    *slash = '\0';
    using corvix::cli::kCliLibrary;
    int len = std::snprintf(out, size, "%s/../lib/corvix/%s", exe, kCliLibrary);
    if (len > 0 && static_cast<size_t>(len) < size && access(out, R_OK) == 0) return true;
    len = std::snprintf(out, size, "%s/%s", exe, kCliLibrary);
    return len > 0 && static_cast<size_t>(len) < size;
}

}  // namespace

int main(int argc, char** argv) {
    // Secrets are held in memory: never let them reach a core file.
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    // Nor to another process of the same user reading this one's memory (ptrace).
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("corvix-cli %s (%s)\n", CORVIX_VERSION, CORVIX_COMMIT);
        return 0;
    }
    char path[PATH_MAX];
    if (!libraryPath(path, sizeof path)) {
        std::fprintf(stderr, "corvix-cli: cannot find the program's own folder\n");
        return 1;
    }
    // Global, as the libraries of a program are; kept loaded until the process ends.
    void* library = dlopen(path, RTLD_LAZY | RTLD_GLOBAL);
    if (!library) {
        std::fprintf(stderr, "corvix-cli: cannot load the commands: %s\n", dlerror());
        return 1;
    }
    auto* run =
        reinterpret_cast<corvix::cli::CliEntry*>(dlsym(library, corvix::cli::kCliEntrySymbol));
    if (!run) {
        std::fprintf(stderr, "corvix-cli: %s has no entry point\n", path);
        return 1;
    }
    return run(argc, argv);
}

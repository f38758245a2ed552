#include "cli/plugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include "vault/locations.h"

namespace corvix::cli {

void* pluginEntry(const char* name, const char* symbol, std::string* error) {
    // Beside the program in the build tree; in lib/corvix when installed (bin/../lib/corvix).
    const std::string dir = vault::programDirectory();
    std::string path = dir + "/../lib/corvix/" + name;
    if (access(path.c_str(), R_OK) != 0) path = dir + "/" + name;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) *error = dlerror();
        return nullptr;
    }
    void* entry = dlsym(handle, symbol);
    if (!entry && error) *error = path + " has no entry point " + symbol;
    return entry;
}

}  // namespace corvix::cli

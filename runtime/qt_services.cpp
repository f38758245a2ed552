#include "runtime/qt_services.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace corvix::runtime {
namespace {

const QtServices* load() {
    // Beside this library: build/bin in the build tree, lib/corvix when installed.
    std::string path = kQtServicesLibrary;
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&qtServices), &self) != 0 && self.dli_fname) {
        const std::string library = self.dli_fname;
        const size_t slash = library.rfind('/');
        if (slash != std::string::npos) path = library.substr(0, slash + 1) + kQtServicesLibrary;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto* entry =
        handle ? reinterpret_cast<QtServicesEntry*>(dlsym(handle, kQtServicesSymbol)) : nullptr;
    const QtServices* services = entry ? entry() : nullptr;
    if (!services) {
        std::fprintf(stderr, "corvix: cannot load %s: %s\n", path.c_str(),
                     handle ? "it has no entry point" : dlerror());
        std::abort();
    }
    return services;
}

}  // namespace

const QtServices& qtServices() {
    static const QtServices* services = load();
    return *services;
}

}  // namespace corvix::runtime

// What the libFuzzer targets share: a check that stops the run with a finding, a splitter
// for inputs that carry several parts, and a private scratch folder for the parsers that
// read files (each target writes its input there and opens it by name).
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvix::fuzz {

// A broken promise of the code under test: reported like a crash, with the reason.
#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "finding: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

inline std::string_view bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Takes the text up to the first `separator` off the front of `rest` (all of it when
// there is none); the separator itself is dropped.
inline std::string_view takePart(std::string_view& rest, char separator = '\0') {
    size_t at = rest.find(separator);
    std::string_view part = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
    return part;
}

// A folder of this process's own under the temporary folder, made at the first call.
inline const std::string& scratchDir() {
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string t = std::string(base && *base ? base : "/tmp") + "/corvix-fuzz-XXXXXX";
        if (!::mkdtemp(t.data())) std::abort();
        return t;
    }();
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code ignored;
                                          std::filesystem::remove_all(scratchDir(), ignored);
                                      }) == 0;
    (void)removedAtExit;
    return dir;
}

inline void writeFile(const std::string& path, std::string_view content) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!content.empty() && std::fwrite(content.data(), 1, content.size(), f) != content.size())
        std::abort();
    std::fclose(f);
}

// Writes the bytes to `name` inside the scratch folder and returns its path.
inline std::string writeScratch(const std::string& name, std::string_view content) {
    std::string path = scratchDir() + "/" + name;
    writeFile(path, content);
    return path;
}

// Targets whose seeds are made by the code under test write them when run with
// CORVIX_FUZZ_WRITE_SEEDS=DIR (from LLVMFuzzerInitialize) and end: this calls write(DIR)
// and exits in that case, and returns otherwise.
template <typename Write>
void writeSeedsIfAsked(Write write) {
    const char* dir = std::getenv("CORVIX_FUZZ_WRITE_SEEDS");
    if (!dir) return;
    write(std::string(dir));
    std::exit(0);
}

}  // namespace corvix::fuzz

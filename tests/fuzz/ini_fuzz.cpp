// libFuzzer target: INI files as people edit them, in any state. Whatever the file holds,
// writing one value keeps every other readable value as it was, and the value reads back
// the same from memory and from the file written.
#include <strings.h>

#include <map>
#include <utility>

#include "runtime/ini_file.h"
#include "tests/fuzz/fuzz_support.h"

using namespace corvix::fuzz;
using corvix::runtime::IniFile;

namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

// Every value a reader finds, by the names sections() and keys() report.
Values readable(const IniFile& ini) {
    Values out;
    for (const std::string& section : ini.sections())
        for (const std::string& key : ini.keys(section))
            out.emplace(std::make_pair(section, key), ini.read(section, key));
    return out;
}

std::string trimmed(std::string_view s) {
    const char* blanks = " \t\r";
    size_t b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos) return {};
    return std::string(s.substr(b, s.find_last_not_of(blanks) - b + 1));
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first line is a value to write; the rest is the file as found.
    std::string_view rest = bytes(data, size);
    const std::string value(takePart(rest, '\n'));
    const std::string path = writeScratch("corvix.INI", rest);

    IniFile ini(path);
    const Values before = readable(ini);
    FUZZ_CHECK(ini.write("Corvix", "Probe", value));
    FUZZ_CHECK(ini.read("Corvix", "Probe") == trimmed(value));

    IniFile again(path);
    FUZZ_CHECK(again.read("Corvix", "Probe", "(missing)") == trimmed(value));
    for (const auto& [name, was] : before) {
        if (sameName(name.first, "Corvix") && sameName(name.second, "Probe")) continue;
        FUZZ_CHECK(again.read(name.first, name.second, "(missing)") == was);
    }
    return 0;
}

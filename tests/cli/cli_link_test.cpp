// corvix-cli starts in milliseconds because it loads no window system: neither it, its
// commands' library, nor any of the project's own libraries they need may list a GUI
// library as NEEDED.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace {

namespace fs = std::filesystem;

// The DT_NEEDED names of a 64-bit ELF file, read from its dynamic section. An empty
// list with *ok false when the file is not one.
std::vector<std::string> neededLibraries(const std::string& path, bool* ok) {
    *ok = false;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < sizeof(Elf64_Ehdr) || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0 ||
        bytes[EI_CLASS] != ELFCLASS64)
        return {};
    Elf64_Ehdr eh;
    std::memcpy(&eh, bytes.data(), sizeof eh);
    auto section = [&](size_t i) {
        Elf64_Shdr sh{};
        const size_t at = eh.e_shoff + i * eh.e_shentsize;
        if (at + sizeof sh <= bytes.size()) std::memcpy(&sh, bytes.data() + at, sizeof sh);
        return sh;
    };
    std::vector<std::string> out;
    for (size_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr dyn = section(i);
        if (dyn.sh_type != SHT_DYNAMIC) continue;
        const Elf64_Shdr strings = section(dyn.sh_link);  // .dynstr
        for (size_t at = dyn.sh_offset; at + sizeof(Elf64_Dyn) <= dyn.sh_offset + dyn.sh_size;
             at += sizeof(Elf64_Dyn)) {
            Elf64_Dyn d;
            std::memcpy(&d, bytes.data() + at, sizeof d);
            if (d.d_tag == DT_NULL) break;
            if (d.d_tag == DT_NEEDED && strings.sh_offset + d.d_un.d_val < bytes.size())
                out.emplace_back(bytes.data() + strings.sh_offset + d.d_un.d_val);
        }
        *ok = true;
    }
    return out;
}

bool isWindowSystemLibrary(const std::string& name) {
    for (const char* gui : {"libQt6Gui", "libQt6Widgets", "libQt6PrintSupport", "libQt6OpenGL",
                            "libQt6Svg", "libGL", "libEGL", "libOpenGL", "libGLX", "libxcb",
                            "libxkbcommon-x11", "libQt6XcbQpa", "libfontconfig", "libfreetype"})
        if (name.rfind(gui, 0) == 0) return true;
    return false;
}

TEST(CliLink, NeitherTheCliNorItsOwnLibrariesNeedAWindowSystem) {
    const fs::path cli = corvix::testing::CliRunner::program();
    // The program itself answers --version: it needs no library of the project, nor Qt.
    bool programOk = false;
    for (const std::string& name : neededLibraries(cli.string(), &programOk)) {
        EXPECT_EQ(name.rfind("libQt6", 0), std::string::npos) << "corvix-cli needs " << name;
        EXPECT_FALSE(fs::exists(cli.parent_path() / name)) << "corvix-cli needs " << name;
    }
    EXPECT_TRUE(programOk);
    // The commands' library it loads and every library of the project that reaches
    // ($ORIGIN: beside it).
    std::vector<fs::path> todo{cli.parent_path() / "libcorvix_cli.so"};
    std::set<std::string> seen, needed;
    while (!todo.empty()) {
        const fs::path file = todo.back();
        todo.pop_back();
        bool ok = false;
        const std::vector<std::string> names = neededLibraries(file.string(), &ok);
        ASSERT_TRUE(ok) << file << " is not a 64-bit ELF file with a dynamic section";
        for (const std::string& name : names) {
            needed.insert(name);
            const fs::path own = cli.parent_path() / name;
            if (fs::exists(own) && seen.insert(name).second) todo.push_back(own);
        }
    }
    // The reading is real: the CLI needs SQLCipher through the storage library.
    EXPECT_TRUE(needed.count("libcorvix_storage.so")) << "read no NEEDED entries of the storage";
    EXPECT_TRUE(needed.count("libsqlcipher.so.0"));
    for (const std::string& name : needed) {
        EXPECT_FALSE(isWindowSystemLibrary(name)) << "corvix-cli needs " << name;
        // The X11 libraries are loaded by send and watch only, from their plugin.
        for (const char* x11 : {"libX11", "libXtst", "libxkbcommon"})
            EXPECT_NE(name.rfind(x11, 0), 0u) << "every command loads " << name;
    }
    // Nor Qt Core: the runtime loads it (libcorvix_runtime_qt.so) only when asked for
    // Unicode case, grapheme or locale rules.
    EXPECT_FALSE(needed.count("libQt6Core.so.6")) << "every command loads Qt Core";
    bool qtOk = false;
    const std::vector<std::string> qt =
        neededLibraries((cli.parent_path() / "libcorvix_runtime_qt.so").string(), &qtOk);
    EXPECT_TRUE(qtOk);
    EXPECT_NE(std::find(qt.begin(), qt.end(), "libQt6Core.so.6"), qt.end());
    bool pluginOk = false;
    const std::vector<std::string> plugin =
        neededLibraries((cli.parent_path() / "libcorvix_cli_x11.so").string(), &pluginOk);
    EXPECT_TRUE(pluginOk);
    EXPECT_NE(std::find(plugin.begin(), plugin.end(), "libX11.so.6"), plugin.end());
}

}  // namespace

// What the dynamic sections promise holds while a command runs: reading an account loads
// SQLCipher but neither Qt Core nor the X11 libraries (the loader's own record of it).
TEST(CliLink, ShowingAnAccountLoadsNeitherQtNorX11) {
    corvix::testing::CliRunner cli;
    ASSERT_EQ(cli.run({"init", "--master-password-stdin"}, "\n").exitCode, 0);
    const corvix::testing::CliResult add = cli.run({"add", "--description", "plain bank"});
    ASSERT_EQ(add.exitCode, 0) << add.err;
    setenv("LD_DEBUG", "libs", 1);
    const corvix::testing::CliResult show = cli.run({"show", "1"});
    unsetenv("LD_DEBUG");
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_NE(show.out.find("plain bank"), std::string::npos) << show.out;
    EXPECT_NE(show.err.find("libsqlcipher"), std::string::npos) << "no loader record read";
    EXPECT_EQ(show.err.find("libQt6Core"), std::string::npos) << "show loads Qt Core";
    EXPECT_EQ(show.err.find("libX11"), std::string::npos) << "show loads X11";
}

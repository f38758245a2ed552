// bench_vault [word list]: times the vault's start-up work and prints the figures.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vault/prime.h"
#include "vault/startup_checks.h"
#include "vault/words.h"

namespace fs = std::filesystem;
using namespace corvix;

namespace {
double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}
}  // namespace

int main(int argc, char** argv) {
    const std::string list = argc > 1 ? argv[1] : "/usr/share/dict/american-english";
    std::vector<std::string> words;
    std::ifstream in(list);
    for (std::string w; std::getline(in, w);) words.push_back(w);
    if (words.empty()) {
        std::fprintf(stderr, "bench_vault: no words in %s\n", list.c_str());
        return 1;
    }
    std::string pattern = (fs::temp_directory_path() / "corvix-bench-XXXXXX").string();
    const fs::path root = mkdtemp(pattern.data());
    fs::create_directories(root / "shipped");
    fs::create_directories(root / "work");

    fs::current_path(root / "shipped");
    auto t = std::chrono::steady_clock::now();
    size_t written = 0;
    if (vault::writeWordDatabase("CVWRD", words, &written) != 0) return 1;
    std::printf("write word database: %zu words in %.3f s\n", written, seconds(t));

    fs::current_path(root / "work");
    vault::StartupState state;
    {
        vault::VaultTables tables;
        t = std::chrono::steady_clock::now();
        vault::runStartupChecks(tables, (root / "shipped").string(), 82000, state);
        std::printf("first start (copy + number %d words): %.3f s\n", state.renumberedWords,
                    seconds(t));
        tables.closeAll();
    }
    {
        vault::VaultTables tables;
        t = std::chrono::steady_clock::now();
        vault::runStartupChecks(tables, (root / "shipped").string(), 82000, state);
        std::printf("later start: %.3f s\n", seconds(t));

        vault::openTable(tables.cat);
        vault::CatBuffer c;
        for (const char* name : {"Personal", "Work", "Banking", "Shopping"}) {
            c->Category = name;
            tables.cat.add(c);
        }
        t = std::chrono::steady_clock::now();
        vault::PasBuffer r;
        storage::Transaction tx;
        tx.begin({&tables.pas}, 10);
        for (int i = 0; i < 5000; ++i) {
            vault::primeCVPAS(r.record(), 82000);
            r->Category = i % 3 ? "Work" : "Personal";
            r->Description = "Account " + std::to_string(i * 7919 % 5000);
            vault::insertNumbered(tables.pas, r);
        }
        tx.commit();
        std::printf("insert 5000 numbered accounts: %.3f s\n", seconds(t));
        t = std::chrono::steady_clock::now();
        int n = 0;
        tables.pas.set(vault::pas::K_Category);
        while (tables.pas.next(r) == 0) ++n;
        std::printf("read %d accounts in category order: %.3f s\n", n, seconds(t));
        tables.closeAll();
    }
    fs::current_path("/");
    fs::remove_all(root);
    return 0;
}

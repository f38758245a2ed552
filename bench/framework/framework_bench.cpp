// Timed driver for the table managers (inserts are numbered and their category checked). Usage:
// bench_framework [accounts] (default 10000). Works in a scratch directory and prints one line per
// step with its time.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "framework/vault_managers.h"

using namespace corvix;
using framework::kLevelBenign;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void report(const char* step, int n, double s) {
    std::printf("%-44s %8d records %9.3f s %10.1f us/record\n", step, n, s, s * 1e6 / n);
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_framework [accounts]\n");
        return 2;
    }
    const auto dir =
        std::filesystem::temp_directory_path() / ("bench-framework-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    framework::StderrPrompt prompt;
    framework::setPrompt(&prompt);

    int rc = 0;
    {
        framework::VaultManagers m;
        m.catRelations.Open();
        m.catRecord->Category = "Old";
        m.cat.Insert();

        auto addAccount = [&](int i) {
            m.pasRecord.clear();
            m.pasRecord->Category = "Old";
            m.pasRecord->Description = "account " + std::to_string(i);
            return m.pas.Insert();
        };
        // Each insert on its own commits to disk; a few show that cost, the rest are
        // added inside one transaction as a bulk import would.
        const int single = n < 200 ? n : 200;
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < single && rc == 0; ++i) rc = addAccount(i);
        report("insert, each its own commit", single, seconds(t0));
        if (n > single && rc == 0) {
            t0 = std::chrono::steady_clock::now();
            storage::Transaction tx;
            rc = tx.begin({m.cat.Use(), m.pas.Use()}, 30);
            for (int i = single; i < n && rc == 0; ++i) rc = addAccount(i);
            if (rc == 0) rc = tx.commit();
            report("insert inside one transaction", n - single, seconds(t0));
        }

        t0 = std::chrono::steady_clock::now();
        int read = 0;
        m.pas.SetOrder(vault::pas::K_Category);
        while (m.pas.Next() == kLevelBenign) ++read;
        report("read in category order", read, seconds(t0));

        m.catRecord->Category = "Old";
        m.cat.TryFetch(vault::cat::K_Category);
        m.catRecord->Category = "New";
        t0 = std::chrono::steady_clock::now();
        if (rc == 0) rc = m.catRelations.Update();
        report("rename category, cascade in one transaction", n, seconds(t0));
        m.catRelations.Close();
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return rc == 0 ? 0 : 1;
}

// How long the accounts list takes to show its first page, page down, jump to the bottom
// and locate a typed prefix, over 10,000 and 100,000 accounts. The view reads a page at a
// time with keyset seeks, so the figures should not grow with the table.
//
//   bench_gui_browse [directory]   (default: a fresh folder under /tmp)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "framework/browse_view.h"
#include "platform/storage/table.h"
#include "vault/tables.h"
#include "vault/vault_key.h"

namespace {

using namespace corvix;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string randomWord(std::mt19937& rng) {
    std::uniform_int_distribution<int> letter(0, 25), length(4, 10);
    std::string w;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) w += static_cast<char>((i ? 'a' : 'A') + letter(rng));
    return w;
}

bool fill(int count) {
    storage::Table t(vault::CVPAS());
    t.setOwner(vault::BuildVaultKey());
    if (t.create() != 0 && !storage::tableExists(vault::CVPAS().name, vault::BuildVaultKey()))
        return false;
    if (t.open() != 0) return false;
    std::mt19937 rng(42);
    storage::Transaction tx;
    if (tx.begin({&t}, 10) != 0) return false;
    vault::PasBuffer b;
    for (int i = 1; i <= count; ++i) {
        b.clear();
        b->PAS_ID = i;
        b->Category = i % 3 ? "Personal" : "Business";
        b->Description = randomWord(rng) + " " + std::to_string(i);
        if (t.add(b) != 0) return false;
    }
    return tx.commit() == 0;
}

void measure(int count) {
    const auto fillStart = Clock::now();
    if (!fill(count)) {
        std::printf("could not build a table of %d accounts\n", count);
        return;
    }
    std::printf("%7d accounts (built in %.0f ms)\n", count, msSince(fillStart));
    framework::BrowseView view(vault::CVPAS());
    view.table().setOwner(vault::BuildVaultKey());
    view.setPageSize(20);
    auto t0 = Clock::now();
    view.open();
    view.setOrder(vault::pas::K_Description);
    view.first();
    const double open = msSince(t0);
    t0 = Clock::now();
    view.pageDown();
    const double pageDown = msSince(t0);
    t0 = Clock::now();
    view.last();
    const double bottom = msSince(t0);
    storage::Record key(vault::CVPAS());
    key.set(vault::pas::Description, std::string("MIX"));
    t0 = Clock::now();
    view.locate(key);
    const double locate = msSince(t0);
    std::printf(
        "  open to first page %7.2f ms\n  page down          %7.2f ms\n"
        "  jump to bottom     %7.2f ms\n  locate \"mix\"       %7.2f ms  (on %s)\n",
        open, pageDown, bottom, locate,
        view.current() ? view.current()->record.getString(vault::pas::Description).c_str() : "-");
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path base = argc > 1
                                           ? std::filesystem::path(argv[1])
                                           : std::filesystem::temp_directory_path() /
                                                 ("corvix-bench-gui-" + std::to_string(::getpid()));
    for (int count : {10000, 100000}) {
        const auto dir = base / std::to_string(count);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        measure(count);
    }
    std::filesystem::current_path(base);
    if (argc <= 1) std::filesystem::remove_all(base);
    std::printf("target: under 50 ms each, independent of the table's size\n");
    return 0;
}

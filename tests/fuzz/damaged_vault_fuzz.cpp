// libFuzzer target: a vault file whose pages are damaged (seeds: a small vault, plain and
// encrypted, that the mutations then bend). Opening it and reading every record in every
// order, counting, checking and writing either work or end in an error, never in a fault;
// a file the integrity check passes gives as many records by reading as by counting, and
// a file that does not open is left as it was.
//   CORVIX_FUZZ_WRITE_SEEDS=DIR damaged_vault_fuzz   writes the two seed vaults to DIR.
#include <cstdio>
#include <filesystem>

#include "platform/storage/integrity.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"
#include "tests/fuzz/fuzz_support.h"
#include "vault/tables.h"

using namespace corvix::fuzz;
namespace st = corvix::storage;
namespace va = corvix::vault;

namespace {

constexpr const char* kOwner = "fuzz owner";
constexpr int64_t kMostRecords = 5000;

st::TableDecl inScratch(const st::TableDecl& decl, const std::string& owner) {
    st::TableDecl d = decl;
    d.name = scratchDir() + "/Corvix\\!" + st::splitTableName(decl.name).table;
    d.owner = owner;
    return d;
}

void removeVault() {
    for (const char* end : {"", "-journal", "-wal", "-shm"})
        std::remove((scratchDir() + "/Corvix.TPS" + end).c_str());
}

void writeSeed(const std::string& owner, const std::string& to) {
    removeVault();
    const st::TableDecl cat = inScratch(va::CVCAT(), owner), pas = inScratch(va::CVPAS(), owner);
    st::Table c(cat), p(pas);
    if (c.create() || p.create() || c.open() || p.open()) std::abort();
    st::Record r(cat);
    for (const char* name : {"Web", "Ärzte", "Σχολή"}) {
        r.clear();
        r.set(va::cat::Category, std::string(name));
        if (c.add(r)) std::abort();
    }
    st::Record a(pas);
    for (int i = 1; i <= 12; ++i) {
        a.clear();
        a.set(va::pas::PAS_ID, int64_t(i));
        a.set(va::pas::Category, std::string(i % 2 ? "Web" : "Ärzte"));
        a.set(va::pas::Description, "Account " + std::to_string(i) + " 👩‍👩‍👧");
        a.set(va::pas::Name, std::string("user") + std::to_string(i));
        a.set(va::pas::Password, std::string("pw-") + std::to_string(i * 7919));
        a.set(va::pas::Notes, std::string(i * 20, 'n'));
        if (p.add(a)) std::abort();
    }
    c.close();
    p.close();
    std::filesystem::copy_file(scratchDir() + "/Corvix.TPS", to,
                               std::filesystem::copy_options::overwrite_existing);
}

// Everything a reader of the table does, then a write.
void readEverything(st::Table& t) {
    st::Record r(t.decl());
    int64_t physical = 0;
    int rc = t.set();
    while (rc == 0 && (rc = t.next(r)) == 0 && physical < kMostRecords) ++physical;
    const bool readAll = rc == st::kRecordNotAvailable;
    for (size_t k = 0; k < t.decl().keys.size(); ++k) {
        int64_t inOrder = 0;
        rc = t.set(static_cast<int>(k));
        while (rc == 0 && (rc = t.next(r)) == 0 && inOrder < kMostRecords) ++inOrder;
        rc = t.setLast(static_cast<int>(k));
        if (rc == 0) (void)t.previous(r);
    }
    const int64_t counted = t.records();
    std::string detail;
    if (readAll && counted >= 0 && st::checkIntegrity(t, &detail) == 0)
        FUZZ_CHECK(counted == physical);
    // Writing into the damaged file: done or refused.
    r.clear();
    r.set(0, int64_t(900001));
    if (t.add(r) == 0) (void)t.erase();
}

std::string contents(const std::string& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.append(buffer, n);
        std::fclose(f);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    writeSeedsIfAsked([](const std::string& dir) {
        writeSeed("", dir + "/plain-vault");
        writeSeed(kOwner, dir + "/encrypted-vault");
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    removeVault();
    const std::string path = writeScratch("Corvix.TPS", bytes(data, size));
    bool opened = false;
    for (const char* owner : {kOwner, ""}) {
        const st::TableDecl cat = inScratch(va::CVCAT(), owner),
                            pas = inScratch(va::CVPAS(), owner);
        st::Table c(cat), p(pas);
        const int rc = p.open();
        if (rc != 0) {
            FUZZ_CHECK(p.error().code == rc);
            continue;
        }
        opened = true;
        readEverything(p);
        if (c.open() == 0) readEverything(c);
        st::TableDecl stored;
        (void)st::readStoredDeclaration(pas.name, owner, stored);
        break;
    }
    // A file that opens under neither key is left exactly as it was.
    if (!opened) FUZZ_CHECK(contents(path) == bytes(data, size));
    return 0;
}

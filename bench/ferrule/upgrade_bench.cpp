// Upgrades a table of account-shaped records from version 1 to version 2 (one field
// added) and sets the time beside what the storage driver needs to copy the same table:
// once with the table alone in its file, once beside another table.
// Usage: bench_ferrule [records]   (default 100000)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "libs/ferrule/ferrule.h"
#include "platform/storage/table.h"

using namespace corvix;
using storage::FieldDecl;
using storage::FieldType;
using storage::TableDecl;

namespace {

FieldDecl field(const char* name, FieldType type, uint32_t size = 0, const char* pic = "") {
    FieldDecl f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.picture = pic;
    return f;
}

TableDecl accounts(bool withNewField) {
    TableDecl d;
    d.label = "CVPAS";
    d.prefix = "PAS";
    d.name = "Bench\\!Passwords";
    d.owner = "bench-owner-password";
    d.fields = {field("PAS:PAS_ID", FieldType::Long),
                field("PAS:Category", FieldType::String, 30),
                field("PAS:Description", FieldType::String, 60),
                field("PAS:Name", FieldType::String, 128),
                field("PAS:Password", FieldType::String, 128),
                field("PAS:URL", FieldType::String, 255),
                field("PAS:Custom1", FieldType::String, 128),
                field("PAS:Custom2", FieldType::String, 128),
                field("PAS:Custom3", FieldType::String, 128),
                field("PAS:LastChange", FieldType::Date, 0, "@d17"),
                field("PAS:Expires", FieldType::Date, 0, "@d17b"),
                field("PAS:ExpiryInterval", FieldType::Long),
                field("PAS:TargetWindow", FieldType::String, 128),
                field("PAS:Action", FieldType::String, 255),
                field("PAS:Watch", FieldType::Byte),
                field("PAS:Notes", FieldType::String, 4096, "@s255")};
    if (withNewField) d.fields.push_back(field("PAS:Added", FieldType::Long));
    auto key = [](const char* name, std::vector<int> comps, uint32_t flags) {
        storage::KeyDecl k;
        k.name = name;
        k.components = std::move(comps);
        k.flags = flags;
        return k;
    };
    d.keys = {key("PAS:K_PAS_ID", {0}, storage::kKeyPrimary | storage::kKeyNoCase),
              key("PAS:K_Category", {1, 2}, storage::kKeyNoCase),
              key("PAS:K_Name", {3}, storage::kKeyNoCase),
              key("PAS:K_URL", {5}, storage::kKeyNoCase)};
    return d;
}

// Wall-clock and processor time: on a shared machine the second is the steadier figure.
struct Timer {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = cpuNow();
    static double cpuNow() {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
    }
    double wallSeconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpuSeconds() const { return cpuNow() - cpu; }
};

int fill(storage::Table& t, int n) {
    storage::Record r(t.decl());
    storage::Transaction tx;
    for (int i = 1; i <= n; ++i) {
        if (!tx.active()) tx.begin({&t}, 30);
        r.clear();
        r.set(0, int64_t(i));
        r.set(1, "Category " + std::to_string(i % 12));
        r.set(2, "Account number " + std::to_string(i));
        r.set(3, "user" + std::to_string(i) + "@example.org");
        r.set(4, "pw-" + std::to_string(i * 7919) + "-Xq!");
        r.set(5, "https://site" + std::to_string(i % 500) + ".example.com/login");
        r.set(9, int64_t(80000 + i % 3000));
        r.set(13, std::string("[Name][Tab][Password][Enter]"));
        r.set(15, "Notes for account " + std::to_string(i));
        if (int err = t.add(r)) return err;
        if (i % 5000 == 0) tx.commit();
    }
    if (tx.active()) tx.commit();
    return 0;
}

// One run in a fresh directory. With a companion table in the same file the upgrade must
// copy the records aside; alone in its file the table's file is moved aside as it is.
int run(int n, bool companion) {
    char pattern[] = "/tmp/ferrule-bench-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::filesystem::current_path(dir);
    corvix::ferrule::resetForTests();
    fu_SetCommandLine({dir + "/corvix"});

    TableDecl v1 = accounts(false), v2 = accounts(true), drv, other;
    drv.name = "Drv";
    drv.fields = {field("DRV:B", FieldType::Byte)};
    storage::Table driver(drv);
    other.name = "Bench\\!Categories";
    other.owner = v1.owner;
    other.fields = {field("CAT:Category", FieldType::String, 30)};

    {
        storage::Table t(v1);
        if (t.create() != 0 || t.open() != 0 || fill(t, n) != 0) {
            std::fprintf(stderr, "could not write the table: %s\n", t.error().text.c_str());
            return 1;
        }
        t.close();
        if (companion && storage::Table(other).create() != 0) {
            std::fprintf(stderr, "could not write the companion table\n");
            return 1;
        }
    }

    Timer copyClock;
    int err = storage::copyTable(v1.name, "PlainCopy", v1.owner);
    double copyTime = copyClock.wallSeconds(), copyCpu = copyClock.cpuSeconds();
    if (err != 0) {
        std::fprintf(stderr, "copyTable failed: %d\n", err);
        return 1;
    }

    fu_AddDriver("Tps", driver);
    {
        storage::Table t(v1);
        fu_UsingFile(t, "PAS", "CVPAS", 1);
    }
    corvix::ferrule::resetForTests();  // the next program version starts
    fu_SetCommandLine({dir + "/corvix"});
    fu_AddDriver("Tps", driver);
    storage::Table t(v2);
    fu_UsingFile(t, "PAS", "CVPAS", 2);

    Timer upgradeClock;
    err = fu_FileOpen(t, storage::kReadWrite | storage::kDenyNone);
    double upgradeTime = upgradeClock.wallSeconds(), upgradeCpu = upgradeClock.cpuSeconds();
    int64_t records = err == 0 ? t.records() : -1;
    t.close();
    if (err != 0 || records != n) {
        std::fprintf(stderr, "upgrade failed: open %d, %lld records\n", err, (long long)records);
        return 1;
    }

    std::printf("%s\n", companion ? "table beside another in its file (records copied aside)"
                                  : "table alone in its file (file moved aside)");
    std::printf("records                : %d\n", n);
    std::printf("storage copyTable      : %.3f s (%.0f records/s), processor %.3f s\n", copyTime,
                n / copyTime, copyCpu);
    std::printf("upgrade v1 -> v2       : %.3f s (%.0f records/s), processor %.3f s\n", upgradeTime,
                n / upgradeTime, upgradeCpu);
    std::printf("upgrade / copy ratio   : %.2f wall, %.2f processor (target within 3)\n",
                upgradeTime / copyTime, upgradeCpu / copyCpu);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (int rc = run(n, false)) return rc;
    std::printf("\n");
    return run(n, true);
}

// Timed driver: 100,000 account-shaped records (18 fields, about 5.5 KB declared) in an
// encrypted multi-table file; insert, read in three key orders, look up by key prefix,
// count, and open the encrypted file. Prints records per second and times.
//   bench_storage [records] [folder]
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/storage/record.h"
#include "platform/storage/table.h"

using namespace corvix::storage;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds of this process: on a shared, loaded machine the wall clock mostly
// measures the other programs.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TableDecl accounts(const std::string& owner) {
    TableDecl d;
    d.label = "CVPAS";
    d.prefix = "PAS";
    d.name = "Corvix\\!Passwords";
    d.owner = owner;
    auto s = [](const char* n, uint32_t size) { return FieldDecl{n, FieldType::String, size}; };
    d.fields = {{"PAS:PAS_ID", FieldType::Long},
                s("PAS:Category", 30),
                s("PAS:Description", 60),
                s("PAS:Name", 128),
                s("PAS:Password", 128),
                s("PAS:URL", 255),
                s("PAS:Custom1", 128),
                s("PAS:Custom2", 128),
                s("PAS:Custom3", 128),
                {"PAS:LastChange", FieldType::Date},
                {"PAS:Expires", FieldType::Date},
                {"PAS:ExpiryInterval", FieldType::Long},
                s("PAS:TargetWindow", 128),
                s("PAS:TargetWindowText", 60),
                s("PAS:Action", 255),
                {"PAS:Watch", FieldType::Byte},
                {"PAS:Wait", FieldType::Byte},
                s("PAS:Notes", 4096)};
    const uint32_t all = kKeyNoCase;
    d.keys = {{"PAS:K_PAS_ID",
               "System ID",
               {0},
               kKeyUnique | kKeyPrimary | kKeyOptional | kKeyAutoNumber | all},
              {"PAS:K_Category", "Category", {1, 2}, all},
              {"PAS:K_Description", "Description", {2}, all},
              {"PAS:K_Name", "Name", {3}, all},
              {"PAS:K_URL", "URL", {5}, all},
              {"PAS:K_LastChangeDate", "Last Changed", {9}, kKeyOptional | all},
              {"PAS:K_Expiry", "Expiry", {10}, all},
              {"PAS:K_Watch", "Watched accounts only", {15}, kKeyOptional | all}};
    return d;
}

std::string word(std::mt19937& rng, int minLen, int maxLen) {
    static const char* letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::uniform_int_distribution<int> len(minLen, maxLen), ch(0, 51);
    std::string w;
    int n = len(rng);
    for (int i = 0; i < n; ++i) w += letters[ch(rng)];
    return w;
}

void fill(Record& r, std::mt19937& rng, int id) {
    static const char* categories[] = {"Personal", "Work",   "Bank",   "Shopping",  "Email",
                                       "Games",    "Travel", "Health", "Utilities", "Social"};
    r.clear();
    r.set(0, int64_t{id});
    r.set(1, std::string(categories[rng() % 10]));
    r.set(2, word(rng, 8, 20) + " account " + std::to_string(id));
    r.set(3, word(rng, 5, 12) + "@example.org");
    r.set(4, word(rng, 12, 24));
    r.set(5, "https://www." + word(rng, 5, 15) + ".com/login");
    r.set(6, word(rng, 0, 20));
    r.set(7, word(rng, 0, 16));
    r.set(8, word(rng, 0, 10));
    r.set(9, int64_t{80000 + static_cast<int>(rng() % 3000)});
    r.set(10, int64_t{rng() % 4 ? 0 : 83000 + static_cast<int>(rng() % 1000)});
    r.set(11, int64_t{rng() % 4 ? 0 : 90});
    r.set(12, word(rng, 5, 30) + " - Login");
    r.set(13, "Password");
    r.set(14, "[name][tab][password][tab][enter]");
    r.set(15, int64_t{rng() % 20 == 0 ? 1 : 0});
    r.set(16, int64_t{2});
    std::string notes;
    int lines = static_cast<int>(rng() % 6);
    for (int i = 0; i < lines; ++i) notes += word(rng, 10, 60) + "\r\n";
    r.set(17, notes);
}

void readOrder(Table& t, Record& r, int key, const char* label, int64_t expected) {
    auto start = Clock::now();
    double cpu = cpuSeconds();
    int64_t n = 0;
    t.set(key);
    while (t.next(r) == 0) ++n;
    double s = seconds(start);
    cpu = cpuSeconds() - cpu;
    std::printf("read in %-22s %8lld records  %8.2f s  %10.0f records/s  (cpu %.2f s)%s\n", label,
                static_cast<long long>(n), s, n / s, cpu, n == expected ? "" : "  (count differs)");
}

}  // namespace

int main(int argc, char** argv) {
    int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string folder = argc > 2 ? argv[2] : "/tmp/corvix-bench-storage";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    const std::string owner = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    TableDecl d = accounts(owner);
    std::printf("record size %u bytes, %zu fields, %zu keys, %d records\n", d.recordSize(),
                d.fields.size(), d.keys.size(), records);

    Table t(d);
    if (t.create() || t.open(kReadWrite | kDenyAll)) {
        std::printf("cannot create: %s %s\n", t.error().text.c_str(), t.error().driverText.c_str());
        return 1;
    }
    std::mt19937 rng(4711);
    Record r(d);
    auto start = Clock::now();
    double cpu = cpuSeconds();
    const int batch = 1000;  // records per write transaction, as a bulk import would
    for (int i = 1; i <= records; ++i) {
        if (i % batch == 1) t.stream();
        fill(r, rng, i);
        if (t.add(r)) {
            std::printf("add failed at %d: %d %s\n", i, t.error().code,
                        t.error().driverText.c_str());
            return 1;
        }
        if (i % batch == 0) t.flush();
    }
    t.flush();
    double s = seconds(start);
    cpu = cpuSeconds() - cpu;
    std::printf(
        "insert                        %8d records  %8.2f s  %10.0f records/s"
        "  (cpu %.2f s, %.0f records/cpu-s)\n",
        records, s, records / s, cpu, records / cpu);

    readOrder(t, r, 0, "PAS:K_PAS_ID", records);
    readOrder(t, r, 1, "PAS:K_Category", records);
    readOrder(t, r, 2, "PAS:K_Description", records);
    readOrder(t, r, kPhysicalOrder, "physical order", records);

    // Look-ups by key prefix: the first record of a category and the next nine.
    start = Clock::now();
    const int lookups = 2000;
    const char* prefixes[] = {"bank", "EMAIL", "games", "Personal", "work"};
    for (int i = 0; i < lookups; ++i) {
        Record key(d);
        key.set(1, std::string(prefixes[i % 5]));
        t.setFrom(1, key);
        for (int j = 0; j < 10; ++j) t.next(r);
    }
    s = seconds(start);
    std::printf("locate by key prefix + 10     %8d look-ups %8.3f s  %10.0f look-ups/s\n", lookups,
                s, lookups / s);
    start = Clock::now();
    for (int i = 0; i < lookups; ++i) {
        r.set(0, int64_t{1 + (i * 7919) % records});
        t.get(0, r);
    }
    s = seconds(start);
    std::printf("fetch by unique key           %8d fetches  %8.3f s  %10.0f fetches/s\n", lookups,
                s, lookups / s);
    start = Clock::now();
    int64_t count = t.records();
    std::printf("count                         %8lld records  %8.4f s\n",
                static_cast<long long>(count), seconds(start));
    t.close();

    // Opening the encrypted file (a fresh connection each time), best and mean of 20.
    double best = 1e9, sum = 0;
    for (int i = 0; i < 20; ++i) {
        Table o(d);
        auto at = Clock::now();
        int rc = o.open(kReadWrite | kDenyNone);
        double ms = seconds(at) * 1000;
        if (rc) {
            std::printf("open failed: %d\n", rc);
            return 1;
        }
        best = std::min(best, ms);
        sum += ms;
    }
    std::printf("open encrypted file           best %.2f ms, mean %.2f ms (target: under 20 ms)\n",
                best, sum / 20);
    std::printf("file size %.1f MB\n",
                std::filesystem::file_size("Corvix.TPS") / (1024.0 * 1024.0));
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    return 0;
}

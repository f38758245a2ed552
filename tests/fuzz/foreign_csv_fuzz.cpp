// libFuzzer target: other password managers' CSV exports, in each of the three formats.
// A file is refused with an error or read into accounts and skipped records; every account
// holds UTF-8 texts that fit the account's fields, and importing them into a vault is all
// or nothing.
#include <unistd.h>

#include <cstdio>

#include "tests/fuzz/fuzz_support.h"
#include "vault/access.h"
#include "vault/export_lines.h"
#include "vault/foreign_import.h"

using namespace corvix::fuzz;
namespace st = corvix::storage;
namespace va = corvix::vault;

namespace {

size_t fieldSize(int field) {
    return va::CVPAS().fields[static_cast<size_t>(field)].size;
}

void checkText(const std::string& text, int field) {
    FUZZ_CHECK(va::isValidUtf8(text));
    FUZZ_CHECK(text.size() <= 4 * fieldSize(field));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const bool inScratch = ::chdir(scratchDir().c_str()) == 0;
    FUZZ_CHECK(inScratch);
    const va::ForeignFormat format = static_cast<va::ForeignFormat>(data[0] % 3);
    const std::string path = writeScratch("export.csv", bytes(data + 1, size - 1));
    const va::ForeignFile file = va::readForeignFile(path, format);
    if (!file.error.empty()) {
        FUZZ_CHECK(file.accounts.empty());
        return 0;
    }
    int64_t lastLine = 0;
    for (const va::ForeignAccount& a : file.accounts) {
        FUZZ_CHECK(a.line > lastLine);
        lastLine = a.line;
        checkText(a.category, va::pas::Category);
        checkText(a.description, va::pas::Description);
        checkText(a.name, va::pas::Name);
        checkText(a.password, va::pas::Password);
        checkText(a.url, va::pas::URL);
        checkText(a.notes, va::pas::Notes);
    }
    for (const auto& [line, reason] : file.skipped) FUZZ_CHECK(line >= 1 && !reason.empty());
    if (file.accounts.empty() || file.accounts.size() > 50) return 0;

    for (const char* leftover : {"Corvix.TPS", "Corvix.TPS-journal", "Corvix.TPS-wal"})
        std::remove(leftover);
    va::VaultTables tables;
    FUZZ_CHECK(tables.openAll() == 0);
    const va::ForeignImportResult result =
        va::importForeignAccounts(file.accounts, tables.cat, tables.pas, 80000);
    if (result.failure)
        FUZZ_CHECK(tables.pas.records() == 0);
    else
        FUZZ_CHECK(result.imported == static_cast<int64_t>(file.accounts.size()) &&
                   tables.pas.records() == result.imported);
    tables.closeAll();
    return 0;
}

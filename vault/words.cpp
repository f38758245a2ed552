#include "vault/words.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "vault/access.h"
#include "vault/tables.h"

namespace corvix::vault {

namespace fs = std::filesystem;

bool isWordCandidate(std::string_view word) {
    if (word.empty() || word.size() > 20) return false;
    for (char c : word)
        if (c < 'a' || c > 'z') return false;
    return true;
}

int writeWordDatabase(const std::string& name, const std::vector<std::string>& words,
                      size_t* written, bool numbered) {
    if (written) *written = 0;
    const storage::TableName physical = storage::splitTableName(name);
    std::error_code ec;
    fs::remove(physical.file, ec);

    storage::Table table(CVWRD());
    table.setName(name);
    table.setOwner(WordDatabaseOwner());
    int rc = table.create();
    if (rc != storage::kNoError) return rc;
    rc = table.open(storage::kReadWrite | storage::kDenyAll);
    if (rc != storage::kNoError) return rc;

    storage::Transaction tx;
    rc = tx.begin({&table}, 10);
    if (rc != storage::kNoError) return rc;
    std::unordered_set<std::string> seen;
    WrdBuffer record;
    size_t count = 0;
    for (const std::string& w : words) {
        if (!isWordCandidate(w) || !seen.insert(w).second) continue;
        record->WRD_ID = numbered ? static_cast<int32_t>(count + 1) : 0;
        record->Word = w;
        rc = table.add(record);
        if (rc != storage::kNoError) return rc;  // the transaction rolls back
        ++count;
    }
    rc = tx.commit();
    table.close();
    if (rc == storage::kNoError && written) *written = count;
    return rc;
}

int installShippedWords(const std::string& shippedDir, bool* copied) {
    if (copied) *copied = false;
    std::error_code ec;
    if (fs::exists(kWordFile, ec) || shippedDir.empty()) return storage::kNoError;
    const fs::path source = fs::path(shippedDir) / kWordFile;
    if (!fs::exists(source, ec)) return storage::kNoError;
    // Copy under a temporary name first, so an interrupted copy never leaves a broken
    // database behind that the next start would take for a good one.
    // A name of its own and a link that never replaces: another process starting at the
    // same moment may be copying too, and the first complete copy stays.
    const fs::path partial = std::string(kWordFile) + ".partial-" + std::to_string(::getpid());
    fs::copy_file(source, partial, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        if (::link(partial.c_str(), kWordFile) != 0 && errno != EEXIST)
            ec = std::error_code(errno, std::generic_category());
        std::error_code ignored;
        fs::remove(partial, ignored);
        if (!ec && !fs::exists(kWordFile, ignored)) ec = std::make_error_code(std::errc::io_error);
    }
    if (ec) {
        fs::remove(partial, ec);
        storage::Error e;
        e.code = storage::kAccessDenied;
        e.text = storage::errorText(e.code);
        e.file = kWordFile;
        storage::setLastError(e);
        return e.code;
    }
    if (copied) *copied = true;
    return storage::kNoError;
}

int renumberWords(storage::Table& words, int* renumbered, const WordProgress& progress) {
    if (renumbered) *renumbered = 0;
    WrdBuffer record;
    int rc = words.set(storage::kPhysicalOrder);
    if (rc != storage::kNoError) return rc;
    rc = words.next(record);
    if (rc == storage::kRecordNotAvailable) return storage::kNoError;  // no words at all
    if (rc != storage::kNoError) return rc;
    if (record->WRD_ID != 0) return storage::kNoError;

    storage::Transaction tx;
    rc = tx.begin({&words}, 10);
    if (rc != storage::kNoError) return rc;
    // A record further on may carry a number already; clear those first so that the
    // new numbering cannot collide with them in the unique key.
    rc = words.set(storage::kPhysicalOrder);
    while (rc == storage::kNoError && (rc = words.next(record)) == storage::kNoError) {
        if (record->WRD_ID == 0) continue;
        record->WRD_ID = 0;
        rc = words.put(record);
    }
    if (rc != storage::kRecordNotAvailable) return rc;  // rolls back
    const int64_t total = progress ? words.records() : 0;
    int n = 0;
    rc = words.set(storage::kPhysicalOrder);
    while (rc == storage::kNoError && (rc = words.next(record)) == storage::kNoError) {
        record->WRD_ID = ++n;
        rc = words.put(record);
        if (progress && n % 4096 == 0) progress(n, total);
    }
    if (rc != storage::kRecordNotAvailable) return rc;
    rc = tx.commit();
    if (progress) progress(n, total);
    if (rc == storage::kNoError && renumbered) *renumbered = n;
    return rc;
}

}  // namespace corvix::vault

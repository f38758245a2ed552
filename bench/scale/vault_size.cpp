// Where the bytes of a vault file go: pages in use by each table and key index, free
// pages, and the page overhead. Works on a copy, so the vault itself is never touched.
//   vault_size [Corvix.TPS]
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/storage/internal.h"
#include "vault/vault_key.h"

using namespace corvix;

namespace {

int64_t pragmaInt(sqlite3* db, const std::string& pragma) {
    sqlite3_stmt* st = nullptr;
    int64_t v = -1;
    if (sqlite3_prepare_v2(db, pragma.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

// An index's columns, "(a, b, ...)", so that a wide one shows what makes it wide.
std::string indexColumns(sqlite3* db, const std::string& index) {
    sqlite3_stmt* st = nullptr;
    std::string out;
    const std::string sql = "PRAGMA index_xinfo(" + storage::detail::quoteIdent(index) + ");";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (sqlite3_column_int(st, 5) == 0) continue;  // the row id every entry carries
            const unsigned char* name = sqlite3_column_text(st, 2);
            const unsigned char* coll = sqlite3_column_text(st, 4);
            out += (out.empty() ? "" : ", ") +
                   std::string(name ? reinterpret_cast<const char*>(name) : "<expr>");
            if (coll && std::string(reinterpret_cast<const char*>(coll)) != "BINARY")
                out += " " + std::string(reinterpret_cast<const char*>(coll));
        }
    sqlite3_finalize(st);
    return "(" + out + ")";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string file = argc > 1 ? argv[1] : "Corvix.TPS";
    const std::string copy = file + ".size-copy";
    std::error_code ec;
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        std::fprintf(stderr, "vault_size: cannot copy %s: %s\n", file.c_str(),
                     ec.message().c_str());
        return 1;
    }
    sqlite3* db = nullptr;
    std::string why;
    const std::string key = storage::detail::deriveKeyHex(vault::BuildVaultKey());
    if (sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        storage::detail::configureHandle(db, key, &why) != SQLITE_OK) {
        std::fprintf(stderr, "vault_size: cannot open %s: %s\n", file.c_str(), why.c_str());
        return 1;
    }
    const int64_t pageSize = pragmaInt(db, "PRAGMA page_size;");
    const int64_t pages = pragmaInt(db, "PRAGMA page_count;");
    const int64_t freePages = pragmaInt(db, "PRAGMA freelist_count;");
    std::printf("file %s: %lld bytes, %lld pages of %lld bytes (usable), %lld free\n", file.c_str(),
                static_cast<long long>(std::filesystem::file_size(file)),
                static_cast<long long>(pages), static_cast<long long>(pageSize),
                static_cast<long long>(freePages));

    // Pages of an object = how many pages dropping it frees (undone afterwards); indexes
    // first, so that a table counts its rows only.
    std::vector<std::pair<std::string, std::string>> objects;  // (type, name)
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT type, name FROM sqlite_master WHERE type IN ('index', 'table') "
                       "AND name NOT LIKE 'sqlite_autoindex%' ORDER BY type = 'table', name;",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        objects.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                             reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_finalize(st);
    int64_t counted = 0;
    for (const auto& [type, name] : objects) {
        if (name == "sqlite_sequence") continue;
        const std::string columns = type == "index" ? indexColumns(db, name) : std::string();
        storage::detail::exec(db, "BEGIN;");
        const int64_t before = pragmaInt(db, "PRAGMA freelist_count;");
        int rc =
            storage::detail::exec(db, "DROP " + std::string(type == "index" ? "INDEX " : "TABLE ") +
                                          storage::detail::quoteIdent(name) + ";");
        const int64_t used =
            rc == SQLITE_OK ? pragmaInt(db, "PRAGMA freelist_count;") - before : -1;
        storage::detail::exec(db, "ROLLBACK;");
        if (used < 0) continue;
        if (type == "index")
            storage::detail::exec(db, "DROP INDEX " + storage::detail::quoteIdent(name) + ";");
        counted += used;
        std::printf("  %-6s %-24s %8lld pages %10.1f KB  %s\n", type.c_str(), name.c_str(),
                    static_cast<long long>(used), used * 4096 / 1024.0, columns.c_str());
    }
    // In a file with auto-vacuum a drop also frees or moves a pointer-map page, so each
    // figure above may be one page high and this rest a page or two low (even below 0).
    std::printf("  other (schema, header and pointer-map pages, +-2): %lld pages\n",
                static_cast<long long>(pages - freePages - counted));
    sqlite3_close(db);
    std::filesystem::remove(copy);
    return 0;
}

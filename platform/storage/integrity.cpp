#include "platform/storage/integrity.h"

#include "platform/storage/internal.h"

namespace corvix::storage {

using namespace detail;

int checkIntegrity(Table& table, std::string* detail) {
    Error e;
    detail->clear();
    if (!table.isOpen() || !table.impl()->conn) return fail(e, kFileNotOpen, table.name());
    sqlite3* db = table.impl()->conn->db;
    // An encrypted file first proves every page's authentication code.
    const bool encrypted = !table.owner().empty();
    for (const char* sql : {"PRAGMA cipher_integrity_check;", "PRAGMA integrity_check(20);"}) {
        if (!encrypted && sql[7] == 'c') continue;
        Stmt s(db, sql);
        if (!s.ok()) return failSql(e, db, table.name());
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            std::string line = s.columnText(0);
            if (line == "ok") continue;
            if (!detail->empty()) *detail += "; ";
            *detail += line;
        }
        if (rc != SQLITE_DONE) return failSql(e, db, table.name());
    }
    if (!detail->empty()) return fail(e, kDriverError, table.name(), SQLITE_CORRUPT, *detail);
    return succeed(e);
}

}  // namespace corvix::storage

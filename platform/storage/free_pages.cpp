// Files give back the space of deleted records. New files are made with incremental
// auto-vacuum, and when the last handle of this process lets a file go, free pages worth
// having back are returned to the file system. Deleted records are overwritten either
// way (SQLCipher's secure delete); this is about the file's size only.
#include "platform/storage/internal.h"

namespace corvix::storage::detail {

namespace {

int64_t pragmaValue(sqlite3* db, const char* pragma) {
    Stmt st(db, pragma);
    return st.ok() && st.step() == SQLITE_ROW ? st.columnInt(0) : -1;
}

}  // namespace

int useIncrementalVacuum(sqlite3* db) {
    // Only takes effect before the first table is made (or with the next VACUUM).
    return exec(db, "PRAGMA auto_vacuum = INCREMENTAL;");
}

void giveBackFreePages(sqlite3* db) {
    // Only in files made for it (older files keep their free pages until a pack), only
    // when there is enough to matter, and never waiting for another process's write.
    if (pragmaValue(db, "PRAGMA auto_vacuum;") != 2) return;
    const int64_t free = pragmaValue(db, "PRAGMA freelist_count;");
    const int64_t pages = pragmaValue(db, "PRAGMA page_count;");
    if (free < 16 || (free * 4 < pages && free < 256)) return;
    sqlite3_busy_timeout(db, 0);
    exec(db, "PRAGMA incremental_vacuum;");
}

}  // namespace corvix::storage::detail

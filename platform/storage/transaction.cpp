// A transaction over tables of one file: one SQL transaction on the file's connection.
#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

using namespace detail;

namespace {

int transactionError(int code, std::string text, int driverCode = 0) {
    Error e;
    e.code = code;
    e.text = errorText(code);
    e.driverCode = driverCode;
    e.driverText = std::move(text);
    setLastError(e);
    return code;
}

constexpr int kDefaultBusyMillis = 10000;

}  // namespace

Transaction::~Transaction() {
    if (active_) rollback();
}

int Transaction::begin(const std::vector<Table*>& tables, int timeoutSeconds) {
    if (active_) return transactionError(kDriverError, "a transaction is already active");
    Connection* c = nullptr;
    for (Table* t : tables) {
        if (!t || !t->isOpen()) return transactionError(kFileNotOpen, "a table is not open");
        Connection* tc = t->impl()->conn;
        if (c && tc != c)
            return transactionError(kDriverError, "the tables are in different files");
        c = tc;
    }
    if (!c) return transactionError(kDriverError, "no tables given");
    if (c->inTransaction || !sqlite3_get_autocommit(c->db))
        return transactionError(kDriverError, "a transaction is already active on the file");
    sqlite3_busy_timeout(c->db, std::max(0, timeoutSeconds) * 1000);
    int rc = exec(c->db, "BEGIN IMMEDIATE;");
    if (rc != SQLITE_OK) {
        sqlite3_busy_timeout(c->db, kDefaultBusyMillis);
        int code = (rc & 0xFF) == SQLITE_BUSY ? kAccessDenied : kDriverError;
        return transactionError(code, sqlite3_errmsg(c->db), rc);
    }
    retainConnection(c);
    c->inTransaction = true;
    connection_ = c;
    active_ = true;
    return transactionError(kNoError, {});
}

// After COMMIT or ROLLBACK: the connection is shared again with its usual busy timeout,
// and readers know the file may have changed.
void Transaction::finish(void* connection) {
    auto* c = static_cast<Connection*>(connection);
    c->inTransaction = false;
    noteChange(c);
    sqlite3_busy_timeout(c->db, kDefaultBusyMillis);
    active_ = false;
    connection_ = nullptr;
    releaseConnection(c);
}

int Transaction::commit() {
    if (!active_) return transactionError(kDriverError, "no transaction is active");
    auto* c = static_cast<Connection*>(connection_);
    int rc = exec(c->db, "COMMIT;");
    if (rc != SQLITE_OK) {
        // Readers of another process that outlast the wait: access denied, as for begin.
        int code = (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED ? kAccessDenied
                                                                              : kDriverError;
        return transactionError(code, sqlite3_errmsg(c->db), rc);
    }
    finish(c);
    return transactionError(kNoError, {});
}

int Transaction::rollback() {
    if (!active_) return transactionError(kDriverError, "no transaction is active");
    auto* c = static_cast<Connection*>(connection_);
    // The error that led to the rollback stays the last error: messages raised after it
    // must name what went wrong.
    exec(c->db, "ROLLBACK;");
    finish(c);
    return kNoError;
}

}  // namespace corvix::storage

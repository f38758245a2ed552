// Small SQLite helpers: statements, quoting and error reporting.
#include <cerrno>
#include <cstring>

#include "platform/storage/internal.h"

namespace corvix::storage::detail {

int codeForSystemError(int sysError) {
    switch (sysError) {
        case ENOENT:
        case ENOTDIR:
            return kFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return kAccessDenied;
        default:
            return kDriverError;
    }
}

int fileFailure(const std::string& file, int code, int sysError) {
    Error e;
    return fail(e, code, file, sysError, sysError ? std::strerror(sysError) : std::string());
}

int fail(Error& e, int code, std::string file, int driverCode, std::string driverText) {
    // A file another process holds (busy or locked past the wait) is the runtime's "access
    // denied", which callers wait on and retry; a driver error means the file itself.
    if (code == kDriverError &&
        ((driverCode & 0xFF) == SQLITE_BUSY || (driverCode & 0xFF) == SQLITE_LOCKED))
        code = kAccessDenied;
    e = Error{};
    e.code = code;
    e.text = errorText(code);
    e.file = std::move(file);
    e.driverCode = driverCode;
    e.driverText = std::move(driverText);
    setLastError(e);
    return code;
}

int failSql(Error& e, sqlite3* db, std::string file) {
    int code = db ? sqlite3_extended_errcode(db) : SQLITE_ERROR;
    std::string text = db ? sqlite3_errmsg(db) : "no database";
    return fail(e, kDriverError, std::move(file), code, std::move(text));
}

int succeed(Error& e) {
    std::string file = e.file;
    e = Error{};
    e.file = std::move(file);
    setLastError(e);
    return kNoError;
}

Stmt::Stmt(sqlite3* db, std::string_view sql) {
    prepareCode_ =
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (prepareCode_ != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

Stmt::Stmt(Connection* c, const std::string& sql) {
    auto it = c->statements.find(sql);
    if (it != c->statements.end() && !sqlite3_stmt_busy(it->second)) {
        stmt_ = it->second;
        cached_ = true;
        return;
    }
    prepareCode_ =
        sqlite3_prepare_v2(c->db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (prepareCode_ != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    } else if (it == c->statements.end()) {
        c->statements.emplace(sql, stmt_);
        cached_ = true;
    }
}

Stmt::~Stmt() {
    if (cached_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    } else {
        sqlite3_finalize(stmt_);
    }
}

void Stmt::bind(int index, const Scalar& value) {
    if (auto i = std::get_if<int64_t>(&value))
        sqlite3_bind_int64(stmt_, index, *i);
    else if (auto d = std::get_if<double>(&value))
        sqlite3_bind_double(stmt_, index, *d);
    else
        bindText(index, std::get<std::string>(value));
}

void Stmt::bindStatic(int index, const Scalar& value) {
    if (auto t = std::get_if<std::string>(&value))
        sqlite3_bind_text(stmt_, index, t->data(), static_cast<int>(t->size()), SQLITE_STATIC);
    else
        bind(index, value);
}

void Stmt::bindText(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Stmt::bindBlob(int index, const void* data, size_t size) {
    // A zero-length blob must still be a blob, not NULL.
    static const char empty = 0;
    sqlite3_bind_blob(stmt_, index, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT);
}

std::string Stmt::columnText(int c) const {
    const unsigned char* t = sqlite3_column_text(stmt_, c);
    return t ? std::string(reinterpret_cast<const char*>(t),
                           static_cast<size_t>(sqlite3_column_bytes(stmt_, c)))
             : std::string();
}

Scalar Stmt::column(int c, FieldType type) const {
    switch (type) {
        case FieldType::String:
            return columnText(c);
        case FieldType::Real:
            return sqlite3_column_double(stmt_, c);
        default:
            return static_cast<int64_t>(sqlite3_column_int64(stmt_, c));
    }
}

int exec(sqlite3* db, std::string_view sql) {
    std::string text(sql);
    return sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr);
}

int run(Connection* c, const std::string& sql) {
    Stmt st(c, sql);
    if (!st.ok()) return st.prepareCode();
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

std::string quoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char ch : name) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

std::string quoteLiteral(std::string_view text) {
    std::string out = "'";
    for (char ch : text) {
        if (ch == '\'') out += '\'';
        out += ch;
    }
    return out + "'";
}

bool isBlank(const Scalar& v) {
    if (auto i = std::get_if<int64_t>(&v)) return *i == 0;
    if (auto d = std::get_if<double>(&v)) return *d == 0.0;
    return std::get<std::string>(v).empty();
}

bool sameValue(const Scalar& a, const Scalar& b) {
    return a == b;
}

}  // namespace corvix::storage::detail

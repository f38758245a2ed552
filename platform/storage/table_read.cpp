// Reading: positioning, next/previous in key or physical order with keyset seeks in
// small batches, exact fetch by key, positions and re-reads, filters.
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/storage/internal.h"
#include "platform/storage/table.h"
#include "platform/storage/table_filter.h"

namespace corvix::storage {

using namespace detail;

namespace {

// Reading on asks for 32 rows, then twice as many each time it goes on in the same
// direction, up to 512: a short look (a browse page, a look-up) stays cheap and a long
// scan needs few statements.
constexpr size_t kFirstBatchRows = 32;
constexpr size_t kMostBatchRows = 512;

// Parentheses must balance outside quotes, so that a condition cannot close the one
// it is wrapped in ("1) OR (1").
bool balanced(std::string_view s) {
    int depth = 0;
    char quote = 0;
    for (char ch : s) {
        if (quote) {
            if (ch == quote) quote = 0;  // a doubled quote reopens at once: still balanced
        } else if (ch == '\'' || ch == '"' || ch == '`') {
            quote = ch;
        } else if (ch == '[') {
            quote = ']';
        } else if (ch == '(') {
            ++depth;
        } else if (ch == ')' && --depth < 0) {
            return false;
        }
    }
    return depth == 0 && quote == 0;
}

bool parsePosition(std::string_view text, int64_t& row) {
    std::string s(text);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (s.empty()) return false;
    char* end = nullptr;
    row = std::strtoll(s.c_str(), &end, 10);
    return end && *end == '\0' && row > 0;
}

}  // namespace

int64_t Table::Impl::dataVersion() {
    // While this open denies writing no other open, here or in another process, can
    // change the table: only this connection's own changes (its generation) count then.
    int share = mode & kShareMask;
    if (share == kDenyAll || share == kDenyWrite) return 0;
    // The commits of every process, counted in the lock file's shared page: a memory
    // read. Without it (a folder we may not write), SQLite's own counter, which costs a
    // shared lock on the file and a dozen system calls.
    if (conn->commits) return static_cast<int64_t>(commitCount(conn));
    Stmt st(conn, "PRAGMA data_version;");
    return st.ok() && st.step() == SQLITE_ROW ? st.columnInt(0) : -1;
}

bool Table::Impl::validKey(int key) const {
    return key == kPhysicalOrder || (key >= 0 && static_cast<size_t>(key) < shape->keys.size());
}

std::vector<Scalar> Table::Impl::keyValues(int key, const std::vector<Scalar>& cells) const {
    std::vector<Scalar> out;
    if (key == kPhysicalOrder) return out;
    for (int s : shape->keys[key].cells) out.push_back(cells[s]);
    return out;
}

// Reads on from the current place with keyset seeks. A seek past (v1..vn, row) is run as
// a cascade of queries that each fix a prefix of the key and range over the next
// component ("k1 = v1 AND k2 > v2"), deepest first: every one is an index search, even
// where SQLite cannot seek on a row-value comparison under a custom collation.
int Table::Impl::fetchBatch(bool forward) {
    const bool goingOn = place == Place::After && batchForward == forward && !batch.empty();
    const size_t firstRows =
        expectedRows ? std::clamp(expectedRows, size_t{1}, kMostBatchRows) : kFirstBatchRows;
    batchRows = goingOn ? std::min(batchRows * 2, kMostBatchRows) : firstRows;
    clearBatch();
    batchPos = 0;
    batchForward = forward;
    batchGeneration = conn->generation;
    batchDataVersion = dataVersion();
    if (!filter.empty() && order != kPhysicalOrder) {
        bool listed = false;
        if (int rc = readMatches(forward, listed)) return rc;
        if (listed) return kNoError;
    }

    static const std::vector<std::string> kNoTerms;
    const std::vector<std::string>& terms =
        order == kPhysicalOrder ? kNoTerms : shape->keys[order].terms;
    std::string common;
    if (order != kPhysicalOrder && !shape->keys[order].optionalCondition.empty())
        common += " AND " + shape->keys[order].optionalCondition;
    if (!filter.empty()) common += " AND (" + filter + ")";
    std::string orderBy = " ORDER BY ";
    for (const std::string& t : terms) orderBy += t + (forward ? ", " : " DESC, ");
    orderBy += forward ? "rowid" : "rowid DESC";
    const char* beyond = forward ? " > " : " < ";

    struct Level {
        std::string where;
        std::vector<Scalar> args;
    };
    std::vector<Level> levels;
    const std::vector<Scalar>& values = place == Place::After ? at : fromValues;
    bool seek = place == Place::After || place == Place::From;
    if (!seek) {
        levels.push_back({"1", {}});
    } else {
        // The deepest level: the same key value, then the record number.
        Level same;
        same.where = "1";
        for (size_t i = 0; i < terms.size(); ++i) {
            same.where += " AND " + terms[i] + " = ?";
            same.args.push_back(values[i]);
        }
        int64_t row = place == Place::After ? atRow : fromRow;
        if (row != 0) {
            same.where += std::string(" AND rowid") +
                          (place == Place::After ? beyond : (forward ? " >= " : " <= ")) + "?";
            same.args.push_back(row);
        }
        levels.push_back(std::move(same));
        for (size_t depth = terms.size(); depth-- > 0;) {
            Level l;
            l.where = "1";
            for (size_t i = 0; i < depth; ++i) {
                l.where += " AND " + terms[i] + " = ?";
                l.args.push_back(values[i]);
            }
            l.where += " AND " + terms[depth] + beyond + "?";
            l.args.push_back(values[depth]);
            levels.push_back(std::move(l));
        }
    }
    for (const Level& level : levels) {
        size_t want = batchRows - batch.size();
        if (want == 0) break;
        std::string sql = "SELECT " + shape->selectList() + " FROM " + data + " WHERE " +
                          level.where + common + orderBy + " LIMIT ?;";
        // The few shapes of an unfiltered read stay prepared on the connection; filters
        // are too many kinds to keep.
        std::optional<Stmt> prepared;
        if (filter.empty())
            prepared.emplace(conn, sql);
        else
            prepared.emplace(conn->db, sql);
        Stmt& st = *prepared;
        if (!st.ok()) return failSql(err, conn->db, name);
        int i = 1;
        for (const Scalar& a : level.args) st.bind(i++, a);
        for (const Scalar& a : filterParams) st.bind(i++, a);
        st.bindInt(i, static_cast<int64_t>(want));
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) {
            std::vector<Scalar> row;
            row.reserve(shape->types.size());
            for (size_t c = 0; c < shape->types.size(); ++c)
                row.push_back(st.column(static_cast<int>(c + 1), shape->types[c]));
            batch.emplace_back(st.columnInt(0), std::move(row));
        }
        if (rc != SQLITE_DONE) {
            clearBatch();
            return failSql(err, conn->db, name);
        }
    }
    return kNoError;
}

void Table::Impl::take(size_t index, RecordBuffer& into) {
    // Each row read ahead is taken once: its values move on rather than being copied.
    auto& [row, cells] = batch[index];
    current = row;
    at = keyValues(order, cells);
    atRow = row;
    place = Place::After;
    keepSnapshot(std::move(cells));
    writeSlots(*shape, *decl, snapshot, into);
}

int Table::Impl::read(bool forward, RecordBuffer& into) {
    if (!isOpen()) return notOpen();
    // After the last record only previous() goes on (from the end); before the first
    // only next() does. Right after set() both ends are open.
    if ((place == Place::End && forward) || (place == Place::BeforeFirst && !forward))
        return fail(err, kRecordNotAvailable, name);
    // Rows read ahead are used only while nobody, here or in another process, has
    // changed the file since.
    bool batchUsable = place == Place::After && batchForward == forward &&
                       batchGeneration == conn->generation && batchPos < batch.size() &&
                       batchDataVersion == dataVersion();
    if (!batchUsable) {
        if (int rc = fetchBatch(forward)) return rc;
        if (batch.empty()) {
            place = forward ? Place::End : Place::BeforeFirst;
            return fail(err, kRecordNotAvailable, name);
        }
    }
    take(batchPos++, into);
    return succeed(err);
}

int Table::set(int key) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.validKey(key)) return fail(d.err, kDriverError, name(), 0, "no such key");
    d.resetReading();
    d.order = key;
    return succeed(d.err);
}

int Table::setLast(int key) {
    if (int rc = set(key)) return rc;
    impl_->place = Impl::Place::End;
    return kNoError;
}

int Table::setFrom(int key, const RecordBuffer& keyValues) {
    if (int rc = set(key)) return rc;
    Impl& d = *impl_;
    d.place = Impl::Place::From;
    d.fromValues = d.keyValues(key, readSlots(*d.shape, *d.decl, keyValues));
    d.fromRow = 0;
    return kNoError;
}

int Table::setFrom(int key, const RecordBuffer& keyValues, std::string_view position) {
    int64_t row = 0;
    if (!parsePosition(position, row)) return fail(impl_->err, kRecordNotFound, name());
    if (int rc = setFrom(key, keyValues)) return rc;
    impl_->fromRow = row;
    return kNoError;
}

void Table::expectRows(size_t count) {
    impl_->expectedRows = count;
}

int Table::reset(int key, std::string_view position) {
    if (int rc = set(key)) return rc;
    Impl& d = *impl_;
    int64_t row = 0;
    if (!parsePosition(position, row)) return fail(d.err, kRecordNotFound, name());
    Stmt st(d.conn, "SELECT " + d.shape->selectList() + " FROM " + d.data + " WHERE rowid = ?;");
    if (!st.ok()) return failSql(d.err, d.conn->db, name());
    st.bindInt(1, row);
    if (st.step() != SQLITE_ROW) return fail(d.err, kRecordNotFound, name());
    std::vector<Scalar> cells;
    for (size_t c = 0; c < d.shape->types.size(); ++c)
        cells.push_back(st.column(static_cast<int>(c + 1), d.shape->types[c]));
    d.place = Impl::Place::From;
    d.fromValues = d.keyValues(key, cells);
    d.fromRow = row;
    return succeed(d.err);
}

int Table::next(RecordBuffer& into) {
    return impl_->read(true, into);
}

int Table::previous(RecordBuffer& into) {
    return impl_->read(false, into);
}

int Table::setFilter(std::string_view sqlCondition) {
    return storage::setFilter(*this, sqlCondition, {});
}

int setFilter(Table& table, std::string_view sqlCondition, std::vector<Scalar> parameters) {
    Table::Impl& d = *table.impl();
    auto name = [&table] { return table.name(); };
    if (!d.isOpen()) return d.notOpen();
    d.clearBatch();
    d.clearMatches();
    std::string cond(sqlCondition);
    if (cond.find_first_not_of(" \t\r\n") == std::string::npos) {
        d.filter.clear();
        d.filterParams.clear();
        return succeed(d.err);
    }
    // A condition must stand alone: one that closes the parenthesis around it or ends
    // the statement is refused along with anything SQLite cannot prepare.
    const char* tail = nullptr;
    sqlite3_stmt* probe = nullptr;
    std::string probeSql = "SELECT 1 FROM " + d.data + " WHERE (" + cond + ") LIMIT 0";
    int rc = sqlite3_prepare_v2(d.conn->db, probeSql.c_str(), -1, &probe, &tail);
    bool trailing =
        tail && std::string_view(tail).find_first_not_of(" \t\r\n;") != std::string_view::npos;
    const size_t wanted = probe ? static_cast<size_t>(sqlite3_bind_parameter_count(probe)) : 0;
    sqlite3_finalize(probe);
    if (rc == SQLITE_OK && wanted != parameters.size()) {
        return fail(d.err, kInvalidFilter, name(), 0,
                    "the condition wants " + std::to_string(wanted) + " values, " +
                        std::to_string(parameters.size()) + " given");
    }
    if (rc != SQLITE_OK || trailing || !balanced(cond) || cond.find(';') != std::string::npos) {
        std::string why = rc != SQLITE_OK ? sqlite3_errmsg(d.conn->db) : "not a single condition";
        return fail(d.err, kInvalidFilter, name(), rc, why);
    }
    d.filter = cond;
    d.filterParams = std::move(parameters);
    return succeed(d.err);
}

int Table::get(int key, RecordBuffer& into) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (key == kPhysicalOrder || !d.validKey(key))
        return fail(d.err, kDriverError, name(), 0, "no such key");
    const Shape::Key& k = d.shape->keys[key];
    std::vector<Scalar> values = d.keyValues(key, readSlots(*d.shape, *d.decl, into));
    if (!k.optionalCondition.empty()) {
        bool allBlank = true;
        for (const Scalar& v : values) allBlank = allBlank && isBlank(v);
        if (allBlank) return fail(d.err, kRecordNotFound, name());
    }
    std::string sql = "SELECT " + d.shape->selectList() + " FROM " + d.data + " WHERE ";
    for (size_t i = 0; i < k.terms.size(); ++i) sql += (i ? " AND " : "") + k.terms[i] + " = ?";
    if (!k.optionalCondition.empty()) sql += " AND " + k.optionalCondition;
    sql += " ORDER BY ";
    for (const std::string& t : k.terms) sql += t + ", ";
    sql += "rowid LIMIT 1;";
    Stmt st(d.conn, sql);
    if (!st.ok()) return failSql(d.err, d.conn->db, name());
    for (size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i + 1), values[i]);
    int rc = st.step();
    if (rc == SQLITE_DONE) return fail(d.err, kRecordNotFound, name());
    if (rc != SQLITE_ROW) return failSql(d.err, d.conn->db, name());
    std::vector<Scalar> cells;
    for (size_t c = 0; c < d.shape->types.size(); ++c)
        cells.push_back(st.column(static_cast<int>(c + 1), d.shape->types[c]));
    d.current = st.columnInt(0);
    writeSlots(*d.shape, *d.decl, cells, into);
    d.keepSnapshot(std::move(cells));
    return succeed(d.err);
}

std::string Table::position() const {
    return impl_->current ? std::to_string(impl_->current) : std::string();
}

int Table::reget(std::string_view position, RecordBuffer& into) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    int64_t row = 0;
    if (!parsePosition(position, row)) return fail(d.err, kRecordNotFound, name());
    Stmt st(d.conn, "SELECT " + d.shape->selectList() + " FROM " + d.data + " WHERE rowid = ?;");
    if (!st.ok()) return failSql(d.err, d.conn->db, name());
    st.bindInt(1, row);
    int rc = st.step();
    if (rc == SQLITE_DONE) return fail(d.err, kRecordNotFound, name());
    if (rc != SQLITE_ROW) return failSql(d.err, d.conn->db, name());
    std::vector<Scalar> cells;
    for (size_t c = 0; c < d.shape->types.size(); ++c)
        cells.push_back(st.column(static_cast<int>(c + 1), d.shape->types[c]));
    d.current = row;
    writeSlots(*d.shape, *d.decl, cells, into);
    d.keepSnapshot(std::move(cells));
    return succeed(d.err);
}

}  // namespace corvix::storage

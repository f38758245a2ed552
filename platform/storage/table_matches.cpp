// Filters few records pass, read in a key's order. Walking a key's index and testing a
// filter that needs other fields costs a search of the table for every record walked,
// some twenty times what a pass in file order costs per record; a filter few records
// pass makes that walk cover most of the table for every page. So when the filter needs
// a field beyond the key, one pass in file order lists the records it lets through (up
// to kMostMatches, else the walk stays), their key values are sorted here with the
// key's own comparison, and reading goes through that list until the table changes.
#include <algorithm>

#include "platform/storage/internal.h"
#include "runtime/collate.h"

namespace corvix::storage {

using namespace detail;

namespace {

constexpr size_t kMostMatches = 1024;
// A filter that one record in kDense or more passes fills a page within some
// kDense * page records of the walk: once kDenseSample matches show it (they lie within
// so few row ids), the pass stops and the walk stays, rather than reading on until
// kMostMatches.
constexpr size_t kDenseSample = 64;
constexpr int64_t kDense = 32;

// As the key's index orders two values of one component.
int compareCell(const Scalar& a, const Scalar& b, bool noCase) {
    const auto* sa = std::get_if<std::string>(&a);
    const auto* sb = std::get_if<std::string>(&b);
    if (sa && sb) {
        const int c = noCase ? runtime::compareNoCase(*sa, *sb) : sa->compare(*sb);
        return (c > 0) - (c < 0);
    }
    if (sa || sb) return sa ? 1 : -1;  // numbers before text, as SQLite has it
    const auto* ia = std::get_if<int64_t>(&a);
    const auto* ib = std::get_if<int64_t>(&b);
    if (ia && ib) return (*ia > *ib) - (*ia < *ib);
    const double x = ia ? static_cast<double>(*ia) : std::get<double>(a);
    const double y = ib ? static_cast<double>(*ib) : std::get<double>(b);
    return (x > y) - (x < y);
}

}  // namespace

void Table::Impl::clearMatches() {
    for (auto& m : matches.rows) wipeCells(m.first);
    matches.rows.clear();
    matches.state = Matches::State::Unknown;
}

int Table::Impl::listMatches() {
    clearMatches();
    matches.order = order;
    matches.generation = conn->generation;
    matches.dataVersion = batchDataVersion;
    const Shape::Key& k = shape->keys[order];
    // A filter over the key's own fields is tested in the index, without searching the
    // table: the walk is cheap then.
    bool beyondKey = false;
    for (size_t c = 0; c < shape->columns.size() && !beyondKey; ++c) {
        const bool inKey =
            std::find(k.cells.begin(), k.cells.end(), static_cast<int>(c)) != k.cells.end();
        beyondKey = !inKey && filter.find(shape->columns[c]) != std::string::npos;
    }
    if (!beyondKey) {
        matches.state = Matches::State::Walk;
        return kNoError;
    }
    std::string sql = "SELECT rowid";
    for (int cell : k.cells) sql += ", " + shape->columns[cell];
    sql += " FROM " + data + " NOT INDEXED WHERE ";
    if (!k.optionalCondition.empty()) sql += k.optionalCondition + " AND ";
    sql += "(" + filter + ") LIMIT " + std::to_string(kMostMatches + 1) + ";";
    Stmt st(conn->db, sql);
    if (!st.ok()) return failSql(err, conn->db, name);
    int i = 1;
    for (const Scalar& a : filterParams) st.bind(i++, a);
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        std::vector<Scalar> values;
        for (size_t c = 0; c < k.cells.size(); ++c)
            values.push_back(st.column(static_cast<int>(c + 1), shape->types[k.cells[c]]));
        matches.rows.emplace_back(std::move(values), st.columnInt(0));
        const size_t found = matches.rows.size();
        const bool dense =
            found == kDenseSample && matches.rows.back().second - matches.rows.front().second <
                                         static_cast<int64_t>(found) * kDense;
        if (dense || found > kMostMatches) {
            clearMatches();
            matches.state = Matches::State::Walk;
            return kNoError;
        }
    }
    if (rc != SQLITE_DONE) {
        clearMatches();
        return failSql(err, conn->db, name);
    }
    std::sort(matches.rows.begin(), matches.rows.end(), [&](const auto& a, const auto& b) {
        const int c = compareMatch(a, b.first, b.second);
        return c < 0;
    });
    matches.state = Matches::State::Listed;
    return kNoError;
}

int Table::Impl::compareMatch(const std::pair<std::vector<Scalar>, int64_t>& m,
                              const std::vector<Scalar>& values, int64_t row) const {
    const Shape::Key& k = shape->keys[order];
    for (size_t c = 0; c < k.cells.size() && c < values.size(); ++c) {
        const bool noCase = k.terms[c].find(kCollation) != std::string::npos;
        if (int r = compareCell(m.first[c], values[c], noCase)) return r;
    }
    if (row == 0) return 0;  // a key value alone: every record of it
    return (m.second > row) - (m.second < row);
}

int Table::Impl::readMatches(bool forward, bool& listed) {
    listed = false;
    if (matches.state == Matches::State::Unknown || matches.order != order ||
        matches.generation != conn->generation || matches.dataVersion != batchDataVersion) {
        if (int rc = listMatches()) return rc;
    }
    if (matches.state != Matches::State::Listed) return kNoError;
    listed = true;
    const auto& rows = matches.rows;
    // The first listed record to read, going forward; or one past the first to read,
    // going back.
    size_t start = forward ? 0 : rows.size();
    if (place == Place::After || place == Place::From) {
        const bool after = place == Place::After;
        const std::vector<Scalar>& values = after ? at : fromValues;
        const int64_t row = after ? atRow : fromRow;
        // Forward: beyond the place (after) or at it (from); back: before or at it.
        const bool strict = after;
        auto it = std::partition_point(rows.begin(), rows.end(), [&](const auto& m) {
            const int c = compareMatch(m, values, row);
            return forward == strict ? c <= 0 : c < 0;
        });
        start = static_cast<size_t>(it - rows.begin());
    }
    Stmt st(conn, "SELECT " + shape->selectList() + " FROM " + data + " WHERE rowid = ?;");
    if (!st.ok()) return failSql(err, conn->db, name);
    for (size_t i = start; batch.size() < batchRows && (forward ? i < rows.size() : i > 0);) {
        const int64_t id = rows[forward ? i++ : --i].second;
        st.reset();
        st.bindInt(1, id);
        const int rc = st.step();
        if (rc == SQLITE_DONE) continue;  // gone since it was listed
        if (rc != SQLITE_ROW) return failSql(err, conn->db, name);
        std::vector<Scalar> cells;
        cells.reserve(shape->types.size());
        for (size_t c = 0; c < shape->types.size(); ++c)
            cells.push_back(st.column(static_cast<int>(c + 1), shape->types[c]));
        batch.emplace_back(id, std::move(cells));
    }
    st.reset();
    return kNoError;
}

}  // namespace corvix::storage

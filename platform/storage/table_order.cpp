// The records of a table in the order of one field that no key gives: only their row
// ids, sorted once, so that a list can page through them by position.
#include <sodium.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/storage/internal.h"
#include "platform/storage/table.h"
#include "runtime/collate.h"
#include "runtime/secret.h"

namespace corvix::storage {

namespace {

// Text held in memory while sorting by a text field: beyond it the storage sorts.
constexpr size_t kSortTextBudget = size_t{48} << 20;
constexpr size_t kTextBlock = size_t{64} << 10;

}  // namespace

int Table::positionsByField(int field, std::vector<int64_t>& out) {
    Impl& d = *impl_;
    out.clear();
    if (!d.isOpen()) return d.notOpen();
    if (field < 0 || field >= static_cast<int>(d.decl->fields.size()))
        return detail::fail(d.err, kInvalidData, name());
    const std::string& column = d.shape->columns[d.shape->first[field]];
    const bool text = d.decl->fields[field].type == FieldType::String;
    const std::string where = d.filter.empty() ? std::string() : " WHERE (" + d.filter + ")";
    auto run = [&](const std::string& sql, auto&& row) {
        detail::Stmt st(d.conn->db, sql);
        if (!st.ok()) return detail::failSql(d.err, d.conn->db, name());
        int i = 1;
        for (const Scalar& a : d.filterParams) st.bind(i++, a);
        int rc = SQLITE_ROW;
        while ((rc = st.step()) == SQLITE_ROW)
            if (!row(st)) return -1;
        if (rc != SQLITE_DONE) return detail::failSql(d.err, d.conn->db, name());
        return 0;
    };
    if (text) {
        // Sorted here with the keys' own comparison: the storage's sorter calls the
        // collation through its record comparison for every pair, several times slower.
        // Each row is a short sort key and its row id; the texts (kept in blocks that never
        // move as they grow, not one allocation each) decide only the few pairs whose
        // keys cannot tell. Equal texts keep row id order.
        struct Entry {
            runtime::NoCaseKey key;
            int64_t row;
            uint32_t block, offset, size;
        };
        std::vector<Entry> rows;
        std::vector<std::string> blocks;
        size_t bytes = 0;
        const int rc =
            run("SELECT rowid, " + column + " FROM " + d.data + where + ";", [&](detail::Stmt& st) {
                const auto* p = sqlite3_column_text(st.get(), 1);
                const auto n = static_cast<size_t>(sqlite3_column_bytes(st.get(), 1));
                const std::string_view value(p ? reinterpret_cast<const char*>(p) : "", p ? n : 0);
                Entry e{runtime::noCaseKey(value), st.columnInt(0), 0, 0, 0};
                if (blocks.empty() || blocks.back().size() + n > blocks.back().capacity())
                    blocks.emplace_back().reserve(std::max(kTextBlock, n));
                e.block = static_cast<uint32_t>(blocks.size() - 1);
                e.offset = static_cast<uint32_t>(blocks.back().size());
                e.size = static_cast<uint32_t>(n);
                blocks.back().append(value);
                bytes += n;
                rows.push_back(e);
                return bytes + rows.size() * sizeof(Entry) <= kSortTextBudget;
            });
        if (rc == 0) {
            auto textOf = [&blocks](const Entry& e) {
                return std::string_view(blocks[e.block]).substr(e.offset, e.size);
            };
            std::sort(rows.begin(), rows.end(), [&](const Entry& a, const Entry& b) {
                const std::optional<int> byKey = runtime::compareNoCaseKeys(a.key, b.key);
                const int c = byKey ? *byKey : runtime::compareNoCase(textOf(a), textOf(b));
                return c != 0 ? c < 0 : a.row < b.row;
            });
            out.reserve(rows.size());
            for (const Entry& e : rows) out.push_back(e.row);
        }
        // The texts may be passwords: neither they nor the keys' first bytes stay behind.
        for (std::string& block : blocks) ::runtime::wipe(block);
        if (!rows.empty()) sodium_memzero(rows.data(), rows.size() * sizeof(Entry));
        if (rc > 0) return rc;
        if (rc == 0) return detail::succeed(d.err);
        // Too much text to hold: the storage sorts it.
    }
    const std::string sql = "SELECT rowid FROM " + d.data + where + " ORDER BY " + column +
                            (text ? std::string(" COLLATE ") + detail::kCollation : "") +
                            ", rowid;";
    const int rc = run(sql, [&](detail::Stmt& st) {
        out.push_back(st.columnInt(0));
        return true;
    });
    if (rc != 0) {
        out.clear();
        return rc;
    }
    return detail::succeed(d.err);
}

}  // namespace corvix::storage

// The catalogue every file keeps: each table's name, SQL id and declaration, and the
// SQL shape (columns, key indexes) a declaration turns into.
#include <algorithm>
#include <sstream>

#include "platform/storage/internal.h"
#include "runtime/collate.h"

namespace corvix::storage::detail {

namespace {

std::string escape(std::string_view s) {
    std::string out;
    for (char ch : s) {
        if (ch == '\\')
            out += "\\\\";
        else if (ch == '\t')
            out += "\\t";
        else if (ch == '\n')
            out += "\\n";
        else
            out += ch;
    }
    return out;
}

std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> splitOn(std::string_view s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        parts.emplace_back(s.substr(start, p == std::string_view::npos ? p : p - start));
        if (p == std::string_view::npos) break;
        start = p + 1;
    }
    return parts;
}

template <typename T>
std::string joinNumbers(const std::vector<T>& v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) out += (i ? "," : "") + std::to_string(v[i]);
    return out;
}

bool parseNumber(const std::string& s, long long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtoll(s.c_str(), &end, 10);
    return end && *end == '\0';
}

template <typename T>
bool parseNumbers(const std::string& s, std::vector<T>& out) {
    out.clear();
    if (s.empty()) return true;
    for (const std::string& part : splitOn(s, ',')) {
        long long v;
        if (!parseNumber(part, v)) return false;
        out.push_back(static_cast<T>(v));
    }
    return true;
}

const char* sqlType(FieldType t) {
    switch (t) {
        case FieldType::String:
            return "TEXT NOT NULL DEFAULT ''";
        case FieldType::Real:
            return "REAL NOT NULL DEFAULT 0";
        default:
            return "INTEGER NOT NULL DEFAULT 0";
    }
}

}  // namespace

std::string serialiseDecl(const TableDecl& d) {
    std::ostringstream out;
    out << "corvix-declaration 1\n";
    out << "T\t" << escape(d.label) << '\t' << escape(d.prefix) << '\n';
    for (const FieldDecl& f : d.fields)
        out << "F\t" << escape(f.name) << '\t' << static_cast<int>(f.type) << '\t' << f.size << '\t'
            << joinNumbers(f.dims) << '\t' << escape(f.picture) << '\n';
    for (const KeyDecl& k : d.keys)
        out << "K\t" << escape(k.name) << '\t' << escape(k.description) << '\t' << k.flags << '\t'
            << joinNumbers(k.components) << '\n';
    for (const BlobDecl& b : d.blobs)
        out << "B\t" << escape(b.name) << '\t' << (b.memo ? 1 : 0) << '\t' << b.memoSize << '\n';
    return out.str();
}

bool parseDecl(std::string_view text, TableDecl& out) {
    out = TableDecl{};
    std::vector<std::string> lines = splitOn(text, '\n');
    if (lines.empty() || lines[0] != "corvix-declaration 1") return false;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        std::vector<std::string> p = splitOn(lines[i], '\t');
        long long a = 0, b = 0;
        if (p[0] == "T" && p.size() == 3) {
            out.label = unescape(p[1]);
            out.prefix = unescape(p[2]);
        } else if (p[0] == "F" && p.size() == 6) {
            FieldDecl f;
            f.name = unescape(p[1]);
            if (!parseNumber(p[2], a) || a < 0 || a > static_cast<int>(FieldType::String) ||
                !parseNumber(p[3], b) || !parseNumbers(p[4], f.dims))
                return false;
            f.type = static_cast<FieldType>(a);
            f.size = static_cast<uint32_t>(b);
            f.picture = unescape(p[5]);
            out.fields.push_back(std::move(f));
        } else if (p[0] == "K" && p.size() == 5) {
            KeyDecl k;
            k.name = unescape(p[1]);
            k.description = unescape(p[2]);
            if (!parseNumber(p[3], a) || !parseNumbers(p[4], k.components)) return false;
            k.flags = static_cast<uint32_t>(a);
            for (int c : k.components)
                if (c < 0 || static_cast<size_t>(c) >= out.fields.size()) return false;
            out.keys.push_back(std::move(k));
        } else if (p[0] == "B" && p.size() == 4) {
            BlobDecl bd;
            bd.name = unescape(p[1]);
            if (!parseNumber(p[2], a) || !parseNumber(p[3], b)) return false;
            bd.memo = a != 0;
            bd.memoSize = static_cast<uint32_t>(b);
            out.blobs.push_back(std::move(bd));
        } else {
            return false;
        }
    }
    return true;
}

std::string dataTable(int64_t id) {
    return "d" + std::to_string(id);
}
std::string blobTable(int64_t id) {
    return "b" + std::to_string(id);
}

bool hasCatalogue(sqlite3* db) {
    Stmt st(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?;");
    if (!st.ok()) return false;
    st.bindText(1, kCatalogue);
    return st.step() == SQLITE_ROW;
}

int createCatalogue(sqlite3* db) {
    return exec(db, std::string("CREATE TABLE IF NOT EXISTS ") + kCatalogue +
                        " (name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
                        " id INTEGER NOT NULL UNIQUE, declaration TEXT NOT NULL);");
}

int listTables(sqlite3* db, std::vector<CatalogueEntry>& out) {
    out.clear();
    Stmt st(db, std::string("SELECT name, id, declaration FROM ") + kCatalogue + " ORDER BY id;");
    if (!st.ok()) return st.prepareCode();
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        CatalogueEntry e;
        e.name = st.columnText(0);
        e.id = st.columnInt(1);
        if (!parseDecl(st.columnText(2), e.decl)) return SQLITE_CORRUPT;
        out.push_back(std::move(e));
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Every open looks its table up: only the declaration of the table found is parsed.
int findTable(sqlite3* db, std::string_view name, CatalogueEntry& out) {
    Stmt st(db, std::string("SELECT name, id, declaration FROM ") + kCatalogue + " ORDER BY id;");
    if (!st.ok()) return st.prepareCode();
    int rc, rows = 0;
    bool found = false;
    std::string onlyDecl;
    CatalogueEntry only;
    while ((rc = st.step()) == SQLITE_ROW) {
        ++rows;
        const std::string rowName = st.columnText(0);
        if (runtime::sameNoCase(rowName, name)) {
            out.name = rowName;
            out.id = st.columnInt(1);
            if (!parseDecl(st.columnText(2), out.decl)) return SQLITE_CORRUPT;
            found = true;
            break;
        }
        // A plain file name means the file's only table, whatever it is called.
        if (name.empty() && rows == 1) {
            only.name = rowName;
            only.id = st.columnInt(1);
            onlyDecl = st.columnText(2);
        }
    }
    if (found) return SQLITE_OK;
    if (rc != SQLITE_DONE) return rc;
    if (name.empty() && rows == 1) {
        if (!parseDecl(onlyDecl, only.decl)) return SQLITE_CORRUPT;
        out = std::move(only);
        return SQLITE_OK;
    }
    return SQLITE_NOTFOUND;
}

Shape::Shape(const TableDecl& d) {
    for (const FieldDecl& f : d.fields) {
        first.push_back(static_cast<uint32_t>(columns.size()));
        for (uint32_t e = 0; e < f.elements(); ++e) {
            columns.push_back(Table::columnName(f, e));
            types.push_back(f.type);
        }
    }
    for (const KeyDecl& k : d.keys) {
        Key key;
        key.unique = k.unique();
        key.name = k.name;
        std::string cond;
        for (int c : k.components) {
            if (c < 0 || static_cast<size_t>(c) >= d.fields.size()) continue;
            const FieldDecl& f = d.fields[c];
            for (uint32_t e = 0; e < f.elements(); ++e) {
                int slot = static_cast<int>(first[c] + e);
                key.cells.push_back(slot);
                std::string term = columns[slot];
                if (f.type == FieldType::String && (k.flags & kKeyNoCase))
                    term += std::string(" COLLATE ") + kCollation;
                key.terms.push_back(term);
                if (!cond.empty()) cond += " OR ";
                cond += columns[slot] + (f.type == FieldType::String ? " <> ''" : " <> 0");
            }
        }
        if (k.optional() && !cond.empty()) key.optionalCondition = "(" + cond + ")";
        keys.push_back(std::move(key));
    }
}

std::string Shape::selectList() const {
    std::string out = "rowid";
    for (const std::string& c : columns) out += ", " + c;
    return out;
}

std::vector<Scalar> readSlots(const Shape& s, const TableDecl& d, const RecordBuffer& r,
                              bool* normalised) {
    std::vector<Scalar> cells;
    cells.reserve(s.columns.size());
    for (size_t f = 0; f < d.fields.size(); ++f)
        for (uint32_t e = 0; e < d.fields[f].elements(); ++e) {
            Scalar v = r.get(static_cast<int>(f), e);
            // Normalising keeps the type and only ever shortens a text or changes a
            // number, so type, length and integer value tell whether it did anything.
            size_t type = v.index();
            auto text = std::get_if<std::string>(&v);
            size_t length = text ? text->size() : 0;
            auto integer = std::get_if<int64_t>(&v);
            int64_t number = integer ? *integer : 0;
            cells.push_back(normalise(d.fields[f], std::move(v)));
            if (normalised && !*normalised) {
                const Scalar& n = cells.back();
                auto t = std::get_if<std::string>(&n);
                auto i = std::get_if<int64_t>(&n);
                *normalised =
                    n.index() != type || (t && t->size() != length) || (i && *i != number);
            }
        }
    return cells;
}

void writeSlots(const Shape& s, const TableDecl& d, const std::vector<Scalar>& cells,
                RecordBuffer& r) {
    for (size_t f = 0; f < d.fields.size(); ++f)
        for (uint32_t e = 0; e < d.fields[f].elements(); ++e)
            r.set(static_cast<int>(f), cells[s.first[f] + e], e);
}

std::string indexName(int64_t id, size_t key) {
    return dataTable(id) + "_k" + std::to_string(key);
}

std::string indexSql(const Shape& shape, int64_t id, size_t k, bool ifMissing) {
    const Shape::Key& key = shape.keys[k];
    if (key.terms.empty()) return {};
    std::string sql = std::string("CREATE ") + (key.unique ? "UNIQUE " : "") + "INDEX " +
                      (ifMissing ? "IF NOT EXISTS " : "") + indexName(id, k) + " ON " +
                      dataTable(id) + " (";
    for (size_t t = 0; t < key.terms.size(); ++t) sql += (t ? ", " : "") + key.terms[t];
    sql += ")";
    if (!key.optionalCondition.empty()) sql += " WHERE " + key.optionalCondition;
    return sql + ";";
}

bool indexExists(sqlite3* db, const std::string& index) {
    Stmt st(db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?;");
    if (!st.ok()) return false;
    st.bindText(1, index);
    return st.step() == SQLITE_ROW;
}

// One statement (one read of the schema) for all the keys of a table.
int missingIndex(sqlite3* db, const Shape& shape, int64_t id) {
    Stmt st(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = ?;");
    if (!st.ok()) return -1;
    st.bindText(1, dataTable(id));
    std::vector<std::string> present;
    while (st.step() == SQLITE_ROW) present.push_back(st.columnText(0));
    for (size_t k = 0; k < shape.keys.size(); ++k) {
        if (shape.keys[k].terms.empty()) continue;
        if (std::find(present.begin(), present.end(), indexName(id, k)) == present.end())
            return static_cast<int>(k);
    }
    return -1;
}

int createTableIn(sqlite3* db, std::string_view name, const TableDecl& decl, int64_t* idOut) {
    int rc = createCatalogue(db);
    if (rc != SQLITE_OK) return rc;
    int64_t id = 1;
    {
        Stmt st(db, std::string("SELECT coalesce(max(id), 0) + 1 FROM ") + kCatalogue + ";");
        if (!st.ok()) return st.prepareCode();
        if (st.step() == SQLITE_ROW) id = st.columnInt(0);
    }
    Shape shape(decl);
    std::string data = dataTable(id);
    std::string sql = "CREATE TABLE " + data + " (_row INTEGER PRIMARY KEY AUTOINCREMENT";
    for (size_t i = 0; i < shape.columns.size(); ++i)
        sql += ", " + shape.columns[i] + " " + sqlType(shape.types[i]);
    sql += ");";
    sql += "CREATE TABLE " + blobTable(id) +
           " (rid INTEGER NOT NULL, blob INTEGER NOT NULL, chunk INTEGER NOT NULL,"
           " data BLOB NOT NULL, PRIMARY KEY (rid, blob, chunk)) WITHOUT ROWID;";
    for (size_t k = 0; k < shape.keys.size(); ++k) sql += indexSql(shape, id, k, false);
    rc = exec(db, sql);
    if (rc != SQLITE_OK) return rc;
    Stmt ins(db, std::string("INSERT INTO ") + kCatalogue +
                     " (name, id, declaration) VALUES (?, ?, ?);");
    if (!ins.ok()) return ins.prepareCode();
    ins.bindText(1, name);
    ins.bindInt(2, id);
    ins.bindText(3, serialiseDecl(decl));
    rc = ins.step();
    if (rc != SQLITE_DONE) return rc;
    if (idOut) *idOut = id;
    return SQLITE_OK;
}

int dropTableIn(sqlite3* db, const CatalogueEntry& e) {
    std::string sql = "DROP TABLE IF EXISTS " + dataTable(e.id) + "; DROP TABLE IF EXISTS " +
                      blobTable(e.id) + ";";
    int rc = exec(db, sql);
    if (rc != SQLITE_OK) return rc;
    Stmt del(db, std::string("DELETE FROM ") + kCatalogue + " WHERE id = ?;");
    if (!del.ok()) return del.prepareCode();
    del.bindInt(1, e.id);
    rc = del.step();
    if (rc != SQLITE_DONE) return rc;
    // A new table may be given the same id: a load's marker must not speak for it.
    return clearDeferredMarker(db, e.id);
}

}  // namespace corvix::storage::detail

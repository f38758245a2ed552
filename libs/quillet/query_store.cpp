#include "libs/quillet/query_store.h"

#include <algorithm>
#include <memory>

#include "libs/quillet/display_texts.h"
#include "libs/quillet/quillet.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"
#include "runtime/expression.h"
#include "runtime/picture.h"

namespace corvix::quillet {

std::string QXQW_FilePath;
std::string QXQW_FileName;

namespace {

using storage::FieldDecl;
using storage::FieldType;
using storage::KeyDecl;
using storage::TableDecl;

// Queries may hold values typed by the user (a password compared against, say): the
// store is sealed like the vault, never plain text on disk.
const char kOwner[] = "quillet query store v1";

FieldDecl str(const char* name, uint32_t size) {
    return FieldDecl{name, FieldType::String, size, {}, "@s" + std::to_string(size)};
}
FieldDecl num(const char* name, FieldType type) {
    return FieldDecl{name, type, 0, {}, "@n-14"};
}

namespace qr {
enum { QUERYNO, CLASSNAME, DESCRIPTION, MANUAL, INVALID, QUERYSTRING };
enum { BYQUERYNO, BYCLASSNAME };
}  // namespace qr
namespace el {
enum { QUERYNO, FIELDPOINTER, CMPPOINTER, CONJUNCTION, VALUE, MATCHTYPE, OPCODE, EXPRESSION };
enum { BYQUERYNO };
}  // namespace el
namespace old {
enum { QUERYNO, FIELDPOINTER, CMPPOINTER, CONJUNCTION, VALUE, MATCHTYPE, OPERATOR, EXPRESSION };
}
namespace fd {
enum { CLASSNAME, FIELDTYPE, FIELDNAME, FIELDPOINTER };
enum { BYCLASSNAME };
}  // namespace fd

TableDecl makeQueries() {
    TableDecl d;
    d.label = "QXQW_Queries";
    d.prefix = "QXQW_QR";
    d.owner = kOwner;
    d.fields = {num("QXQW_QR:QUERYNO", FieldType::Long), str("QXQW_QR:CLASSNAME", 30),
                str("QXQW_QR:DESCRIPTION", 60),          num("QXQW_QR:MANUAL", FieldType::Byte),
                num("QXQW_QR:INVALID", FieldType::Byte), str("QXQW_QR:QUERYSTRING", 1024)};
    d.keys = {
        KeyDecl{"QXQW_QR:BYQUERYNO", "", {qr::QUERYNO}, storage::kKeyUnique | storage::kKeyNoCase},
        KeyDecl{"QXQW_QR:BYCLASSNAME", "", {qr::CLASSNAME, qr::DESCRIPTION}, storage::kKeyNoCase}};
    return d;
}

TableDecl makeElements() {
    TableDecl d;
    d.label = "QXQW_Elements";
    d.prefix = "QXQW_EL";
    d.owner = kOwner;
    d.fields = {num("QXQW_EL:QUERYNO", FieldType::Long),
                num("QXQW_EL:FIELDPOINTER", FieldType::Long),
                num("QXQW_EL:CMPPOINTER", FieldType::Long),
                str("QXQW_EL:CONJUNCTION", 3),
                str("QXQW_EL:VALUE", 80),
                num("QXQW_EL:MATCHTYPE", FieldType::Byte),
                num("QXQW_EL:OPCODE", FieldType::Byte),
                num("QXQW_EL:EXPRESSION", FieldType::Byte)};
    d.keys = {KeyDecl{"QXQW_EL:BYQUERYNO", "", {el::QUERYNO}, storage::kKeyNoCase}};
    return d;
}

TableDecl makeFields() {
    TableDecl d;
    d.label = "QXQW_Fields";
    d.prefix = "QXQW_FD";
    d.owner = kOwner;
    d.fields = {str("QXQW_FD:CLASSNAME", 30), num("QXQW_FD:FIELDTYPE", FieldType::Byte),
                str("QXQW_FD:FIELDNAME", 80), num("QXQW_FD:FIELDPOINTER", FieldType::Short)};
    d.keys = {KeyDecl{"QXQW_FD:BYCLASSNAME",
                      "",
                      {fd::CLASSNAME, fd::FIELDTYPE, fd::FIELDNAME},
                      storage::kKeyNoCase}};
    return d;
}

const TableDecl& queriesDecl() {
    static const TableDecl d = makeQueries();
    return d;
}
const TableDecl& elementsDecl() {
    static const TableDecl d = makeElements();
    return d;
}
const TableDecl& fieldsDecl() {
    static const TableDecl d = makeFields();
    return d;
}

// ---- where the store lies ----
struct Location {
    std::string* path = nullptr;
    std::string* fileName = nullptr;
    bool computed = false;
    StorePaths names;
};
Location& location() {
    static Location l;
    return l;
}

int failWith(StoreError* e, int code) {
    if (e) {
        e->code = code;
        const storage::Error& last = storage::lastError();
        e->text =
            last.code == code && last.code == storage::kDriverError && !last.driverText.empty()
                ? last.driverText
                : storage::errorText(code);
    }
    return code;
}

// Ends a write: rolled back after a failed step, committed otherwise (a failed commit is
// named as such).
int finishWrite(storage::Transaction& tx, int rc, StoreError* e) {
    if (rc != 0) {
        tx.rollback();
        return failWith(e, rc);
    }
    if ((rc = tx.commit()) != 0) {
        if (e) *e = {rc, "Error Committing Transaction: " + storage::errorText(rc)};
        return rc;
    }
    return 0;
}

// Opens a store table, creating the store when it is missing.
int openTable(storage::Table& t, const std::string& name) {
    t.setName(name);
    int rc = t.open(storage::kReadWrite | storage::kDenyNone);
    if (rc == storage::kFileNotFound) {
        rc = t.createIfMissing();
        if (rc == 0) rc = t.open(storage::kReadWrite | storage::kDenyNone);
    }
    return rc;
}

// The older elements layout: the same fields but the operation, kept as its name.
TableDecl makeOldElements() {
    TableDecl d = makeElements();
    d.label = d.prefix = "OLDFILE";
    for (FieldDecl& f : d.fields) f.name = "OLDFILE:" + std::string(f.bareName());
    d.fields[old::OPERATOR] = str("OLDFILE:OPERATOR", 40);
    d.keys[0].name = "OLDFILE:BYQUERYNO";
    return d;
}

// Copies an older elements table into the current layout under name + "Tmp", then
// swaps it in. The old table stays until the new one is complete.
int convertOldElements(const std::string& name) {
    static const TableDecl oldDecl = makeOldElements();
    storage::Table from(oldDecl);
    from.setName(name);
    int rc = from.open(storage::kReadWrite | storage::kDenyAll);
    if (rc != 0) return rc;
    const std::string temporary = name + "Tmp";
    if (storage::tableExists(temporary, kOwner)) storage::removeTable(temporary, kOwner);
    storage::Table to(elementsDecl());
    to.setName(temporary);
    if ((rc = to.create()) != 0 || (rc = to.open(storage::kReadWrite | storage::kDenyAll)) != 0)
        return rc;
    storage::Record a(oldDecl), b(elementsDecl());
    rc = from.set();
    while (rc == 0 && (rc = from.next(a)) == 0) {
        b.clear();
        b.set(el::QUERYNO, a.get(old::QUERYNO));
        b.set(el::FIELDPOINTER, a.get(old::FIELDPOINTER));
        b.set(el::CMPPOINTER, a.get(old::CMPPOINTER));
        b.set(el::CONJUNCTION, a.get(old::CONJUNCTION));
        b.set(el::VALUE, a.get(old::VALUE));
        b.set(el::MATCHTYPE, a.get(old::MATCHTYPE));
        b.set(el::OPCODE, int64_t{opcodeOfOperatorText(a.getString(old::OPERATOR))});
        b.set(el::EXPRESSION, a.get(old::EXPRESSION));
        rc = to.add(b);
    }
    if (rc != storage::kRecordNotAvailable) return rc;
    from.close();
    to.close();
    if ((rc = storage::removeTable(name, kOwner)) != 0) return rc;
    return storage::renameTable(temporary, name, kOwner);
}

// The three tables, open for one operation.
struct Open {
    storage::Table queries{queriesDecl()}, elements{elementsDecl()}, fields{fieldsDecl()};
    int open(StoreError* e, bool withElements = true, bool withFields = false) {
        const StorePaths p = storePaths();
        int rc = openTable(queries, p.queries);
        if (rc == 0 && withElements) {
            rc = openTable(elements, p.elements);
            if (rc == storage::kRecordMismatch) {
                rc = convertOldElements(p.elements);
                if (rc != 0) {
                    if (e) {
                        e->code = rc;
                        e->text = "Error Converting Elements File - " + storage::errorText(rc);
                    }
                    return rc;
                }
                rc = openTable(elements, p.elements);
            }
        }
        if (rc == 0 && withFields) rc = openTable(fields, p.fields);
        return rc ? failWith(e, rc) : 0;
    }
};

void readQuery(const storage::Record& r, StoredQuery& q) {
    q.queryNo = static_cast<int32_t>(r.getInt(qr::QUERYNO));
    q.className = r.getString(qr::CLASSNAME);
    q.description = r.getString(qr::DESCRIPTION);
    q.manual = static_cast<uint8_t>(r.getInt(qr::MANUAL));
    q.invalid = static_cast<uint8_t>(r.getInt(qr::INVALID));
    q.queryString = r.getString(qr::QUERYSTRING);
}

void writeQuery(const StoredQuery& q, storage::Record& r) {
    r.set(qr::QUERYNO, int64_t{q.queryNo});
    r.set(qr::CLASSNAME, runtime::expr::upperText(q.className));
    r.set(qr::DESCRIPTION, q.description);
    r.set(qr::MANUAL, int64_t{q.manual});
    r.set(qr::INVALID, int64_t{q.invalid});
    r.set(qr::QUERYSTRING, q.queryString);
}

void writeElement(int32_t queryNo, const StoredElement& x, storage::Record& r) {
    r.clear();
    r.set(el::QUERYNO, int64_t{queryNo});
    r.set(el::FIELDPOINTER, int64_t{x.fieldPointer});
    r.set(el::CMPPOINTER, int64_t{x.cmpPointer});
    r.set(el::CONJUNCTION, x.conjunction);
    r.set(el::VALUE, x.value);
    r.set(el::MATCHTYPE, int64_t{x.matchType});
    r.set(el::OPCODE, int64_t{x.opcode});
    r.set(el::EXPRESSION, int64_t{x.expression});
}

StoredElement readElement(const storage::Record& r) {
    StoredElement x;
    x.fieldPointer = static_cast<int32_t>(r.getInt(el::FIELDPOINTER));
    x.cmpPointer = static_cast<int32_t>(r.getInt(el::CMPPOINTER));
    x.conjunction = r.getString(el::CONJUNCTION);
    x.value = r.getString(el::VALUE);
    x.matchType = static_cast<uint8_t>(r.getInt(el::MATCHTYPE));
    x.opcode = static_cast<uint8_t>(r.getInt(el::OPCODE));
    x.expression = static_cast<uint8_t>(r.getInt(el::EXPRESSION));
    return x;
}

// Reads the elements of one query; with erase, deletes them as it goes.
int elementsOf(storage::Table& t, int32_t queryNo, std::vector<StoredElement>* out, bool erase) {
    storage::Record r(elementsDecl());
    r.set(el::QUERYNO, int64_t{queryNo});
    int rc = t.setFrom(el::BYQUERYNO, r);
    while (rc == 0 && (rc = t.next(r)) == 0) {
        if (r.getInt(el::QUERYNO) != queryNo) break;
        if (out) out->push_back(readElement(r));
        if (erase && (rc = t.erase()) != 0) return rc;
    }
    return rc == storage::kRecordNotAvailable ? 0 : rc;
}

int findQuery(storage::Table& t, int32_t queryNo, storage::Record& r) {
    r.clear();
    r.set(qr::QUERYNO, int64_t{queryNo});
    return t.get(qr::BYQUERYNO, r);
}

}  // namespace

// ---- location ----

void rememberStoreVariables(std::string* path, std::string* fileName) {
    location().path = path;
    location().fileName = fileName;
}

void forgetStoreVariables() {
    location().path = nullptr;
    location().fileName = nullptr;
}

void computeStorePaths() {
    Location& l = location();
    QXQW_FilePath = l.path ? runtime::rightTrim(*l.path) : std::string();
    QXQW_FileName = l.fileName ? runtime::rightTrim(*l.fileName) : std::string();
    std::string base = QXQW_FilePath;
    if (!base.empty() && base.back() != '/') base += '/';
    base += (QXQW_FileName.empty() ? std::string("QUERIES.TPS") : QXQW_FileName) + "\\!";
    l.names = {base + "QXQW_Queries", base + "QXQW_Elements", base + "QXQW_Fields"};
    l.computed = true;
}

StorePaths storePaths() {
    Location& l = location();
    if (!l.computed || l.path || l.fileName) computeStorePaths();
    return l.names;
}

int opcodeOfOperatorText(const std::string& text) {
    const std::string clipped = runtime::rightTrim(text);
    for (int i = 0; i < 12; ++i)
        if (clipped == kOperationNames[i]) return i + 1;
    return 0;
}

// ---- queries ----

int QueryStore::list(const std::string& className, std::vector<StoredQuery>& out, StoreError* e) {
    out.clear();
    Open o;
    if (int rc = o.open(e, false)) return rc;
    storage::Record r(queriesDecl());
    const std::string cls = runtime::expr::upperText(runtime::rightTrim(className));
    r.set(qr::CLASSNAME, cls);
    int rc = o.queries.setFrom(qr::BYCLASSNAME, r);
    while (rc == 0 && (rc = o.queries.next(r)) == 0) {
        if (r.getString(qr::CLASSNAME) != cls) break;
        out.emplace_back();
        readQuery(r, out.back());
    }
    return rc == storage::kRecordNotAvailable || rc == 0 ? 0 : failWith(e, rc);
}

int QueryStore::load(int32_t queryNo, StoredQuery& out, bool withElements, StoreError* e) {
    Open o;
    if (int rc = o.open(e, withElements)) return rc;
    storage::Record r(queriesDecl());
    if (int rc = findQuery(o.queries, queryNo, r)) return failWith(e, rc);
    out = {};
    readQuery(r, out);
    if (withElements) {
        if (int rc = elementsOf(o.elements, queryNo, &out.elements, false)) return failWith(e, rc);
    }
    return 0;
}

int QueryStore::save(StoredQuery& q, StoreError* e) {
    Open o;
    if (int rc = o.open(e)) return rc;
    storage::Transaction tx;
    if (int rc = tx.begin({&o.queries, &o.elements}, 10)) {
        if (e) *e = {rc, "Error Starting Transaction: -" + storage::errorText(rc)};
        return rc;
    }
    storage::Record r(queriesDecl());
    int rc = 0;
    if (q.queryNo == 0) {
        // The highest number in the store plus one.
        int32_t highest = 0;
        if ((rc = o.queries.setLast(qr::BYQUERYNO)) == 0 && o.queries.previous(r) == 0)
            highest = static_cast<int32_t>(r.getInt(qr::QUERYNO));
        q.queryNo = highest + 1;
        r.clear();
        writeQuery(q, r);
        rc = o.queries.add(r);
    } else if ((rc = findQuery(o.queries, q.queryNo, r)) == 0) {
        writeQuery(q, r);
        rc = o.queries.put(r);
        if (rc == 0) rc = elementsOf(o.elements, q.queryNo, nullptr, true);
    }
    storage::Record x(elementsDecl());
    for (size_t i = 0; rc == 0 && !q.manual && i < q.elements.size(); ++i) {
        writeElement(q.queryNo, q.elements[i], x);
        rc = o.elements.add(x);
    }
    return finishWrite(tx, rc, e);
}

int QueryStore::remove(int32_t queryNo, StoreError* e) {
    Open o;
    if (int rc = o.open(e)) return rc;
    storage::Transaction tx;
    if (int rc = tx.begin({&o.queries, &o.elements}, 10)) return failWith(e, rc);
    storage::Record r(queriesDecl());
    int rc = findQuery(o.queries, queryNo, r);
    if (rc == 0) rc = o.queries.erase();
    if (rc == 0) rc = elementsOf(o.elements, queryNo, nullptr, true);
    if (rc == 0) rc = tx.commit();
    return rc ? failWith(e, rc) : 0;
}

// ---- fields ----

int QueryStore::fields(const std::string& className, std::vector<StoredField>& out, StoreError* e) {
    out.clear();
    Open o;
    if (int rc = o.open(e, false, true)) return rc;
    storage::Record r(fieldsDecl());
    const std::string cls = runtime::expr::upperText(runtime::rightTrim(className));
    r.set(fd::CLASSNAME, cls);
    int rc = o.fields.setFrom(fd::BYCLASSNAME, r);
    while (rc == 0 && (rc = o.fields.next(r)) == 0) {
        if (r.getString(fd::CLASSNAME) != cls) break;
        out.push_back({static_cast<uint8_t>(r.getInt(fd::FIELDTYPE)), r.getString(fd::FIELDNAME),
                       static_cast<int16_t>(r.getInt(fd::FIELDPOINTER))});
    }
    return rc == storage::kRecordNotAvailable || rc == 0 ? 0 : failWith(e, rc);
}

int QueryStore::reconcile(const std::string& className, const std::vector<int>& removed,
                          const std::vector<StoredField>& fields, StoreError* e) {
    Open o;
    if (int rc = o.open(e, true, true)) return rc;
    storage::Transaction tx;
    // The transaction is the lock on the store's three tables: it waits for another
    // writer up to ten seconds, as ten one-second attempts did.
    if (int rc = tx.begin({&o.queries, &o.elements, &o.fields}, 10)) {
        if (e) *e = {rc, "Error Starting Transaction: -" + storage::errorText(rc)};
        return rc;
    }
    const std::string cls = runtime::expr::upperText(runtime::rightTrim(className));
    auto gone = [&](int64_t n) {
        return n > 0 && std::find(removed.begin(), removed.end(), n) != removed.end();
    };
    int rc = 0;
    if (!removed.empty()) {
        std::vector<StoredQuery> queries;
        storage::Record q(queriesDecl());
        q.set(qr::CLASSNAME, cls);
        rc = o.queries.setFrom(qr::BYCLASSNAME, q);
        while (rc == 0 && (rc = o.queries.next(q)) == 0 && q.getString(qr::CLASSNAME) == cls) {
            queries.emplace_back();
            readQuery(q, queries.back());
        }
        if (rc == storage::kRecordNotAvailable || rc == 0) rc = 0;
        storage::Record x(elementsDecl());
        for (const StoredQuery& query : queries) {
            bool hit = false;
            x.clear();
            x.set(el::QUERYNO, int64_t{query.queryNo});
            rc = o.elements.setFrom(el::BYQUERYNO, x);
            while (rc == 0 && (rc = o.elements.next(x)) == 0 &&
                   x.getInt(el::QUERYNO) == query.queryNo) {
                const bool f = gone(x.getInt(el::FIELDPOINTER)), c = gone(x.getInt(el::CMPPOINTER));
                if (!f && !c) continue;
                if (f) x.set(el::FIELDPOINTER, int64_t{-1});
                if (c) x.set(el::CMPPOINTER, int64_t{-1});
                hit = true;
                if ((rc = o.elements.put(x)) != 0) break;
            }
            if (rc != 0 && rc != storage::kRecordNotAvailable) break;
            rc = 0;
            if (hit && (rc = findQuery(o.queries, query.queryNo, q)) == 0) {
                q.set(qr::INVALID, int64_t{1});
                rc = o.queries.put(q);
            }
            if (rc != 0) break;
        }
    }
    // The class's field list is written anew.
    storage::Record f(fieldsDecl());
    if (rc == 0) {
        f.set(fd::CLASSNAME, cls);
        rc = o.fields.setFrom(fd::BYCLASSNAME, f);
        while (rc == 0 && (rc = o.fields.next(f)) == 0 && f.getString(fd::CLASSNAME) == cls)
            rc = o.fields.erase();
        if (rc == storage::kRecordNotAvailable) rc = 0;
    }
    for (size_t i = 0; rc == 0 && i < fields.size(); ++i) {
        f.clear();
        f.set(fd::CLASSNAME, cls);
        f.set(fd::FIELDTYPE, int64_t{fields[i].fieldType});
        f.set(fd::FIELDNAME, fields[i].fieldName);
        f.set(fd::FIELDPOINTER, int64_t{fields[i].fieldPointer});
        rc = o.fields.add(f);
    }
    return finishWrite(tx, rc, e);
}

}  // namespace corvix::quillet

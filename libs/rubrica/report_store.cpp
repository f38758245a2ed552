#include "libs/rubrica/report_store.h"

#include "platform/storage/record.h"
#include "platform/storage/table.h"
#include "runtime/collate.h"
#include "runtime/picture.h"

namespace corvix::rubrica {

namespace {

using storage::FieldDecl;
using storage::FieldType;
using storage::KeyDecl;

FieldDecl str(const char* name, uint32_t size) {
    return FieldDecl{name, FieldType::String, size, {}, "@s" + std::to_string(size)};
}
FieldDecl num(const char* name, FieldType type, std::vector<uint32_t> dims = {}) {
    return FieldDecl{name, type, 0, std::move(dims), "@n-14"};
}

storage::TableDecl makeDecl() {
    storage::TableDecl d;
    d.label = "RWReport";
    d.prefix = "RW";
    // Zero-terminated strings keep one character for their terminator.
    d.fields = {num("RW:SYSID", FieldType::Long),
                str("RW:VIEWCLASS", 128),
                str("RW:FORMATSTR", 4095),
                str("RW:SORTORDER", 255),
                str("RW:DESC_1", 15),
                str("RW:DESC_2", 25),
                num("RW:GHEAD", FieldType::Byte, {2}),
                num("RW:GFOOT", FieldType::Byte, {2}),
                num("RW:GPAGE", FieldType::Byte, {2}),
                num("RW:GTOTAL", FieldType::Byte, {2}),
                num("RW:GSUPPRESS", FieldType::Byte),
                str("RW:NAME", 60),
                num("RW:SIZE", FieldType::UShort),
                num("RW:BOLD", FieldType::Byte),
                num("RW:ITALIC", FieldType::Byte),
                num("RW:EXTOPT", FieldType::Long),
                num("RW:EXTID", FieldType::Long)};
    d.keys = {KeyDecl{"RW:K__", "System Ident Key", {rw::SYSID}, storage::kKeyUnique},
              KeyDecl{"RW:K_EXT", "", {rw::EXTID}, storage::kKeyNoCase},
              KeyDecl{"RW:K_DESC", "", {rw::VIEWCLASS, rw::DESC_1}, storage::kKeyNoCase}};
    return d;
}

int fail(StoreError* e, int code) {
    if (e) {
        e->code = code;
        const storage::Error& last = storage::lastError();
        e->text = !last.driverText.empty() && last.code == code ? last.driverText
                                                                : storage::errorText(code);
        if (code == storage::kDuplicateKey) {
            const int k = RWReportDecl().keyIndex(last.key);
            e->text = k >= 0 && !RWReportDecl().keys[k].description.empty()
                          ? RWReportDecl().keys[k].description
                          : "Report Name";
        }
    }
    return code;
}

int openTable(storage::Table& t) {
    t.setName(reportTableName());
    int rc = t.open(storage::kReadWrite | storage::kDenyNone);
    if (rc == storage::kFileNotFound) {
        rc = t.createIfMissing();
        if (rc == 0) rc = t.open(storage::kReadWrite | storage::kDenyNone);
    }
    return rc;
}

void fromRecord(const storage::Record& r, ReportDefinition& d) {
    d.SYSID = static_cast<int32_t>(r.getInt(rw::SYSID));
    d.VIEWCLASS = r.getString(rw::VIEWCLASS);
    d.FORMATSTR = r.getString(rw::FORMATSTR);
    d.SORTORDER = r.getString(rw::SORTORDER);
    d.DESC_1 = r.getString(rw::DESC_1);
    d.DESC_2 = r.getString(rw::DESC_2);
    for (uint32_t i = 0; i < 2; ++i) {
        d.BRKGRP.GHEAD[i] = static_cast<uint8_t>(r.getInt(rw::GHEAD, i));
        d.BRKGRP.GFOOT[i] = static_cast<uint8_t>(r.getInt(rw::GFOOT, i));
        d.BRKGRP.GPAGE[i] = static_cast<uint8_t>(r.getInt(rw::GPAGE, i));
        d.BRKGRP.GTOTAL[i] = static_cast<uint8_t>(r.getInt(rw::GTOTAL, i));
    }
    d.BRKGRP.GSUPPRESS = static_cast<uint8_t>(r.getInt(rw::GSUPPRESS));
    d.NAME = r.getString(rw::NAME);
    d.SIZE = static_cast<uint16_t>(r.getInt(rw::SIZE));
    d.BOLD = static_cast<uint8_t>(r.getInt(rw::BOLD));
    d.ITALIC = static_cast<uint8_t>(r.getInt(rw::ITALIC));
    d.EXTOPT = static_cast<int32_t>(r.getInt(rw::EXTOPT));
    d.EXTID = static_cast<int32_t>(r.getInt(rw::EXTID));
}

void toRecord(const ReportDefinition& d, storage::Record& r) {
    r.clear();
    r.set(rw::SYSID, int64_t{d.SYSID});
    r.set(rw::VIEWCLASS, d.VIEWCLASS);
    r.set(rw::FORMATSTR, d.FORMATSTR);
    r.set(rw::SORTORDER, d.SORTORDER);
    r.set(rw::DESC_1, d.DESC_1);
    r.set(rw::DESC_2, d.DESC_2);
    for (uint32_t i = 0; i < 2; ++i) {
        r.set(rw::GHEAD, int64_t{d.BRKGRP.GHEAD[i]}, i);
        r.set(rw::GFOOT, int64_t{d.BRKGRP.GFOOT[i]}, i);
        r.set(rw::GPAGE, int64_t{d.BRKGRP.GPAGE[i]}, i);
        r.set(rw::GTOTAL, int64_t{d.BRKGRP.GTOTAL[i]}, i);
    }
    r.set(rw::GSUPPRESS, int64_t{d.BRKGRP.GSUPPRESS});
    r.set(rw::NAME, d.NAME);
    r.set(rw::SIZE, int64_t{d.SIZE});
    r.set(rw::BOLD, int64_t{d.BOLD});
    r.set(rw::ITALIC, int64_t{d.ITALIC});
    r.set(rw::EXTOPT, int64_t{d.EXTOPT});
    r.set(rw::EXTID, int64_t{d.EXTID});
}

}  // namespace

const storage::TableDecl& RWReportDecl() {
    static const storage::TableDecl d = makeDecl();
    return d;
}

std::string ReportDefinition::description() const {
    return runtime::rightTrim(runtime::cutToChars(DESC_1 + std::string(15, ' '), 15) + DESC_2);
}

void ReportDefinition::setDescription(const std::string& name) {
    const std::string n = runtime::cutToChars(runtime::rightTrim(name), 40);
    DESC_1 = runtime::rightTrim(runtime::cutToChars(n, 15));
    DESC_2 = n.size() > DESC_1.size() && runtime::charCount(n) > 15
                 ? runtime::rightTrim(n.substr(runtime::cutToChars(n, 15).size()))
                 : std::string();
}

int ReportStore::list(const std::string& viewClass, std::vector<ReportDefinition>& out,
                      StoreError* e) {
    out.clear();
    storage::Table t(RWReportDecl());
    if (int rc = openTable(t)) return fail(e, rc);
    storage::Record key(RWReportDecl());
    key.set(rw::VIEWCLASS, viewClass);
    int rc = t.setFrom(rw::K_DESC, key);
    storage::Record r(RWReportDecl());
    while (rc == 0 && (rc = t.next(r)) == 0) {
        if (!runtime::sameNoCase(r.getString(rw::VIEWCLASS), viewClass)) break;
        fromRecord(r, out.emplace_back());
    }
    return rc == 0 || rc == storage::kRecordNotAvailable ? 0 : fail(e, rc);
}

int ReportStore::load(int32_t sysId, ReportDefinition& out, StoreError* e) {
    storage::Table t(RWReportDecl());
    if (int rc = openTable(t)) return fail(e, rc);
    storage::Record r(RWReportDecl());
    r.set(rw::SYSID, int64_t{sysId});
    if (int rc = t.get(rw::K__, r)) return fail(e, rc);
    fromRecord(r, out);
    return 0;
}

int ReportStore::find(const std::string& viewClass, const std::string& name, ReportDefinition& out,
                      StoreError* e) {
    std::vector<ReportDefinition> all;
    if (int rc = list(viewClass, all, e)) return rc;
    for (ReportDefinition& d : all)
        if (runtime::sameNoCase(d.description(), name)) {
            out = std::move(d);
            return 0;
        }
    return fail(e, storage::kRecordNotFound);
}

int ReportStore::save(ReportDefinition& def, StoreError* e) {
    storage::Table t(RWReportDecl());
    if (int rc = openTable(t)) return fail(e, rc);
    storage::Record r(RWReportDecl());
    storage::Transaction tx;
    if (int rc = tx.begin({&t}, 2)) return fail(e, rc);
    if (def.SYSID == 0) {
        int32_t highest = 0;
        if (t.setLast(rw::K__) == 0 && t.previous(r) == 0)
            highest = static_cast<int32_t>(r.getInt(rw::SYSID));
        def.SYSID = highest + 1;
        toRecord(def, r);
        if (int rc = t.add(r)) {
            def.SYSID = 0;
            return fail(e, rc);
        }
    } else {
        r.set(rw::SYSID, int64_t{def.SYSID});
        if (int rc = t.get(rw::K__, r)) return fail(e, rc);
        toRecord(def, r);
        if (int rc = t.put(r)) return fail(e, rc);
    }
    if (int rc = tx.commit()) return fail(e, rc);
    return 0;
}

int ReportStore::remove(int32_t sysId, StoreError* e) {
    storage::Table t(RWReportDecl());
    if (int rc = openTable(t)) return fail(e, rc);
    storage::Record r(RWReportDecl());
    r.set(rw::SYSID, int64_t{sysId});
    if (int rc = t.get(rw::K__, r)) return fail(e, rc);
    if (int rc = t.erase()) return fail(e, rc);
    return 0;
}

}  // namespace corvix::rubrica

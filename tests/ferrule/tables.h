// Declarations of a small accounts table in two versions, and helpers to fill and read it.
#pragma once

#include <string>
#include <vector>

#include "platform/storage/declaration.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::ferrule::testing {

using storage::FieldDecl;
using storage::FieldType;
using storage::TableDecl;

inline FieldDecl field(std::string name, FieldType type, uint32_t size = 0,
                       std::vector<uint32_t> dims = {}, std::string picture = "") {
    FieldDecl f;
    f.name = std::move(name);
    f.type = type;
    f.size = size;
    f.dims = std::move(dims);
    f.picture = std::move(picture);
    return f;
}

inline storage::KeyDecl key(std::string name, std::vector<int> components, uint32_t flags) {
    storage::KeyDecl k;
    k.name = std::move(name);
    k.components = std::move(components);
    k.flags = flags;
    return k;
}

// Version 1 of the accounts table.
inline TableDecl accountsV1(const std::string& name = "Vault\\!Accounts") {
    TableDecl d;
    d.label = "Accounts";
    d.prefix = "ACC";
    d.name = name;
    d.fields = {field("ACC:Id", FieldType::Long),
                field("ACC:Title", FieldType::String, 30, {}, "@s30"),
                field("ACC:User", FieldType::String, 20),
                field("ACC:Note", FieldType::String, 20),
                field("ACC:Hist", FieldType::Long, 0, {5}),
                field("ACC:Changed", FieldType::Date, 0, {}, "@d17"),
                field("ACC:Code", FieldType::Long)};
    d.keys = {key("ACC:K_Id", {0}, storage::kKeyUnique | storage::kKeyNoCase),
              key("ACC:K_Title", {1}, storage::kKeyNoCase)};
    return d;
}

// Version 2: User renamed Login, Note renamed Remark, Hist grown to 10, Changed a LONG,
// Code a string, Title shortened to 8, and a new field Added.
inline TableDecl accountsV2(const std::string& name = "Vault\\!Accounts") {
    TableDecl d;
    d.label = "Accounts";
    d.prefix = "ACC";
    d.name = name;
    d.fields = {field("ACC:Id", FieldType::Long),
                field("ACC:Title", FieldType::String, 8, {}, "@s30"),
                field("ACC:Login", FieldType::String, 20),
                field("ACC:Remark", FieldType::String, 20),
                field("ACC:Hist", FieldType::Long, 0, {10}),
                field("ACC:Changed", FieldType::Long),
                field("ACC:Code", FieldType::String, 10),
                field("ACC:Added", FieldType::String, 10)};
    d.keys = {key("ACC:K_Id", {0}, storage::kKeyUnique | storage::kKeyNoCase),
              key("ACC:K_Title", {1}, storage::kKeyNoCase)};
    return d;
}

// The one-field declaration that names the table driver to the library.
inline TableDecl driverDecl() {
    TableDecl d;
    d.label = "TpsDriver";
    d.prefix = "DRV";
    d.name = "DrvFile";
    d.fields = {field("DRV:Byte", FieldType::Byte)};
    return d;
}

// Writes n version-1 records: Id i, Title "Account i", User "user i", Note "note i",
// Hist[k] = i * 10 + k, Changed 80000 + i, Code 1000 + i.
inline int fillV1(storage::Table& t, int n) {
    storage::Record r(t.decl());
    for (int i = 1; i <= n; ++i) {
        r.clear();
        r.set(0, int64_t(i));
        r.set(1, "Account " + std::to_string(i));
        r.set(2, "user " + std::to_string(i));
        r.set(3, "note " + std::to_string(i));
        for (uint32_t k = 0; k < 5; ++k) r.set(4, int64_t(i * 10 + int(k)), k);
        r.set(5, int64_t(80000 + i));
        r.set(6, int64_t(1000 + i));
        if (int err = t.add(r)) return err;
    }
    return 0;
}

// Every record of an open table in physical order.
inline std::vector<storage::Record> readAll(storage::Table& t) {
    std::vector<storage::Record> out;
    storage::Record r(t.decl());
    t.set(storage::kPhysicalOrder);
    while (t.next(r) == 0) out.push_back(r);
    return out;
}

}  // namespace corvix::ferrule::testing

// What the structure-image targets check about an image the upgrade library has read: every
// key component names a field, the declaration's own image reads back to the same
// structure, and the driver makes, writes and reads a table under it (or refuses it with
// an error), never faults.
#pragma once

#include "libs/ferrule/image.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"
#include "tests/fuzz/fuzz_support.h"

namespace corvix::fuzz {

inline void checkReadImage(std::string_view image, const ferrule::ParsedImage& parsed) {
    namespace fe = corvix::ferrule;
    namespace st = corvix::storage;
    const st::TableDecl& decl = parsed.decl;
    for (const st::KeyDecl& k : decl.keys)
        for (int c : k.components)
            FUZZ_CHECK(c >= 0 && static_cast<size_t>(c) < decl.fields.size());

    const std::string again =
        fe::imageOf(decl, parsed.driver, parsed.name, parsed.owner, parsed.oldForm);
    fe::ParsedImage reread;
    FUZZ_CHECK(fe::parseImage(again, &reread));
    FUZZ_CHECK(reread.decl.sameStructure(decl));
    FUZZ_CHECK(!fe::imagesDiffer(
        again, fe::imageOf(reread.decl, reread.driver, reread.name, reread.owner, reread.oldForm)));
    (void)fe::imagesDiffer(image, again);

    st::TableDecl local = decl;
    local.name = scratchDir() + "/image.TPS";
    local.owner.clear();
    st::removeTable(local.name, "");
    st::Table table(local);
    if (table.create() != 0 || table.open() != 0) return;
    st::Record record(local);
    for (size_t f = 0; f < local.fields.size(); ++f)
        record.set(static_cast<int>(f), st::Scalar(std::string("7")));
    if (table.add(record) == 0) {
        st::Record read(local);
        FUZZ_CHECK(table.set() == 0 && table.next(read) == 0);
        for (size_t f = 0; f < local.fields.size(); ++f)
            FUZZ_CHECK(read.getString(static_cast<int>(f)) ==
                       record.getString(static_cast<int>(f)));
    }
    table.close();
}

}  // namespace corvix::fuzz

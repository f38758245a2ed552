// libFuzzer target: the comma-delimited text driver reading any file (it reads leniently,
// line by line). Every line gives a record; a record the driver writes reads back the same.
#include "platform/storage/record.h"
#include "platform/storage/table.h"
#include "platform/storage/text_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "vault/tables.h"

using namespace corvix::fuzz;
namespace st = corvix::storage;
namespace va = corvix::vault;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    st::TableDecl decl = data[0] % 2 ? va::ExGSD() : va::ExPAS();
    decl.name = writeScratch("in.BAS", bytes(data + 1, size - 1));
    st::TableDecl copyDecl = decl;
    copyDecl.name = scratchDir() + "/copy.BAS";

    st::TextFile in(decl), copy(copyDecl);
    FUZZ_CHECK(in.open(st::kReadOnly) == 0);
    FUZZ_CHECK(copy.create() == 0 && copy.open(st::kReadWrite) == 0);
    std::vector<st::Record> read;
    st::Record record(decl);
    int rc;
    while ((rc = in.next(record)) == 0) {
        FUZZ_CHECK(read.size() <= size);  // at most one record per line
        read.push_back(record);
        FUZZ_CHECK(copy.add(record) == 0);
    }
    FUZZ_CHECK(rc == st::kRecordNotAvailable);

    FUZZ_CHECK(copy.set() == 0);
    st::Record back(copyDecl);
    for (const st::Record& was : read) {
        FUZZ_CHECK(copy.next(back) == 0);
        for (size_t f = 0; f < decl.fields.size(); ++f)
            for (uint32_t e = 0; e < decl.fields[f].elements(); ++e)
                FUZZ_CHECK(back.get(static_cast<int>(f), e) == was.get(static_cast<int>(f), e));
    }
    FUZZ_CHECK(copy.next(back) == st::kRecordNotAvailable);
    return 0;
}

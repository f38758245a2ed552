// libFuzzer target: lines of the export files as import reads them (strictly). A line is
// refused with a reason or read whole; what is read holds only UTF-8 texts that fit their
// fields, and the line written for it reads back to the same record and the same line.
#include "platform/storage/record.h"
#include "tests/fuzz/fuzz_support.h"
#include "vault/export_lines.h"
#include "vault/tables.h"

using namespace corvix::fuzz;
namespace st = corvix::storage;
namespace va = corvix::vault;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    writeSeedsIfAsked([](const std::string& dir) {
        st::Record account(va::CVPAS());
        account.set(va::pas::PAS_ID, int64_t(12));
        account.set(va::pas::Category, std::string("Ärzte"));
        account.set(va::pas::Description,
                    std::string("Say \"hi\", then\r\nleave \\ 👩‍👩‍👧"));
        account.set(va::pas::Password, std::string("p,w\"d"));
        account.set(va::pas::LastChange, int64_t(81234));
        account.set(va::pas::Wait, int64_t(3));
        std::string line;
        va::appendRecordLine(account, line);
        writeFile(dir + "/account", "\x00" + line.substr(0, line.size() - 2));
        st::Record theme(va::CVGSD());
        theme.set(0, int64_t(4));
        theme.set(1, std::string("Sea"));
        line.clear();
        va::appendRecordLine(theme, line);
        writeFile(dir + "/theme", "\x01" + line.substr(0, line.size() - 2));
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the file: accounts or image themes.
    const st::TableDecl& decl = data[0] % 2 ? va::CVGSD() : va::CVPAS();
    const std::string_view line = bytes(data + 1, size - 1);
    st::Record record(decl);
    std::string reason;
    if (!va::parseRecordLine(line, record, &reason)) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    for (size_t f = 0; f < decl.fields.size(); ++f) {
        const st::FieldDecl& field = decl.fields[f];
        if (field.type != st::FieldType::String) continue;
        for (uint32_t e = 0; e < field.elements(); ++e) {
            const std::string text = record.getString(static_cast<int>(f), e);
            FUZZ_CHECK(va::isValidUtf8(text));
            FUZZ_CHECK(text.size() <= 4 * static_cast<size_t>(field.size));
        }
    }
    std::string written;
    va::appendRecordLine(record, written);
    FUZZ_CHECK(written.size() >= 2 && written.substr(written.size() - 2) == "\r\n");
    const std::string_view body(written.data(), written.size() - 2);
    FUZZ_CHECK(body.find('\n') == std::string_view::npos);
    st::Record again(decl);
    FUZZ_CHECK(va::parseRecordLine(body, again, &reason));
    for (size_t f = 0; f < decl.fields.size(); ++f)
        for (uint32_t e = 0; e < decl.fields[f].elements(); ++e)
            FUZZ_CHECK(again.get(static_cast<int>(f), e) == record.get(static_cast<int>(f), e));
    std::string rewritten;
    va::appendRecordLine(again, rewritten);
    FUZZ_CHECK(rewritten == written);
    return 0;
}

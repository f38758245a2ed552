// libFuzzer target: the packed message table. A block is refused whole or read whole; what
// is read packs back to the same bytes, and the error manager loads it without fault.
#include "framework/message_table.h"
#include "tests/fuzz/fuzz_support.h"

using namespace corvix::fuzz;
namespace fw = corvix::framework;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    writeSeedsIfAsked([](const std::string& dir) {
        writeFile(dir + "/program-messages", fw::defaultMessageBlock());
        writeFile(dir + "/two-messages",
                  fw::packMessageTable({{1, 3, "Fatal", "Cannot open %File"}, {40, 1, "Ä", "ß"}}));
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view block = bytes(data, size);
    std::vector<fw::MessageEntry> entries(1);
    entries[0].id = 7;
    if (!fw::unpackMessageTable(block, entries)) {
        FUZZ_CHECK(entries.size() == 1 && entries[0].id == 7);  // left unchanged
        return 0;
    }
    FUZZ_CHECK(fw::packMessageTable(entries) == block);
    return 0;
}

// libFuzzer target: files of the old record format (header, field, key, picture and array
// tables, maybe scrambled). A file that is taken gives a structure image the upgrade
// library reads back (checks in image_checks.h).
#include "libs/ferrule/old_format.h"
#include "tests/fuzz/image_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = corvix::fuzz::writeScratch("OLD.DAT", corvix::fuzz::bytes(data, size));
    std::string image;
    if (!corvix::ferrule::oldFormatImage(path, &image)) return 0;
    corvix::ferrule::ParsedImage parsed;
    FUZZ_CHECK(corvix::ferrule::parseImage(image, &parsed));
    FUZZ_CHECK(parsed.driver == "ODF");
    corvix::fuzz::checkReadImage(image, parsed);
    return 0;
}

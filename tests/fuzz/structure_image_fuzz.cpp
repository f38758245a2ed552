// libFuzzer target: structure images as the upgrade library finds them in its own table,
// in the current and the old two-byte form (checks in image_checks.h).
#include "tests/fuzz/image_checks.h"
#include "vault/tables.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    corvix::fuzz::writeSeedsIfAsked([](const std::string& dir) {
        namespace va = corvix::vault;
        for (const auto* decl : {&va::CVPAS(), &va::CVGSD(), &va::CVCAT(), &va::CVEF()})
            for (bool old : {false, true})
                corvix::fuzz::writeFile(
                    dir + "/" + decl->label + (old ? "-old" : ""),
                    corvix::ferrule::imageOf(*decl, "TPS", decl->name, old ? "" : "owner", old));
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view image = corvix::fuzz::bytes(data, size);
    corvix::ferrule::ParsedImage parsed;
    if (corvix::ferrule::parseImage(image, &parsed)) corvix::fuzz::checkReadImage(image, parsed);
    return 0;
}

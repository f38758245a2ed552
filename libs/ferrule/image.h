// Structure images: one table declaration serialised into the bytes kept in Upg2's
// UPG:FMT, and read back into a declaration under which an old file opens.
//
// Layout: the mark "1"; the driver's three-letter name; the file's name and the owner,
// each zero-terminated; one byte each for attributes, keys, memos and blobs; the record
// length (4 bytes, little-endian); per key its component count (1), attributes (4), name
// and description (zero-terminated) and its components (4 each); per memo or blob its kind
// (1 memo, 2 blob), size (4), name and external name; then the field table. Images of the
// old form have no mark and hold record length, key attributes and components in two
// bytes (the sign bit of a component marking a descending one).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "libs/ferrule/state.h"
#include "platform/storage/declaration.h"

namespace corvix::ferrule {

constexpr size_t kMaxImage = 40000;
constexpr size_t kMaxOldImage = 10000;

enum class ImageStatus { Ok, DriverNotLocated, TooLarge };

// The image of a host file under its registered driver.
ImageStatus buildImage(const FileRef& file, std::string* out);
// The image of a declaration with a given driver name, in the current or the old form.
std::string imageOf(const storage::TableDecl& decl, std::string_view driver, std::string_view name,
                    std::string_view owner, bool oldForm = false);

struct ParsedImage {
    std::string driver;  // three letters
    std::string name;
    std::string owner;
    uint8_t attributes = 0;
    uint32_t recordLength = 0;
    bool oldForm = false;
    storage::TableDecl decl;  // fields, keys, blobs, name and owner
};
// False when the bytes are no readable image.
bool parseImage(std::string_view bytes, ParsedImage* out);

// The stored structure differs from the new one (M1). The attribute run after the
// owner is not compared; images of different forms are never compared.
bool imagesDiffer(std::string_view stored, std::string_view fresh);

// Runtime type codes of the field table.
int typeCode(storage::FieldType type);
bool typeOfCode(int code, storage::FieldType* type);

// Lengths inside a field table: 1 to 3 bytes.
void putLength(std::string& out, uint32_t value);
bool getLength(std::string_view in, size_t* pos, uint32_t* value);

}  // namespace corvix::ferrule

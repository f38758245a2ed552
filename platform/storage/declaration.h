// Table declarations: what a table's records look like and how they are keyed.
// The same declaration drives the SQLCipher tables, the text and raw drivers, the
// upgrade library's structure images and the query/report libraries' field lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::storage {

enum class FieldType : uint8_t {
    Byte,    // 8-bit unsigned
    Short,   // 16-bit signed
    UShort,  // 16-bit unsigned
    Long,    // 32-bit signed
    ULong,   // 32-bit unsigned
    Real,    // 8-byte floating point
    Date,    // 4 bytes on the record (day, month, 16-bit year); held as a standard date
    Time,    // 4 bytes; held as a clock value (hundredths of a second since midnight + 1)
    String,  // STRING(n): n characters, blank padded, trailing blanks never significant
};

struct FieldDecl {
    std::string name;  // full name with prefix, e.g. "PAS:Password"
    FieldType type = FieldType::Long;
    uint32_t size = 0;           // characters of a STRING(n); 0 for numbers and dates
    std::vector<uint32_t> dims;  // array dimensions; empty for a single value
    std::string picture;         // display picture, e.g. "@s30"

    uint32_t elements() const;      // product of dims (1 for a single value)
    uint32_t elementWidth() const;  // bytes of one element on the record
    uint32_t width() const { return elementWidth() * elements(); }
    // The name without its prefix: "Password" for "PAS:Password".
    std::string_view bareName() const;
};

enum KeyFlags : uint32_t {
    kKeyUnique = 1,      // refuses a second record with the same key value (error 40)
    kKeyPrimary = 2,     // the table's primary key (also unique)
    kKeyOptional = 4,    // leaves out records whose key fields are all blank or zero
    kKeyAutoNumber = 8,  // the last component is numbered on insert
    kKeyNoCase = 16,     // letters compare without regard to case (all vault keys)
};

struct KeyDecl {
    std::string name;             // "PAS:K_Category"
    std::string description;      // "Category"
    std::vector<int> components;  // indexes into TableDecl::fields
    uint32_t flags = kKeyNoCase;

    bool unique() const { return flags & (kKeyUnique | kKeyPrimary); }
    bool optional() const { return flags & kKeyOptional; }
    bool autoNumber() const { return flags & kKeyAutoNumber; }
};

struct BlobDecl {
    std::string name;   // "EF:Binary"
    bool memo = false;  // a MEMO (text of at most memoSize characters) rather than a BLOB
    uint32_t memoSize = 0;
};

// Encrypted files use pages of one of these sizes (see TableDecl::pageSize).
constexpr uint32_t kDefaultPageSize = 4096;
constexpr uint32_t kLargePageSize = 32768;

struct TableDecl {
    std::string label;   // dictionary label, "CVPAS"
    std::string prefix;  // record prefix, "PAS"
    std::string name;    // name used to open it: "Corvix\!Passwords", "CVWRD", "x.ENC"
    std::string owner;   // owner password; blank = not encrypted
    std::vector<FieldDecl> fields;
    std::vector<KeyDecl> keys;
    std::vector<BlobDecl> blobs;
    // Page size of a new encrypted file made for this table (0: kDefaultPageSize). Each
    // page is encrypted and signed on its own, so a file made to hold one large BLOB
    // goes much faster with 32 KiB pages. Files of either size open alike.
    uint32_t pageSize = 0;

    int fieldIndex(std::string_view fullOrBareName) const;  // -1 when unknown; no case
    int keyIndex(std::string_view name) const;              // -1 when unknown; no case
    uint32_t recordSize() const;                            // sum of field widths
    // Same fields (name, type, size, dims), keys (components, flags) and blobs.
    bool sameStructure(const TableDecl& other) const;
};

// "Corvix\!Passwords" -> file "Corvix.TPS", table "Passwords".
// "CVWRD" -> file "CVWRD.TPS", table "" (the file's only table).
// "x.ENC" keeps its extension.
struct TableName {
    std::string file;
    std::string table;
};
TableName splitTableName(std::string_view name);

}  // namespace corvix::storage

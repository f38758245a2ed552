// Files of the old record format (".Dat"): an 85-byte header that starts with "C3",
// then the field, key, picture and array tables. Turned into a structure image whose
// driver name is "ODF", so that the upgrade can open them through a driver registered
// under that name.
//
// Header (little-endian): "C3", attr u16, nkeys u8, nrecs u32, ndels u32, nfields u16,
// npics u16, narrays u16, reclen u16, offset u32, logeof u32, logbof u32, freerec u32,
// recname[12], memoname[12], prefix[3], recprefix[3], memolen u16, memowid u16,
// lockcnt u32, time u32, date u32, passodd u8, passeven u8.
// Field entry (27 bytes): type u8, name[16], start u16, len u16, decsig u8, decdec u8,
// arrnum u16, picnum u16. Key: nfields u8, name[16], attr u8, then per component:
// type u8, field number u16 (1-based), len u16. Picture: len u16, text. Array: numdim u16,
// totdim u16, elemsize u16, arrpart u16, then per dimension maxdim u16, lendim u16.
// With bit 2 of attr the bytes after the attribute word are scrambled: those at odd
// offsets XOR passodd, those at even offsets XOR passeven (the two bytes themselves
// stay plain).
#pragma once

#include <string>

namespace corvix::ferrule {

constexpr size_t kOldHeaderSize = 85;

// False when the file cannot be read or is no old-format file.
bool oldFormatImage(const std::string& fileName, std::string* image);

}  // namespace corvix::ferrule

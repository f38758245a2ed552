// The upgrade file Upg.Tps: table Upg2 with one structure record per label and version,
// and the old default table that earlier versions of the library kept, read only to be
// converted into Upg2.
#pragma once

#include <cstdint>
#include <string>

#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::ferrule {

// Field, key and blob numbers of Upg2.
enum Upg2Field {
    kUpgLabel,
    kUpgPrefix,
    kUpgDriver,
    kUpgVersion,
    kUpgExtra1,
    kUpgExtra2,
    kUpgExtra3
};
enum Upg2Key { kUpgKey, kUpgPreKey };
constexpr int kUpgFmt = 0;

const storage::TableDecl& upg2Declaration();
const storage::TableDecl& oldUpgDeclaration();
std::string upgradeFilePassword();

// Fixes the names of both tables on first use (FRL.Ini PathFRL or the program's
// directory) and refreshes the silent flag.
void locateUpgradeFile();
// Names both tables in `dir` (with its trailing "/").
void nameUpgradeFile(const std::string& dir);

// Opens Upg2 read/write, deny none (creating it and filling it from the old table when it
// is absent). On failure shows M2 with nameSeparator (" Name:" or " Name : ") and
// returns false.
bool openUpg2(const char* nameSeparator);
void closeUpg2();
storage::Table& upg2();

struct Structure {
    std::string label;
    std::string prefix;
    std::string driver;
    int32_t version = 0;
    std::string image;
};
// The structure record last read from Upg2 (its image read from the blob).
Structure structureOf(storage::Table& table, const storage::RecordBuffer& record);
// Adds a structure record; returns the runtime error code.
int addStructure(const Structure& s);

// The whole content of a blob of the record last read.
std::string readWholeBlob(storage::Table& table, int blob);
int writeWholeBlob(storage::Table& table, int blob, const std::string& bytes);

}  // namespace corvix::ferrule

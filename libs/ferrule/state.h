// The library's process-wide state: the registries the host fills at start-up, the
// upgrade file's names and open handle, and the profile of registration.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/storage/raw_file.h"
#include "platform/storage/table.h"

namespace corvix::ferrule {

// The file drivers a declaration can sit on.
enum class DriverKind { Table, Raw };

// A host file as the library sees it: its driver, declaration and name.
struct FileRef {
    DriverKind kind = DriverKind::Table;
    storage::Table* table = nullptr;  // DriverKind::Table
    storage::RawFile* raw = nullptr;  // DriverKind::Raw
    const storage::TableDecl* decl = nullptr;
    std::string name;
    std::string owner;

    static FileRef of(storage::Table& t);
    static FileRef of(storage::RawFile& r);
};

struct RegisteredFile {
    std::string prefix;  // upper case
    int32_t version = 0;
    std::string label;
    storage::Table* file = nullptr;
};

struct Driver {
    std::string name;  // three letters as registered
    DriverKind kind;
};

struct AlternateName {
    std::string newName;     // upper case
    std::string oldName;     // upper case
    std::string oldAsGiven;  // file names: the disk tells letter case apart
};

struct NewValue {
    std::string name;  // upper case
    std::string value;
    int32_t autoNumber = 0;
};

struct Exclusion {
    std::string name;  // upper case label or "ALLFILES"
    int32_t flags = 0;
};

constexpr int kProfileStages = 11;

struct State {
    std::vector<RegisteredFile> files;
    std::vector<Driver> drivers;
    std::vector<AlternateName> fileNames;
    std::vector<AlternateName> fieldNames;
    std::vector<NewValue> newValues;
    std::vector<Exclusion> exclusions;
    bool oldFormatSearch = false;  // a driver named ODF is registered
    // fu_DeferRegistration's registration, until a file first needs upgrading.
    std::function<void()> deferredRegistration;

    std::string upgDir;    // with its trailing "/"; empty until located
    std::string oldName;   // the old default table: dir + "Upg.Tps"
    std::string upg2Name;  // dir + "Upg.Tps\!Upg2"
    std::unique_ptr<storage::Table> upg2;
    bool silent = false;

    // Files (by working directory and name) this process has already opened through
    // fu_FileOpen with success: their later opens are not marked again.
    std::set<std::string> openedFiles;
    // Whether an open is also marked in the default INI file (setBadFileInIniFile).
    bool badFileInIni = true;

    std::string appName;                            // fu_AppName, kept once computed
    std::array<int64_t, kProfileStages> profile{};  // hundredths of a second
};

State& state();

const Driver* driverOfKind(DriverKind kind);
const Driver* driverNamed(const std::string& name);

// Address of a driver as a number, for the debug message of fu_AddDriver.
uintptr_t driverAddress(DriverKind kind);

}  // namespace corvix::ferrule

#include "vault/prime.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "runtime/picture.h"
#include "vault/access.h"
#include "vault/vault_key.h"

namespace corvix::vault {

std::string NetworkUserName() {
    // The account database first; a user the system does not list (a container's
    // numeric user) still has the login name the session was given.
    const passwd* pw = getpwuid(geteuid());
    const char* login = pw && pw->pw_name ? pw->pw_name : std::getenv("USER");
    if (!login) return {};
    std::string name = login;
    // 40 characters, never half of one.
    size_t chars = 0, cut = 0;
    while (cut < name.size() && chars < 40) {
        ++cut;
        while (cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) ++cut;
        ++chars;
    }
    name.resize(cut);
    return name;
}

void primeCVPAS(PasRecord& record, int32_t today) {
    record = PasRecord{};
    record.Category = kDefaultCategory;
    record.Description = "Enter your description here";
    record.Name = NetworkUserName();
    record.URL = "http://www.???.com";
    record.LastChange = today;
    record.Action = "[name][tab][password][tab]";
    record.Wait = 2;
}

void primeCVMAS(MasRecord& record, int32_t today) {
    record = MasRecord{};
    record.MAS_ID = 1;
    record.GSD_ID = 1;
    record.MonitorInactivity = 1;
    record.InactivityTimeout = 10;
    record.Custom1 = "Custom";
    record.Custom2 = "Credit Card";
    record.Custom3 = "Other";
    record.InstallDate = today;
}

void primeNewVaultMaster(MasRecord& record, int32_t today) {
    primeCVMAS(record, today);
    record.MAS_ID = 1;
    record.InactivityTimeout = 10;
    record.Custom1 = "&Custom:";
    record.Custom2 = "C&redit Card:";
    record.Custom3 = "O&ther:";
}

void primeCVGSD(GsdRecord& record) {
    record = GsdRecord{};
    record.Columns = 3;
    record.Rows = 3;
    record.Basis = "Grid";
    record.Style = "Actual Size";
    record.Password = makeSymbolString();
}

namespace {
FieldCheck lookupFailure(const std::string& field, const std::string& table) {
    FieldCheck c;
    c.ok = false;
    c.messageId = 14;
    c.field = field;
    c.message = table;
    c.title = "Field contents error";
    c.text = "The value of " + field + " must be found in the " + table + " file.";
    return c;
}

FieldCheck rangeCheck(int value, int low, int high, const std::string& field) {
    if (value >= low && value <= high) return {};
    FieldCheck c;
    c.ok = false;
    c.messageId = 16;
    c.field = field;
    c.message = std::to_string(low) + " and " + std::to_string(high);
    c.title = "Range Error";
    c.text = "The value of " + field + " must be between " + c.message + ".";
    return c;
}
}  // namespace

FieldCheck validatePasCategory(const PasRecord& record, storage::Table& categories) {
    if (categoryExists(categories, runtime::rightTrim(record.Category))) return {};
    return lookupFailure("Category of account", "CVCAT");
}

FieldCheck validateGsdColumns(const GsdRecord& record) {
    return rangeCheck(record.Columns, 1, 9, "Number of columns to divide the image into");
}

FieldCheck validateGsdRows(const GsdRecord& record) {
    return rangeCheck(record.Rows, 1, 9, "Number of rows to divide the image into");
}

FieldCheck validateCVPAS(const PasRecord& record, storage::Table& categories) {
    return validatePasCategory(record, categories);
}

FieldCheck validateCVGSD(const GsdRecord& record) {
    FieldCheck c = validateGsdColumns(record);
    return c.ok ? validateGsdRows(record) : c;
}

std::string installationIdentity(const MasRecord& record, int32_t today) {
    std::string id = runtime::rightTrim(record.EncPassword);
    if (id.empty()) id = runtime::rightTrim(record.Password);
    if (id.empty()) id = std::to_string(today);
    return id;
}

}  // namespace corvix::vault

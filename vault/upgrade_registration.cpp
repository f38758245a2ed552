#include "vault/upgrade_registration.h"

#include <memory>
#include <vector>

#include "libs/ferrule/ferrule.h"
#include "vault/tables.h"

namespace corvix::vault {

const storage::TableDecl& DriverFile() {
    static const storage::TableDecl d = [] {
        storage::TableDecl t;
        t.label = "TpsDriver";
        t.prefix = "DRV";
        t.name = "TPSDRV";
        t.fields = {storage::FieldDecl{"DRV:Byte", storage::FieldType::Byte, 0, {}, "@n3"}};
        return t;
    }();
    return d;
}

void registerTablesWithUpgradeLibrary() {
    static storage::Table driver(DriverFile());
    static std::vector<std::unique_ptr<storage::Table>> tables;
    fu_AddDriver("Tps", driver);
    fu_IgnoreDriver("AllFiles", 1);
    for (const TableRegistration& r : tableRegistrations()) {
        tables.push_back(std::make_unique<storage::Table>(*r.decl));
        fu_UsingFile(*tables.back(), r.prefix, r.label, r.version);
    }
}

void deferUpgradeRegistration() {
    fu_DeferRegistration(&registerTablesWithUpgradeLibrary);
}

}  // namespace corvix::vault

#include "framework/vault_managers.h"

#include <memory>

#include "runtime/date.h"
#include "vault/prime.h"
#include "vault/vault_key.h"

namespace corvix::framework {

namespace {

// The vault's tables and containers are opened with the vault key, built afresh right
// before each open so that it is not kept in the binary as a literal.
void withVaultKey(storage::Table& t) {
    t.setOwner(vault::BuildVaultKey());
}

FieldVerdict verdictOf(const vault::FieldCheck& c) {
    if (c.ok) return {};
    return {c.messageId, c.field, c.message};
}

}  // namespace

VaultManagers::VaultManagers() {
    for (FileManager* f : {&cat, &pas, &mas, &gsd, &ef}) f->beforeOpen = withVaultKey;

    pas.primeFields = [this](storage::RecordBuffer&) {
        vault::primeCVPAS(pasRecord.record(), runtime::today());
    };
    mas.primeFields = [this](storage::RecordBuffer&) {
        vault::primeCVMAS(masRecord.record(), runtime::today());
    };
    gsd.primeFields = [this](storage::RecordBuffer&) { vault::primeCVGSD(gsdRecord.record()); };
    pas.fieldRule = [this](int field) { return CheckPasField(field); };
    gsd.fieldRule = [this](int field) { return CheckGsdField(field); };

    catRelations.AddRelation(pasRelations, kRuleCascade, kRuleRestrict, vault::pas::K_Category,
                             {{vault::cat::Category, vault::pas::Category}});
}

VaultManagers::~VaultManagers() = default;

FieldVerdict VaultManagers::CheckPasField(int field) {
    if (field != vault::pas::Category) return {};
    // The category must exist; the categories' own reading state is left as it was.
    // A caller that opened only the accounts still gets the check.
    cat.Open();
    FileManager::State kept = cat.SaveState();
    catRecord->Category = pasRecord->Category;
    int level = cat.TryFetch(vault::cat::K_Category);
    cat.ClearPending();
    cat.RestoreState(kept);
    cat.Close();
    if (level == kLevelBenign) return {};
    return {14, "Category of account", "CVCAT"};
}

FieldVerdict VaultManagers::CheckGsdField(int field) {
    if (field == vault::gsd::Columns)
        return verdictOf(vault::validateGsdColumns(gsdRecord.record()));
    if (field == vault::gsd::Rows) return verdictOf(vault::validateGsdRows(gsdRecord.record()));
    return {};
}

namespace {
std::unique_ptr<VaultManagers>& instance() {
    static std::unique_ptr<VaultManagers> p;
    return p;
}
}  // namespace

void createVaultManagers() {
    if (!instance()) instance() = std::make_unique<VaultManagers>();
}

void destroyVaultManagers() {
    instance().reset();
}

bool vaultManagersCreated() {
    return instance() != nullptr;
}

VaultManagers& vaultManagers() {
    createVaultManagers();
    return *instance();
}

}  // namespace corvix::framework

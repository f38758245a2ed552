#include "vault/access.h"

#include "libs/ferrule/ferrule.h"
#include "vault/prime.h"

#include <sys/stat.h>

namespace corvix::vault {

int openTable(storage::Table& table, int mode) {
    const storage::TableDecl& decl = table.decl();
    if (usesVaultKey(decl)) table.setOwner(BuildVaultKey());
    // Through the upgrade library, as the file managers open: a table written under an
    // older declaration is converted, not refused.
    int rc = fu_FileOpen(table, mode);
    if (rc == storage::kFileNotFound) {
        // Never create anew: another process (two first starts) may have made the table
        // and written to it since the open looked.
        rc = table.createIfMissing();
        if (rc != storage::kNoError) return rc;
        // Only the user may read the vault and containers, whatever the umask says.
        if (usesVaultKey(decl))
            chmod(storage::splitTableName(table.name()).file.c_str(), S_IRUSR | S_IWUSR);
        if (usesVaultKey(decl)) table.setOwner(BuildVaultKey());
        rc = table.open(mode);
    }
    if (rc == storage::kAccessDenied) {
        // Another process is making the vault (two first starts) or holds the table for
        // a moment: wait for it, as the file managers do.
        table.sendDriverString("RECOVER=10");
        if (usesVaultKey(decl)) table.setOwner(BuildVaultKey());
        rc = table.open(mode);
    }
    if (rc == storage::kAlreadyOpen) rc = storage::kNoError;
    return rc;
}

int nextNumber(storage::Table& table, int key, storage::RecordBuffer& scratch, int64_t* number) {
    const storage::KeyDecl& k = table.decl().keys.at(key);
    const int field = k.components.back();
    int rc = table.setLast(key);
    if (rc != storage::kNoError) return rc;
    rc = table.previous(scratch);
    if (rc == storage::kRecordNotAvailable) {
        *number = 1;
        return storage::kNoError;
    }
    if (rc != storage::kNoError) return rc;
    *number = scratch.getInt(field) + 1;
    return storage::kNoError;
}

namespace {
int autoNumberedKey(const storage::TableDecl& decl) {
    for (size_t i = 0; i < decl.keys.size(); ++i)
        if (decl.keys[i].autoNumber() && decl.keys[i].components.size() == 1)
            return static_cast<int>(i);
    return -1;
}
}  // namespace

int insertNumbered(storage::Table& table, storage::RecordBuffer& record) {
    const int key = autoNumberedKey(table.decl());
    if (key < 0) return table.add(record);
    storage::Record scratch(table.decl());
    int rc = storage::kNoError;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int64_t number = 0;
        rc = nextNumber(table, key, scratch, &number);
        if (rc != storage::kNoError) return rc;
        record.set(table.decl().keys[key].components[0], number);
        rc = table.add(record);
        if (rc != storage::kDuplicateKey || table.error().key != table.decl().keys[key].name)
            return rc;
    }
    return rc;
}

int VaultTables::openAll(std::vector<storage::Error>* failures) {
    int first = storage::kNoError;
    for (storage::Table* t : {&cat, &pas, &mas, &gsd}) {
        const int rc = openTable(*t);
        if (rc == storage::kNoError) continue;
        if (first == storage::kNoError) first = rc;
        if (failures) failures->push_back(t->error());
    }
    return first;
}

void VaultTables::closeAll() {
    for (storage::Table* t : {&cat, &pas, &mas, &gsd}) t->close();
}

bool categoryExists(storage::Table& categories, const std::string& name) {
    CatBuffer probe;
    probe->Category = name;
    // Cut and trim exactly as a stored value would be.
    probe.set(cat::Category, probe->Category);
    if (probe->Category.empty()) return false;  // blank names are left out of the key
    return categories.get(cat::K_Category, probe) == storage::kNoError;
}

int ensureDefaultCategory(storage::Table& categories) {
    if (categoryExists(categories, kDefaultCategory)) return storage::kNoError;
    CatBuffer record;
    record->Category = kDefaultCategory;
    return categories.add(record);
}

}  // namespace corvix::vault

// The program's table managers: one record buffer, file manager and relation manager per
// table of the vault, its side files and the list windows' tag tables, created at start-up and
// destroyed at the end. CVCAT is the parent of CVPAS through PAS:K_Category: a renamed category is
// carried into its accounts, a category in use cannot be deleted.
#pragma once

#include "framework/file_manager.h"
#include "framework/relation_manager.h"
#include "vault/tables.h"

namespace corvix::framework {

class VaultManagers {
  public:
    VaultManagers();
    ~VaultManagers();
    VaultManagers(const VaultManagers&) = delete;
    VaultManagers& operator=(const VaultManagers&) = delete;

    // Shared record buffers (every window that uses a table uses its buffer).
    vault::CatBuffer catRecord;
    vault::PasBuffer pasRecord;
    vault::MasBuffer masRecord;
    vault::GsdBuffer gsdRecord;
    vault::WrdBuffer wrdRecord;
    vault::EfBuffer efRecord;
    storage::Record tagSetRecord{vault::TagSet_()};
    storage::Record tagFileRecord{vault::TagFile_()};
    storage::Record tagFilePosRecord{vault::TagFilePos_()};

    FileManager cat{vault::CVCAT(), catRecord};
    FileManager pas{vault::CVPAS(), pasRecord};
    FileManager mas{vault::CVMAS(), masRecord};
    FileManager gsd{vault::CVGSD(), gsdRecord};
    FileManager wrd{vault::CVWRD(), wrdRecord};
    FileManager ef{vault::CVEF(), efRecord};
    FileManager tagSet{vault::TagSet_(), tagSetRecord};
    FileManager tagFile{vault::TagFile_(), tagFileRecord};
    FileManager tagFilePos{vault::TagFilePos_(), tagFilePosRecord};

    RelationManager catRelations{cat, true};
    RelationManager pasRelations{pas, true};
    RelationManager masRelations{mas, false};
    RelationManager gsdRelations{gsd, false};
    RelationManager wrdRelations{wrd, false};
    RelationManager efRelations{ef, false};
    RelationManager tagSetRelations{tagSet, false};
    RelationManager tagFileRelations{tagFile, false};
    RelationManager tagFilePosRelations{tagFilePos, false};

  private:
    FieldVerdict CheckPasField(int field);
    FieldVerdict CheckGsdField(int field);
};

// Start-up and shutdown of the process-wide set.
void createVaultManagers();
void destroyVaultManagers();  // closes any open table
bool vaultManagersCreated();
// The set created at start-up (created on first use when start-up has not run, as in
// the command-line tool and tests).
VaultManagers& vaultManagers();

}  // namespace corvix::framework

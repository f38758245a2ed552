// The relation manager keeps referential integrity between a parent table and its
// children: a changed link value is carried into the children (cascade), blanked in them
// (clear) or refused (restrict); a parent with children is deleted with them, cleared
// from them or refused. Changes that touch several tables run in one transaction, so
// they happen completely or not at all.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/file_manager.h"

namespace corvix::framework {

enum ReferentialRule : int {
    kRuleNone = 0,
    kRuleClear = 1,
    kRuleRestrict = 2,
    kRuleCascade = 3,
};

// Shown around a delete, which may take long: on(true) before, on(false) after. The
// windowed program installs its wait cursor (framework/wait_cursor.h); none by default.
void setWaitIndicator(std::function<void(bool on)> indicator);

class RelationManager {
  public:
    RelationManager(FileManager& file, bool useTransaction);
    virtual ~RelationManager() = default;
    RelationManager(const RelationManager&) = delete;
    RelationManager& operator=(const RelationManager&) = delete;

    FileManager& File() { return file_; }

    // Makes child a child of this table: childKey is the child's key whose leading
    // components are the link fields; links pairs (parent field, child field).
    void AddRelation(RelationManager& child, int updateRule, int deleteRule, int childKey,
                     std::vector<std::pair<int, int>> links);

    // Opens (counted per thread) or closes this table and every related one.
    int Open();
    void Close();

    // Rewrites the parent's current record from its buffer and applies the update rules.
    // Returns 0 when done, 5 when the record was changed by another station (its version
    // is then in the buffer), another level for other failures; every failure is shown.
    int Update(bool showChanges = false);
    // Deletes the current record with the delete rules. query: ask "Confirm Delete"
    // first. Returns 0 when deleted, 4 when the user said no, 5 when refused or failed.
    int Delete(bool query = true);

    int transactionTimeout = 2;  // seconds to wait for a busy file
    // Called after each child record a cascade or clear has rewritten (running count),
    // so that long work can show progress.
    std::function<void(size_t done)> progress;

  private:
    struct Relation {
        RelationManager* child;
        int updateRule;
        int deleteRule;
        int childKey;
        std::vector<std::pair<int, int>> links;  // (parent field, child field)
    };
    // Where a failure inside a transaction came from, to be shown after the roll back.
    struct Failure {
        FileManager* file = nullptr;  // its recorded (pending) message is shown
        int restrictId = 0;           // 30 or 31: raised with restrictFile's name
        FileManager* restrictFile = nullptr;
        int level = 0;
    };

    void OpenTree(std::set<RelationManager*>& seen, int* level);
    void CloseTree(std::set<RelationManager*>& seen);
    bool CollectTables(std::vector<storage::Table*>& tables, std::set<RelationManager*>& seen);
    int Begin(storage::Transaction& tx);
    // Positions of the child records whose link fields hold parent's values (at most
    // limit of them; 0 = all). False when the child table cannot be read.
    bool FindChildren(const Relation& r, const storage::RecordBuffer& parent,
                      std::vector<std::string>& positions, size_t limit, Failure& failure);
    bool LinksChanged(const Relation& r, const storage::RecordBuffer& before,
                      const storage::RecordBuffer& after) const;
    bool UpdateWithin(const storage::RecordBuffer& before, bool showChanges, Failure& failure);
    bool CascadeInBulk(const Relation& r, const storage::RecordBuffer& before, Failure& failure);
    bool DeleteWithin(Failure& failure);
    void Progress();
    bool ClearChildren(const Relation& r, const storage::RecordBuffer& parent, Failure& failure);
    void ShowFailure(const Failure& failure);

    FileManager& file_;
    bool useTransaction_;
    std::vector<Relation> children_;
    std::vector<RelationManager*> related_;  // parents and children, for open and close
    size_t rewritten_ = 0;                   // children rewritten by the running change
};

}  // namespace corvix::framework

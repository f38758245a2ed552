#include "framework/relation_manager.h"

#include <optional>

#include "runtime/collate.h"

namespace corvix::framework {

namespace {

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// As the keys compare: one comparison for keys, links and rules.
bool sameLink(const storage::Scalar& a, const storage::Scalar& b) {
    const auto* sa = std::get_if<std::string>(&a);
    const auto* sb = std::get_if<std::string>(&b);
    if (sa && sb) return runtime::sameNoCase(*sa, *sb);
    return a == b;
}

std::function<void(bool)>& waitIndicator() {
    static std::function<void(bool)> indicator;
    return indicator;
}

// The wait indication (the program's wait cursor) while a delete runs.
class WaitCursor {
  public:
    WaitCursor() : on_(static_cast<bool>(waitIndicator())) {
        if (on_) waitIndicator()(true);
    }
    ~WaitCursor() {
        if (on_) waitIndicator()(false);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    bool on_;
};

void blank(storage::RecordBuffer& r, int field) {
    if (r.decl().fields[field].type == storage::FieldType::String)
        r.set(field, std::string());
    else
        r.set(field, int64_t{0});
}

}  // namespace

void setWaitIndicator(std::function<void(bool on)> indicator) {
    waitIndicator() = std::move(indicator);
}

RelationManager::RelationManager(FileManager& file, bool useTransaction)
    : file_(file), useTransaction_(useTransaction) {}

void RelationManager::AddRelation(RelationManager& child, int updateRule, int deleteRule,
                                  int childKey, std::vector<std::pair<int, int>> links) {
    children_.push_back({&child, updateRule, deleteRule, childKey, std::move(links)});
    related_.push_back(&child);
    child.related_.push_back(this);
}

// ---------------------------------------------------------------- open and close

void RelationManager::OpenTree(std::set<RelationManager*>& seen, int* level) {
    if (!seen.insert(this).second) return;
    int l = file_.Open();
    if (l != kLevelBenign && *level == kLevelBenign) *level = l;
    for (RelationManager* r : related_) r->OpenTree(seen, level);
}

void RelationManager::CloseTree(std::set<RelationManager*>& seen) {
    if (!seen.insert(this).second) return;
    file_.Close();
    for (RelationManager* r : related_) r->CloseTree(seen);
}

int RelationManager::Open() {
    std::set<RelationManager*> seen;
    int level = kLevelBenign;
    OpenTree(seen, &level);
    return level;
}

void RelationManager::Close() {
    std::set<RelationManager*> seen;
    CloseTree(seen);
}

// ---------------------------------------------------------------- transactions

bool RelationManager::CollectTables(std::vector<storage::Table*>& tables,
                                    std::set<RelationManager*>& seen) {
    if (!seen.insert(this).second) return true;
    storage::Table* t = file_.Use();
    if (!t) return false;
    tables.push_back(t);
    for (Relation& r : children_)
        if (!r.child->CollectTables(tables, seen)) return false;
    return true;
}

int RelationManager::Begin(storage::Transaction& tx) {
    if (!useTransaction_) return kLevelBenign;
    std::vector<storage::Table*> tables;
    std::set<RelationManager*> seen;
    if (!CollectTables(tables, seen)) return kLevelNotify;
    if (tx.begin(tables, transactionTimeout) != storage::kNoError) {
        file_.Raise(21);
        return kLevelNotify;
    }
    return kLevelBenign;
}

// ---------------------------------------------------------------- children

bool RelationManager::LinksChanged(const Relation& r, const storage::RecordBuffer& before,
                                   const storage::RecordBuffer& after) const {
    for (const auto& [parentField, childField] : r.links) {
        storage::Scalar a = before.get(parentField), b = after.get(parentField);
        if (const auto* s = std::get_if<std::string>(&a)) a = trimmed(*s);
        if (const auto* s = std::get_if<std::string>(&b)) b = trimmed(*s);
        if (a != b) return true;  // a change of letter case is carried into the children too
    }
    return false;
}

bool RelationManager::FindChildren(const Relation& r, const storage::RecordBuffer& parent,
                                   std::vector<std::string>& positions, size_t limit,
                                   Failure& failure) {
    FileManager& c = r.child->File();
    storage::Table* t = c.TryUse();
    if (!t) {
        failure.file = &c;
        return false;
    }
    storage::Record probe(c.Decl());
    for (const auto& [parentField, childField] : r.links)
        probe.set(childField, parent.get(parentField));
    int rc = t->setFrom(r.childKey, probe);
    storage::Record row(c.Decl());
    while (rc == storage::kNoError && (limit == 0 || positions.size() < limit)) {
        rc = t->next(row);
        if (rc != storage::kNoError) break;
        bool match = true;
        for (const auto& [parentField, childField] : r.links) {
            if (!sameLink(row.get(childField), parent.get(parentField))) {
                match = false;
                break;
            }
        }
        if (!match) break;  // past the children in key order
        positions.push_back(t->position());
    }
    if (rc != storage::kNoError && rc != storage::kRecordNotAvailable) {
        failure.file = &c;
        // The manager records the failure by reading on where the read failed, so the
        // message names that error; a dummy re-read would name its own.
        if (c.TryNext() == kLevelBenign) c.TryReget("");
        return false;
    }
    return true;
}

bool RelationManager::ClearChildren(const Relation& r, const storage::RecordBuffer& parent,
                                    Failure& failure) {
    std::vector<std::string> positions;
    if (!FindChildren(r, parent, positions, 0, failure)) return false;
    FileManager& c = r.child->File();
    for (const std::string& pos : positions) {
        if (c.TryReget(pos) != kLevelBenign) {
            failure.file = &c;
            return false;
        }
        storage::Record before(c.Decl());
        before.copyFrom(c.Buffer());
        for (const auto& [parentField, childField] : r.links) blank(c.Buffer(), childField);
        if (!r.child->UpdateWithin(before, false, failure)) return false;
        Progress();
    }
    return true;
}

void RelationManager::Progress() {
    ++rewritten_;
    if (progress) progress(rewritten_);
}

// ---------------------------------------------------------------- update

bool RelationManager::UpdateWithin(const storage::RecordBuffer& before, bool showChanges,
                                   Failure& failure) {
    int level = file_.TryUpdate(showChanges);
    if (level != kLevelBenign) {
        failure.file = &file_;
        failure.level = level;
        return false;
    }
    for (const Relation& r : children_) {
        if (r.updateRule == kRuleNone || !LinksChanged(r, before, file_.Buffer())) continue;
        if (r.updateRule == kRuleRestrict) {
            std::vector<std::string> one;
            if (!FindChildren(r, before, one, 1, failure)) return false;
            if (!one.empty()) {
                failure.restrictId = 31;
                failure.restrictFile = &r.child->File();
                return false;
            }
            continue;
        }
        if (r.updateRule == kRuleClear) {
            if (!ClearChildren(r, before, failure)) return false;
            continue;
        }
        // Cascade: the new link values go into every child that had the old ones.
        if (r.child->children_.empty()) {
            if (!CascadeInBulk(r, before, failure)) return false;
            continue;
        }
        std::vector<std::string> positions;
        if (!FindChildren(r, before, positions, 0, failure)) return false;
        FileManager& c = r.child->File();
        FileManager::State kept = c.SaveState();
        for (const std::string& pos : positions) {
            if (c.TryReget(pos) != kLevelBenign) {
                failure.file = &c;
                return false;
            }
            storage::Record childBefore(c.Decl());
            childBefore.copyFrom(c.Buffer());
            for (const auto& [parentField, childField] : r.links)
                c.Buffer().set(childField, file_.Buffer().get(parentField));
            if (!r.child->UpdateWithin(childBefore, false, failure)) return false;
            Progress();
        }
        c.RestoreState(kept);
    }
    return true;
}

// A child without children of its own takes the new link values in a few statements
// over all its records with the old ones, found as its key compares them, instead of
// a read and a rewrite per record; progress still counts the records.
bool RelationManager::CascadeInBulk(const Relation& r, const storage::RecordBuffer& before,
                                    Failure& failure) {
    FileManager& c = r.child->File();
    storage::Table* t = c.TryUse();
    if (!t) {
        failure.file = &c;
        return false;
    }
    storage::Record match(c.Decl()), values(c.Decl());
    std::vector<int> fields;
    for (const auto& [parentField, childField] : r.links) {
        match.set(childField, before.get(parentField));
        values.set(childField, file_.Buffer().get(parentField));
        fields.push_back(childField);
    }
    const size_t start = rewritten_;
    auto advance = [&](int64_t done) {
        rewritten_ = start + static_cast<size_t>(done);
        if (progress) progress(rewritten_);
    };
    int64_t changed = 0;
    if (t->rewriteMatching(r.childKey, r.links.size(), match, fields, values, advance, &changed) !=
        storage::kNoError) {
        failure.file = &c;
        c.NoteRewriteFailure(t->error());
        return false;
    }
    return true;
}

void RelationManager::ShowFailure(const Failure& failure) {
    if (failure.restrictId) {
        failure.restrictFile->Raise(failure.restrictId);
    } else if (failure.file) {
        failure.file->RaisePending();
    }
}

int RelationManager::Update(bool showChanges) {
    if (!file_.Use()) return kLevelNotify;
    storage::Record before(file_.Decl());
    if (const storage::RecordBuffer* last = file_.LastRead()) before.copyFrom(*last);
    storage::Transaction tx;
    if (Begin(tx) != kLevelBenign) return kLevelNotify;
    file_.ClearPending();
    rewritten_ = 0;
    Failure failure;
    if (!UpdateWithin(before, showChanges, failure)) {
        if (tx.active()) tx.rollback();
        if (failure.restrictId == 31) {
            // The links may not change: the parent gets its old values back.
            for (const Relation& r : children_)
                for (const auto& [parentField, childField] : r.links)
                    file_.Buffer().set(parentField, before.get(parentField));
        }
        const int id = failure.file ? failure.file->PendingError() : 0;
        ShowFailure(failure);
        return id == 6 || id == 7 || failure.restrictId ? kLevelNotify : kLevelUser;
    }
    if (tx.active() && tx.commit() != storage::kNoError) {
        tx.rollback();
        file_.Raise(25);
        return kLevelUser;
    }
    return kLevelBenign;
}

// ---------------------------------------------------------------- delete

bool RelationManager::DeleteWithin(Failure& failure) {
    for (const Relation& r : children_) {
        if (r.deleteRule == kRuleNone) continue;
        if (r.deleteRule == kRuleRestrict) {
            std::vector<std::string> one;
            if (!FindChildren(r, file_.Buffer(), one, 1, failure)) return false;
            if (!one.empty()) {
                failure.restrictId = 30;
                failure.restrictFile = &r.child->File();
                return false;
            }
        } else if (r.deleteRule == kRuleClear) {
            if (!ClearChildren(r, file_.Buffer(), failure)) return false;
        } else {
            std::vector<std::string> positions;
            if (!FindChildren(r, file_.Buffer(), positions, 0, failure)) return false;
            FileManager& c = r.child->File();
            for (const std::string& pos : positions) {
                if (c.TryReget(pos) != kLevelBenign) {
                    failure.file = &c;
                    return false;
                }
                if (!r.child->DeleteWithin(failure)) return false;
            }
        }
    }
    if (file_.TryDelete() != kLevelBenign) {
        failure.file = &file_;
        return false;
    }
    return true;
}

int RelationManager::Delete(bool query) {
    if (query && file_.Raise(9) != kLevelBenign) return kLevelCancel;
    if (!file_.Use()) return kLevelNotify;
    const std::string position = file_.Position();
    for (;;) {
        std::optional<WaitCursor> waiting(std::in_place);
        storage::Transaction tx;
        if (Begin(tx) != kLevelBenign) {
            waiting.reset();
            if (file_.Raise(33) != kLevelBenign) return kLevelNotify;
            continue;
        }
        file_.ClearPending();
        rewritten_ = 0;
        Failure failure;
        bool done = file_.TryReget(position) == kLevelBenign;
        if (!done) failure.file = &file_;
        if (done) done = DeleteWithin(failure);
        if (done && tx.active() && tx.commit() != storage::kNoError) {
            done = false;
            failure = {};
        }
        if (done) return kLevelBenign;
        if (tx.active()) tx.rollback();
        waiting.reset();  // no wait cursor over the messages
        if (failure.restrictId) {
            // A refusal is final: asking to try again could never succeed.
            ShowFailure(failure);
            return kLevelNotify;
        }
        FileManager& failed = failure.file ? *failure.file : file_;
        failed.ClearPending();
        failed.Raise(11);
        if (file_.Raise(33) != kLevelBenign) return kLevelNotify;
    }
}

}  // namespace corvix::framework

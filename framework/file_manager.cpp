#include "framework/file_manager.h"

#include <climits>

#include "framework/relation_manager.h"
#include "libs/ferrule/ferrule.h"
#include "runtime/collate.h"

namespace corvix::framework {

namespace {

OpenFunction& openFunction() {
    static OpenFunction f;
    return f;
}

int openThroughUpgrade(storage::Table& table, int mode) {
    if (openFunction()) return openFunction()(table, mode);
    return fu_FileOpen(table, mode);
}

constexpr size_t kPositionChars = 512;

// The largest value a numeric field can hold.
int64_t maxValue(storage::FieldType type) {
    switch (type) {
        case storage::FieldType::Byte:
            return 255;
        case storage::FieldType::Short:
            return 32767;
        case storage::FieldType::UShort:
            return 65535;
        case storage::FieldType::ULong:
            return 4294967295LL;
        default:
            return INT32_MAX;
    }
}

// Key values compare as the keys do: no letter case, no trailing blanks.
bool sameKeyValue(const storage::RecordBuffer& a, const storage::RecordBuffer& b, int field) {
    return runtime::sameNoCase(a.getString(field), b.getString(field));
}

}  // namespace

void setOpenFunction(OpenFunction open) {
    openFunction() = std::move(open);
}

std::string displayNameFor(const storage::TableDecl& decl) {
    storage::TableName n = storage::splitTableName(decl.name);
    std::string base = n.table;
    if (base.empty()) {
        base = n.file;
        size_t dot = base.rfind('.');
        if (dot != std::string::npos) base.erase(dot);
        size_t slash = base.find_last_of("/\\");
        if (slash != std::string::npos) base.erase(0, slash + 1);
    }
    return base + " [" + decl.label + "]";
}

FileManager::FileManager(const storage::TableDecl& decl, storage::RecordBuffer& buffer)
    : decl_(decl), buffer_(buffer), displayName_(displayNameFor(decl)) {
    for (size_t k = 0; k < decl.keys.size(); ++k)
        keys_.push_back({static_cast<int>(k), decl.keys[k].description, decl.keys[k].autoNumber()});
}

FileManager::~FileManager() {
    for (auto& [thread, s] : states_) {
        if (s.table && s.opened) s.table->close();
        if (s.lastRead) s.lastRead->clear();  // it may hold a password
    }
}

void FileManager::AddKey(int key, std::string_view description, bool autoNumber) {
    for (KeyInfo& k : keys_) {
        if (k.key == key) {
            k.description = std::string(description.substr(0, 80));
            k.autoNumber = autoNumber;
            return;
        }
    }
    keys_.push_back({key, std::string(description.substr(0, 80)), autoNumber});
}

void FileManager::SetName(std::string name) {
    name_ = std::move(name);
    for (auto& [thread, s] : states_)
        if (s.table && !s.opened) s.table->setName(name_.empty() ? decl_.name : name_);
}

const std::string& FileManager::Name() const {
    return name_.empty() ? decl_.name : name_;
}

const std::string& FileManager::KeyDescription(int key) const {
    static const std::string none;
    for (const KeyInfo& k : keys_)
        if (k.key == key) return k.description;
    return none;
}

bool FileManager::HasAutoNumber() const {
    for (const KeyInfo& k : keys_)
        if (k.autoNumber) return true;
    return false;
}

// ---------------------------------------------------------------- state and messages

FileManager::ThreadState& FileManager::StateForThread() {
    const int key = perThread ? threadNumber() : 0;
    ThreadState& s = states_[key];
    if (!s.table) {
        s.table = std::make_unique<storage::Table>(decl_);
        if (!name_.empty()) s.table->setName(name_);
        s.lastRead = std::make_unique<storage::Record>(decl_);
    }
    return s;
}

const FileManager::ThreadState* FileManager::FindState() const {
    auto it = states_.find(perThread ? threadNumber() : 0);
    return it == states_.end() ? nullptr : &it->second;
}

int FileManager::Raise(int id) {
    errorManager().SetFileName(displayName_);
    return errorManager().Raise(id);
}

int FileManager::RaiseWithText(int id, std::string_view text) {
    errorManager().SetFileName(displayName_);
    return errorManager().RaiseWithText(id, text);
}

int FileManager::Fail(bool report, int id) {
    if (report) {
        int level = Raise(id);
        return level == kLevelFatal || level == kLevelProgram ? level : kLevelNotify;
    }
    ThreadState& s = StateForThread();
    s.pendingError = id;
    s.pendingHasText = false;
    s.pendingField.clear();
    s.pendingText.clear();
    s.pendingStorageError = storage::lastError();
    return kLevelNotify;
}

int FileManager::FailWithText(bool report, int id, std::string_view text, std::string_view field) {
    if (report) {
        if (!field.empty()) errorManager().SetFieldName(field);
        int level = RaiseWithText(id, text);
        return level == kLevelFatal || level == kLevelProgram ? level : kLevelNotify;
    }
    ThreadState& s = StateForThread();
    s.pendingError = id;
    s.pendingHasText = true;
    s.pendingField = std::string(field);
    s.pendingText = std::string(text);
    s.pendingStorageError = storage::lastError();
    return kLevelNotify;
}

int FileManager::PendingError() const {
    const ThreadState* s = FindState();
    return s ? s->pendingError : 0;
}

void FileManager::ClearPending() {
    ThreadState& s = StateForThread();
    s.pendingError = 0;
    s.pendingHasText = false;
}

int FileManager::RaisePending() {
    ThreadState& s = StateForThread();
    if (s.pendingError == 0) return kLevelBenign;
    const int id = s.pendingError;
    s.pendingError = 0;
    // The message reports the error of the failed operation, not of whatever ran since.
    storage::setLastError(s.pendingStorageError);
    if (!s.pendingHasText) return Raise(id);
    if (!s.pendingField.empty()) errorManager().SetFieldName(s.pendingField);
    return RaiseWithText(id, s.pendingText);
}

void FileManager::RememberRead(ThreadState& s) {
    s.lastRead->copyFrom(buffer_);
}

const storage::RecordBuffer* FileManager::LastRead() const {
    const ThreadState* s = FindState();
    return s ? s->lastRead.get() : nullptr;
}

// ---------------------------------------------------------------- opening

int FileManager::Open() {
    ThreadState& s = StateForThread();
    ++s.openCount;
    if (lazyOpen || s.opened) return kLevelBenign;
    return OpenTable(s, true);
}

int FileManager::TryOpen() {
    ThreadState& s = StateForThread();
    ++s.openCount;
    if (lazyOpen || s.opened) return kLevelBenign;
    return OpenTable(s, false);
}

void FileManager::Close() {
    ThreadState& s = StateForThread();
    if (s.openCount > 0) --s.openCount;
    if (s.openCount == 0 && s.opened) {
        s.table->close();
        s.lastRead->clear();  // it may hold a password
        s.opened = false;
        s.readOnly = false;
        s.primed = false;
    }
}

bool FileManager::IsOpen() const {
    const ThreadState* s = FindState();
    return s && s->opened;
}

int FileManager::OpenTable(ThreadState& s, bool report) {
    storage::Table& t = *s.table;
    int mode = openMode;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (beforeOpen) beforeOpen(t);
        int rc = openThroughUpgrade(t, mode);
        if (rc == storage::kAccessDenied) {
            // A lock left by a program that died: let the driver recover it, then retry.
            t.sendDriverString("Recover=" + std::to_string(lockRecover));
            if (beforeOpen) beforeOpen(t);
            rc = openThroughUpgrade(t, mode);
        }
        switch (rc) {
            case storage::kNoError:
            case storage::kAlreadyOpen:
                s.opened = true;
                s.readOnly = (mode & storage::kAccessMask) == storage::kReadOnly;
                s.endOfFile = false;
                return kLevelBenign;
            case storage::kFileNotFound:
                if (!create) return Fail(report, 23);
                if (beforeOpen) beforeOpen(t);
                if (t.createIfMissing() != storage::kNoError) return Fail(report, 10);
                continue;
            case storage::kBadKey: {
                int level = Fail(report, 27);
                if (level == kLevelFatal || !keyRepair) return level;
                if (RebuildKeys(t) != storage::kNoError) return Fail(report, 26);
                continue;
            }
            case storage::kAccessDenied:
                if ((mode & storage::kAccessMask) != storage::kReadOnly) {
                    mode &= storage::kShareMask;
                    Fail(report, 2);
                    continue;
                }
                return Fail(report, 23);
            default:
                return Fail(report, 23);
        }
    }
    return Fail(report, 23);
}

// Keys are rebuilt on a handle of their own that keeps everybody else out meanwhile.
int FileManager::RebuildKeys(storage::Table& t) {
    if (beforeOpen) beforeOpen(t);
    int rc = t.open(storage::kReadWrite | storage::kDenyAll);
    if (rc != storage::kNoError) return rc;
    rc = t.buildKeys();
    storage::Error kept = storage::lastError();
    t.close();
    storage::setLastError(kept);
    return rc;
}

storage::Table* FileManager::UseOn(bool report) {
    ThreadState& s = StateForThread();
    if (s.opened) return s.table.get();
    if (!lazyOpen || s.openCount == 0) {
        // A table used before any window asked for it: a programming error.
        Raise(39);
        return nullptr;
    }
    storage::Record saved(decl_);
    saved.copyFrom(buffer_);
    int level = OpenTable(s, report);
    buffer_.copyFrom(saved);
    return level == kLevelBenign ? s.table.get() : nullptr;
}

storage::Table* FileManager::Use() {
    return UseOn(true);
}
storage::Table* FileManager::TryUse() {
    return UseOn(false);
}

// ---------------------------------------------------------------- reading

int FileManager::FetchOn(bool report, int key) {
    storage::Table* t = UseOn(report);
    if (!t) return kLevelNotify;
    int rc = t->get(key, buffer_);
    ThreadState& s = StateForThread();
    if (rc == storage::kNoError) {
        RememberRead(s);
        return kLevelBenign;
    }
    if (rc == storage::kRecordNotFound || rc == storage::kRecordNotAvailable) {
        s.pendingError = 0;
        return kLevelNotify;  // not found is an answer, not an error
    }
    return Fail(report, 1);
}

int FileManager::Fetch(int key) {
    return FetchOn(true, key);
}
int FileManager::TryFetch(int key) {
    return FetchOn(false, key);
}

int FileManager::SetOrder(int key) {
    storage::Table* t = UseOn(true);
    if (!t) return kLevelNotify;
    ThreadState& s = StateForThread();
    s.order = key;
    s.endOfFile = false;
    return t->set(key) == storage::kNoError ? kLevelBenign : Fail(true, 1);
}

int FileManager::SetOrderFrom(int key) {
    storage::Table* t = UseOn(true);
    if (!t) return kLevelNotify;
    ThreadState& s = StateForThread();
    s.order = key;
    s.endOfFile = false;
    return t->setFrom(key, buffer_) == storage::kNoError ? kLevelBenign : Fail(true, 1);
}

int FileManager::SetOrderLast(int key) {
    storage::Table* t = UseOn(true);
    if (!t) return kLevelNotify;
    ThreadState& s = StateForThread();
    s.order = key;
    s.endOfFile = false;
    return t->setLast(key) == storage::kNoError ? kLevelBenign : Fail(true, 1);
}

int FileManager::ReadOn(bool report, bool forward) {
    storage::Table* t = UseOn(report);
    if (!t) return kLevelNotify;
    ThreadState& s = StateForThread();
    for (;;) {
        int rc = forward ? t->next(buffer_) : t->previous(buffer_);
        if (rc == storage::kNoError) {
            s.endOfFile = false;
            RememberRead(s);
            return kLevelBenign;
        }
        if (rc == storage::kRecordNotAvailable) {
            s.endOfFile = true;
            return kLevelNotify;
        }
        if (rc == storage::kRecordHeld) {
            if (skipHeld) continue;
            return Fail(report, 28);
        }
        return Fail(report, 1);
    }
}

int FileManager::Next() {
    return ReadOn(true, true);
}
int FileManager::TryNext() {
    return ReadOn(false, true);
}
int FileManager::Previous() {
    return ReadOn(true, false);
}
int FileManager::TryPrevious() {
    return ReadOn(false, false);
}

bool FileManager::EndOfFile() const {
    const ThreadState* s = FindState();
    return s && s->endOfFile;
}

std::string FileManager::Position() {
    ThreadState& s = StateForThread();
    if (!s.opened) return "";
    std::string p = s.table->position();
    if (p.size() > kPositionChars) p.resize(kPositionChars);
    return p;
}

int FileManager::RegetOn(bool report, std::string_view position) {
    storage::Table* t = UseOn(report);
    if (!t) return kLevelNotify;
    if (t->reget(position, buffer_) != storage::kNoError) return Fail(report, 1);
    RememberRead(StateForThread());
    return kLevelBenign;
}

int FileManager::Reget(std::string_view position) {
    return RegetOn(true, position);
}
int FileManager::TryReget(std::string_view position) {
    return RegetOn(false, position);
}

FileManager::State FileManager::SaveState() {
    State st;
    st.buffer = std::make_unique<storage::Record>(decl_);
    st.buffer->copyFrom(buffer_);
    ThreadState& s = StateForThread();
    if (s.opened) st.position = s.table->position();
    st.order = s.order;
    st.endOfFile = s.endOfFile;
    return st;
}

void FileManager::RestoreState(const State& st) {
    ThreadState& s = StateForThread();
    if (s.opened && !st.position.empty()) {
        // Read the saved record again and put the reading order back on it, so that Next
        // goes on where the caller left off and Update rewrites the right record.
        storage::Table& t = *s.table;
        storage::Record at(decl_);
        if (t.reget(st.position, at) == storage::kNoError) {
            s.lastRead->copyFrom(at);
            if (t.reset(st.order, st.position) == storage::kNoError) t.next(at);
        }
    }
    s.order = st.order;
    s.endOfFile = st.endOfFile;
    if (st.buffer) buffer_.copyFrom(*st.buffer);
}

// ---------------------------------------------------------------- numbering

int FileManager::NumberKey(storage::Table& t, int key, int64_t* value, bool report) {
    const storage::KeyDecl& k = decl_.keys[key];
    const int last = k.components.back();
    storage::Record found(decl_);
    int rc;
    // Only the highest record is wanted: nothing more is read ahead.
    if (k.components.size() == 1) {
        rc = t.setLast(key);
        t.expectRows(1);
        if (rc == storage::kNoError) rc = t.previous(found);
    } else {
        storage::Record bound(decl_);
        bound.copyFrom(buffer_);
        bound.set(last, maxValue(decl_.fields[last].type));
        rc = t.setFrom(key, bound);
        t.expectRows(1);
        if (rc == storage::kNoError) rc = t.previous(found);
        if (rc == storage::kNoError) {
            for (size_t c = 0; c + 1 < k.components.size(); ++c) {
                if (!sameKeyValue(found, buffer_, k.components[c])) {
                    rc = storage::kRecordNotAvailable;
                    break;
                }
            }
        }
    }
    if (rc == storage::kNoError) {
        *value = found.getInt(last) + 1;
        return kLevelBenign;
    }
    if (rc == storage::kRecordNotAvailable) {
        *value = 1;
        return kLevelBenign;
    }
    return Fail(report, 1);
}

int FileManager::PrimeOn(bool report) {
    storage::Table* t = UseOn(report);
    if (!t) return kLevelNotify;
    ThreadState& s = StateForThread();
    for (;;) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            storage::Record saved(decl_);
            saved.copyFrom(buffer_);
            for (const KeyInfo& k : keys_) {
                if (!k.autoNumber) continue;
                int64_t value = 0;
                int level = NumberKey(*t, k.key, &value, report);
                if (level != kLevelBenign) {
                    buffer_.copyFrom(saved);
                    return level;
                }
                saved.set(decl_.keys[k.key].components.back(), value);
            }
            buffer_.copyFrom(saved);
            // Adding the record at once reserves the number against other stations.
            const int rc = t->add(buffer_);
            if (rc == storage::kNoError) {
                s.primed = true;
                s.primedPosition = t->position();
                RememberRead(s);
                return kLevelBenign;
            }
            // Only a number taken meanwhile is worth another attempt; a duplicate in
            // another unique key would fail every time.
            if (rc == storage::kDuplicateKey) {
                const int key = decl_.keyIndex(t->error().key);
                bool numberTaken = false;
                for (const KeyInfo& k : keys_)
                    if (k.key == key && k.autoNumber) numberTaken = true;
                if (!numberTaken) return DuplicateKeyMessage(report, t->error());
            } else {
                break;  // the driver refuses the add itself: ask at once
            }
        }
        if (!report) return Fail(false, 32);
        if (Raise(32) != kLevelBenign) return kLevelNotify;
    }
}

int FileManager::PrimeAutoInc() {
    return PrimeOn(true);
}
int FileManager::TryPrimeAutoInc() {
    return PrimeOn(false);
}

bool FileManager::AutoIncPrimed() const {
    const ThreadState* s = FindState();
    return s && s->primed;
}

int FileManager::PrimeRecord() {
    buffer_.clear();
    if (primeFields) primeFields(buffer_);
    if (!HasAutoNumber()) return kLevelBenign;
    return PrimeAutoInc();
}

int FileManager::CancelAutoInc(RelationManager* relations) {
    ThreadState& s = StateForThread();
    if (!s.primed || !s.opened) return kLevelBenign;
    s.primed = false;
    if (relations) {
        if (s.table->reget(s.primedPosition, buffer_) != storage::kNoError) return Fail(true, 11);
        return relations->Delete(false);
    }
    storage::Record reserved(decl_);
    if (s.table->reget(s.primedPosition, reserved) != storage::kNoError ||
        s.table->erase() != storage::kNoError)
        return Fail(true, 11);
    return kLevelBenign;
}

// ---------------------------------------------------------------- writing

int FileManager::DuplicateKeyMessage(bool report, const storage::Error& e) {
    int key = decl_.keyIndex(e.key);
    std::string description = key >= 0 ? KeyDescription(key) : e.key;
    return FailWithText(report, 13, description);
}

int FileManager::InsertOn(bool report) {
    storage::Table* t = UseOn(report);
    if (!t) return kLevelNotify;
    // The rules and the write run under one write lock: no other process can change what
    // the rules saw in between (delete the category an account is being added to). A
    // transaction the caller runs on the file holds that lock already (begin refuses a
    // second one); only a file another process keeps busy stops the insert.
    constexpr int kWriteWaitSeconds = 10;
    storage::Transaction tx;
    if (tx.begin({t}, kWriteWaitSeconds) == storage::kAccessDenied) return Fail(report, 4);
    ThreadState& s = StateForThread();
    auto write = [&]() -> int {
        int level = ValidateRecordOn(report);
        if (level != kLevelBenign) return level;
        int rc;
        if (!HasAutoNumber()) {
            rc = t->add(buffer_);
        } else if (s.primed) {
            storage::Record reserved(decl_);
            rc = t->reget(s.primedPosition, reserved);
            if (rc == storage::kNoError) rc = t->put(buffer_);
        } else {
            level = PrimeOn(report);  // numbering adds the record
            if (level == kLevelBenign) s.primed = false;
            return level;
        }
        if (rc == storage::kNoError) {
            s.primed = false;
            RememberRead(s);
            return kLevelBenign;
        }
        if (rc == storage::kDuplicateKey) return DuplicateKeyMessage(report, t->error());
        return Fail(report, 4);
    };
    const int level = write();
    if (!tx.active()) return level;
    if (level != kLevelBenign) {
        tx.rollback();
        return level;
    }
    if (tx.commit() != storage::kNoError) {
        tx.rollback();
        return Fail(report, 4);
    }
    return kLevelBenign;
}

int FileManager::Insert() {
    return InsertOn(true);
}
int FileManager::TryInsert() {
    return InsertOn(false);
}

int FileManager::UpdateOn(bool report, bool showChanges) {
    storage::Table* t = UseOn(report);
    if (!t) return kLevelNotify;
    ThreadState& s = StateForThread();
    const std::string position = t->position();
    int rc = t->put(buffer_);
    if (rc == storage::kNoError) {
        RememberRead(s);
        return kLevelBenign;
    }
    if (rc == storage::kChangedByOther) {
        int level = Fail(report, showChanges ? 7 : 6);
        // Show the other station's version; the user recalls their own with ditto.
        storage::Error kept = storage::lastError();
        if (t->reget(position, buffer_) == storage::kNoError) RememberRead(s);
        storage::setLastError(kept);
        return level;
    }
    if (rc == storage::kDuplicateKey) return DuplicateKeyMessage(report, t->error());
    return Fail(report, 25);
}

int FileManager::NoteRewriteFailure(const storage::Error& e) {
    if (e.code == storage::kDuplicateKey) return DuplicateKeyMessage(false, e);
    return Fail(false, 25);
}

int FileManager::Update(bool showChanges) {
    return UpdateOn(true, showChanges);
}
int FileManager::TryUpdate(bool showChanges) {
    return UpdateOn(false, showChanges);
}

int FileManager::DeleteOn(bool report) {
    storage::Table* t = UseOn(report);
    if (!t) return kLevelNotify;
    if (t->erase() != storage::kNoError) return Fail(report, 11);
    return kLevelBenign;
}

int FileManager::Delete() {
    return DeleteOn(true);
}
int FileManager::TryDelete() {
    return DeleteOn(false);
}

// ---------------------------------------------------------------- rules

int FileManager::ValidateFieldOn(bool report, int field) {
    if (!fieldRule) return kLevelBenign;
    FieldVerdict v = fieldRule(field);
    if (v.messageId == 0) return kLevelBenign;
    return FailWithText(report, v.messageId, v.message, v.field);
}

int FileManager::ValidateRecordOn(bool report) {
    for (int f = 0; f < static_cast<int>(decl_.fields.size()); ++f) {
        int level = ValidateFieldOn(report, f);
        if (level != kLevelBenign) return level;
    }
    return kLevelBenign;
}

int FileManager::ValidateField(int field) {
    return ValidateFieldOn(true, field);
}
int FileManager::TryValidateField(int field) {
    return ValidateFieldOn(false, field);
}
int FileManager::ValidateRecord() {
    return ValidateRecordOn(true);
}
int FileManager::TryValidateRecord() {
    return ValidateRecordOn(false);
}

}  // namespace corvix::framework

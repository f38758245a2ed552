// One file manager per table: the program's way to reach a table. It opens the table
// lazily on each thread (creating it, repairing its keys, falling back to read-only),
// reads and writes the shared record buffer, numbers new records, notices records that
// another station changed, and reports every failure through the error manager with the
// table's display name.
//
// Every operation comes in two forms: the reporting form shows its own message; the Try
// form only records the message id (and its texts) for the caller, who may show it
// later with RaisePending().
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/error_manager.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::framework {

class RelationManager;

// A field rule's verdict: messageId 0 when the value is fine; otherwise the message to
// raise with field (for %Field) and message (for %Message).
struct FieldVerdict {
    int messageId = 0;
    std::string field;
    std::string message;
};

// How the file manager opens a table; the default goes through the upgrade library.
using OpenFunction = std::function<int(storage::Table& table, int mode)>;
void setOpenFunction(OpenFunction open);  // empty function restores the default

class FileManager {
  public:
    // buffer is the table's shared record buffer (outlives the manager).
    FileManager(const storage::TableDecl& decl, storage::RecordBuffer& buffer);
    virtual ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    // ---- set-up ----
    // Registers a key with the description shown in messages; every key of the
    // declaration is registered with its declared description at construction.
    void AddKey(int key, std::string_view description, bool autoNumber);
    void SetDisplayName(std::string name) { displayName_ = std::move(name); }
    // A variable file name (a sealed-file container): used by every handle opened from
    // now on; handles that are open keep their file until closed.
    void SetName(std::string name);
    const std::string& Name() const;
    const std::string& DisplayName() const { return displayName_; }
    const storage::TableDecl& Decl() const { return decl_; }
    storage::RecordBuffer& Buffer() { return buffer_; }
    const std::string& KeyDescription(int key) const;
    bool HasAutoNumber() const;

    int openMode = storage::kReadWrite | storage::kDenyNone;
    bool create = true;
    int lockRecover = 10;  // seconds, handed to the driver as "Recover="
    bool lazyOpen = true;
    bool skipHeld = false;
    bool keyRepair = true;
    bool perThread = true;
    // Called immediately before every open (the vault's tables build their key here).
    std::function<void(storage::Table&)> beforeOpen;
    // Initial values of a new record (PrimeRecord).
    std::function<void(storage::RecordBuffer&)> primeFields;
    // Field rules: called per field number; the record is valid when every field is.
    std::function<FieldVerdict(int field)> fieldRule;

    // ---- opening ----
    // Asks for the table on this thread (counted). With lazy opening the table is
    // opened by the first operation that needs it; otherwise now.
    int Open();
    int TryOpen();
    // Gives back one Open of this thread; the last one closes the table.
    void Close();
    bool IsOpen() const;  // on this thread
    // The calling thread's table handle, opened on demand; nullptr when it cannot be
    // used (the reason is raised or, for TryUse, recorded).
    storage::Table* Use();
    storage::Table* TryUse();

    // ---- reading ----
    int Fetch(int key);  // the record whose key equals the buffer's key fields
    int TryFetch(int key);
    // Reading order for Next/Previous: a key number or storage::kPhysicalOrder.
    int SetOrder(int key);      // before the first record in that order
    int SetOrderFrom(int key);  // before the first >= the buffer's key fields
    int SetOrderLast(int key);  // so that Previous reads the last record
    int Next();
    int TryNext();
    int Previous();
    int TryPrevious();
    bool EndOfFile() const;  // the last Next/Previous ran off the end

    // ---- writing ----
    int Insert();
    int TryInsert();
    // Rewrites the current record. showChanges: when another station changed it, say so
    // with message 7 (the other station's version is put in the buffer either way).
    int Update(bool showChanges = false);
    int TryUpdate(bool showChanges = false);
    int Delete();
    int TryDelete();
    int PrimeAutoInc();
    int TryPrimeAutoInc();
    // Deletes the record reserved by PrimeAutoInc when an insert is abandoned.
    int CancelAutoInc(RelationManager* relations = nullptr);
    bool AutoIncPrimed() const;
    // Clears the buffer, puts the initial values in it and, for a table with an
    // auto-numbered key, reserves the next number.
    int PrimeRecord();

    // ---- rules ----
    int ValidateField(int field);
    int TryValidateField(int field);
    int ValidateRecord();
    int TryValidateRecord();

    // ---- state around nested reads ----
    struct State {
        std::unique_ptr<storage::Record> buffer;
        std::string position;
        int order = storage::kPhysicalOrder;
        bool endOfFile = false;
    };
    State SaveState();
    void RestoreState(const State& state);
    std::string Position();  // of the current record (up to 512 characters)
    int Reget(std::string_view position);
    int TryReget(std::string_view position);
    // Records, as a Try form does, the message of a rewrite of many records that the
    // table refused (e: its error): 13 naming the key for a duplicate, else 25.
    int NoteRewriteFailure(const storage::Error& e);

    // The record as it was last read or written on this thread (for the link values a
    // relation compares).
    const storage::RecordBuffer* LastRead() const;

    // ---- messages ----
    int Raise(int id);
    int RaiseWithText(int id, std::string_view text);
    int PendingError() const;  // message id recorded by the last Try form (0 = none)
    void ClearPending();
    int RaisePending();  // shows the recorded message; 0 when there is none

  protected:
    struct ThreadState {
        std::unique_ptr<storage::Table> table;
        std::unique_ptr<storage::Record> lastRead;
        int openCount = 0;
        bool opened = false;
        bool readOnly = false;
        bool endOfFile = false;
        bool primed = false;
        std::string primedPosition;
        int order = storage::kPhysicalOrder;
        int pendingError = 0;
        std::string pendingField;
        std::string pendingText;
        bool pendingHasText = false;
        storage::Error pendingStorageError;  // the driver's error behind pendingError
    };
    ThreadState& StateForThread();
    const ThreadState* FindState() const;

    // Report (raise) or only record the message of a failure.
    int Fail(bool report, int id);
    int FailWithText(bool report, int id, std::string_view text, std::string_view field = {});

    int OpenTable(ThreadState& s, bool report);
    int RebuildKeys(storage::Table& t);
    storage::Table* UseOn(bool report);
    int FetchOn(bool report, int key);
    int ReadOn(bool report, bool forward);
    int InsertOn(bool report);
    int UpdateOn(bool report, bool showChanges);
    int DeleteOn(bool report);
    int PrimeOn(bool report);
    int NumberKey(storage::Table& t, int key, int64_t* value, bool report);
    int ValidateFieldOn(bool report, int field);
    int ValidateRecordOn(bool report);
    int RegetOn(bool report, std::string_view position);
    int DuplicateKeyMessage(bool report, const storage::Error& e);
    void RememberRead(ThreadState& s);

  private:
    struct KeyInfo {
        int key;
        std::string description;
        bool autoNumber;
    };
    const storage::TableDecl& decl_;
    storage::RecordBuffer& buffer_;
    std::string displayName_;
    std::string name_;  // the file name when it differs from the declaration's
    std::vector<KeyInfo> keys_;
    std::map<int, ThreadState> states_;
};

// "Corvix\!Passwords" and "CVPAS" -> "Passwords [CVPAS]".
std::string displayNameFor(const storage::TableDecl& decl);

}  // namespace corvix::framework

// Tables in multi-table SQLCipher files. A Table is one open handle on one table;
// handles of one physical file share a single connection. Every operation returns
// an ErrorCode (0 = done) and also leaves it in lastError() and in the handle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/declaration.h"
#include "platform/storage/errors.h"
#include "platform/storage/record.h"

namespace corvix::storage {

// Open modes: access in the low nibble, sharing in the high one.
enum OpenMode : int {
    kReadOnly = 0x00,
    kWriteOnly = 0x01,
    kReadWrite = 0x02,
    kDenyAll = 0x10,
    kDenyWrite = 0x20,
    kDenyRead = 0x30,
    kDenyNone = 0x40,
    kAccessMask = 0x0F,
    kShareMask = 0xF0,
};

constexpr int kPhysicalOrder = -1;  // "key" number meaning record (row id) order

class Table {
  public:
    // decl must outlive the handle. The name and owner come from decl unless set.
    explicit Table(const TableDecl& decl);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const TableDecl& decl() const;
    void setName(std::string name);    // a variable file name (containers)
    void setOwner(std::string owner);  // owner password for the next open/create
    const std::string& name() const;
    // The owner password the next open/create uses: the one given to setOwner(), else
    // the declaration's.
    const std::string& owner() const;

    int create();  // creates the table (and its file) anew, empty; leaves it closed
    // Creates the table only when it does not exist yet, waiting for another process that
    // is making it; a table that exists (made meanwhile) is kept as it is.
    int createIfMissing();
    int open(int mode = kReadWrite | kDenyNone);
    void close();
    bool isOpen() const;
    int mode() const;
    // Driver strings such as "FULLBUILD=on", "RECOVER=10", "IGNORESTATUS=on",
    // "QUICKSCAN=on": accepted; they have no effect on this driver.
    int sendDriverString(std::string_view text);

    // Reading in an order. set() positions before the first record of the key order
    // (or physical order); setFrom() before the first record whose key is >= the
    // buffer's key fields (for previous(): after the last one <= them).
    int set(int key = kPhysicalOrder);
    int setFrom(int key, const RecordBuffer& keyValues);
    // setFrom() at a record's own place among the records of its key value (position()
    // of a record read in this order, with its key fields in the buffer): next() reads it
    // and what follows it, previous() it and what comes before. Paging on from a record
    // so never reads again the records of the same key value before it. 35 for a
    // position that is not a number.
    int setFrom(int key, const RecordBuffer& keyValues, std::string_view position);
    // About how many records the reads after the last set*/reset will want: the first
    // batch read ahead asks for that many (1 to 512) instead of 32, so that a filtered
    // read does not look for more matches than it needs.
    void expectRows(size_t count);
    int setLast(int key = kPhysicalOrder);  // so that previous() reads the last record
    // Positions on a record taken with position(): next() and previous() both read it
    // first, then go on in the key's order. 35 when the record no longer exists.
    int reset(int key, std::string_view position);
    int next(RecordBuffer& into);      // 33 at the end
    int previous(RecordBuffer& into);  // 33 at the start
    // Limits next/previous to records matching an SQL condition over the table's
    // columns (see columnName). An empty text removes the filter; a condition the
    // storage refuses gives 76 with the driver's text.
    int setFilter(std::string_view sqlCondition);

    int get(int key, RecordBuffer& into);  // exact fetch on the key fields; 35 if none
    std::string position() const;          // of the record last read or added
    int reget(std::string_view position, RecordBuffer& into);

    int add(RecordBuffer& record);        // 40 (naming the key in Error::key) on a duplicate
    int put(const RecordBuffer& record);  // rewrites the record last read; 89 if it changed
    int erase();                          // deletes the record last read
    // Sets `fields` to their values in `values` in every record whose first `components`
    // components of `key` equal those in `match` as the key compares them (letter case
    // and trailing blanks aside): a few statements instead of a read and a rewrite per
    // record. Part of the running transaction, if any; progress(done) after each group
    // of records; *changed = how many. 40 (naming the key) when a unique key refuses.
    int rewriteMatching(int key, size_t components, const RecordBuffer& match,
                        const std::vector<int>& fields, const RecordBuffer& values,
                        const std::function<void(int64_t done)>& progress, int64_t* changed);

    // Streamed writing: the changes of this handle's file gather in one write
    // transaction until flush() or close(), for bulk copies.
    int stream();
    int flush();
    // Adds a record for a bulk load: like add(), but the buffer is left as it is, and
    // when this handle holds the table to itself (deny all) the keys are set aside at
    // the first append and rebuilt by buildKeys(); until then other opens get 46 (keys
    // need rebuilding) and duplicates of a unique key are found by buildKeys (40).
    // Shared opens keep their keys up to date and refuse duplicates at once, as add().
    int append(const RecordBuffer& record);

    // For loading many records into a shared table: the keys that are not unique stop
    // being kept until restoreKeys() builds each in one sort, far cheaper than a key entry
    // per record. Unique keys stay, so a duplicate is still refused as it is added. Other
    // handles meanwhile read the same records, only more slowly. The file remembers it in
    // the transaction that drops the keys, so if this process dies, the next open (in any
    // process) builds them before anything is read. Where a live load cannot be told
    // from a dead one (no lock file), or the table is in a transaction, the keys are
    // simply kept (0 all the same). close() restores them too.
    int deferKeys();
    int restoreKeys();
    bool keysDeferred() const;

    int64_t records();  // count; -1 on error
    // The row ids (positions) of the records the filter lets through, in the order of one
    // field (case-insensitive for text), ties by row id: a sort no key gives, without
    // reading the records.
    int positionsByField(int field, std::vector<int64_t>& out);
    int buildKeys();
    int pack();
    int release();  // nothing is ever held: a scan that finds nothing to release

    // BLOBs/memos of the record last read or added, streamed in chunks.
    int64_t blobSize(int blob);
    int readBlob(int blob, uint64_t offset, void* buffer, size_t length, size_t* got);
    int appendBlob(int blob, const void* data, size_t length);
    // The size of the chunks the BLOB is kept in (0 on error): appends and reads of a
    // whole number of them, at offsets on their boundaries, store and fetch every chunk
    // once (a chunk left part full is read back and written again by the next append).
    size_t blobChunkSize(int blob);
    int truncateBlob(int blob);  // empties it

    const Error& error() const;

    // SQL name of a field element's column, for filter conditions: "PAS:Password" ->
    // "\"PAS:Password\"", an array element "\"X:A[2]\"" (1-based, row-major).
    static std::string columnName(const FieldDecl& field, uint32_t element = 0);

    struct Impl;
    Impl* impl() const { return impl_.get(); }  // for the driver's own sources

  private:
    int makeTable(bool keepExisting);
    std::unique_ptr<Impl> impl_;
};

// Table operations on names ("Corvix\!Passwords", "CVWRD", "x.ENC").
bool tableExists(std::string_view name, std::string_view owner);
int removeTable(std::string_view name,
                std::string_view owner);  // a file's last table removes the file
int copyTable(std::string_view from, std::string_view to, std::string_view owner);
int renameTable(std::string_view from, std::string_view to, std::string_view owner);
// The declaration stored with a table (fields, keys, blobs; label/prefix as stored).
int readStoredDeclaration(std::string_view name, std::string_view owner, TableDecl& out);

// A transaction over tables of one file (one SQL transaction on its connection).
// timeoutSeconds is how long to wait for a busy file before giving up.
class Transaction {
  public:
    Transaction() = default;
    ~Transaction();  // rolls back if neither commit nor rollback happened
    int begin(const std::vector<Table*>& tables, int timeoutSeconds);
    int commit();
    int rollback();
    bool active() const { return active_; }

  private:
    void finish(void* connection);

    void* connection_ = nullptr;
    bool active_ = false;
};

// In a child process after fork(): forgets the connections inherited from the parent
// without touching them (they belong to the parent), so the child opens its own.
void abandonConnectionsAfterFork();

// Makes sure the linked SQLite is SQLCipher; false (with a reason) otherwise.
bool verifyCipherLibrary(std::string* reason);

}  // namespace corvix::storage

// quillet: the query wizard library. A host describes the fields a list may be
// queried on (a fields queue), names the list by a class name, and asks the wizard
// for a filter expression (runtime/expression.h) to apply to the list. Saved queries
// live in the library's own store (QUERIES.TPS), one set per class, with stable field
// numbers so that they survive changes to the host's field list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvix::storage {
class Table;
class RecordBuffer;
}  // namespace corvix::storage

namespace corvix::quillet {

// One queryable field of the host's list.
struct FieldEntry {
    std::string QWFLDDESC;       // description shown to the user (40)
    int QWFLDQPOINTER = 0;       // place in the order of the upper-cased descriptions
    int QWFLDFIELDPOINTER = -1;  // stable field number in the class; -1 unassigned
    int QWFLDFIELDTYPE = 0;      // 1: the store knows the field by its description
    std::string QWFLDNAME;       // "PAS:Category" (60)
    std::string QWFLDPICTURE;    // "@s30", "@d17", "@n_3b" (20)
    int QWFLDLENGTH = 0;         // length of the value entry
    int QWFLDDATATYPE = 1;       // 1 text, 2 number (dates and times too)
    int QWFLDCONTROL = 1;        // 1 entry, 2 check box, 3 drop-down
    std::string QWFLDLOOKUP;     // expression giving a looked-up value; blank: none
    std::string QWFLDOPTIONS;    // the check box's caption, the drop-down's choices
};
using FieldsQueue = std::vector<FieldEntry>;

struct QueryEntry {
    std::string description;  // (60)
    int32_t queryNo = 0;
    std::string sortKey;  // "1", "2", "3" + upper-cased description
};
using QueriesQueue = std::vector<QueryEntry>;

// ---- exported variables ----
extern std::string QXQW_FilePath;  // $QXQW:FilePath: the store's folder
extern std::string QXQW_FileName;  // $QXQW:FileName: the store's file; blank: QUERIES.TPS
extern int32_t QXQW_Response;      // $QXQW:Response: outcome of the last wizard run

// ---- exports ----
void QX_SETQWDISPLAYTEXT(long id, const std::string& text);
void QX_INITFIELDSQUEUE(FieldsQueue& fields, const std::string& className);
// Parses a fields description string into the queue; nothing when error is non-zero
// on entry; -2 when the string does not end with the record end, -1 for a record of
// other than nine items (the queue is then emptied).
void QX_ADDFIELDSQUEUEDATA(FieldsQueue& fields, long& error, const std::string& description);
// The saved-queries list and the wizard. filter: the host's filter text (its capacity
// is filterSize characters); description: receives the applied query's description.
// queryNo: a saved query to apply without a window. noJoin keeps the join buttons out
// of the saved-queries list; noManual hides the manual-entry page.
void QX_QWIZARD(FieldsQueue& fields, const std::string& className, std::string& filter,
                std::string* description = nullptr, bool noJoin = false, bool noManual = false,
                long queryNo = 0, size_t filterSize = 1024);
uint8_t QX_QWPREACTION();
void QX_FILLQWQUEUE(QueriesQueue& queries, const std::string& className,
                    std::optional<uint8_t> withCustom = std::nullopt);
void QX_GETQUERY(long queryNo, std::string& queryString);
uint8_t QX_DELETEQUERY(long queryNo, std::optional<uint8_t> unused = std::nullopt);
void QX_SETQWFILEPATHS(std::optional<uint8_t> mode, std::string* path, std::string* fileName);
void QX_QWPARSE(const std::string& token, const std::string& value, std::string& queryString);

// A view the host lends the library: a table the host has open (the library reads it
// through a read-only handle of its own), the key giving its order (-1: physical order)
// and the record buffer the record found is read into. Filters name the table's fields
// by their full names ("PAS:Name").
struct QueryView {
    storage::Table* table = nullptr;
    int key = -1;
    storage::RecordBuffer* buffer = nullptr;
};
// 1 when the child view, positioned on the key fields the host left in child.buffer,
// has a record passing "(link) AND (filter)"; 0 otherwise, also (after a message) when
// it cannot be opened or the filter not set. The link may name the parent's fields:
// their values are read from parent's buffer.
uint8_t QX_CHILDQUERY(QueryView& child, const std::string& link, const std::string& filter,
                      const QueryView* parent = nullptr);
// Moves the view to the first (1), previous (2), next (3) or last (4) record passing
// the filter, or with a child view given, having a child that passes it (through link);
// 2 and 3 start from position (a position the view's table gave). 1 with the record in
// view.buffer; 0 when none (after a message), cancelled or failed.
uint8_t QX_QWNAVIGATE(QueryView& view, const std::string* position, const std::string& filter,
                      uint8_t direction, QueryView* child = nullptr,
                      const std::string* link = nullptr);

}  // namespace corvix::quillet

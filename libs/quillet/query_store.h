// The query store: one file (QUERIES.TPS unless the host names another) with three
// tables: the queries of every class, their conditions (elements) in order, and the
// stable field numbers of every class. Tables are opened for each use and closed
// after; a missing store is created. An elements table in the older layout (the
// operation as text) is converted when first met.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvix::quillet {

struct StoredElement {
    int32_t fieldPointer = 0;  // the field's number in its class; -1 when removed
    int32_t cmpPointer = 0;    // the compared field's number; 0 none; -1 removed
    std::string conjunction;   // "AND", "OR" or blank
    std::string value;         // (80)
    uint8_t matchType = 0;
    uint8_t opcode = 1;
    uint8_t expression = 0;
};

struct StoredQuery {
    int32_t queryNo = 0;
    std::string className;
    std::string description;
    uint8_t manual = 0;
    uint8_t invalid = 0;
    std::string queryString;
    std::vector<StoredElement> elements;
};

struct StoredField {
    uint8_t fieldType = 0;
    std::string fieldName;  // upper case
    int16_t fieldPointer = 0;
};

// Where the store lies (QX_SETQWFILEPATHS): the table names for the next use.
struct StorePaths {
    std::string queries, elements, fields;
};
StorePaths storePaths();  // computes them when needed (mode 1)
void rememberStoreVariables(std::string* path, std::string* fileName);
void forgetStoreVariables();
void computeStorePaths();

// Every operation returns 0 or the storage's error code; text gets the error's text.
struct StoreError {
    int code = 0;
    std::string text;
};

class QueryStore {
  public:
    // The class's queries (no elements), in description order.
    static int list(const std::string& className, std::vector<StoredQuery>& out, StoreError* e);
    // 35 when there is no such query.
    static int load(int32_t queryNo, StoredQuery& out, bool withElements, StoreError* e);
    // A new query (queryNo 0 on entry) gets the highest number plus one; an existing one
    // is replaced with its elements in one transaction.
    static int save(StoredQuery& query, StoreError* e);
    static int remove(int32_t queryNo, StoreError* e);
    // The class's stored fields.
    static int fields(const std::string& className, std::vector<StoredField>& out, StoreError* e);
    // In one transaction: elements using removed field numbers point to -1 and their
    // queries are flagged invalid; the class's fields are replaced by the given ones.
    static int reconcile(const std::string& className, const std::vector<int>& removed,
                         const std::vector<StoredField>& fields, StoreError* e);
};

// The operation names the older elements layout stored (display texts 1 to 12).
int opcodeOfOperatorText(const std::string& text);

}  // namespace corvix::quillet

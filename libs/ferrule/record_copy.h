// Copying one record from an old structure into the current one, field by field: fields
// found by name (or through the alternate field names), arrays element by element within
// both shapes, values converted between types, new fields given their fu_SetIfNew value.
#pragma once

#include <vector>

#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::ferrule {

// A value of one field element turned into the type of another field.
storage::Scalar convertValue(const storage::FieldDecl& from, const storage::Scalar& value,
                             const storage::FieldDecl& to);
// A text (fu_SetIfNew's value) as a value of the field.
storage::Scalar valueFromText(const std::string& text, const storage::FieldDecl& to);

class RecordCopier {
  public:
    RecordCopier(const storage::TableDecl& to, const storage::TableDecl& from);
    // Fills `into` (cleared first) from `from`.
    void copy(const storage::RecordBuffer& from, storage::RecordBuffer& into);
    // Streams the memos and blobs of the record last read from `source` into the record
    // last added to `target`. Returns the first error code, 0 when all went.
    int copyBlobs(storage::Table& source, storage::Table& target);

  private:
    struct Plan {
        int source = -1;            // field of the old structure, -1 when none
        std::vector<int> elements;  // per element: old element index, -1 = new value
        int newValue = -1;          // entry of the fu_SetIfNew registry, -1 = blank
    };
    const storage::TableDecl& to_;
    const storage::TableDecl& from_;
    std::vector<Plan> plans_;
    std::vector<std::pair<int, int>> blobs_;  // (new blob, old blob)
    std::vector<char> chunk_;                 // transfer buffer of copyBlobs
};

// Index of the old field (or blob, when blobs is set) that feeds `name`: the same name,
// else the first alternate field name whose old name exists.
int findSourceField(const storage::TableDecl& from, const std::string& name, bool blobs);

}  // namespace corvix::ferrule

// Record buffers. The driver reads and writes any RecordBuffer; Record is the generic
// buffer (used by the upgrade library and tests), typed record structs of the vault
// implement the interface over their members.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/storage/declaration.h"

namespace corvix::storage {

// One element of a field. Integers (and DATE as a standard date, TIME as a clock)
// are int64_t, REAL is double, STRING is UTF-8 text without trailing blanks.
using Scalar = std::variant<int64_t, double, std::string>;

class RecordBuffer {
  public:
    virtual ~RecordBuffer() = default;
    virtual const TableDecl& decl() const = 0;
    virtual Scalar get(int field, uint32_t element = 0) const = 0;
    // Strings longer than the field are cut to its size (in characters), numbers are
    // brought into the field type's range.
    virtual void set(int field, const Scalar& value, uint32_t element = 0) = 0;
    virtual void clear() = 0;  // every field zero or blank

    int64_t getInt(int field, uint32_t element = 0) const;
    double getReal(int field, uint32_t element = 0) const;
    std::string getString(int field, uint32_t element = 0) const;  // numbers as decimal text
    void copyFrom(const RecordBuffer& other);  // same declaration, field by field
};

// Generic buffer: one slot per element, arrays flattened in row-major order.
class Record final : public RecordBuffer {
  public:
    explicit Record(const TableDecl& decl);
    const TableDecl& decl() const override { return *decl_; }
    Scalar get(int field, uint32_t element = 0) const override;
    void set(int field, const Scalar& value, uint32_t element = 0) override;
    void clear() override;

  private:
    const TableDecl* decl_;
    std::vector<uint32_t> first_;  // first slot of each field
    std::vector<Scalar> slots_;
};

// Brings a value into the shape of a field: strings cut to size (whole characters),
// trailing blanks dropped, integers wrapped into the type's range.
Scalar normalise(const FieldDecl& field, const Scalar& value);
Scalar normalise(const FieldDecl& field, Scalar&& value);  // the same, reusing the text

}  // namespace corvix::storage

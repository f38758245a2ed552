// Filter expressions over one table: field names resolved against the table's
// declaration, the record's values for the per-record road and its columns for SQL.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/storage/record.h"
#include "runtime/expression.h"
#include "runtime/expression_sql.h"

namespace corvix::storage {

class FilterBinding {
  public:
    explicit FilterBinding(const TableDecl& decl) : decl_(&decl) {}

    // Another name for a field of the table (no case), e.g. a related table's field
    // that always equals one of this table's.
    void addAlias(std::string name, std::string fieldName);

    runtime::expr::Resolver resolver() const;
    runtime::expr::ParseResult parse(std::string_view expression) const;
    // Column names for the SQL road; the parameters as the storage binds them.
    runtime::expr::SqlFilter toSql(const runtime::expr::Tree& tree) const;
    // Whether a record passes a tree (the per-record road).
    bool passes(const runtime::expr::Node& tree, const RecordBuffer& record) const;
    // A field's value as the expressions see it.
    static runtime::expr::Value value(const RecordBuffer& record, int field);

    const TableDecl& decl() const { return *decl_; }

  private:
    const TableDecl* decl_;
    std::map<std::string, std::string> aliases_;  // upper-cased name -> field name
};

}  // namespace corvix::storage

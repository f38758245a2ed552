// Filter expressions over one table: field names resolved against the table's
// declaration, the record's values for the per-record road and its columns for SQL.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/storage/record.h"
#include "runtime/expression.h"
#include "runtime/expression_sql.h"

namespace corvix::framework {

class FilterBinding {
  public:
    explicit FilterBinding(const storage::TableDecl& decl) : decl_(&decl) {}

    // Another name for a field of the table (no case), e.g. a related table's field
    // that always equals one of this table's.
    void addAlias(std::string name, std::string fieldName);

    runtime::expr::Resolver resolver() const;
    runtime::expr::ParseResult parse(std::string_view expression) const;
    // Column names for the SQL road; the parameters as the storage binds them.
    runtime::expr::SqlFilter toSql(const runtime::expr::Tree& tree) const;
    // Whether a record passes a tree (the per-record road).
    bool passes(const runtime::expr::Node& tree, const storage::RecordBuffer& record) const;

    // The accounts (CVPAS). "CAT:Category", the category table's field that the
    // queries' field list offers, is the account's category: the two are related by it.
    static FilterBinding accounts();

  private:
    const storage::TableDecl* decl_;
    std::map<std::string, std::string> aliases_;  // upper-cased name -> field name
};

}  // namespace corvix::framework

// SQL functions that filter conditions translated from expressions call, so that the
// storage computes exactly what the per-record evaluator does.
#include "platform/storage/internal.h"
#include "runtime/expression.h"

namespace corvix::storage::detail {

namespace {

void upperFunction(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_type(args[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const int bytes = sqlite3_value_bytes(args[0]);
    std::string upper = runtime::expr::upperText(std::string_view(text ? text : "", bytes));
    sqlite3_result_text(context, upper.data(), static_cast<int>(upper.size()), SQLITE_TRANSIENT);
}

}  // namespace

void registerFilterFunctions(sqlite3* db) {
    sqlite3_create_function(db, "cv_upper", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            upperFunction, nullptr, nullptr);
}

}  // namespace corvix::storage::detail

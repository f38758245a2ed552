// libFuzzer target: any bytes given to the filter parser either parse or are refused
// with a position inside the text and a reason; a tree that parses evaluates and
// translates without fault, and its SQL holds no byte of a constant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/expression.h"
#include "runtime/expression_sql.h"

namespace ex = corvix::runtime::expr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ex::Resolver fields = [](std::string_view name) -> std::optional<ex::FieldInfo> {
        if (name.size() < 4 || name.substr(0, 4) != "PAS:") return std::nullopt;
        return ex::FieldInfo{static_cast<int>(name.size() % 3),
                             name.size() % 2 ? ex::Type::Text : ex::Type::Integer};
    };
    ex::ParseResult r = ex::parse(text, fields);
    if (!r.ok()) {
        if (r.reason.empty() || r.position < 1 || r.position > size + 1) __builtin_trap();
        return 0;
    }
    const ex::Value values[] = {ex::Value::ofText("Ärger 'x'"), ex::Value::ofInteger(-7),
                                ex::Value::ofText("")};
    ex::holds(*r.tree, [&](int i) { return values[i]; });
    ex::SqlFilter sql = ex::toSql(r.tree, [](int i) { return "\"c" + std::to_string(i) + "\""; });
    // Only placeholders, columns and fixed words reach SQL: once the fixed ' ' (rtrim's
    // blank) and '' (the blank text) are taken out, no quote is left.
    std::string where = sql.where;
    for (const char* fixed : {"' '", "''"})
        for (size_t at = where.find(fixed); at != std::string::npos; at = where.find(fixed))
            where.erase(at, std::string_view(fixed).size());
    if (where.find('\'') != std::string::npos) __builtin_trap();
    return 0;
}

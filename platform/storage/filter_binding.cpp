#include "platform/storage/filter_binding.h"

#include "platform/storage/table.h"

namespace corvix::storage {

namespace ex = runtime::expr;

namespace {

ex::Type typeOf(FieldType t) {
    switch (t) {
        case FieldType::String:
            return ex::Type::Text;
        case FieldType::Real:
            return ex::Type::Real;
        default:
            return ex::Type::Integer;  // dates and times are day counts and clocks
    }
}

}  // namespace

void FilterBinding::addAlias(std::string name, std::string fieldName) {
    aliases_[ex::upperText(name)] = std::move(fieldName);
}

ex::Resolver FilterBinding::resolver() const {
    return [this](std::string_view name) -> std::optional<ex::FieldInfo> {
        std::string wanted(name);
        if (auto a = aliases_.find(ex::upperText(name)); a != aliases_.end()) wanted = a->second;
        // Only full names ("PAS:Name"): a bare name would read as a different table's.
        if (wanted.find(':') == std::string::npos) return std::nullopt;
        const int i = decl_->fieldIndex(wanted);
        if (i < 0 || !decl_->fields[i].dims.empty()) return std::nullopt;
        return ex::FieldInfo{i, typeOf(decl_->fields[i].type)};
    };
}

ex::ParseResult FilterBinding::parse(std::string_view expression) const {
    return ex::parse(expression, resolver());
}

ex::SqlFilter FilterBinding::toSql(const ex::Tree& tree) const {
    return ex::toSql(tree, [this](int field) {
        if (field < 0 || field >= static_cast<int>(decl_->fields.size())) return std::string();
        return Table::columnName(decl_->fields[field]);
    });
}

ex::Value FilterBinding::value(const RecordBuffer& record, int field) {
    const Scalar v = record.get(field);
    if (const auto* s = std::get_if<std::string>(&v)) return ex::Value::ofText(*s);
    if (const auto* i = std::get_if<int64_t>(&v)) return ex::Value::ofInteger(*i);
    return ex::Value::ofReal(std::get<double>(v));
}

bool FilterBinding::passes(const ex::Node& tree, const RecordBuffer& record) const {
    return ex::holds(tree, [&](int field) { return value(record, field); });
}

}  // namespace corvix::storage

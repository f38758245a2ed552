#include "framework/filter_binding.h"

#include "platform/storage/table.h"
#include "vault/tables.h"

namespace corvix::framework {

namespace ex = runtime::expr;

namespace {

ex::Type typeOf(storage::FieldType t) {
    switch (t) {
        case storage::FieldType::String:
            return ex::Type::Text;
        case storage::FieldType::Real:
            return ex::Type::Real;
        default:
            return ex::Type::Integer;  // dates and times are day counts and clocks
    }
}

}  // namespace

FilterBinding FilterBinding::accounts() {
    FilterBinding b(vault::CVPAS());
    b.addAlias("CAT:Category", "PAS:Category");
    return b;
}

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
        return storage::Table::columnName(decl_->fields[field]);
    });
}

bool FilterBinding::passes(const ex::Node& tree, const storage::RecordBuffer& record) const {
    return ex::holds(tree, [&](int field) {
        const storage::Scalar v = record.get(field);
        if (const auto* s = std::get_if<std::string>(&v)) return ex::Value::ofText(*s);
        if (const auto* i = std::get_if<int64_t>(&v)) return ex::Value::ofInteger(*i);
        return ex::Value::ofReal(std::get<double>(v));
    });
}

}  // namespace corvix::framework

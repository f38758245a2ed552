// Evaluating a filter tree over one record: the per-record road, which must give
// exactly what the SQL translation gives inside the storage.
#include <cmath>

#include "runtime/expression.h"
#include "runtime/utf8.h"

namespace corvix::runtime::expr {

namespace {

std::string asText(const Value& v) {
    return v.isText() ? clipText(v.text) : numberText(v.number, v.type);
}

double asNumber(const Value& v) {
    return v.isText() ? textNumber(v.text) : v.number;
}

int64_t asInteger(const Value& v) {
    double n = asNumber(v);
    if (!(n > -9.2e18 && n < 9.2e18)) return 0;
    return static_cast<int64_t>(n);  // toward zero
}

Value compare(Op op, const Value& a, const Value& b) {
    int c;
    if (a.isText() && b.isText()) {
        // Code point order is the byte order of UTF-8.
        const int r = clipText(a.text).compare(clipText(b.text));
        c = r < 0 ? -1 : (r > 0 ? 1 : 0);
    } else {
        const double x = asNumber(a), y = asNumber(b);
        c = x < y ? -1 : (x > y ? 1 : 0);
    }
    bool r = false;
    switch (op) {
        case Op::Eq:
            r = c == 0;
            break;
        case Op::Ne:
            r = c != 0;
            break;
        case Op::Lt:
            r = c < 0;
            break;
        case Op::Gt:
            r = c > 0;
            break;
        case Op::Le:
            r = c <= 0;
            break;
        case Op::Ge:
            r = c >= 0;
            break;
    }
    return Value::ofInteger(r ? 1 : 0);
}

std::string sub(const std::string& text, int64_t start, int64_t length) {
    std::u32string chars = decodeUtf8(text);
    const int64_t n = static_cast<int64_t>(chars.size());
    if (start < 0) start = n + start + 1;
    if (start < 1) {
        length -= 1 - start;
        start = 1;
    }
    if (length <= 0 || start > n) return {};
    length = std::min(length, n - start + 1);
    return encodeUtf8(std::u32string_view(chars).substr(start - 1, length));
}

int64_t instring(const std::string& needle, const std::string& text, int64_t step, int64_t start) {
    if (step < 1 || start < 1) return 0;
    std::u32string n = decodeUtf8(needle), h = decodeUtf8(text);
    const int64_t last = static_cast<int64_t>(h.size()) - static_cast<int64_t>(n.size()) + 1;
    for (int64_t p = start; p <= last; p += step)
        if (h.compare(p - 1, n.size(), n) == 0) return p;
    return 0;
}

}  // namespace

bool truth(const Value& v) {
    return v.isText() ? !clipText(v.text).empty() : v.number != 0;
}

Value evaluate(const Node& node, const FieldReader& fields) {
    using K = Node::Kind;
    switch (node.kind) {
        case K::Field:
            return fields(node.field);
        case K::Text:
            return Value::ofText(node.text);
        case K::Number:
            return {node.type, {}, node.number};
        case K::Upper:
            return Value::ofText(upperText(asText(evaluate(*node.args[0], fields))));
        case K::Sub:
            return Value::ofText(sub(asText(evaluate(*node.args[0], fields)),
                                     asInteger(evaluate(*node.args[1], fields)),
                                     asInteger(evaluate(*node.args[2], fields))));
        case K::Instring:
            return Value::ofInteger(instring(asText(evaluate(*node.args[0], fields)),
                                             asText(evaluate(*node.args[1], fields)),
                                             asInteger(evaluate(*node.args[2], fields)),
                                             asInteger(evaluate(*node.args[3], fields))));
        case K::Abs:
            return {node.type, {}, std::fabs(asNumber(evaluate(*node.args[0], fields)))};
        case K::Negate:
            return {node.type, {}, -asNumber(evaluate(*node.args[0], fields))};
        case K::Not:
            return Value::ofInteger(holds(*node.args[0], fields) ? 0 : 1);
        case K::And:
            return Value::ofInteger(holds(*node.args[0], fields) && holds(*node.args[1], fields));
        case K::Or:
            return Value::ofInteger(holds(*node.args[0], fields) || holds(*node.args[1], fields));
        case K::Compare:
            return compare(node.op, evaluate(*node.args[0], fields),
                           evaluate(*node.args[1], fields));
    }
    return Value::ofInteger(0);
}

bool holds(const Node& node, const FieldReader& fields) {
    return truth(evaluate(node, fields));
}

}  // namespace corvix::runtime::expr

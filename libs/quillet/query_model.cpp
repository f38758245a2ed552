#include "libs/quillet/query_model.h"

#include "libs/quillet/display_texts.h"
#include "runtime/expression.h"
#include "runtime/picture.h"

namespace corvix::quillet {

namespace {

std::string clip(const std::string& s) {
    return runtime::rightTrim(s);
}

const char* operatorOf(int opcode) {
    switch (opcode) {
        case kEqual:
            return "=";
        case kNotEqual:
            return "<>";
        case kGreater:
            return ">";
        case kLess:
            return "<";
        case kGreaterOrEqual:
            return "=>";
        case kLessOrEqual:
            return "<=";
        case kBeginsWith:
            return "=";
        case kNotBeginsWith:
            return "<>";
        case kChecked:
            return "<>";
        case kNotChecked:
            return "=";
        default:
            return "";
    }
}

std::string condition(const Element& e) {
    std::string left = clip(e.fieldName);
    const std::string op = operatorOf(e.opcode);
    const std::string value = clip(e.value);
    const bool field = e.cmpFldQPointer != 0;
    if (e.opcode == kBeginsWith || e.opcode == kNotBeginsWith)
        left = "SUB(" + left + ",1," + std::to_string(runtime::charCount(value)) + ")";
    if (e.opcode == kChecked || e.opcode == kNotChecked) return left + " " + op + " 0";
    if (e.dataType == 2) {
        std::string right = value;
        if (e.matchType) {
            left = "ABS(" + left + ")";
            if (field) right = "ABS(" + right + ")";
        }
        return left + " " + op + " " + right;
    }
    std::string right = value;
    if (!e.matchType) {
        left = "UPPER(" + left + ")";
        right = field ? "UPPER(" + value + ")" : runtime::expr::upperText(value);
    }
    const bool literal = !field && !e.expression;
    if (e.opcode == kContains || e.opcode == kNotContains) {
        std::string c = "INSTRING(" + (literal ? runtime::expr::quoteText(right) : right) + "," +
                        left + ",1,1)";
        return e.opcode == kNotContains ? "NOT " + c : c;
    }
    return left + " " + op + " " + (literal ? runtime::expr::quoteText(right) : right);
}

}  // namespace

std::string buildExpression(const std::vector<Element>& elements) {
    std::string text;
    for (size_t i = 0; i < elements.size(); ++i) {
        text += " " + condition(elements[i]);
        if (i + 1 < elements.size()) text += " " + clip(elements[i].conjunction);
    }
    const size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : clip(text.substr(start));
}

std::string displayValue(const std::string& value, const std::string& picture) {
    if (picture.size() > 1 && (picture[1] == 'd' || picture[1] == 'D'))
        return runtime::formatPicture(runtime::expr::textNumber(value), picture);
    if (picture.size() > 1 && (picture[1] == 't' || picture[1] == 'T'))
        return runtime::formatPicture(runtime::expr::textNumber(value), "@t3");
    return value;
}

std::string elementText(const Element& e, const FieldsQueue& fields) {
    const FieldEntry* field = nullptr;
    const FieldEntry* other = nullptr;
    for (const FieldEntry& f : fields) {
        if (f.QWFLDQPOINTER == e.fldQPointer) field = &f;
        if (e.cmpFldQPointer > 0 && f.QWFLDQPOINTER == e.cmpFldQPointer) other = &f;
    }
    std::string text = (field && e.fldQPointer > 0 ? clip(field->QWFLDDESC) : "?????") + " " +
                       clip(displayText(e.opcode));
    if (e.opcode != kChecked && e.opcode != kNotChecked) {
        std::string shown;
        if (e.cmpFldQPointer != 0)
            shown = other ? clip(other->QWFLDDESC) : "?????";
        else if (e.expression)
            shown = clip(e.value);
        else
            shown = displayValue(clip(e.value), field ? field->QWFLDPICTURE : "");
        text += " " + shown;
    }
    return runtime::cutToChars(text, 60);
}

bool joinFilter(std::string& inForce, const std::string& text, Join how, size_t capacity) {
    if (how == Join::None) {
        inForce = text;
        return true;
    }
    const std::string old = clip(inForce), now = clip(text);
    if (runtime::charCount(old) + runtime::charCount(now) + 9 > capacity) return false;
    inForce = "(" + old + (how == Join::And ? ") AND (" : ") OR (") + now + ")";
    return true;
}

void joinDescription(std::string& inForce, const std::string& text, Join how, size_t capacity) {
    if (!joinFilter(inForce, text, how, capacity)) inForce = "Multiple Queries Active";
}

}  // namespace corvix::quillet

// The query being built: its conditions (elements), the filter expression they make,
// and joining a new filter to the one in force.
#pragma once

#include <string>
#include <vector>

#include "libs/quillet/quillet.h"

namespace corvix::quillet {

enum Operation {
    kEqual = 1,
    kNotEqual,
    kGreater,
    kLess,
    kGreaterOrEqual,
    kLessOrEqual,
    kBeginsWith,
    kContains,
    kNotBeginsWith,
    kNotContains,
    kChecked,
    kNotChecked
};

enum ValueKind { kConstant = 1, kAnotherField = 2, kExpression = 3 };

struct Element {
    std::string desc;         // LOC:QDAT:DESC: what the query list shows (60)
    std::string conjunction;  // "AND", "OR" or blank: joins this element to the next
    std::string fieldName;
    int opcode = kEqual;
    std::string value;       // the constant, the expression or the other field's name (80)
    int dataType = 1;        // 1 text, 2 number
    int matchType = 0;       // case-sensitive (text) or absolute values (numbers)
    int fldQPointer = 0;     // the field's place in the fields queue; -1 when removed
    int cmpFldQPointer = 0;  // the other field's place; 0 when the value is no field
    int expression = 0;      // 1 when the value is an expression
};

// The filter expression of the elements, in order (the last conjunction is ignored).
// A text constant is written as a constant of the language: its quotes are doubled, so
// that it means what the user typed.
std::string buildExpression(const std::vector<Element>& elements);

// What the element list shows: description, operation name, value's display form.
std::string elementText(const Element& e, const FieldsQueue& fields);
// A constant's display form under the field's picture.
std::string displayValue(const std::string& value, const std::string& picture);

enum class Join { None, And, Or };
// Joins text to what is in force: "(" old ") AND (" new ")". False (nothing changed)
// when the result would not fit capacity characters (the two texts plus nine).
bool joinFilter(std::string& inForce, const std::string& text, Join how, size_t capacity);
// The description is joined the same way; too long, it says "Multiple Queries Active".
void joinDescription(std::string& inForce, const std::string& text, Join how, size_t capacity);

}  // namespace corvix::quillet

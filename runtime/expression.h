// Filter expressions: the little language in which lists are filtered and queries are
// saved, parsed once into a tree and then either evaluated per record here or turned
// into an SQL condition (runtime/expression_sql.h) so that the storage filters.
//
//   PAS:Name = 'guest'                 a field, a comparison, a string in single quotes
//   UPPER(PAS:Category) = 'WEB' AND ABS(PAS:ExpiryInterval) > 30 OR PAS:Watch <> 0
//   UPPER(SUB(PAS:Name,1,2)) = 'AB'    NOT INSTRING('X',UPPER(PAS:Notes),1,1)
//
// Values are text or numbers; dates are numbers (day counts) and compare as such.
//   - text constants: '...', a quote inside written twice ('O''Brien')
//   - numbers: 12, 3.5; a leading minus negates
//   - comparisons = <> ~= < > <= =< >= => ; NOT (or ~), AND, OR, parentheses.
//     NOT binds tighter than a comparison's result is used, AND tighter than OR.
//   - UPPER(text), SUB(text, start, length), INSTRING(needle, text, step, start),
//     ABS(number); names of functions, fields and words are case-insensitive.
// Semantics, the same on both roads:
//   - text never counts its trailing blanks (they are cut before comparing);
//   - two texts compare by their characters' code points; a comparison with a number
//     on either side compares numbers (text read as its leading number, else 0);
//   - a number used as text is its decimal digits;
//   - a condition holds when a number is non-zero or a text is not blank;
//   - UPPER maps each character to its upper case (one character to one, so that
//     positions keep their meaning), the same mapping everywhere in the program;
//   - SUB counts characters from 1; a negative start counts from the end;
//   - INSTRING looks for the needle at start, start + step, ... and gives the
//     position (in characters) where it is found, 0 when nowhere.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::runtime::expr {

enum class Type : uint8_t { Text, Integer, Real };

struct Value {
    Type type = Type::Integer;
    std::string text;   // for Text
    double number = 0;  // for Integer and Real

    static Value ofText(std::string t) { return {Type::Text, std::move(t), 0}; }
    static Value ofInteger(int64_t n) { return {Type::Integer, {}, static_cast<double>(n)}; }
    static Value ofReal(double n) { return {Type::Real, {}, n}; }
    bool isText() const { return type == Type::Text; }
};

enum class Op : uint8_t { Eq, Ne, Lt, Gt, Le, Ge };

struct Node {
    enum class Kind : uint8_t {
        Field,
        Text,
        Number,
        Upper,
        Sub,
        Instring,
        Abs,
        Negate,
        Not,
        And,
        Or,
        Compare
    };
    Kind kind = Kind::Number;
    Type type = Type::Integer;  // the node's value type, known when parsed
    Op op = Op::Eq;             // for Compare
    int field = -1;             // for Field: the bound field's number
    std::string text;           // Text constant, or the field's name as written
    double number = 0;          // Number constant
    size_t position = 0;        // 1-based character position in the source
    std::vector<std::shared_ptr<const Node>> args;
};
using Tree = std::shared_ptr<const Node>;

// What the host tells the parser about a field name.
struct FieldInfo {
    int index = -1;  // passed back to the evaluator's reader and the SQL translator
    Type type = Type::Text;
};
// nullopt when the name is not a field of the list.
using Resolver = std::function<std::optional<FieldInfo>(std::string_view name)>;

struct ParseResult {
    Tree tree;            // null on error
    size_t position = 0;  // 1-based character position of the error
    std::string reason;   // why; empty when parsed
    bool ok() const { return tree != nullptr; }
    // "reason at position N"
    std::string message() const;
};

// Parses a whole expression; anything left after it is an error. Nesting is limited
// (deeply nested text is refused, not recursed into without bound).
ParseResult parse(std::string_view source, const Resolver& fields);

// The value of a field of the record being tested.
using FieldReader = std::function<Value(int index)>;

Value evaluate(const Node& node, const FieldReader& fields);
// Whether the record passes: the value as a condition.
bool holds(const Node& node, const FieldReader& fields);
bool truth(const Value& v);

// Joins conditions with AND (null trees are left out; null when none is left).
Tree allOf(const std::vector<Tree>& conditions);
// The top-level AND conditions of a tree (the tree itself when it is no AND).
std::vector<Tree> conjuncts(const Tree& tree);

// The text helpers both roads share.
std::string upperText(std::string_view utf8);  // one character to one upper-case character
char32_t upperChar(char32_t c);                // the mapping upperText applies to each
// INSTRING(needle, UPPER(text), 1, 1) without building the upper-cased text: the
// 1-based character position (as decodeUtf8 counts) where the needle's characters
// equal those of UPPER(text), 0 when nowhere; 1 for an empty needle. Made once for a
// needle, used for many texts (both without trailing blanks).
class UpperFinder {
  public:
    explicit UpperFinder(std::string_view needle);
    int64_t find(std::string_view text) const;

  private:
    int64_t findAsciiStart(std::string_view text) const;
    int64_t findAnywhere(std::string_view text) const;

    std::u32string needle_;
    bool asciiStart_ = false;
    char big_ = 0, small_ = 0;  // for asciiStart_: the first character and its small letter
};
// UPPER(SUB(text, start, length)) compared with other as two texts compare (-1, 0 or
// 1; trailing blanks never count; other has none), without building either: start
// from 1, length from 0, or below 0 for UPPER(text) whole.
int compareUpper(std::string_view text, int64_t start, int64_t length, std::string_view other);
std::string clipText(std::string_view text);  // without trailing blanks
double textNumber(std::string_view text);  // leading number ([blanks][sign]digits[.digits]), else 0
std::string numberText(double n, Type type);  // integers without a decimal point

// Writes text as a constant of the language: in single quotes, quotes doubled.
std::string quoteText(std::string_view text);

}  // namespace corvix::runtime::expr

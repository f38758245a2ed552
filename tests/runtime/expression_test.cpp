// The filter language on its own: what parses, where and why text is refused, and what
// the per-record road computes.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "runtime/expression.h"
#include "runtime/expression_sql.h"

namespace ex = corvix::runtime::expr;

namespace {

// A small record: fields by name, their values by number.
struct Row {
    std::map<std::string, std::pair<int, ex::Type>> names = {
        {"PAS:CATEGORY", {0, ex::Type::Text}},  {"PAS:NAME", {1, ex::Type::Text}},
        {"PAS:NOTES", {2, ex::Type::Text}},     {"PAS:EXPIRYINTERVAL", {3, ex::Type::Integer}},
        {"PAS:WATCH", {4, ex::Type::Integer}},  {"PAS:WAIT", {5, ex::Type::Integer}},
        {"PAS:EXPIRES", {6, ex::Type::Integer}}};
    std::vector<ex::Value> values = {ex::Value::ofText("web"),       ex::Value::ofText("Abigail"),
                                     ex::Value::ofText("no x here"), ex::Value::ofInteger(-45),
                                     ex::Value::ofInteger(0),        ex::Value::ofInteger(3),
                                     ex::Value::ofInteger(80000)};
    ex::Resolver resolver() const {
        return [this](std::string_view n) -> std::optional<ex::FieldInfo> {
            auto it = names.find(ex::upperText(n));
            if (it == names.end()) return std::nullopt;
            return ex::FieldInfo{it->second.first, it->second.second};
        };
    }
    ex::ParseResult parse(std::string_view text) const { return ex::parse(text, resolver()); }
    bool holds(std::string_view text) const {
        ex::ParseResult r = parse(text);
        EXPECT_TRUE(r.ok()) << text << ": " << r.message();
        if (!r.ok()) return false;
        return ex::holds(*r.tree, [this](int i) { return values[i]; });
    }
    ex::Value value(std::string_view text) const {
        ex::ParseResult r = parse(text);
        EXPECT_TRUE(r.ok()) << text << ": " << r.message();
        return r.ok() ? ex::evaluate(*r.tree, [this](int i) { return values[i]; }) : ex::Value{};
    }
};

TEST(Expression, TheWizardsOwnExpressionsParseAndMeanWhatTheySay) {
    Row row;
    // Category "web" upper-cases to WEB; ABS(-45) > 30; so the AND holds.
    EXPECT_TRUE(row.holds(
        "UPPER(PAS:Category) = 'WEB' AND ABS(PAS:ExpiryInterval) > 30 OR PAS:Watch <> 0"));
    row.values[3] = ex::Value::ofInteger(10);
    // AND binds tighter than OR: false AND ... OR Watch <> 0 (Watch is 0).
    EXPECT_FALSE(row.holds(
        "UPPER(PAS:Category) = 'WEB' AND ABS(PAS:ExpiryInterval) > 30 OR PAS:Watch <> 0"));
    row.values[4] = ex::Value::ofInteger(1);
    EXPECT_TRUE(row.holds(
        "UPPER(PAS:Category) = 'WEB' AND ABS(PAS:ExpiryInterval) > 30 OR PAS:Watch <> 0"));
    EXPECT_TRUE(row.holds("UPPER(SUB(PAS:Name,1,2)) = 'AB'"));
    EXPECT_FALSE(row.holds("UPPER(SUB(PAS:Name,1,2)) = 'Ab'"));
    EXPECT_FALSE(row.holds("NOT INSTRING('X',UPPER(PAS:Notes),1,1)"));
    EXPECT_TRUE(row.holds("NOT INSTRING('Q',UPPER(PAS:Notes),1,1)"));
    EXPECT_FALSE(row.holds("PAS:Name = 'guest'"));
    EXPECT_TRUE(row.holds("PAS:Name = 'Abigail   '"));  // trailing blanks never count
    EXPECT_FALSE(row.holds("PAS:Name = 'abigail'"));    // case-sensitive without UPPER
    EXPECT_TRUE(row.holds("ABS(PAS:Wait) < 5"));
    EXPECT_TRUE(row.holds("pas:wait => 3 and pas:WAIT =< 3 and not pas:wait ~= 3"));
    EXPECT_TRUE(row.holds("PAS:Expires > 79999 AND PAS:Expires < 80001"));  // day numbers
}

TEST(Expression, TextNumbersAndFunctionsAtTheirEdges) {
    Row row;
    row.values[1] = ex::Value::ofText("Ärger  über");
    EXPECT_EQ(row.value("UPPER(PAS:Name)").text, "ÄRGER  ÜBER");
    EXPECT_EQ(row.value("SUB(PAS:Name,1,1)").text, "Ä");      // characters, not bytes
    EXPECT_EQ(row.value("SUB(PAS:Name,-4,4)").text, "über");  // from the end
    EXPECT_EQ(row.value("SUB(PAS:Name,0,2)").text, "Ä");
    EXPECT_EQ(row.value("SUB(PAS:Name,99,2)").text, "");
    EXPECT_EQ(row.value("INSTRING('über',PAS:Name,1,1)").number, 8);
    EXPECT_EQ(row.value("INSTRING('e',PAS:Name,2,1)").number, 0);  // only at 1, 3, 5, ...
    EXPECT_EQ(row.value("INSTRING('r',PAS:Name,2,1)").number, 5);
    EXPECT_EQ(row.value("INSTRING('r',PAS:Name,1,3)").number, 5);
    EXPECT_TRUE(row.holds("SUB(PAS:Name,1,6) = 'Ärger'"));  // the cut-off blank is trailing
    EXPECT_TRUE(row.holds("PAS:Wait = '3'"));               // a number on one side: numbers
    EXPECT_TRUE(row.holds("PAS:Wait = ' 3.0abc'"));
    EXPECT_TRUE(row.holds("UPPER(PAS:Wait) = '3'"));  // a number used as text
    EXPECT_TRUE(row.holds("'10' < '9'"));             // two texts: characters
    EXPECT_TRUE(row.holds("-PAS:ExpiryInterval = 45"));
    EXPECT_TRUE(row.holds("PAS:Name"));  // non-blank text holds
    EXPECT_FALSE(row.holds("'   '"));
    EXPECT_EQ(row.value("'O''Brien'").text, "O'Brien");
    EXPECT_EQ(ex::quoteText("O'Brien"), "'O''Brien'");
    // Upper case keeps one character for one, also around damaged bytes: a cut sequence
    // becomes U+FFFD (one per byte) and the ASCII after it stays itself.
    EXPECT_EQ(ex::upperText("straße σς ſ ı \xC3"
                            "a \xE2\x82 b\xFF"),
              "STRAßE ΣΣ S I \xEF\xBF\xBD"
              "A \xEF\xBF\xBD\xEF\xBF\xBD B\xEF\xBF\xBD");
}

TEST(Expression, RefusedTextSaysWhereAndWhy) {
    Row row;
    struct Case {
        const char* text;
        size_t position;
        const char* reason;
    } cases[] = {
        {"", 1, "a value expected at the end"},
        {"PAS:Name = ", 12, "a value expected at the end"},
        {"PAS:Nmae = 'x'", 1, "unknown field PAS:Nmae"},
        {"PAS:Name = 'x", 12, "the text in quotes is not closed"},
        {"LOWER(PAS:Name) = 'x'", 1, "unknown function LOWER"},
        {"SUB(PAS:Name,1) = 'x'", 15, "SUB takes 3 values: ',' expected"},
        {"(PAS:Wait = 1", 14, "')' expected"},
        {"PAS:Wait = 1 AND", 17, "a value expected at the end"},
        {"PAS:Wait = 1 2", 14, "unexpected text after the expression"},
        {"PAS:Wait = 1; DROP TABLE x", 13, "unexpected text after the expression"},
        {"PAS:Name = 'x'); DROP TABLE x; --", 15, "unexpected text after the expression"},
        {"'é' = PAS:Name AND ? = 1", 20, "a value expected, not '?'"},
    };
    for (const Case& c : cases) {
        ex::ParseResult r = row.parse(c.text);
        EXPECT_FALSE(r.ok()) << c.text;
        EXPECT_EQ(r.position, c.position) << c.text << ": " << r.message();
        EXPECT_EQ(r.reason, c.reason) << c.text;
    }
    // Deep nesting is refused, not recursed into until the stack runs out.
    std::string deep(100000, '(');
    EXPECT_EQ(row.parse(deep + "1").reason, "expression nested too deeply");
    EXPECT_EQ(row.parse(std::string(100000, '-') + "1").reason, "expression nested too deeply");
    // A quote inside the constant is part of the text: the rest stays a string.
    EXPECT_TRUE(row.parse("PAS:Name = 'x''); DROP TABLE x; --'").ok());
}

TEST(Expression, SqlCarriesOnlyColumnsAndPlaceholders) {
    Row row;
    ex::ColumnName column = [](int i) { return "\"c" + std::to_string(i) + "\""; };
    ex::ParseResult r = row.parse(
        "UPPER(PAS:Category) = 'WEB'' OR 1=1 --' AND INSTRING('x',PAS:Notes,2,1) AND "
        "PAS:Wait < 5");
    ASSERT_TRUE(r.ok()) << r.message();
    ex::SqlFilter f = ex::toSql(r.tree, column);
    // UPPER beside a constant is one function over the whole text (start 1, length -1).
    EXPECT_EQ(f.where, "(cv_upper_cmp(\"c0\", ?, ?, ?) = 0) AND (\"c5\" < ?)");
    ASSERT_EQ(f.params.size(), 4u);
    EXPECT_EQ(std::get<int64_t>(f.params[0]), 1);
    EXPECT_EQ(std::get<int64_t>(f.params[1]), -1);
    EXPECT_EQ(std::get<std::string>(f.params[2]), "WEB' OR 1=1 --");
    EXPECT_EQ(std::get<int64_t>(f.params[3]), 5);
    ASSERT_TRUE(f.residual);  // INSTRING stepping by 2 stays per record
    EXPECT_EQ(f.residual->kind, ex::Node::Kind::Instring);
    // An OR with one inexpressible side stays whole on the per-record road.
    ex::SqlFilter g =
        ex::toSql(row.parse("PAS:Wait = 1 OR PAS:Wait = UPPER(PAS:Name)").tree, column);
    EXPECT_EQ(g.where, "");
    EXPECT_TRUE(g.params.empty());
    ASSERT_TRUE(g.residual);
    EXPECT_EQ(g.residual->kind, ex::Node::Kind::Or);
}

// The storage's "contains" and "begins with, whatever the case" skip the upper-cased
// copy: they must find what INSTRING(needle, UPPER(text), 1, 1) finds, at the same
// character position, and order UPPER(SUB(text, start, length)) against a constant as
// the evaluator does, among letters whose upper case is ASCII (dotless i, long s) or
// longer (sharp s), the Kelvin sign (its own upper case), damaged bytes and texts
// longer than sixteen bytes.
TEST(Expression, UpperWithoutCopiesAgreesWithTheEvaluator) {
    Row row;
    const char* const pieces[] = {
        "a", "z", "Z", "i", "I", "ı",    "s",    "S",    "ſ",        "K",        "k",    "\u212A",
        "ä", "Ä", "ß", "σ", " ", "\xC3", "\xFF", "🙂", "\xE2\x82", "abcdefgh", "ZEBRA"};
    std::mt19937 rng(18);
    auto text = [&](int most) {
        std::string t;
        for (int n = static_cast<int>(rng() % (most + 1)); n > 0; --n)
            t += pieces[rng() % std::size(pieces)];
        return ex::clipText(t);
    };
    int found = 0, equal = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string hay = text(20);
        // Upper-case needles mostly: UPPER leaves few small letters to be found.
        std::string needle = rng() % 4 ? ex::upperText(text(3)) : text(2);
        if (rng() % 3 == 0 && !hay.empty()) {
            const size_t at = rng() % hay.size();  // a piece of the text itself
            needle = ex::clipText(ex::upperText(hay.substr(at, 1 + rng() % 9)));
        }
        const ex::Value expected = row.value("INSTRING(" + ex::quoteText(needle) + ",UPPER(" +
                                             ex::quoteText(hay) + "),1,1)");
        const int64_t got = ex::UpperFinder(needle).find(hay);
        ASSERT_EQ(got, static_cast<int64_t>(expected.number))
            << "needle [" << needle << "] text [" << hay << "]";
        found += got > 1;
        // Comparing a piece of UPPER(text) with a constant, also without the copies.
        const int start = 1 + static_cast<int>(rng() % 4), length = static_cast<int>(rng() % 8) - 1;
        const std::string upper = length < 0 ? "UPPER(" + ex::quoteText(hay) + ")"
                                             : "UPPER(SUB(" + ex::quoteText(hay) + "," +
                                                   std::to_string(start) + "," +
                                                   std::to_string(length) + "))";
        const std::string other = ex::quoteText(needle);
        const int sign = row.holds(upper + " = " + other)   ? 0
                         : row.holds(upper + " < " + other) ? -1
                                                            : 1;
        ASSERT_EQ(ex::compareUpper(hay, length < 0 ? 1 : start, length, needle), sign)
            << upper << " against " << other;
        equal += sign == 0;
    }
    EXPECT_GT(equal, 500);
    EXPECT_GT(found, 2000);  // most cases found something past the start
    // The characters that reach ASCII from beyond it, and positions counted in characters.
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (ex::upperChar(c) < 0x80) EXPECT_TRUE(c == U'ı' || c == U'ſ') << int(c);
    }
    EXPECT_EQ(ex::UpperFinder("SS").find("ſs"), 1);
    EXPECT_EQ(ex::UpperFinder("I").find("äı"), 2);
    EXPECT_EQ(ex::UpperFinder("K").find("\u212A"), 0);
    EXPECT_EQ(ex::UpperFinder("ZEBRA").find("äöü\xFF zebra"), 6);
    EXPECT_EQ(ex::UpperFinder("").find(""), 1);
}

}  // namespace

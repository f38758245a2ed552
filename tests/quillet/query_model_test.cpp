// Building filter expressions from conditions, and joining them to the filter in force.
#include "libs/quillet/query_model.h"
#include "runtime/expression.h"
#include "tests/quillet/quillet_fixture.h"

namespace corvix::quillet::testing {
namespace {

Element text(const char* field, int op, const char* value, int caseSensitive = 0,
             const char* conj = "") {
    Element e;
    e.fieldName = field;
    e.opcode = op;
    e.value = value;
    e.dataType = 1;
    e.matchType = caseSensitive;
    e.conjunction = conj;
    e.fldQPointer = 1;
    return e;
}
Element number(const char* field, int op, const char* value, int absolute, const char* conj = "") {
    Element e = text(field, op, value, absolute, conj);
    e.dataType = 2;
    return e;
}

TEST(QueryModel, ConditionsMakeTheExpressionsTheHostEvaluates) {
    Element watch = number("PAS:Watch", kChecked, "1", 0);
    EXPECT_EQ(buildExpression({text("PAS:Category", kEqual, "web", 0, "AND"),
                               number("PAS:ExpiryInterval", kGreater, "30", 1, "OR"), watch}),
              "UPPER(PAS:Category) = 'WEB' AND ABS(PAS:ExpiryInterval) > 30 OR PAS:Watch <> 0");
    EXPECT_EQ(buildExpression({text("PAS:Name", kBeginsWith, "ab")}),
              "UPPER(SUB(PAS:Name,1,2)) = 'AB'");
    EXPECT_EQ(buildExpression({text("PAS:Notes", kNotContains, "x")}),
              "NOT INSTRING('X',UPPER(PAS:Notes),1,1)");
    EXPECT_EQ(buildExpression({text("PAS:Name", kEqual, "guest", 1)}), "PAS:Name = 'guest'");
    EXPECT_EQ(buildExpression({number("PAS:Wait", kLess, "5", 1)}), "ABS(PAS:Wait) < 5");
    // The last conjunction is never written, even when one is left on it.
    EXPECT_EQ(buildExpression({text("PAS:Name", kEqual, "a", 1, "OR")}), "PAS:Name = 'a'");
    EXPECT_EQ(buildExpression({number("PAS:Watch", kNotChecked, "0", 0)}), "PAS:Watch = 0");
    // Begins With counts characters, not bytes; another field is upper-cased as a field.
    EXPECT_EQ(buildExpression({text("PAS:Name", kNotBeginsWith, "äö")}),
              "UPPER(SUB(PAS:Name,1,2)) <> 'ÄÖ'");
    Element other = text("PAS:Name", kContains, "PAS:Notes");
    other.cmpFldQPointer = 2;
    EXPECT_EQ(buildExpression({other}), "INSTRING(UPPER(PAS:Notes),UPPER(PAS:Name),1,1)");
    Element abs = number("PAS:Wait", kGreaterOrEqual, "PAS:ExpiryInterval", 1);
    abs.cmpFldQPointer = 3;
    EXPECT_EQ(buildExpression({abs}), "ABS(PAS:Wait) => ABS(PAS:ExpiryInterval)");
}

TEST(QueryModel, AQuoteInAConstantMeansWhatTheUserTyped) {
    // Pasted between quotes as it is, "O'Brien" would end the constant early and the
    // rest would be read as expression; doubled, it is one constant.
    const std::string e = buildExpression({text("PAS:Name", kEqual, "O'Brien') OR ('1'='1", 1)});
    EXPECT_EQ(e, "PAS:Name = 'O''Brien'') OR (''1''=''1'");
    runtime::expr::ParseResult r = runtime::expr::parse(e, [](std::string_view) {
        return std::optional<runtime::expr::FieldInfo>({0, runtime::expr::Type::Text});
    });
    ASSERT_TRUE(r.ok()) << r.message();
    EXPECT_TRUE(runtime::expr::holds(
        *r.tree, [](int) { return runtime::expr::Value::ofText("O'Brien') OR ('1'='1"); }));
    EXPECT_FALSE(
        runtime::expr::holds(*r.tree, [](int) { return runtime::expr::Value::ofText("x"); }));
    EXPECT_EQ(buildExpression({text("PAS:Notes", kContains, "it's", 0)}),
              "INSTRING('IT''S',UPPER(PAS:Notes),1,1)");
}

TEST(QueryModel, JoiningRefusesWhatDoesNotFitAndChangesNothing) {
    std::string inForce(600, 'a');
    const std::string added(500, 'b');
    EXPECT_FALSE(joinFilter(inForce, added, Join::And, 1024));
    EXPECT_EQ(inForce, std::string(600, 'a'));
    inForce = "PAS:Wait = 1";
    ASSERT_TRUE(joinFilter(inForce, "PAS:Watch <> 0", Join::Or, 1024));
    EXPECT_EQ(inForce, "(PAS:Wait = 1) OR (PAS:Watch <> 0)");
    inForce = std::string(507, 'a');  // 507 + 508 + 9 = 1024 fits exactly
    EXPECT_TRUE(joinFilter(inForce, std::string(508, 'b'), Join::And, 1024));
    std::string description(600, 'd');
    joinDescription(description, std::string(500, 'e'), Join::And, 1024);
    EXPECT_EQ(description, "Multiple Queries Active");
}

}  // namespace
}  // namespace corvix::quillet::testing

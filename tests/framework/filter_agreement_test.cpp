// Filters run inside the storage and per record must pick the same accounts: a few
// hundred generated expressions over a few thousand generated accounts (letters beyond
// ASCII and letters whose upper case is ASCII, blanks, quotes, dates), each run both
// ways. (Text reaches the vault as well-formed UTF-8: damaged bytes are refused where
// text comes in, and SQLite's substr counts them differently.)
#include <random>
#include <set>

#include "framework/filter_binding.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"
#include "platform/storage/table_filter.h"
#include "tests/framework/fixture.h"
#include "vault/tables.h"

namespace corvix::framework {
namespace {

namespace pas = vault::pas;
namespace ex = runtime::expr;

const char* const kWords[] = {"",        " ",
                              "web",     "WEB",
                              "Web ",    "ärger",
                              "ÄRGER",   "straße",
                              "STRASSE", "ς",
                              "Σίσυφος", "ı",
                              "I",       "O'Brien",
                              "a  b",    " lead",
                              "x",       "ab",
                              "Ab",      "10",
                              "9",       "3.5",
                              "-2",      "日本語",
                              "🙂ok",  "abc'); DROP TABLE x; --",
                              "ſtraße",  "\u212Aelvin",
                              "kelvin",  "zebra crossing"};

class FilterAgreement : public testing::ScratchFixture {
  protected:
    std::mt19937 rng{20261207};
    int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    std::string word() { return kWords[pick(std::size(kWords))]; }

    std::string textField() {
        static const char* f[] = {"PAS:Category", "PAS:Name", "PAS:Notes", "PAS:Description",
                                  "CAT:Category"};
        return f[pick(5)];
    }
    std::string numberField() {
        static const char* f[] = {"PAS:Expires", "PAS:ExpiryInterval", "PAS:Watch", "PAS:Wait",
                                  "PAS:LastChange"};
        return f[pick(5)];
    }
    std::string textValue(int depth) {
        switch (depth > 2 ? 0 : pick(5)) {
            case 0:
                return textField();
            case 1:
                return "UPPER(" + textValue(depth + 1) + ")";
            case 2:
                return "SUB(" + textValue(depth + 1) + "," + std::to_string(pick(6) - 2) + "," +
                       std::to_string(pick(5)) + ")";
            case 3:
                return "UPPER(" + numberField() + ")";
            default:
                return ex::quoteText(word());
        }
    }
    std::string numberValue(int depth) {
        switch (depth > 2 ? 0 : pick(6)) {
            case 0:
                return numberField();
            case 1:
                return "ABS(" + numberField() + ")";
            case 2:
                return "-" + numberField();
            case 3: {
                // Mostly "contains, whatever the case": an upper-case word in UPPER(field);
                // else any text in any text (a SUB keeps trailing blanks until clipped).
                const bool contains = pick(2);
                const std::string needle = contains  ? ex::quoteText(ex::upperText(word()))
                                           : pick(2) ? ex::quoteText(word())
                                                     : textValue(depth + 1);
                const std::string hay =
                    contains ? "UPPER(" + textField() + ")" : textValue(depth + 1);
                return "INSTRING(" + needle + "," + hay + "," +
                       std::to_string(pick(4) == 0 ? 2 : 1) + "," +
                       std::to_string(pick(4) == 0 ? 2 : 1) + ")";
            }
            case 4:
                return std::to_string(80000 + pick(40) - 20);
            default:
                return std::to_string(pick(10)) + (pick(3) == 0 ? ".5" : "");
        }
    }
    std::string condition(int depth) {
        static const char* ops[] = {" = ", " <> ", " < ", " > ", " <= ", " => "};
        switch (depth > 2 ? pick(3) : pick(7)) {
            case 0:
                return textValue(depth) + ops[pick(6)] + textValue(depth);
            case 1:
                return numberValue(depth) + ops[pick(6)] + numberValue(depth);
            case 2:
                return textValue(depth) + ops[pick(6)] + numberValue(depth);  // mixed
            case 3:
                return "NOT " + condition(depth + 1);
            case 4:
                return "(" + condition(depth + 1) + " OR " + condition(depth + 1) + ")";
            case 5:
                return condition(depth + 1) + " AND " + condition(depth + 1);
            default:
                return pick(2) ? textValue(depth) : numberValue(depth);  // as a truth
        }
    }

    void fill(storage::Table& t, int count) {
        storage::Record r(t.decl());
        ASSERT_EQ(t.stream(), 0);
        for (int i = 1; i <= count; ++i) {
            r.clear();
            r.set(pas::PAS_ID, int64_t{i});
            r.set(pas::Category, word());
            r.set(pas::Description, word() + word());
            r.set(pas::Name, word() + (pick(2) ? word() : ""));
            r.set(pas::Notes, pick(3) ? word() + " " + word() + word() : "");
            r.set(pas::Expires, int64_t{pick(3) ? 80000 + pick(40) - 20 : 0});
            r.set(pas::LastChange, int64_t{pick(2) ? 79000 + pick(2000) : 0});
            r.set(pas::ExpiryInterval, int64_t{pick(200) - 100});
            r.set(pas::Watch, int64_t{pick(2)});
            r.set(pas::Wait, int64_t{pick(10)});
            ASSERT_EQ(t.append(r), 0);
        }
        ASSERT_EQ(t.flush(), 0);
    }

    // Through the storage: the SQL part as a filter there, the rest tested here.
    std::set<std::string> select(storage::Table& t, const FilterBinding& b, const ex::Tree& tree) {
        ex::SqlFilter f = b.toSql(tree);
        EXPECT_EQ(storage::setFilter(t, f.where, f.params), 0) << f.where;
        std::set<std::string> out;
        storage::Record r(t.decl());
        EXPECT_EQ(t.set(), 0);
        while (t.next(r) == 0)
            if (!f.residual || b.passes(*f.residual, r)) out.insert(t.position());
        return out;
    }
    // Every record tested here, from one unfiltered read.
    std::vector<std::pair<std::string, storage::Record>> all(storage::Table& t) {
        std::vector<std::pair<std::string, storage::Record>> out;
        EXPECT_EQ(storage::setFilter(t, "", {}), 0);
        storage::Record r(t.decl());
        EXPECT_EQ(t.set(), 0);
        while (t.next(r) == 0) out.emplace_back(t.position(), r);
        return out;
    }
};

TEST_F(FilterAgreement, StorageAndPerRecordPickTheSameAccounts) {
    storage::Table t(vault::CVPAS());
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    fill(t, 3000);
    FilterBinding b(vault::CVPAS());
    b.addAlias("CAT:Category", "PAS:Category");
    const auto records = all(t);
    ASSERT_EQ(records.size(), 3000u);
    int pushed = 0, nonEmpty = 0, notAll = 0;
    const int kExpressions = 300;
    // Chosen cases first: "contains" where upper case reaches ASCII from beyond it (the
    // long s) or does not (the Kelvin sign), a needle cut by SUB with a blank at its end
    // ("a  b" gives "a ", which is "a" once clipped, found in "Xa" at 2), and "begins
    // with" or "equals, whatever the case" on either side of the comparison.
    const std::vector<std::string> chosen = {
        "INSTRING('ZEBRA',UPPER(PAS:Notes),1,1)",
        "INSTRING('S',UPPER(PAS:Name),1,1) = 2",
        "INSTRING('\u212A',UPPER(PAS:Description),1,1)",
        "INSTRING('KELVIN',UPPER(PAS:Notes),1,1) > 1",
        "INSTRING(SUB(PAS:Name,1,2),'Xa',1,1) = 2",
        "INSTRING(SUB(PAS:Name,1,2),UPPER(PAS:Notes),1,1)",
        "UPPER(SUB(PAS:Name,1,2)) = 'AB'",
        "UPPER(PAS:Category) = 'WEB' OR UPPER(PAS:Category) = 'ÄRGER'",
        "'STRASSE' <= UPPER(PAS:Description)",
        "UPPER(SUB(PAS:Notes,3,4)) > 'B'",
        "UPPER(SUB(PAS:Name,2,0)) = ''"};
    for (int i = 0; i < kExpressions; ++i) {
        const std::string text = i < static_cast<int>(chosen.size()) ? chosen[i] : condition(0);
        ex::ParseResult parsed = b.parse(text);
        ASSERT_TRUE(parsed.ok()) << text << ": " << parsed.message();
        ex::SqlFilter f = b.toSql(parsed.tree);
        pushed += !f.residual;
        const auto inStorage = select(t, b, parsed.tree);
        std::set<std::string> perRecord;
        for (const auto& [position, record] : records)
            if (b.passes(*parsed.tree, record)) perRecord.insert(position);
        ASSERT_EQ(inStorage, perRecord) << text << "\nSQL: " << f.where;
        nonEmpty += !perRecord.empty();
        notAll += perRecord.size() < 3000;
    }
    // The generated filters are worth comparing: most go into SQL whole, and they
    // neither all pass nor all fail.
    EXPECT_GT(pushed, kExpressions / 2);
    EXPECT_GT(nonEmpty, kExpressions / 4);
    EXPECT_GT(notAll, kExpressions / 4);
    // The table is still there and whole after the quotes and semicolons of the data.
    EXPECT_EQ(t.records(), 3000);
}

TEST_F(FilterAgreement, StorageBindsEveryValueAndRefusesAMismatchedCount) {
    storage::Table t(vault::CVPAS());
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    fill(t, 50);
    const std::string hostile = "x') OR 1=1; DROP TABLE d1; --";
    ASSERT_EQ(storage::setFilter(t, "\"PAS:Name\" = ?", {hostile}), 0);
    storage::Record r(t.decl());
    ASSERT_EQ(t.set(), 0);
    EXPECT_EQ(t.next(r), storage::kRecordNotAvailable);  // no account has that name
    EXPECT_EQ(storage::setFilter(t, "\"PAS:Name\" = ? AND \"PAS:Wait\" = ?", {hostile}),
              storage::kInvalidFilter);
    EXPECT_EQ(storage::setFilter(t, "\"PAS:Wait\" < 5", {int64_t{1}}), storage::kInvalidFilter);
    ASSERT_EQ(storage::setFilter(t, "cv_upper(\"PAS:Category\") = ?", {std::string("ÄRGER")}), 0);
    ASSERT_EQ(t.set(), 0);
    int n = 0;
    while (t.next(r) == 0) {
        EXPECT_EQ(ex::upperText(r.getString(pas::Category)), "ÄRGER");
        ++n;
    }
    EXPECT_GT(n, 0);
    EXPECT_EQ(t.records(), 50);
}

}  // namespace
}  // namespace corvix::framework

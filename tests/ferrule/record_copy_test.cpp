// Field-by-field copying between two structures, without any file.
#include <gtest/gtest.h>

#include "fixture.h"
#include "libs/ferrule/record_copy.h"
#include "tables.h"

namespace corvix::ferrule::testing {
namespace {

using storage::Scalar;

TEST(ConvertTest, StringsOfTheSamePictureAreCutOrKeptWhole) {
    auto from = field("A:S", FieldType::String, 10, {}, "@s10");
    auto longer = field("A:S", FieldType::String, 20, {}, "@s10");
    EXPECT_EQ(std::get<std::string>(convertValue(from, std::string("abc"), longer)), "abc");
    // Cutting to size is the record's business: the value passes unchanged.
    Scalar cut = storage::normalise(field("A:S", FieldType::String, 2, {}, "@s10"),
                                    convertValue(from, std::string("abcdef"), longer));
    EXPECT_EQ(std::get<std::string>(cut), "ab");
}

TEST(ConvertTest, NumbersAndTextConvertByValue) {
    auto text = field("A:T", FieldType::String, 20);
    auto lng = field("A:L", FieldType::Long);
    auto real = field("A:R", FieldType::Real);
    auto date = field("A:D", FieldType::Date);
    EXPECT_EQ(std::get<std::string>(convertValue(lng, int64_t(-42), text)), "-42");
    EXPECT_EQ(std::get<std::string>(convertValue(real, 2.5, text)), "2.5");
    EXPECT_EQ(std::get<int64_t>(convertValue(text, std::string(" 123"), lng)), 123);
    EXPECT_EQ(std::get<int64_t>(convertValue(text, std::string("12abc"), lng)), 0);
    EXPECT_DOUBLE_EQ(std::get<double>(convertValue(text, std::string("3.25"), real)), 3.25);
    EXPECT_EQ(std::get<int64_t>(convertValue(real, 7.9, lng)), 7);
    EXPECT_EQ(std::get<int64_t>(convertValue(real, -7.9, lng)), -7);
    EXPECT_DOUBLE_EQ(std::get<double>(convertValue(lng, int64_t(5), real)), 5.0);
    EXPECT_EQ(std::get<int64_t>(convertValue(date, int64_t(80123), lng)), 80123);
    EXPECT_EQ(std::get<int64_t>(convertValue(lng, int64_t(80123), date)), 80123);
}

TEST(ConvertTest, TextUnderANumberPictureIsReadBackThroughIt) {
    auto shown = field("A:N", FieldType::String, 12, {}, "@n12.2");
    auto lng = field("A:L", FieldType::Long);
    auto real = field("A:R", FieldType::Real);
    EXPECT_EQ(std::get<int64_t>(convertValue(shown, std::string("   1,234.00"), lng)), 1234);
    EXPECT_DOUBLE_EQ(std::get<double>(convertValue(shown, std::string("1,234.50"), real)), 1234.5);
    auto plain = field("A:P", FieldType::String, 12, {}, "@s12");
    EXPECT_EQ(std::get<std::string>(convertValue(shown, std::string("1,234.50"), plain)), "1234.5");
}

TEST(ConvertTest, NewValuesComeFromText) {
    EXPECT_EQ(std::get<int64_t>(valueFromText("17", field("A:L", FieldType::Short))), 17);
    EXPECT_EQ(std::get<std::string>(valueFromText("hello", field("A:S", FieldType::String, 3))),
              "hello");
}

class CopierTest : public FerruleTest {};

TEST_F(CopierTest, ArraysKeepTheirLeadingElementsInEveryDimension) {
    TableDecl from, to;
    from.fields = {field("G:Grid", FieldType::Long, 0, {2, 3}),
                   field("G:Line", FieldType::Long, 0, {6})};
    to.fields = {field("G:Grid", FieldType::Long, 0, {3, 2}),
                 field("G:Line", FieldType::Long, 0, {4})};
    storage::Record src(from), dst(to);
    src.clear();
    for (uint32_t e = 0; e < 6; ++e) {
        src.set(0, int64_t(100 + e), e);  // [r][c] = 100 + r*3 + c
        src.set(1, int64_t(e + 1), e);
    }
    RecordCopier copier(to, from);
    copier.copy(src, dst);
    // New shape 3x2: [0][0] [0][1] from the old [0][0] [0][1]; row 2 is new.
    std::vector<int64_t> grid;
    for (uint32_t e = 0; e < 6; ++e) grid.push_back(dst.getInt(0, e));
    EXPECT_EQ(grid, (std::vector<int64_t>{100, 101, 103, 104, 0, 0}));
    for (uint32_t e = 0; e < 4; ++e) EXPECT_EQ(dst.getInt(1, e), e + 1);
}

TEST_F(CopierTest, AlternateNamesAreTriedInOrderAndTheFirstFoundWins) {
    TableDecl from, to;
    from.fields = {field("X:Second", FieldType::String, 5), field("X:Third", FieldType::String, 5)};
    to.fields = {field("X:Now", FieldType::String, 5)};
    fu_AlternateFieldName("X:Now", "X:First");  // no such old field
    fu_AlternateFieldName("x:now", "x:third");
    fu_AlternateFieldName("X:Now", "X:Second");
    storage::Record src(from), dst(to);
    src.clear();
    src.set(0, std::string("two"));
    src.set(1, std::string("three"));
    RecordCopier(to, from).copy(src, dst);
    EXPECT_EQ(dst.getString(0), "three");
}

TEST_F(CopierTest, SetIfNewCountsOnAcrossCallsAndRestartsWhenSetAgain) {
    TableDecl from, to;
    from.fields = {field("N:A", FieldType::Long)};
    to.fields = {field("N:A", FieldType::Long), field("N:Seq", FieldType::Long),
                 field("N:Arr", FieldType::String, 3, {3})};
    fu_SetIfNew("AutoNumber", "N:Seq");
    fu_SetIfNew("x", "N:Arr");
    storage::Record src(from), dst(to);
    src.clear();
    RecordCopier copier(to, from);
    for (int i = 1; i <= 3; ++i) {
        copier.copy(src, dst);
        EXPECT_EQ(dst.getInt(1), i);
    }
    for (uint32_t e = 0; e < 3; ++e) EXPECT_EQ(dst.getString(2, e), "x");
    fu_SetIfNew("autonumber", "N:Seq");
    copier.copy(src, dst);
    EXPECT_EQ(dst.getInt(1), 1);
}

}  // namespace
}  // namespace corvix::ferrule::testing

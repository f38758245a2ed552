// Declarations, record buffers and value normalisation.
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using testing::accountDecl;

TEST(Declaration, WidthsAndRecordSize) {
    FieldDecl byte{"A:B", FieldType::Byte};
    FieldDecl shrt{"A:S", FieldType::Short};
    FieldDecl ushrt{"A:U", FieldType::UShort};
    FieldDecl date{"A:D", FieldType::Date};
    FieldDecl time{"A:T", FieldType::Time};
    FieldDecl real{"A:R", FieldType::Real};
    FieldDecl str{"A:Str", FieldType::String, 30};
    FieldDecl arr{"A:Arr", FieldType::Long, 0, {3, 4}};
    EXPECT_EQ(byte.width(), 1u);
    EXPECT_EQ(shrt.width(), 2u);
    EXPECT_EQ(ushrt.width(), 2u);
    EXPECT_EQ(date.width(), 4u);
    EXPECT_EQ(time.width(), 4u);
    EXPECT_EQ(real.width(), 8u);
    EXPECT_EQ(str.width(), 30u);
    EXPECT_EQ(arr.elements(), 12u);
    EXPECT_EQ(arr.width(), 48u);
    TableDecl t;
    t.fields = {byte, shrt, ushrt, date, time, real, str, arr};
    EXPECT_EQ(t.recordSize(), 1u + 2 + 2 + 4 + 4 + 8 + 30 + 48);
}

TEST(Declaration, LookupsIgnoreCaseAndPrefix) {
    TableDecl d = accountDecl("x");
    EXPECT_EQ(d.fieldIndex("PAS:Password"), 3);
    EXPECT_EQ(d.fieldIndex("pas:password"), 3);
    EXPECT_EQ(d.fieldIndex("Description"), 2);
    EXPECT_EQ(d.fieldIndex("Nope"), -1);
    EXPECT_EQ(d.keyIndex("pas:k_category"), 1);
    EXPECT_EQ(d.keyIndex("K_Watch"), 3);
    EXPECT_EQ(d.keyIndex("K_None"), -1);
    EXPECT_EQ(d.fields[3].bareName(), "Password");
}

TEST(Declaration, SameStructureComparesShapeNotLabels) {
    TableDecl a = accountDecl("a");
    TableDecl b = accountDecl("b");
    b.label = "OTHER";
    b.fields[1].picture = "@s10";
    EXPECT_TRUE(a.sameStructure(b));
    b.fields[1].size = 31;
    EXPECT_FALSE(a.sameStructure(b));
    b = accountDecl("b");
    b.keys[1].flags |= kKeyUnique;
    EXPECT_FALSE(a.sameStructure(b));
    b = accountDecl("b");
    b.fields.push_back({"PAS:New", FieldType::Long});
    EXPECT_FALSE(a.sameStructure(b));
}

TEST(Declaration, SplitTableName) {
    TableName t = splitTableName("Corvix\\!Passwords");
    EXPECT_EQ(t.file, "Corvix.TPS");
    EXPECT_EQ(t.table, "Passwords");
    t = splitTableName("CVWRD");
    EXPECT_EQ(t.file, "CVWRD.TPS");
    EXPECT_EQ(t.table, "");
    t = splitTableName("/home/u/doc.pdf.ENC");
    EXPECT_EQ(t.file, "/home/u/doc.pdf.ENC");
    t = splitTableName("./dir.x/CVWRD");
    EXPECT_EQ(t.file, "./dir.x/CVWRD.TPS");
    t = splitTableName("QUERIES.TPS\\!Q");
    EXPECT_EQ(t.file, "QUERIES.TPS");
    EXPECT_EQ(t.table, "Q");
}

TEST(Normalise, StringsAreCutToWholeCharactersWithoutTrailingBlanks) {
    FieldDecl f{"A:S", FieldType::String, 5};
    EXPECT_EQ(std::get<std::string>(normalise(f, std::string("abc   "))), "abc");
    EXPECT_EQ(std::get<std::string>(normalise(f, std::string("abcdefgh"))), "abcde");
    // Five characters of two bytes each are kept whole; the sixth is cut.
    EXPECT_EQ(std::get<std::string>(normalise(f, std::string("ééééé é"))), "ééééé");
    EXPECT_EQ(std::get<std::string>(normalise(f, std::string("ab€€€€"))), "ab€€€");
    EXPECT_EQ(std::get<std::string>(normalise(f, std::string("   "))), "");
    EXPECT_EQ(std::get<std::string>(normalise(f, int64_t{42})), "42");
    // Leading blanks are significant.
    EXPECT_EQ(std::get<std::string>(normalise(f, std::string("  a "))), "  a");
}

TEST(Normalise, IntegersWrapIntoTheirType) {
    auto n = [](FieldType t, int64_t v) {
        return std::get<int64_t>(normalise(FieldDecl{"A:X", t}, v));
    };
    EXPECT_EQ(n(FieldType::Byte, 256), 0);
    EXPECT_EQ(n(FieldType::Byte, -1), 255);
    EXPECT_EQ(n(FieldType::Short, 32768), -32768);
    EXPECT_EQ(n(FieldType::UShort, -1), 65535);
    EXPECT_EQ(n(FieldType::Long, 2147483648LL), -2147483648LL);
    EXPECT_EQ(n(FieldType::ULong, -1), 4294967295LL);
    EXPECT_EQ(std::get<int64_t>(normalise(FieldDecl{"A:X", FieldType::Long}, std::string("17"))),
              17);
    EXPECT_DOUBLE_EQ(std::get<double>(normalise(FieldDecl{"A:R", FieldType::Real}, int64_t{3})),
                     3.0);
}

TEST(RecordBuffer, SetGetClearAndArrays) {
    TableDecl d;
    d.fields = {{"A:N", FieldType::Long},
                {"A:S", FieldType::String, 4},
                {"A:Arr", FieldType::Short, 0, {2, 3}}};
    Record r(d);
    EXPECT_EQ(r.getInt(0), 0);
    EXPECT_EQ(r.getString(1), "");
    r.set(0, int64_t{5});
    r.set(1, std::string("hello"));
    r.set(2, int64_t{7}, 5);
    r.set(2, int64_t{9}, 6);  // out of range: ignored
    EXPECT_EQ(r.getInt(0), 5);
    EXPECT_EQ(r.getString(1), "hell");
    EXPECT_EQ(r.getInt(2, 5), 7);
    EXPECT_EQ(r.getInt(2, 0), 0);
    EXPECT_EQ(r.getString(0), "5");
    Record copy(d);
    copy.copyFrom(r);
    EXPECT_EQ(copy.getString(1), "hell");
    EXPECT_EQ(copy.getInt(2, 5), 7);
    r.clear();
    EXPECT_EQ(r.getInt(2, 5), 0);
    EXPECT_EQ(r.getString(1), "");
}

TEST(Table, ColumnNames) {
    FieldDecl plain{"PAS:Password", FieldType::String, 10};
    FieldDecl arr{"X:A", FieldType::Long, 0, {3}};
    FieldDecl grid{"X:G", FieldType::Long, 0, {2, 3}};
    EXPECT_EQ(Table::columnName(plain), "\"PAS:Password\"");
    EXPECT_EQ(Table::columnName(arr, 1), "\"X:A[2]\"");
    EXPECT_EQ(Table::columnName(grid, 4), "\"X:G[2,2]\"");
}

TEST(Errors, TextsAndLastError) {
    EXPECT_EQ(errorText(kFileNotFound), "File Not Found");
    EXPECT_EQ(errorText(kAccessDenied), "Access Denied");
    EXPECT_EQ(errorText(kDuplicateKey), "Creates Duplicate Key");
    Error e;
    e.code = kRecordMismatch;
    setLastError(e);
    EXPECT_EQ(lastError().code, kRecordMismatch);
    EXPECT_EQ(lastError().text, errorText(kRecordMismatch));
}

}  // namespace
}  // namespace corvix::storage

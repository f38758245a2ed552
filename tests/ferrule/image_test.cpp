// Structure images: what they hold, reading both forms back, and the change comparison.
#include <gtest/gtest.h>

#include "libs/ferrule/image.h"
#include "tables.h"

namespace corvix::ferrule::testing {
namespace {

TEST(ImageTest, CurrentFormStartsWithTheMarkDriverNameAndOwner) {
    TableDecl d = accountsV1();
    std::string image = imageOf(d, "Tps", "Vault\\!Accounts", "secret");
    ASSERT_GT(image.size(), 30u);
    EXPECT_EQ(image.substr(0, 4), "1Tps");
    EXPECT_EQ(image.substr(4, 16), std::string("Vault\\!Accounts") + '\0');
    EXPECT_EQ(image.substr(20, 7), std::string("secret") + '\0');
    EXPECT_EQ(image[27], 1);  // encrypted
    EXPECT_EQ(image[28], 2);  // keys
    EXPECT_EQ(image[29], 0);  // memos and blobs
    uint32_t length = uint8_t(image[30]) | uint8_t(image[31]) << 8 | uint8_t(image[32]) << 16;
    EXPECT_EQ(length, d.recordSize());
}

TEST(ImageTest, BothFormsReadBackIntoTheSameStructure) {
    TableDecl d = accountsV1();
    d.blobs = {storage::BlobDecl{"ACC:Notes", true, 5000}, storage::BlobDecl{"ACC:Pic", false, 0}};
    d.fields.push_back(field("ACC:Grid", FieldType::Short, 0, {3, 4, 2}));
    for (bool oldForm : {false, true}) {
        ParsedImage p;
        ASSERT_TRUE(parseImage(imageOf(d, "Tps", "x", "pw", oldForm), &p));
        EXPECT_EQ(p.oldForm, oldForm);
        EXPECT_EQ(p.driver, "Tps");
        EXPECT_EQ(p.name, "x");
        EXPECT_EQ(p.owner, "pw");
        EXPECT_EQ(p.recordLength, d.recordSize());
        EXPECT_TRUE(p.decl.sameStructure(d));
        EXPECT_EQ(p.decl.fields[1].picture, "@s30");
        EXPECT_EQ(p.decl.fields[7].dims, (std::vector<uint32_t>{3, 4, 2}));
        EXPECT_EQ(p.decl.keys[0].name, "ACC:K_Id");
        EXPECT_TRUE(p.decl.blobs[0].memo);
        EXPECT_EQ(p.decl.blobs[0].memoSize, 5000u);
        EXPECT_FALSE(p.decl.blobs[1].memo);
        EXPECT_EQ(p.decl.prefix, "ACC");
    }
}

TEST(ImageTest, OldFormDescendingComponentMarkIsDropped) {
    TableDecl d = accountsV1();
    std::string image = imageOf(d, "Tps", "x", "", true);
    // The first key's only component (field 0) sits after its count, flags, two names.
    size_t at = image.find(std::string("ACC:K_Id") + '\0' + '\0');
    ASSERT_NE(at, std::string::npos);
    at += 10;
    image[at + 1] = char(0x80);  // sign bit: descending
    ParsedImage p;
    ASSERT_TRUE(parseImage(image, &p));
    EXPECT_EQ(p.decl.keys[0].components, std::vector<int>{0});
}

TEST(ImageTest, TruncatedOrInconsistentImagesAreRefused) {
    std::string image = imageOf(accountsV1(), "Tps", "x", "");
    ParsedImage p;
    for (size_t cut : {size_t(0), size_t(3), size_t(20), image.size() - 1})
        EXPECT_FALSE(parseImage(image.substr(0, cut), &p)) << cut;
    TableDecl bad = accountsV1();
    bad.keys[0].components = {42};
    EXPECT_FALSE(parseImage(imageOf(bad, "Tps", "x", ""), &p));
}

TEST(ImageTest, LengthsUseOneToThreeBytes) {
    for (uint32_t v : {0u, 31u, 32u, 255u, 8191u, 8192u, 65535u, 1000000u}) {
        std::string out;
        putLength(out, v);
        EXPECT_EQ(out.size(), v < 32 ? 1u : v < 8192 ? 2u : 3u) << v;
        size_t pos = 0;
        uint32_t back = 0;
        ASSERT_TRUE(getLength(out, &pos, &back));
        EXPECT_EQ(back, v);
        EXPECT_EQ(pos, out.size());
    }
}

TEST(ImageTest, ComparisonSkipsTheAttributeRunAndSeesEveryOtherChange) {
    TableDecl d = accountsV1();
    std::string a = imageOf(d, "Tps", "f", "");
    EXPECT_FALSE(imagesDiffer(a, a));
    // The attribute byte after the owner is not compared.
    std::string attr = a;
    attr[4 + 2 + 1] = 1;
    EXPECT_FALSE(imagesDiffer(a, attr));

    TableDecl wider = d;
    wider.fields[2].size = 21;
    EXPECT_TRUE(imagesDiffer(a, imageOf(wider, "Tps", "f", "")));
    TableDecl fewer = d;
    fewer.fields.pop_back();
    EXPECT_TRUE(imagesDiffer(a, imageOf(fewer, "Tps", "f", "")));
    EXPECT_TRUE(imagesDiffer(a, imageOf(d, "Tps", "g", "")));
    // Images of the two forms are never compared.
    EXPECT_FALSE(imagesDiffer(imageOf(d, "Tps", "f", "", true), imageOf(wider, "Tps", "f", "")));
}

TEST(ImageTest, TypeCodesAreTheRuntimes) {
    EXPECT_EQ(typeCode(FieldType::Byte), 1);
    EXPECT_EQ(typeCode(FieldType::Date), 4);
    EXPECT_EQ(typeCode(FieldType::Long), 6);
    EXPECT_EQ(typeCode(FieldType::Real), 9);
    EXPECT_EQ(typeCode(FieldType::String), 18);
    FieldType t;
    EXPECT_TRUE(typeOfCode(19, &t));
    EXPECT_EQ(t, FieldType::String);
    EXPECT_FALSE(typeOfCode(22, &t));
}

}  // namespace
}  // namespace corvix::ferrule::testing

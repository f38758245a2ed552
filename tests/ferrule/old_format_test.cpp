// Reading the header and tables of an old-format file into a structure image.
#include <fstream>

#include "fixture.h"
#include "libs/ferrule/image.h"
#include "libs/ferrule/old_format.h"

namespace corvix::ferrule::testing {
namespace {

class OldFormatTest : public FerruleTest {
  protected:
    static void u16(std::string& s, size_t at, uint32_t v) {
        s[at] = char(v & 0xFF);
        s[at + 1] = char(v >> 8);
    }
    static void text(std::string& s, size_t at, const std::string& t) {
        s.replace(at, t.size(), t);
    }
    static std::string fieldEntry(int type, const std::string& name, int len, int arr, int pic) {
        std::string e(27, '\0');
        e[0] = char(type);
        text(e, 1, name);
        u16(e, 19, uint32_t(len));
        u16(e, 23, uint32_t(arr));
        u16(e, 25, uint32_t(pic));
        return e;
    }
    // Three fields (a LONG, a pictured string array, a group), one key, one picture, one array.
    static std::string sampleFile(bool scrambled) {
        std::string h(85, '\0');
        text(h, 0, "C3");
        u16(h, 2, scrambled ? 2 : 0);
        h[4] = 1;       // keys
        u16(h, 13, 3);  // fields
        u16(h, 15, 1);  // pictures
        u16(h, 17, 1);  // arrays
        text(h, 61, "CUS");
        h[83] = char(0x5A);
        h[84] = char(0xA5);
        std::string body = fieldEntry(1, "NUMBER", 4, 0, 0) + fieldEntry(4, "PHONE", 12, 1, 1) +
                           fieldEntry(7, "GROUP", 0, 0, 0);
        std::string key(18, '\0');
        key[0] = 1;
        text(key, 1, "CUS:BYNUMBER");
        key[17] = 1;
        std::string comp(5, '\0');
        u16(comp, 1, 1);
        std::string pic(2, '\0');
        u16(pic, 0, 5);
        pic += "@p###";
        std::string arr(8, '\0');
        u16(arr, 0, 1);
        std::string dim(4, '\0');
        u16(dim, 0, 3);
        std::string all = h + body + key + comp + pic + arr + dim;
        if (scrambled)
            for (size_t i = 4; i < all.size(); ++i)
                if (i != 83 && i != 84) all[i] = char(all[i] ^ (i % 2 ? 0x5A : 0xA5));
        return all;
    }
};

TEST_F(OldFormatTest, HeaderAndTablesBecomeAnOdfImage) {
    for (bool scrambled : {false, true}) {
        std::ofstream(path("Cust.Dat"), std::ios::binary) << sampleFile(scrambled);
        std::string image;
        ASSERT_TRUE(oldFormatImage(path("Cust.Dat"), &image)) << scrambled;
        ParsedImage p;
        ASSERT_TRUE(parseImage(image, &p));
        EXPECT_EQ(p.driver, "ODF");
        ASSERT_EQ(p.decl.fields.size(), 2u);  // the group only overlays
        EXPECT_EQ(p.decl.fields[0].name, "CUS:NUMBER");
        EXPECT_EQ(p.decl.fields[0].type, storage::FieldType::Long);
        EXPECT_EQ(p.decl.fields[1].name, "CUS:PHONE");
        EXPECT_EQ(p.decl.fields[1].size, 12u);
        EXPECT_EQ(p.decl.fields[1].picture, "@p###");
        EXPECT_EQ(p.decl.fields[1].dims, std::vector<uint32_t>{3});
        ASSERT_EQ(p.decl.keys.size(), 1u);
        EXPECT_EQ(p.decl.keys[0].components, std::vector<int>{0});
    }
}

TEST_F(OldFormatTest, FilesWithoutTheSignatureOrCutShortAreNoOldFormatFiles) {
    std::string image;
    EXPECT_FALSE(oldFormatImage(path("absent.Dat"), &image));
    std::string good = sampleFile(false);
    std::string other = good;
    other[0] = 'X';
    std::ofstream(path("a.Dat"), std::ios::binary) << other;
    EXPECT_FALSE(oldFormatImage(path("a.Dat"), &image));
    std::ofstream(path("b.Dat"), std::ios::binary) << good.substr(0, 100);
    EXPECT_FALSE(oldFormatImage(path("b.Dat"), &image));
}

}  // namespace
}  // namespace corvix::ferrule::testing

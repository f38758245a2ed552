// Table declarations, record bindings and the fixed keys.
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "vault/tables.h"

namespace corvix::vault {
namespace {

using storage::kKeyAutoNumber;
using storage::kKeyNoCase;
using storage::kKeyOptional;
using storage::kKeyPrimary;
using storage::kKeyUnique;

TEST(Declarations, RecordSizesAreTheSumOfTheFieldWidths) {
    EXPECT_EQ(CVCAT().recordSize(), 30u);
    EXPECT_EQ(CVPAS().recordSize(), 5542u);
    EXPECT_EQ(CVMAS().recordSize(), 1121u);
    EXPECT_EQ(CVGSD().recordSize(), 463u);
    EXPECT_EQ(CVWRD().recordSize(), 24u);
    EXPECT_EQ(CVEF().recordSize(), 464u);
    EXPECT_EQ(TagSet_().recordSize(), 314u);
    EXPECT_EQ(TagFile_().recordSize(), 20u);
    EXPECT_EQ(TagFilePos_().recordSize(), 272u);
    EXPECT_EQ(ExPAS().recordSize(), 5542u);
    EXPECT_EQ(ExGSD().recordSize(), 463u);
}

TEST(Declarations, NamesLabelsAndPrefixes) {
    EXPECT_EQ(CVCAT().name, "Corvix\\!Category");
    EXPECT_EQ(CVPAS().name, "Corvix\\!Passwords");
    EXPECT_EQ(CVMAS().name, "Corvix\\!Master");
    EXPECT_EQ(CVGSD().name, "Corvix\\!Schemes");
    EXPECT_EQ(CVWRD().name, "CVWRD");
    EXPECT_EQ(CVEF().name, "CVEF");
    EXPECT_EQ(TagSet_().name, "TAGSET_");
    EXPECT_EQ(TagFile_().name, "TAGFILE_");
    EXPECT_EQ(TagFilePos_().name, "TAGFILEP");
    EXPECT_EQ(ExPAS().name, "ExPas.BAS");
    EXPECT_EQ(ExGSD().name, "ExGSD.BAS");
    EXPECT_EQ(CVPAS().label, "CVPAS");
    EXPECT_EQ(CVPAS().prefix, "PAS");
    EXPECT_EQ(TagFilePos_().prefix, "TP_");
    EXPECT_EQ(ExPAS().prefix, "EXPAS");
}

TEST(Declarations, AccountFieldsInOrderWithTypesAndPictures) {
    const auto& f = CVPAS().fields;
    ASSERT_EQ(f.size(), 18u);
    const char* names[] = {"PAS:PAS_ID",       "PAS:Category",
                           "PAS:Description",  "PAS:Name",
                           "PAS:Password",     "PAS:URL",
                           "PAS:Custom1",      "PAS:Custom2",
                           "PAS:Custom3",      "PAS:LastChange",
                           "PAS:Expires",      "PAS:ExpiryInterval",
                           "PAS:TargetWindow", "PAS:TargetWindowText",
                           "PAS:Action",       "PAS:Watch",
                           "PAS:Wait",         "PAS:Notes"};
    for (size_t i = 0; i < f.size(); ++i) EXPECT_EQ(f[i].name, names[i]) << i;
    EXPECT_EQ(f[pas::PAS_ID].picture, "@n-14");
    EXPECT_EQ(f[pas::Password].type, storage::FieldType::String);
    EXPECT_EQ(f[pas::Password].size, 128u);
    EXPECT_EQ(f[pas::LastChange].type, storage::FieldType::Date);
    EXPECT_EQ(f[pas::LastChange].picture, "@d17");
    EXPECT_EQ(f[pas::Expires].picture, "@d17b");
    EXPECT_EQ(f[pas::ExpiryInterval].picture, "@n_3b");
    EXPECT_EQ(f[pas::Wait].picture, "@n2");
    EXPECT_EQ(f[pas::Notes].size, 4096u);
    EXPECT_EQ(f[pas::Notes].picture, "@s255");
    EXPECT_EQ(CVPAS().fieldIndex("Password"), pas::Password);
    EXPECT_EQ(CVMAS().fields[mas::Sound_Click].name, "MAS:Sound:Click");
    EXPECT_EQ(CVGSD().fields[gsd::GridColor].type, storage::FieldType::ULong);
    EXPECT_EQ(TagSet_().fields[0].type, storage::FieldType::Short);
}

TEST(Declarations, ExportFilesMirrorTheirVaultTables) {
    ASSERT_EQ(ExPAS().fields.size(), CVPAS().fields.size());
    for (size_t i = 0; i < ExPAS().fields.size(); ++i) {
        EXPECT_EQ(ExPAS().fields[i].bareName(), CVPAS().fields[i].bareName());
        EXPECT_EQ(ExPAS().fields[i].type, CVPAS().fields[i].type);
        EXPECT_EQ(ExPAS().fields[i].size, CVPAS().fields[i].size);
    }
    EXPECT_EQ(ExPAS().fields[0].name, "EXPAS:PAS_ID");
    EXPECT_EQ(ExGSD().fields[10].name, "EXGSD:Password");
    EXPECT_TRUE(ExPAS().keys.empty());
    EXPECT_TRUE(ExGSD().keys.empty());
    EXPECT_TRUE(ExPAS().owner.empty());
}

struct KeyExpectation {
    const storage::TableDecl* decl;
    const char* name;
    const char* description;
    std::vector<int> components;
    uint32_t flags;
};

TEST(Declarations, KeysWithDescriptionsComponentsAndFlags) {
    const uint32_t P = kKeyPrimary | kKeyUnique, O = kKeyOptional, A = kKeyAutoNumber;
    const std::vector<KeyExpectation> expected = {
        {&CVCAT(), "CAT:K_Category", "Category", {0}, P | O},
        {&CVPAS(), "PAS:K_PAS_ID", "System ID", {0}, P | O | A},
        {&CVPAS(), "PAS:K_Category", "Category", {1, 2}, 0},
        {&CVPAS(), "PAS:K_Description", "Description", {2}, 0},
        {&CVPAS(), "PAS:K_Name", "Name", {3}, 0},
        {&CVPAS(), "PAS:K_URL", "URL", {5}, 0},
        {&CVPAS(), "PAS:K_LastChangeDate", "Last Changed", {9}, O},
        {&CVPAS(), "PAS:K_Expiry", "Expiry", {10}, 0},
        {&CVPAS(), "PAS:K_Watch", "Watched accounts only", {15}, O},
        {&CVMAS(), "MAS:K_Path", "Path", {4}, 0},
        {&CVMAS(), "MAS:K_MAS_ID", "Primary ID", {0}, P | O},
        {&CVMAS(), "MAS:K_GSD_ID", "Link to scheme", {1}, O},
        {&CVGSD(), "GSD:K_GSD_ID", "System ID", {0}, P | O | A},
        {&CVGSD(), "GSD:K_Description", "Scheme description", {1}, kKeyUnique | O},
        {&CVWRD(), "WRD:K_ID", "ID", {0}, P | O | A},
        {&CVWRD(), "WRD:K_Word", "Word", {1}, kKeyUnique | O},
        {&CVEF(), "EF:K_ID", "ID", {0}, P | O | A},
        {&CVEF(), "EF:K_FileName", "Filename", {3}, O},
        {&CVEF(), "EF:K_Description", "Description", {2}, O},
        {&TagSet_(), "TS_:TblKey", nullptr, {0}, P},
        {&TagSet_(), "TS_:UsrTblKey", nullptr, {1, 0}, O},
        {&TagSet_(), "TS_:UsrSourceDateKey", nullptr, {1, 2, 3}, O},
        {&TagFile_(), "TF_:PtrKey", nullptr, {0, 1, 2}, P | O},
        {&TagFile_(), "TF_:ValKey", nullptr, {0, 1, 3}, O},
        {&TagFilePos_(), "TP_:PosKey", nullptr, {0, 1, 2}, P | O},
        {&TagFilePos_(), "TP_:ValKey", nullptr, {0, 1, 3}, O},
    };
    for (const auto& e : expected) {
        const int k = e.decl->keyIndex(e.name);
        ASSERT_GE(k, 0) << e.name;
        const storage::KeyDecl& key = e.decl->keys[k];
        if (e.description) EXPECT_EQ(key.description, e.description) << e.name;
        EXPECT_EQ(key.components, e.components) << e.name;
        EXPECT_EQ(key.flags, e.flags | kKeyNoCase) << e.name;
    }
    EXPECT_EQ(CVPAS().keys.size(), 8u);
    EXPECT_EQ(CVMAS().keys.size(), 3u);
    EXPECT_EQ(CVPAS().keyIndex("PAS:K_Watch"), pas::K_Watch);
    EXPECT_EQ(CVEF().blobs.size(), 1u);
    EXPECT_EQ(CVEF().blobs[0].name, "EF:Binary");
}

TEST(Declarations, OwnersAndStructureVersions) {
    const std::string key = BuildVaultKey();
    for (const auto* d : {&CVCAT(), &CVPAS(), &CVMAS(), &CVGSD(), &CVEF()}) {
        EXPECT_EQ(d->owner, key) << d->label;
        EXPECT_TRUE(usesVaultKey(*d)) << d->label;
    }
    EXPECT_EQ(CVWRD().owner, WordDatabaseOwner());
    EXPECT_FALSE(usesVaultKey(CVWRD()));
    for (const auto* d : {&TagSet_(), &TagFile_(), &TagFilePos_()}) EXPECT_TRUE(d->owner.empty());

    std::vector<std::string> order;
    for (const auto& r : tableRegistrations()) {
        order.push_back(r.label);
        EXPECT_EQ(r.decl->prefix, r.prefix);
        EXPECT_EQ(r.decl->label, r.label);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"CVCAT", "CVEF", "CVGSD", "CVMAS", "CVPAS", "CVWRD",
                                               "TagFilePos_", "TagFile_", "TagSet_"}));
    EXPECT_EQ(structureVersion(CVCAT()), 2);
    EXPECT_EQ(structureVersion(CVPAS()), 2);
    EXPECT_EQ(structureVersion(CVMAS()), 6);
    EXPECT_EQ(structureVersion(CVGSD()), 3);
    EXPECT_EQ(structureVersion(CVEF()), 3);
    EXPECT_EQ(structureVersion(CVWRD()), 0);
    EXPECT_EQ(structureVersion(TagSet_()), 0);
    EXPECT_EQ(structureVersion(ExPAS()), -1);
}

TEST(VaultKey, FortyCharactersEachTheAlphabetsWithTheLowestBitInverted) {
    const std::string& key = BuildVaultKey();
    ASSERT_EQ(key.size(), 40u);
    EXPECT_EQ(VaultKey, key);
    for (size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(static_cast<unsigned char>(key[i]),
                  static_cast<unsigned char>(SymbolAlphabet[i]) ^ 1u)
            << i;
        EXPECT_TRUE(std::isprint(static_cast<unsigned char>(key[i]))) << i;
        EXPECT_NE(key[i], SymbolAlphabet[i]);
    }
    // Rebuilding gives the same key: every installation shares it.
    VaultKey = "spoiled";
    EXPECT_EQ(BuildVaultKey(), key);
}

TEST(VaultKey, AlphabetHas157PrintableCharacters) {
    EXPECT_EQ(std::string(SymbolAlphabet).size(), kSymbolAlphabetSize);
    EXPECT_EQ(kSymbolAlphabetSize, 157u);
    for (size_t i = 0; i < kSymbolAlphabetSize; ++i)
        EXPECT_TRUE(std::isgraph(static_cast<unsigned char>(SymbolAlphabet[i]))) << i;
}

TEST(VaultKey, WordDatabaseOwnerIs29LowerCaseLetters) {
    const std::string owner = WordDatabaseOwner();
    ASSERT_EQ(owner.size(), 29u);
    for (char c : owner) EXPECT_TRUE(c >= 'a' && c <= 'z') << c;
    EXPECT_NE(owner, BuildVaultKey());
}

TEST(VaultKey, SymbolStringsAre128DrawsFromTheAlphabet) {
    const std::string alphabet = SymbolAlphabet;
    const std::string a = makeSymbolString();
    const std::string b = makeSymbolString();
    ASSERT_EQ(a.size(), 128u);
    ASSERT_EQ(b.size(), 128u);
    for (char c : a) EXPECT_NE(alphabet.find(c), std::string::npos) << c;
    EXPECT_NE(a, b);  // 157^128 possibilities: equal strings mean a broken source
    // Draws cover the alphabet: over many strings more than half of the distinct
    // characters appear (a constant or narrow source would not).
    std::set<char> seen;
    for (int i = 0; i < 40; ++i)
        for (char c : makeSymbolString()) seen.insert(c);
    EXPECT_GT(seen.size(), std::set<char>(alphabet.begin(), alphabet.end()).size() / 2);
}

TEST(RecordBinding, EachFieldNumberReachesItsMember) {
    PasBuffer b;
    for (int i = 0; i < static_cast<int>(CVPAS().fields.size()); ++i) {
        const auto& f = CVPAS().fields[i];
        if (f.type == storage::FieldType::String)
            b.set(i, std::string(f.bareName()));
        else
            b.set(i, int64_t{100 + i});
    }
    const PasRecord& r = b.record();
    EXPECT_EQ(r.PAS_ID, 100);
    EXPECT_EQ(r.Category, "Category");
    EXPECT_EQ(r.Description, "Description");
    EXPECT_EQ(r.Name, "Name");
    EXPECT_EQ(r.Password, "Password");
    EXPECT_EQ(r.URL, "URL");
    EXPECT_EQ(r.Custom1, "Custom1");
    EXPECT_EQ(r.Custom3, "Custom3");
    EXPECT_EQ(r.LastChange, 109);
    EXPECT_EQ(r.Expires, 110);
    EXPECT_EQ(r.ExpiryInterval, 111);
    EXPECT_EQ(r.TargetWindow, "TargetWindow");
    EXPECT_EQ(r.TargetWindowText, "TargetWindowText");
    EXPECT_EQ(r.Action, "Action");
    EXPECT_EQ(r.Watch, 115);
    EXPECT_EQ(r.Wait, 116);
    EXPECT_EQ(r.Notes, "Notes");
    EXPECT_EQ(b.getString(pas::Name), "Name");
    EXPECT_EQ(b.getInt(pas::Wait), 116);

    MasBuffer m;
    m.set(mas::Sound_Other, std::string("ding"));
    m.set(mas::InstallDate, int64_t{80000});
    EXPECT_EQ(m->Sound_Other, "ding");
    EXPECT_EQ(m->InstallDate, 80000);
    GsdBuffer g;
    g.set(gsd::GridColor, int64_t{0x00FF8040});
    g.set(gsd::Basis, std::string("Location"));
    EXPECT_EQ(g->GridColor, 0x00FF8040u);
    EXPECT_EQ(g->Basis, "Location");
}

TEST(RecordBinding, TextOfExactlyTheFieldWidthIsKeptOneMoreIsCut) {
    PasBuffer b;
    const std::string p128(128, 'x');
    b.set(pas::Password, p128);
    EXPECT_EQ(b->Password, p128);
    b.set(pas::Password, p128 + "y");
    EXPECT_EQ(b->Password, p128);
    // Characters, not bytes: 30 two-byte letters fit a 30-character category.
    std::string wide;
    for (int i = 0; i < 31; ++i) wide += "\xC3\xA9";  // é
    b.set(pas::Category, wide);
    EXPECT_EQ(b->Category, wide.substr(0, 60));
    // Trailing blanks are never significant.
    b.set(pas::Name, std::string("alice   "));
    EXPECT_EQ(b->Name, "alice");
}

TEST(RecordBinding, NumbersAreBroughtIntoTheFieldsRange) {
    PasBuffer b;
    b.set(pas::Wait, int64_t{256 + 3});
    EXPECT_EQ(b->Wait, 3);
    b.set(pas::Watch, int64_t{1});
    EXPECT_EQ(b->Watch, 1);
}

TEST(RecordBinding, BindsAnOutsideRecordAndClears) {
    PasRecord outside;
    PasBuffer b(outside);
    b.set(pas::Description, std::string("Bank"));
    EXPECT_EQ(outside.Description, "Bank");
    outside.Wait = 7;
    EXPECT_EQ(b.getInt(pas::Wait), 7);
    b.clear();
    EXPECT_TRUE(outside.Description.empty());
    EXPECT_EQ(outside.Wait, 0);
    // Out-of-range field numbers are ignored rather than crashing.
    b.set(99, std::string("x"));
    EXPECT_EQ(std::get<int64_t>(b.get(-1)), 0);
}

TEST(RecordBinding, CopiesFieldByFieldIntoAGenericRecord) {
    PasBuffer b;
    b->PAS_ID = 4;
    b->Password = "s3cret";
    b->Notes = "line one\nline two";
    storage::Record generic(CVPAS());
    generic.copyFrom(b);
    EXPECT_EQ(generic.getInt(pas::PAS_ID), 4);
    EXPECT_EQ(generic.getString(pas::Password), "s3cret");
    EXPECT_EQ(generic.getString(pas::Notes), "line one\nline two");
}

}  // namespace
}  // namespace corvix::vault

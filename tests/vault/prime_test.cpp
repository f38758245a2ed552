// Initial values of new records, field rules and the installation identity.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "vault/prime.h"
#include "vault/vault_key.h"

namespace corvix::vault {
namespace {

TEST(Prime, NewAccountDefaults) {
    PasRecord r;
    r.Password = "left over";
    r.Watch = 1;
    r.PAS_ID = 12;
    primeCVPAS(r, 81234);
    EXPECT_EQ(r.Category, "Personal");
    EXPECT_EQ(r.Description, "Enter your description here");
    EXPECT_EQ(r.URL, "http://www.???.com");
    EXPECT_EQ(r.LastChange, 81234);
    EXPECT_EQ(r.Action, "[name][tab][password][tab]");
    EXPECT_EQ(r.Wait, 2);
    EXPECT_EQ(r.Watch, 0);  // a new account is not watched
    EXPECT_TRUE(r.Password.empty());
    EXPECT_EQ(r.PAS_ID, 0);
    EXPECT_EQ(r.Expires, 0);
    EXPECT_TRUE(r.Notes.empty());
    EXPECT_EQ(r.Name, NetworkUserName());
}

TEST(Prime, UserNameIsTheLoginNameCutTo40) {
    const passwd* pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(NetworkUserName(), std::string(pw->pw_name).substr(0, 40));
    EXPECT_LE(NetworkUserName().size(), 40u);
}

TEST(Prime, NewMasterRecordDefaults) {
    MasRecord m;
    m.Password = "old";
    primeCVMAS(m, 80000);
    EXPECT_EQ(m.MAS_ID, 1);
    EXPECT_EQ(m.GSD_ID, 1);
    EXPECT_EQ(m.MonitorInactivity, 1);
    EXPECT_EQ(m.InactivityTimeout, 10);
    EXPECT_EQ(m.Custom1, "Custom");
    EXPECT_EQ(m.Custom2, "Credit Card");
    EXPECT_EQ(m.Custom3, "Other");
    EXPECT_EQ(m.InstallDate, 80000);
    EXPECT_TRUE(m.Password.empty());
    EXPECT_TRUE(m.EncPassword.empty());
    EXPECT_EQ(m.RevealPasswords, 0);
    EXPECT_EQ(m.UseMasterPasswordImage, 0);
}

TEST(Prime, SetUpOfANewVaultPutsTheWizardsCaptions) {
    MasRecord m;
    primeNewVaultMaster(m, 80001);
    EXPECT_EQ(m.MAS_ID, 1);
    EXPECT_EQ(m.GSD_ID, 1);
    EXPECT_EQ(m.InactivityTimeout, 10);
    EXPECT_EQ(m.MonitorInactivity, 1);
    EXPECT_EQ(m.Custom1, "&Custom:");
    EXPECT_EQ(m.Custom2, "C&redit Card:");
    EXPECT_EQ(m.Custom3, "O&ther:");
    EXPECT_EQ(m.InstallDate, 80001);
}

TEST(Prime, NewThemeDefaultsWithAFreshSymbolString) {
    GsdRecord a, b;
    primeCVGSD(a);
    primeCVGSD(b);
    EXPECT_EQ(a.Columns, 3);
    EXPECT_EQ(a.Rows, 3);
    EXPECT_EQ(a.Basis, "Grid");
    EXPECT_EQ(a.Style, "Actual Size");
    EXPECT_EQ(a.ShowGrid, 0);
    EXPECT_EQ(a.GridColor, 0u);
    EXPECT_TRUE(a.Description.empty());
    ASSERT_EQ(a.Password.size(), 128u);
    EXPECT_NE(a.Password, b.Password);
    for (char c : a.Password) EXPECT_NE(std::string(SymbolAlphabet).find(c), std::string::npos);
}

TEST(FieldRules, ThemeColumnsAndRowsFrom1To9) {
    GsdRecord g;
    primeCVGSD(g);
    for (int v : {1, 5, 9}) {
        g.Columns = static_cast<uint8_t>(v);
        g.Rows = static_cast<uint8_t>(v);
        EXPECT_TRUE(validateCVGSD(g).ok) << v;
    }
    g.Rows = 3;
    g.Columns = 0;
    FieldCheck c = validateCVGSD(g);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.messageId, 16);
    EXPECT_EQ(c.title, "Range Error");
    EXPECT_EQ(c.message, "1 and 9");
    EXPECT_EQ(c.text,
              "The value of Number of columns to divide the image into must be between 1 and 9.");
    g.Columns = 3;
    g.Rows = 10;
    c = validateCVGSD(g);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.field, "Number of rows to divide the image into");
    EXPECT_EQ(validateGsdColumns(g).ok, true);
    EXPECT_EQ(validateGsdRows(g).ok, false);
}

TEST(InstallationIdentity, KeptOncePasswordElseTodaysDayCount) {
    MasRecord m;
    EXPECT_EQ(installationIdentity(m, 81500), "81500");
    m.Password = "Secret  ";
    EXPECT_EQ(installationIdentity(m, 81500), "Secret");
    m.EncPassword = "earlier";
    EXPECT_EQ(installationIdentity(m, 81500), "earlier");  // never changed once set
}

}  // namespace
}  // namespace corvix::vault

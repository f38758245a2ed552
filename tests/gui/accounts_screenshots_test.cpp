// Screenshots of the accounts list, the account form's four tabs and the wizard's pages,
// saved under the build folder's screenshots/ (offscreen rendering).
#include <QPushButton>
#include <QTabWidget>
#include <filesystem>

#include "accounts/browse_cvpas.h"
#include "accounts/update_cvpas.h"
#include "accounts/wizard_add_password.h"
#include "accounts_fixture.h"
#include "runtime/date.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;

bool save(QWidget* w, const std::string& name) {
    const std::filesystem::path dir = CORVIX_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    const std::string file = (dir / name).string();
    const QPixmap shot = w->grab();
    return !shot.isNull() && shot.save(QString::fromStdString(file), "PNG") &&
           std::filesystem::file_size(file) > 1000u;
}

class AccountsScreenshots : public AccountsTest {};

TEST_F(AccountsScreenshots, ListFormTabsAndWizardPages) {
    const int32_t t = runtime::today();
    const struct {
        const char* description;
        int32_t expires;
        int watch;
    } rows[] = {{"Bank", t - 1, 0}, {"Mail", t + 3, 0}, {"Shop", 0, 1}, {"Forum", 0, 0}};
    for (const auto& r : rows) {
        vault::PasRecord a;
        a.Category = "Personal";
        a.Description = r.description;
        a.Name = "ann";
        a.Password = "secret";
        a.Expires = r.expires;
        a.Watch = static_cast<uint8_t>(r.watch);
        addFull(a);
    }
    auto* list = new accounts::BrowseCVPAS(m_->pasRelations, m_->catRelations);
    ASSERT_TRUE(list->start());
    list->window()->resize(900, 420);
    QApplication::processEvents();
    EXPECT_TRUE(save(list->window(), "accounts-list.png"));

    int formShots = 0;
    onOpen("UpdateCVPAS", [&](WindowManager& w) {
        auto& f = static_cast<accounts::UpdateCVPAS&>(w);
        const char* names[] = {"basic", "notes-custom", "interaction", "expiry"};
        for (int tab = 0; tab < 4; ++tab) {
            f.sheet()->setCurrentIndex(tab);
            formShots += save(f.window(), std::string("account-form-") + names[tab] + ".png");
        }
        f.button("Cancel")->click();
    });
    list->button("&Change")->click();
    EXPECT_EQ(formShots, 4);

    int wizardShots = 0;
    onOpen("Wizard:AddPassword", [&](WindowManager& w) {
        auto& z = static_cast<accounts::Wizard_AddPassword&>(w);
        for (int page : z.shownPages()) {
            while (z.page() < page) z.next();
            wizardShots +=
                save(z.window(), "wizard-add-password-" + std::to_string(page + 1) + ".png");
        }
        z.button("Cancel")->click();
    });
    prompt_.answer(kButtonNo);
    accounts::Wizard_AddPassword(m_->pasRelations, m_->catRelations).run();
    EXPECT_EQ(wizardShots, 7);  // kind A: every page but Other
}

}  // namespace
}  // namespace corvix::gui_test

// What the wizard and theme window tests share: the window fixture (scratch vault, scripted
// prompt), password entries answered from a script instead of the logon windows, and
// master records and themes written straight into the vault.
#pragma once

#include <QPointer>
#include <deque>
#include <optional>

#include "gui_fixture.h"
#include "security/master_password.h"
#include "vault/records.h"

namespace corvix::security_test {

class SecurityWindowTest : public gui_test::GuiTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The next password entries, in order; nullopt answers a cancel.
    void answer(std::optional<std::string> entry) { entries_.push_back(std::move(entry)); }
    struct Asked {
        security::LogonWindow window;
        std::string prompt;
        std::string expected;
        int32_t masterCopyTheme;  // the theme the image windows would show
    };
    std::vector<Asked> asked_;

    void storeMaster(const vault::MasRecord& record);
    std::optional<vault::MasRecord> readMaster();
    // A theme with a picture of its own; returns its GSD:GSD_ID.
    int32_t addTheme(const std::string& description, const std::string& basis = "Grid",
                     int columns = 3, int rows = 3);
    std::optional<vault::GsdRecord> readTheme(int32_t id);
    std::string picture(const std::string& name, int w = 240, int h = 180);

    // The texts of the messages shown so far, "title: text".
    std::vector<std::string> messages() const;
    void settle();  // lets queued closes and deletions run
    void screenshot(QWidget* w, const std::string& name);

  private:
    std::deque<std::optional<std::string>> entries_;
};

}  // namespace corvix::security_test

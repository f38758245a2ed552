// The accounts windows' tests: the window fixture plus a simulated desktop for the window
// lists and Send, a master record, a stand-in frame that records the events posted to
// thread 1, and accounts written with every field.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "gui_fixture.h"
#include "platform/desktop/simulated_desktop.h"
#include "vault/records.h"

namespace corvix::gui_test {

class AccountsTest : public GuiTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Adds the account (its category too, when missing); returns its PAS_ID.
    int addFull(vault::PasRecord account);
    vault::PasRecord stored(int id);  // read back from the table
    int32_t today() const;

    desktop::SimulatedDesktop desk_;
    std::unique_ptr<QWidget> frame_;
    std::vector<int> frameEvents_;                 // user events posted to thread 1
    std::vector<std::vector<int>> registrations_;  // (thread, send, url) as registered
};

}  // namespace corvix::gui_test

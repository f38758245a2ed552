#include "accounts_fixture.h"

#include "accounts/accounts_context.h"
#include "platform/storage/table.h"
#include "runtime/date.h"
#include "security/session.h"
#include "send/key_sender.h"
#include "send/send_hooks.h"
#include "send/windows.h"
#include "vault/vault_key.h"

namespace corvix::gui_test {

using namespace corvix::framework;

void AccountsTest::SetUp() {
    GuiTest::SetUp();
    security::MasterCopy() = {};
    send::resetWindowLists();
    accounts::setAccountsDesktop(&desk_);
    desktop::setCurrentDesktop(&desk_);  // the key sender types into it
    send::resetSendHooks();
    send::keySender().Init("[]");
    accounts::setAccountsListRegistration([this](int thread, int send, int url) {
        registrations_.push_back({thread, send, url});
    });
    frame_ = std::make_unique<QWidget>();
    auto& threads = ThreadRegistry::instance();
    threads.setFrame(frame_.get());
    threads.setFrameHandlers({{}, [this](int event) { frameEvents_.push_back(event); }, {}});
}

void AccountsTest::TearDown() {
    GuiTest::TearDown();
    accounts::setAccountsListRegistration({});
    accounts::setAccountsDesktop(nullptr);
    send::keySender().Kill();
    desktop::setCurrentDesktop(nullptr);
    frame_.reset();
    security::MasterCopy() = {};
}

int32_t AccountsTest::today() const {
    return runtime::today();
}

int AccountsTest::addFull(vault::PasRecord account) {
    const auto cats = categories();
    if (std::find(cats.begin(), cats.end(), account.Category) == cats.end())
        addCategory(account.Category);
    EXPECT_EQ(m_->catRelations.Open(), kLevelBenign);
    EXPECT_EQ(m_->pas.PrimeRecord(), kLevelBenign);
    const int id = m_->pasRecord->PAS_ID;
    account.PAS_ID = id;
    m_->pasRecord.record() = account;
    EXPECT_EQ(m_->pas.Insert(), kLevelBenign) << account.Description;
    m_->catRelations.Close();
    return id;
}

vault::PasRecord AccountsTest::stored(int id) {
    storage::Table t(vault::CVPAS());
    t.setOwner(vault::BuildVaultKey());
    vault::PasBuffer b;
    if (t.open(storage::kReadOnly | storage::kDenyNone) != 0) return {};
    b->PAS_ID = id;
    if (t.get(vault::pas::K_PAS_ID, b) != 0) return {};
    return b.record();
}

}  // namespace corvix::gui_test

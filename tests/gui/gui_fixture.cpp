#include "gui_fixture.h"

#include <unistd.h>

#include "platform/storage/table.h"
#include "vault/vault_key.h"

namespace corvix::gui_test {

using namespace corvix::framework;

namespace {

// One QApplication for the whole program, created before the first test.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_gui";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

void GuiTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / ("gui-" + std::to_string(::getpid()) + "-" +
                                                     info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    ThreadRegistry::instance().reset();
    previousPrompt_ = setPrompt(&prompt_);
    errors_ = std::make_unique<ErrorManager>();
    previousErrors_ = setErrorManager(errors_.get());
    setExitHook([this](int code) { exitCodes_.push_back(code); });
    settings_.Init("corvix.INI");
    previousSettings_ = setSettingsStore(&settings_);
    // Plain opens: the upgrade library's own checks are tested with it.
    setOpenFunction([](storage::Table& t, int mode) { return t.open(mode); });
    m_ = std::make_unique<VaultManagers>();
    setWindowOpenedHook([this](WindowManager& w) {
        openedNames_.push_back(w.procedure());
        for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
            if (it->first == w.procedure()) {
                auto script = std::move(it->second);
                scripts_.erase(it);
                script(w);
                return;
            }
        }
    });
}

void GuiTest::TearDown() {
    // Windows left open end now, before the managers they use go away.
    for (QWidget* w : QApplication::topLevelWidgets()) w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setWindowOpenedHook({});
    m_.reset();
    setOpenFunction({});
    setSettingsStore(previousSettings_);
    setExitHook({});
    setErrorManager(previousErrors_);
    errors_.reset();
    setPrompt(previousPrompt_);
    ThreadRegistry::instance().reset();
    std::filesystem::current_path(previousDir_);
    std::filesystem::remove_all(dir_);
    EXPECT_TRUE(exitCodes_.empty()) << "a fatal error ended the program";
}

void GuiTest::onOpen(const std::string& procedure, std::function<void(WindowManager&)> script) {
    scripts_.emplace_back(procedure, std::move(script));
}

int GuiTest::opened(const std::string& procedure) const {
    return static_cast<int>(std::count(openedNames_.begin(), openedNames_.end(), procedure));
}

void GuiTest::addCategory(const std::string& name) {
    ASSERT_EQ(m_->cat.Open(), kLevelBenign);
    m_->catRecord->Category = name;
    ASSERT_EQ(m_->cat.Insert(), kLevelBenign) << name;
    m_->cat.Close();
}

void GuiTest::addAccount(const std::string& category, const std::string& description) {
    // The accounts' category rule reads the categories: open both through the relation.
    ASSERT_EQ(m_->catRelations.Open(), kLevelBenign);
    ASSERT_EQ(m_->pas.PrimeRecord(), kLevelBenign);
    m_->pasRecord->Category = category;
    m_->pasRecord->Description = description;
    EXPECT_EQ(m_->pas.Insert(), kLevelBenign) << description;
    m_->catRelations.Close();
}

std::vector<std::string> GuiTest::categories() {
    std::vector<std::string> out;
    storage::Table t(vault::CVCAT());
    t.setOwner(vault::BuildVaultKey());
    if (t.open(storage::kReadOnly | storage::kDenyNone) != 0) return out;
    vault::CatBuffer b;
    t.set(vault::cat::K_Category);
    while (t.next(b) == 0) out.push_back(b->Category);
    return out;
}

std::vector<std::pair<std::string, std::string>> GuiTest::accounts() {
    std::vector<std::pair<std::string, std::string>> out;
    storage::Table t(vault::CVPAS());
    t.setOwner(vault::BuildVaultKey());
    if (t.open(storage::kReadOnly | storage::kDenyNone) != 0) return out;
    vault::PasBuffer b;
    t.set(vault::pas::K_Description);
    while (t.next(b) == 0) out.emplace_back(b->Description, b->Category);
    return out;
}

std::vector<std::string> GuiTest::titles() const {
    std::vector<std::string> t;
    for (const auto& a : prompt_.asked()) t.push_back(a.title);
    return t;
}

const ScriptedPrompt::Asked* GuiTest::lastAsked() const {
    return prompt_.asked().empty() ? nullptr : &prompt_.asked().back();
}

void type(QWidget* w, const QString& text) {
    w->setFocus();
    QTest::keyClicks(w, text);
}

}  // namespace corvix::gui_test

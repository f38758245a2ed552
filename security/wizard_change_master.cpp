#include "security/wizard_change_master.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/vault_managers.h"
#include "security/password_change.h"
#include "security/session.h"
#include "security/stored_master.h"

namespace corvix::security {

using namespace corvix::framework;

namespace {
// The lines about the current password, left out while logged on.
constexpr int kCurrentLineFirst = 1;
constexpr int kCurrentLineLast = 2;
}  // namespace

Wizard_ChangeMasterPassword::Wizard_ChangeMasterPassword(VaultManagers& managers)
    : FormManager("Wizard:ChangeMasterPassword"), m_(managers), table_(managers.masRelations) {}

Wizard_ChangeMasterPassword::~Wizard_ChangeMasterPassword() = default;

int runWizardChangeMasterPassword() {
    Wizard_ChangeMasterPassword wizard(vaultManagers());
    return wizard.run();
}

int Wizard_ChangeMasterPassword::build() {
    request = openMasterForForm(m_);
    if (request == kNoRequest) return kLevelFatal;
    masterOpen_ = true;
    openingRequest = request;

    auto* dialog = new QDialog;
    dialog->setObjectName("Master Password");
    dialog->setWindowTitle(kChangeMasterTitle);
    auto* layout = new QVBoxLayout(dialog);
    auto* sheet = new QTabWidget(dialog);
    auto* basic = new QWidget;
    auto* text = new QVBoxLayout(basic);
    const bool loggedOn = LoggedOn();
    const char* lines[] = {
        "This process allows you to set (or change) your master password.",
        "You will be asked for your current master password, if it has already",
        "been set.",
        loggedOn ? "You will be asked to enter your new master password twice."
                 : "You will then be asked to enter your new master password twice.",
        "If you do not wish to use a master password, simply press the OK",
        "button without entering a password.",
    };
    for (const char* line : lines) {
        auto* label = new QLabel(line, basic);
        text->addWidget(label);
        lines_.push_back(label);
    }
    for (int i = kCurrentLineFirst; i <= kCurrentLineLast; ++i) lines_[i]->setVisible(!loggedOn);
    text->addSpacing(8);
    text->addWidget(new QLabel("You have chosen that the master password be stored as:", basic));
    medium_ = new QLabel(basic);
    medium_->setObjectName("Medium");
    text->addWidget(medium_);
    text->addSpacing(8);
    text->addWidget(new QLabel("Press CONTINUE to begin, or CANCEL to cancel.", basic));
    text->addStretch(1);
    sheet->addTab(basic, "Basic");
    layout->addWidget(sheet, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    continue_ = new QPushButton("C&ontinue", dialog);
    cancel_ = new QPushButton("Cancel", dialog);
    help_ = new QPushButton("Help", dialog);
    for (QPushButton* b : {continue_.data(), cancel_.data(), help_.data()}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    setWindow(dialog);

    primary = &table_;
    updateFiles = {&table_.record()};
    items.push_back({cancel_.data(), kRequestCancelled});
    okControl = continue_.data();
    firstField = continue_.data();
    return kLevelBenign;
}

void Wizard_ChangeMasterPassword::setupWindow() {
    medium_->setText(m_.masRecord->UseMasterPasswordImage
                         ? "An encrypted recording of mouse-clicks on a selected image."
                         : "Standard encrypted text.");
    window()->adjustSize();
}

QStringList Wizard_ChangeMasterPassword::shownLines() const {
    QStringList out;
    for (QLabel* l : lines_)
        if (!l->isHidden()) out << l->text();
    return out;
}

bool Wizard_ChangeMasterPassword::takeAccepted(QWidget* control) {
    if (control != continue_) return FormManager::takeAccepted(control);
    vault::MasRecord& record = m_.masRecord.record();
    if (!changeMasterPassword(record, LoggedOn())) {
        cancel_->setFocus();
        return true;
    }
    if (required.check()) return true;
    MasterCopy() = record;
    pressOk();
    return true;
}

void Wizard_ChangeMasterPassword::kill() {
    FormManager::kill();
    if (masterOpen_) m_.mas.Close();
    masterOpen_ = false;
    reloadMasterCopy();
}

}  // namespace corvix::security

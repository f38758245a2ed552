#include "security/wizard_setup.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/vault_managers.h"
#include "runtime/date.h"
#include "security/select_cvgsd.h"
#include "security/session.h"
#include "security/stored_master.h"
#include "security/theme_source.h"
#include "vault/access.h"
#include "vault/prime.h"

namespace corvix::security {

using namespace corvix::framework;
namespace mas = vault::mas;

namespace {

constexpr const char* kProcedure = "Wizard:Setup";

std::function<void()>& closeDownHook() {
    static std::function<void()> f;
    return f;
}

std::function<void()>& completedHook() {
    static std::function<void()> f;
    return f;
}

std::function<QString(QWidget*)>& soundChooser() {
    static std::function<QString(QWidget*)> f;
    return f;
}

QString defaultSoundChooser(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, "Select Sound", QString(),
                                        "WAV Files (*.WAV *.wav)");
}

QLineEdit* entry(QWidget* parent, int chars, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(chars);
    return e;
}

}  // namespace

void setFirstSetupCancelled(std::function<void()> closeDown) {
    closeDownHook() = std::move(closeDown);
}

void setFirstSetupCompleted(std::function<void()> completed) {
    completedHook() = std::move(completed);
}

void Wizard_Setup::setSoundFileChooser(std::function<QString(QWidget*)> chooser) {
    soundChooser() = std::move(chooser);
}

int startWizardSetup() {
    auto* wizard = new Wizard_Setup(vaultManagers());
    return wizard->start();
}

Wizard_Setup::Wizard_Setup(VaultManagers& managers)
    : FormManager(kProcedure), m_(managers), table_(managers.masRelations) {}

Wizard_Setup::~Wizard_Setup() = default;

QPushButton* Wizard_Setup::button(const QString& text) const {
    if (!window()) return nullptr;
    for (QPushButton* b : window()->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

QWidget* Wizard_Setup::page(QWidget* parent, QTabWidget* pages, const char* title) {
    auto* p = new QWidget(parent);
    p->setObjectName(title);
    pages->addTab(p, title);
    return p;
}

int Wizard_Setup::build() {
    // Preferences and Change Settings open the one wizard.
    if (!claimSingleInstance()) return kLevelNotify;
    // The form changes the master record when there is one, otherwise it inserts it.
    request = openMasterForForm(m_);
    if (request == kNoRequest) return kLevelFatal;
    masterOpen_ = true;
    openingRequest = request;
    const bool exists = request == kChangeRecord;

    // A plain window in the frame: it ends through OK or Cancel, never by a dialog's Escape.
    auto* dialog = new QWidget;
    dialog->setObjectName("Wizard:Setup");
    dialog->setWindowTitle(exists ? kSetupChangeTitle : kSetupNewTitle);
    auto* layout = new QVBoxLayout(dialog);
    pages_ = new QTabWidget(dialog);
    pages_->tabBar()->hide();  // a wizard: Back and Next move between the pages
    auto* welcome = page(dialog, pages_, "Welcome");
    auto* welcomeText = new QLabel(
        "Welcome to Halden Corvix.\n\n"
        "This wizard sets up how Corvix guards and shows your password accounts:\n"
        "whether passwords are shown, how the master password is given (typed, or\n"
        "by clicking on a picture), when Corvix logs you off by itself, the captions\n"
        "of the custom account fields, and sounds.\n\n"
        "Press Next to begin.",
        welcome);
    (new QVBoxLayout(welcome))->addWidget(welcomeText);
    buildBasic(page(dialog, pages_, "Basic"));
    buildInactivity(page(dialog, pages_, "Inactivity"));
    buildCustom(page(dialog, pages_, "Custom Fields"));
    buildSound(page(dialog, pages_, "Sound"));
    layout->addWidget(pages_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    back_ = new QPushButton("&Back", dialog);
    next_ = new QPushButton("&Next", dialog);
    ok_ = new QPushButton("&OK", dialog);
    cancel_ = new QPushButton("Cancel", dialog);
    help_ = new QPushButton("Help", dialog);
    for (QPushButton* b : {back_.data(), next_.data(), ok_.data(), cancel_.data(), help_.data()}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    setWindow(dialog);

    primary = &table_;
    updateFiles = {&table_.record()};
    cancelAction = 0;  // a changed wizard asks "Are you sure you want to cancel?"
    bind(reveal_, mas::RevealPasswords);
    bind(image_, mas::UseMasterPasswordImage);
    bind(monitor_, mas::MonitorInactivity);
    for (int i = 0; i < 3; ++i) bind(custom_[i], mas::Custom1 + i);
    bind(sounds_, mas::PlaySounds);
    for (int i = 0; i < 3; ++i) bind(soundEntries_[i], mas::Sound_Click + i);
    items.push_back({cancel_.data(), kRequestCancelled});
    okControl = ok_.data();
    firstField = next_.data();
    return kLevelBenign;
}

void Wizard_Setup::buildBasic(QWidget* p) {
    auto* l = new QVBoxLayout(p);
    reveal_ = new QCheckBox("&Show passwords wherever they are displayed", p);
    image_ = new QCheckBox("&Use an image theme for master password entry", p);
    auto* row = new QHBoxLayout;
    theme_ = new QPushButton("&Select theme to use", p);
    themeText_ = new QLabel(p);
    themeText_->setObjectName("ThemeDescription");
    themeText_->setFocusPolicy(Qt::StrongFocus);
    themeText_->setMinimumWidth(themeText_->fontMetrics().averageCharWidth() * 40);
    row->addWidget(theme_);
    row->addWidget(themeText_, 1);
    l->addWidget(reveal_);
    l->addWidget(image_);
    l->addLayout(row);
    l->addStretch(1);
    QObject::connect(image_, &QCheckBox::toggled, this, [this] { applyEnabling(); });
}

void Wizard_Setup::buildInactivity(QWidget* p) {
    auto* l = new QVBoxLayout(p);
    monitor_ = new QCheckBox("&Monitor for inactivity", p);
    auto* row = new QHBoxLayout;
    timeout_ = entry(p, 4, "MAS:InactivityTimeout");
    timeout_->setValidator(new QIntValidator(0, 9999, timeout_));
    timeout_->setMaximumWidth(timeout_->fontMetrics().averageCharWidth() * 8);
    row->addWidget(new QLabel("Log off if left idle for", p));
    row->addWidget(timeout_);
    row->addWidget(new QLabel("minutes", p));
    row->addStretch(1);
    l->addWidget(monitor_);
    l->addLayout(row);
    l->addStretch(1);
    QObject::connect(monitor_, &QCheckBox::toggled, this, [this] { applyEnabling(); });
}

void Wizard_Setup::buildCustom(QWidget* p) {
    auto* g = new QGridLayout(p);
    const char* labels[3] = {"Label for custom field #&1:", "#&2:", "#&3:"};
    const char* names[3] = {"MAS:Custom1", "MAS:Custom2", "MAS:Custom3"};
    for (int i = 0; i < 3; ++i) {
        custom_[i] = entry(p, 20, names[i]);
        auto* label = new QLabel(labels[i], p);
        label->setBuddy(custom_[i]);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->addWidget(label, i, 0);
        g->addWidget(custom_[i], i, 1);
    }
    g->setRowStretch(3, 1);
}

void Wizard_Setup::buildSound(QWidget* p) {
    auto* l = new QVBoxLayout(p);
    sounds_ = new QCheckBox("Play sounds for events", p);
    l->addWidget(sounds_);
    soundGroup_ = new QWidget(p);
    soundGroup_->setObjectName("SoundGroup");
    auto* g = new QGridLayout(soundGroup_);
    const char* labels[3] = {
        "Sound to play when image button pressed:", "Sound to play when password action executed:",
        "Sound to play for all other events:"};
    const char* names[3] = {"MAS:Sound:Click", "MAS:Sound:Send", "MAS:Sound:Other"};
    const int sizes[3] = {255, 255, 20};
    for (int i = 0; i < 3; ++i) {
        soundEntries_[i] = entry(soundGroup_, sizes[i], names[i]);
        soundButtons_[i] = new QPushButton("...", soundGroup_);
        soundButtons_[i]->setAutoDefault(false);
        soundButtons_[i]->setMaximumWidth(soundButtons_[i]->fontMetrics().averageCharWidth() * 6);
        g->addWidget(new QLabel(labels[i], soundGroup_), 2 * i, 0, 1, 2);
        g->addWidget(soundEntries_[i], 2 * i + 1, 0);
        g->addWidget(soundButtons_[i], 2 * i + 1, 1);
    }
    l->addWidget(soundGroup_);
    l->addStretch(1);
    QObject::connect(sounds_, &QCheckBox::toggled, this, [this] { applyEnabling(); });
}

void Wizard_Setup::primeFields() {
    vault::primeNewVaultMaster(m_.masRecord.record(), runtime::today());
}

void Wizard_Setup::setupWindow() {
    opening_ = openingOf(m_.masRecord.record(), request == kInsertRecord, request);
    if (!opening_.isNew) pages_->removeTab(0);  // the welcome is for a new vault only
    timeout_->setText(QString::number(m_.masRecord->InactivityTimeout));
    required.setup(window(), "Missing Information", "@PROMPT must be entered.", false);
    applyEnabling();
    showThemeDescription();
    movePage(0);
    window()->adjustSize();
}

void Wizard_Setup::applyEnabling() {
    theme_->setEnabled(image_->isChecked());
    themeText_->setEnabled(image_->isChecked());
    timeout_->setEnabled(monitor_->isChecked());
    soundGroup_->setEnabled(sounds_->isChecked());
}

void Wizard_Setup::showThemeDescription() {
    std::optional<vault::GsdRecord> theme = findTheme(m_.masRecord->GSD_ID);
    themeText_->setText(theme ? QString::fromStdString(theme->Description) : QString());
}

void Wizard_Setup::chooseTheme() {
    if (select_cvgsd(m_, m_.masRecord->GSD_ID) != kRequestCompleted) return;
    m_.masRecord->GSD_ID = m_.gsdRecord->GSD_ID;
    showThemeDescription();
    themeText_->setFocus();
}

void Wizard_Setup::chooseSound(int i) {
    const QString path = (soundChooser() ? soundChooser() : defaultSoundChooser)(window());
    if (path.isEmpty()) return;
    soundEntries_[i]->setText(path);  // the entry's length cuts it to the field's size
    soundEntries_[i]->setModified(true);
}

void Wizard_Setup::movePage(int step) {
    const int to = std::clamp(pages_->currentIndex() + step, 0, pages_->count() - 1);
    pages_->setCurrentIndex(to);
    back_->setEnabled(to > 0);
    next_->setEnabled(to < pages_->count() - 1);
}

bool Wizard_Setup::takeAccepted(QWidget* control) {
    if (control == ok_) {
        ok();
    } else if (control == back_) {
        movePage(-1);
    } else if (control == next_) {
        movePage(1);
    } else if (control == theme_) {
        chooseTheme();
    } else {
        for (int i = 0; i < 3; ++i)
            if (control == soundButtons_[i]) chooseSound(i);
        return FormManager::takeAccepted(control);
    }
    return true;
}

void Wizard_Setup::ok() {
    collect();
    m_.masRecord->InactivityTimeout = timeout_->text().trimmed().toInt();
    if (required.check()) return;
    switch (completeSetup(m_.masRecord.record(), opening_, request)) {
        case SetupVerdict::NoTheme:
            theme_->setFocus();
            return;
        case SetupVerdict::PasswordNotSet:
            cancel_->setFocus();
            return;
        case SetupVerdict::Completed:
            break;
    }
    pressOk();  // the form saves the record and closes
}

void Wizard_Setup::kill() {
    const bool firstSetUp = opening_.isNew;
    const bool saved = response == kRequestCompleted;
    FormManager::kill();
    if (masterOpen_) m_.mas.Close();
    masterOpen_ = false;
    reloadMasterCopy();
    if (!firstSetUp) return;
    if (saved) {
        // Accounts start in the default category: a new vault gets it with its settings.
        storage::Table categories(vault::CVCAT());
        if (vault::openTable(categories) == 0) vault::ensureDefaultCategory(categories);
        if (completedHook()) completedHook()();
    } else if (closeDownHook()) {
        closeDownHook()();  // the very first set-up was cancelled: the program ends
    }
}

}  // namespace corvix::security

#include "security/wizard_generate_password.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/prompt.h"
#include "framework/secret_clipboard.h"
#include "framework/vault_managers.h"
#include "security/password_generator.h"
#include "security/wizard_frame.h"

namespace corvix::security {

namespace {

QLabel* introLine(const char* text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

}  // namespace

Wizard_GeneratePassword::Wizard_GeneratePassword() : WindowManager("Wizard:GeneratePassword") {}

int Wizard_GeneratePassword::init() {
    WizardFrame f = makeWizardFrame("Wizard_GeneratePassword", "Generate Password");
    QWidget* page = f.page;
    QVBoxLayout* pageLayout = f.pageLayout;
    for (const char* line :
         {"This wizard allows you to easily generate a unique password.  Once it has",
          "been generated, a copy will be placed on the clipboard so that you may",
          "paste it wherever you need to."})
        pageLayout->addWidget(introLine(line, page));

    auto* typeBox = new QGroupBox("Password Type", page);
    auto* typeLayout = new QVBoxLayout(typeBox);
    typeGroup_ = new QButtonGroup(typeBox);
    const std::pair<const char*, const char*> types[] = {
        {"Wor&d", kTypeWord},
        {"&Concatenated Words", kTypeConcatenatedWords},
        {"&Alphabet Only", kTypeAlphabetOnly},
        {"Alpha&numeric", kTypeAlphanumeric},
        {"A&ll Characters", kTypeAllCharacters},
    };
    for (const auto& [text, value] : types) {
        auto* r = new QRadioButton(text, typeBox);
        r->setObjectName(value);
        typeGroup_->addButton(r);
        typeLayout->addWidget(r);
        types_[value] = r;
        QObject::connect(r, &QRadioButton::toggled, this, [this] { applyDependentControls(); });
    }
    pageLayout->addWidget(typeBox);

    auto* sizeRow = new QHBoxLayout;
    auto* sizeLabel = new QLabel("&Size:", page);
    size_ = new QLineEdit("6", page);
    size_->setObjectName("Size");
    size_->setMaxLength(3);
    size_->setValidator(new QIntValidator(0, 999, size_));
    size_->setMaximumWidth(size_->fontMetrics().averageCharWidth() * 6);
    sizeLabel->setBuddy(size_);
    sizeRow->addWidget(sizeLabel);
    sizeRow->addWidget(size_);
    sizeRow->addWidget(new QLabel("characters", page));
    sizeRow->addStretch(1);
    pageLayout->addLayout(sizeRow);

    concatGroup_ = new QGroupBox("Type Of Concatenation", page);
    auto* joinLayout = new QHBoxLayout(concatGroup_);
    auto* joinGroup = new QButtonGroup(concatGroup_);
    const std::pair<const char*, const char*> joins[] = {
        {"&Plus Sign", kJoinPlusSign}, {"H&yphen", kJoinHyphen}, {"&Number", kJoinNumber}};
    for (const auto& [text, value] : joins) {
        auto* r = new QRadioButton(text, concatGroup_);
        r->setObjectName(value);
        joinGroup->addButton(r);
        joinLayout->addWidget(r);
        joins_[value] = r;
    }
    pageLayout->addWidget(concatGroup_);
    ok_ = f.ok;
    setWindow(f.window);

    types_[kTypeAlphanumeric]->setChecked(true);
    applyDependentControls();
    firstField = types_[kTypeAlphanumeric].data();
    okControl = ok_.data();
    items.push_back({f.cancel, framework::kRequestCancelled});

    framework::vaultManagers().wrd.Open();
    tableOpen_ = true;
    return WindowManager::init();
}

void Wizard_GeneratePassword::kill() {
    if (tableOpen_) framework::vaultManagers().wrd.Close();
    tableOpen_ = false;
}

std::string Wizard_GeneratePassword::type() const {
    for (const auto& [value, r] : types_)
        if (r && r->isChecked()) return value;
    return {};
}

void Wizard_GeneratePassword::setType(const std::string& type) {
    if (type.empty()) {
        typeGroup_->setExclusive(false);
        for (auto& [value, r] : types_) r->setChecked(false);
        typeGroup_->setExclusive(true);
    } else if (auto it = types_.find(type); it != types_.end()) {
        it->second->setChecked(true);
    }
    applyDependentControls();
}

std::string Wizard_GeneratePassword::concatenation() const {
    for (const auto& [value, r] : joins_)
        if (r && r->isChecked()) return value;
    return {};
}

// The size is for every type but concatenated words; the separator only for those.
void Wizard_GeneratePassword::applyDependentControls() {
    if (!size_ || !concatGroup_) return;
    const bool words = type() == kTypeConcatenatedWords;
    size_->setEnabled(!words);
    concatGroup_->setEnabled(words);
}

bool Wizard_GeneratePassword::takeAccepted(QWidget* control) {
    if (control != ok_) return false;
    generate();
    return true;
}

void Wizard_GeneratePassword::generate() {
    PasswordRequest request;
    request.type = type();
    request.size = size_->text().toInt();
    request.concatenation = concatenation();

    framework::FileManager& wrd = framework::vaultManagers().wrd;
    storage::Table* table = nullptr;
    if (request.type == kTypeWord || request.type == kTypeConcatenatedWords)
        table = wrd.TryUse();  // a word list that cannot be read counts as empty
    wrd.ClearPending();
    std::unique_ptr<TableWords> words = table ? std::make_unique<TableWords>(*table) : nullptr;
    GeneratedPassword made = generatePassword(request, words.get());

    auto& p = framework::prompt();
    switch (made.status) {
        case GenerateStatus::SizeTooLarge:
            p.ask("Generate Password", "The size can be at most 128 characters.",
                  framework::Icon::Exclamation, framework::kButtonOk, framework::kButtonOk);
            [[fallthrough]];
        case GenerateStatus::SizeMissing:
            size_->setFocus();
            size_->selectAll();
            return;
        case GenerateStatus::TypeMissing:
            types_[kTypeWord]->setFocus();
            return;
        case GenerateStatus::Done:
            break;
    }
    if (made.noWordOfSize)
        p.ask("Warning", kNoWordOfSize, framework::Icon::Exclamation, framework::kButtonOk,
              framework::kButtonOk);
    framework::copySecretToClipboard(made.password);
    ::runtime::Secret message = generatedMessage(made.password);
    p.ask("Generation Complete", std::string(message.view()), framework::Icon::Information,
          framework::kButtonOk, framework::kButtonOk);
    response = framework::kRequestCompleted;
    endWindow();
}

int startGeneratePassword() {
    return (new Wizard_GeneratePassword)->start();
}

}  // namespace corvix::security

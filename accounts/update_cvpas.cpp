#include "accounts/update_cvpas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "accounts/account_rules.h"
#include "accounts/accounts_context.h"
#include "accounts/browse_cvcat.h"
#include "accounts/calendar.h"
#include "accounts/category_completion.h"
#include "accounts/window_lists.h"
#include "framework/error_manager.h"
#include "framework/relation_manager.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "security/session.h"
#include "send/windows.h"
#include "vault/tables.h"

namespace corvix::accounts {

using namespace corvix::framework;
namespace pas = vault::pas;

const char* const kAppendModifiers = "|Ctrl|Alt|Shift|CtrlAlt|CtrlShift|AltShift";
const char* const kAppendKeys =
    "a|b|c|d|e|f|g|h|i|j|k|l|m|n|o|p|q|r|s|t|u|v|w|x|y|z|BS|DELETE|DOWN|END|ENTER|ESC|F1|F2|F3|"
    "F4|F5|F6|F7|F8|F9|F10|F11|F12|HOME|INSERT|LEFT|PGDN|PGUP|PLUS|PRINT|RIGHT|SLASH|SPACE|TAB|UP";
const char* const kAppendValues =
    "NAME|PASSWORD|URL|CATEGORY|DESCRIPTION|CUSTOM1|CUSTOM2|CUSTOM3|NOTES";

namespace {

DocumentPicker& picker() {
    static DocumentPicker p;
    return p;
}

QComboBox* dropList(QWidget* parent, const char* items) {
    auto* c = new QComboBox(parent);
    c->addItems(QString(items).split('|'));
    return c;
}

QLineEdit* lineEntry(QWidget* parent, const char* name, int chars, const char* tip) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(chars);
    e->setToolTip(tip);
    e->setStatusTip(tip);
    return e;
}

QLabel* promptFor(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, buddy->parentWidget());
    l->setBuddy(buddy);
    return l;
}

}  // namespace

void setDocumentPicker(DocumentPicker p) {
    picker() = std::move(p);
}

QString pickDocument(QWidget* parent, const QString& title, const QString& filters) {
    if (picker()) return picker()(parent, title, filters);
    return QFileDialog::getOpenFileName(parent, title, QString(), filters);
}

UpdateCVPAS::UpdateCVPAS(RelationManager& accounts, RelationManager& categories)
    : FormManager("UpdateCVPAS"), table_(accounts), accounts_(accounts), categories_(categories) {}

UpdateCVPAS::~UpdateCVPAS() = default;

QString UpdateCVPAS::viewTitle() {
    const QString change = kChangeTitle;
    return "View" + change.mid(change.indexOf(' '));
}

QWidget* UpdateCVPAS::basicTab() {
    auto* page = new QWidget;
    auto* form = new QGridLayout(page);
    category_ = lineEntry(page, "PAS:Category", 30, "Category of account");
    categoryLookup_ = new QPushButton("...", page);
    categoryLookup_->setToolTip("Select Category of account");
    categoryLookup_->setStatusTip("Select Category of account");
    description_ = lineEntry(page, "PAS:Description", 60, "Description of password entry");
    name_ = lineEntry(page, "PAS:Name", 128, "Name used on this account (optional)");
    password_ = lineEntry(page, "PAS:Password", 128, "Password used on this account");
    if (security::MasterCopy().RevealPasswords == 0) password_->setEchoMode(QLineEdit::Password);
    url_ =
        lineEntry(page, "PAS:URL", 255, "Internet address associated with this account (optional)");
    document_ = new QPushButton("...", page);
    document_->setObjectName("Document");
    const std::pair<const char*, QLineEdit*> rows[] = {{"&Category:", category_},
                                                       {"&Description:", description_},
                                                       {"&Name:", name_},
                                                       {"&Password:", password_},
                                                       {"&URL/Document:", url_}};
    int r = 0;
    for (const auto& [text, entry] : rows) {
        form->addWidget(promptFor(text, entry), r, 0);
        form->addWidget(entry, r, 1);
        ++r;
    }
    form->addWidget(categoryLookup_, 0, 2);
    form->addWidget(document_, 4, 2);
    form->setRowStretch(r, 1);
    return page;
}

QWidget* UpdateCVPAS::customTab() {
    auto* page = new QWidget;
    auto* form = new QGridLayout(page);
    const char* tips[] = {"Custom data field #1", "Custom data field #2", "Custom data field #3"};
    const char* prompts[] = {"&Custom 1:", "Custom 2:", "Custom 3:"};
    for (int i = 0; i < 3; ++i) {
        custom_[i] = lineEntry(page, ("PAS:Custom" + std::to_string(i + 1)).c_str(), 128, tips[i]);
        customPrompt_[i] = promptFor(prompts[i], custom_[i]);
        form->addWidget(customPrompt_[i], i, 0);
        form->addWidget(custom_[i], i, 1);
    }
    notes_ = new QPlainTextEdit(page);
    notes_->setObjectName("PAS:Notes");
    form->addWidget(promptFor("No&tes:", notes_), 3, 0, Qt::AlignTop);
    form->addWidget(notes_, 3, 1);
    return page;
}

QWidget* UpdateCVPAS::interactionTab() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    target_ = new QComboBox(page);
    target_->setObjectName("PAS:TargetWindow");
    target_->setEditable(true);
    target_->setInsertPolicy(QComboBox::NoInsert);
    target_->lineEdit()->setMaxLength(128);
    target_->setToolTip("Target this window title when sending text or monitoring");
    requiredText_ = new QComboBox(page);
    requiredText_->setObjectName("PAS:TargetWindowText");
    requiredText_->setEditable(true);
    requiredText_->setInsertPolicy(QComboBox::NoInsert);
    requiredText_->lineEdit()->setMaxLength(60);
    requiredText_->setToolTip("Text a window must contain in order to be confirmed as the target");
    action_ =
        lineEntry(page, "PAS:Action", 255, "Text or key presses to send to the target window");
    layout->addWidget(promptFor("&Target window:", target_), 0, 0);
    layout->addWidget(target_, 0, 1);
    layout->addWidget(promptFor("Required te&xt:", requiredText_), 1, 0);
    layout->addWidget(requiredText_, 1, 1);
    layout->addWidget(promptFor("&Send:", action_), 2, 0);
    layout->addWidget(action_, 2, 1);

    auto* group = new QGroupBox("Action", page);
    auto* groupRow = new QHBoxLayout(group);
    auto* keyGroup = new QGroupBox("Key Code", group);
    auto* keyRow = new QHBoxLayout(keyGroup);
    modifier_ = dropList(keyGroup, kAppendModifiers);
    modifier_->setObjectName("Modifier");
    key_ = dropList(keyGroup, kAppendKeys);
    key_->setObjectName("Key");
    appendKey_ = new QPushButton("&Append", keyGroup);
    keyRow->addWidget(modifier_);
    keyRow->addWidget(key_);
    keyRow->addWidget(appendKey_);
    auto* valueGroup = new QGroupBox("Value", group);
    auto* valueRow = new QHBoxLayout(valueGroup);
    value_ = dropList(valueGroup, kAppendValues);
    value_->setObjectName("Value");
    appendValue_ = new QPushButton("A&ppend", valueGroup);
    valueRow->addWidget(value_);
    valueRow->addWidget(appendValue_);
    groupRow->addWidget(keyGroup);
    groupRow->addWidget(valueGroup);
    layout->addWidget(group, 3, 0, 1, 2);

    watch_ = new QCheckBox("&Watch", page);
    watch_->setObjectName("PAS:Watch");
    watch_->setToolTip("Watch for the target window and automatically send (true/false)");
    wait_ = new QSpinBox(page);
    wait_->setObjectName("PAS:Wait");
    wait_->setRange(0, 99);
    wait_->setToolTip("Wait for a period after target window appears before action taken");
    auto* waitRow = new QHBoxLayout;
    waitRow->addWidget(watch_);
    waitRow->addWidget(promptFor("- number of seconds to wait before acting:", wait_));
    waitRow->addWidget(wait_);
    waitRow->addStretch(1);
    layout->addLayout(waitRow, 4, 0, 1, 2);
    layout->setRowStretch(5, 1);
    return page;
}

QWidget* UpdateCVPAS::expiryTab() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    lastChanged_ = new QLabel(page);
    lastChanged_->setObjectName("PAS:LastChange");
    expires_ = lineEntry(page, "PAS:Expires", 20, "Date the password on this account expires");
    calendar_ = new QPushButton("...", page);
    calendar_->setObjectName("Calendar");
    interval_ = new QSpinBox(page);
    interval_->setObjectName("PAS:ExpiryInterval");
    interval_->setRange(0, 999);
    interval_->setToolTip("The password on this account expires every n days");
    layout->addWidget(new QLabel("Last changed:", page), 0, 0);
    layout->addWidget(lastChanged_, 0, 1);
    layout->addWidget(promptFor("&Expires:", expires_), 1, 0);
    layout->addWidget(expires_, 1, 1);
    layout->addWidget(calendar_, 1, 2);
    layout->addWidget(promptFor("Expiry &interval:", interval_), 2, 0);
    layout->addWidget(interval_, 2, 1);
    layout->addWidget(new QLabel("days", page), 2, 2);
    layout->setRowStretch(3, 1);
    return page;
}

int UpdateCVPAS::build() {
    auto& reg = ThreadRegistry::instance();
    // A select request, or a browse asking to view, opens the form read-only.
    if (request == kSelectRecord || reg.viewRequests != 0) {
        viewMode_ = true;
        request = kChangeRecord;
    }
    auto* dialog = new QDialog;
    dialog->setObjectName("UpdateCVPAS");
    auto* layout = new QVBoxLayout(dialog);
    sheet_ = new QTabWidget(dialog);
    sheet_->addTab(basicTab(), "Basic");
    sheet_->addTab(customTab(), "Notes/Custom");
    sheet_->addTab(interactionTab(), "Interaction");
    sheet_->addTab(expiryTab(), "Expiry");
    layout->addWidget(sheet_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton("&OK", dialog);
    cancel_ = new QPushButton("Cancel", dialog);
    help_ = new QPushButton("Help", dialog);
    for (QPushButton* b : {ok_.data(), cancel_.data(), help_.data()}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    ok_->setDefault(true);
    layout->addLayout(buttons);
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) b->setAutoDefault(false);
    ok_->setDefault(true);

    const char* title = request == kInsertRecord ? kInsertTitle : kChangeTitle;
    dialog->setWindowTitle(viewMode_ ? viewTitle() : QString(title));
    setWindow(dialog);

    primary = &table_;
    updateFiles = {&table_.record()};
    historyKey = kDittoKey;
    const std::pair<QWidget*, int> fields[] = {
        {category_, pas::Category},
        {description_, pas::Description},
        {name_, pas::Name},
        {password_, pas::Password},
        {url_, pas::URL},
        {custom_[0], pas::Custom1},
        {custom_[1], pas::Custom2},
        {custom_[2], pas::Custom3},
        {notes_, pas::Notes},
        {target_, pas::TargetWindow},
        {requiredText_, pas::TargetWindowText},
        {action_, pas::Action},
        {watch_, pas::Watch},
        {wait_, pas::Wait},
        {expires_, pas::Expires},
        {interval_, pas::ExpiryInterval},
    };
    for (const auto& [control, field] : fields) {
        bind(control, field);
        addHistoryField(control, field);
        dataControls_.push_back(control);
    }
    const std::vector<QWidget*> buttons_and_lists = {
        categoryLookup_.data(), document_.data(),  modifier_.data(),    key_.data(),
        value_.data(),          appendKey_.data(), appendValue_.data(), calendar_.data()};
    for (QWidget* w : buttons_and_lists) dataControls_.push_back(w);
    firstField = category_.data();
    items.push_back({cancel_.data(), kRequestCancelled});
    okControl = ok_.data();

    // The window lists follow the target pattern as the user enters and leaves it.
    for (QComboBox* combo : {target_.data(), requiredText_.data()}) combo->installEventFilter(this);
    connect(target_.data(), &QComboBox::activated, this, [this] { refreshWindowLists(); });
    connect(target_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { refreshWindowLists(); });
    return kLevelBenign;
}

void UpdateCVPAS::primeFields() {
    // A new account targets the window the user worked in before coming here.
    const std::string title = lastForeignTitle();
    if (!title.empty()) table_.record().set(pas::TargetWindow, title);
}

void UpdateCVPAS::setupWindow() {
    storage::RecordBuffer& rec = table_.record();
    openingPassword_.assign(runtime::rightTrim(rec.getString(pas::Password)));
    const vault::MasRecord& master = security::MasterCopy();
    const std::string labels[] = {master.Custom1, master.Custom2, master.Custom3};
    for (int i = 0; i < 3; ++i)
        customPrompt_[i]->setText(QString::fromStdString(runtime::rightTrim(labels[i])));
    required.setup(window(), "Missing Information", "@PROMPT must be entered.", false);
    new CategoryCompletion(category_, [this](const std::string& prefix) {
        return completeCategory(categories_.File(), prefix);
    });
    showLastChanged();
    applyViewMode();
    window()->adjustSize();
}

void UpdateCVPAS::showLastChanged() {
    lastChanged_->setText(QString::fromStdString(
        runtime::formatPicture(table_.record().getInt(pas::LastChange), "@d17")));
}

void UpdateCVPAS::applyViewMode() {
    if (!viewMode_) return;
    for (const auto& w : dataControls_)
        if (w) w->setEnabled(false);
    ok_->hide();
    ok_->setEnabled(false);
    cancel_->setText("Cl&ose");
    cancel_->setIcon(cancel_->style()->standardIcon(QStyle::SP_DialogCloseButton));
}

void UpdateCVPAS::reset() {
    refreshWindowLists();
    applyViewMode();
    if (calendar_ && expires_) calendar_->setEnabled(expires_->isEnabled());
}

void UpdateCVPAS::refreshWindowLists() {
    fillWindowLists(target_, requiredText_);
}

bool UpdateCVPAS::beforeSave() {
    storage::RecordBuffer& rec = table_.record();
    const std::string password = runtime::rightTrim(rec.getString(pas::Password));
    const bool changedPassword = !openingPassword_.equals(password);
    ExpiryDates dates{static_cast<int32_t>(rec.getInt(pas::LastChange)),
                      static_cast<int32_t>(rec.getInt(pas::Expires))};
    dates = applyExpiryRule(dates, static_cast<int32_t>(rec.getInt(pas::ExpiryInterval)),
                            changedPassword, runtime::today());
    rec.set(pas::LastChange, int64_t{dates.lastChange});
    rec.set(pas::Expires, int64_t{dates.expires});
    showLastChanged();
    return true;
}

void UpdateCVPAS::selectCategory() {
    if (selectCategoryFromList(categories_, category_)) return;
    category_->setFocus();
}

void UpdateCVPAS::validateCategory() {
    storage::RecordBuffer& rec = table_.record();
    rec.set(pas::Category, category_->text().toStdString());
    FileManager& cats = categories_.File();
    cats.Open();
    cats.Buffer().set(vault::cat::Category, rec.getString(pas::Category));
    const bool exists = cats.TryFetch(vault::cat::K_Category) == kLevelBenign;
    cats.ClearPending();
    cats.Close();
    if (!exists) {
        if (!selectCategoryFromList(categories_, category_)) {
            category_->setFocus();
            return;
        }
        rec.set(pas::Category, category_->text().toStdString());
    }
    category_->setModified(false);
    reset();
    // The table's own rule: the category must exist (message 14).
    if (accounts_.File().ValidateField(pas::Category) != kLevelBenign) category_->setFocus();
}

bool UpdateCVPAS::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == target_ || watched == requiredText_) && event->type() == QEvent::FocusIn)
        refreshWindowLists();
    return FormManager::eventFilter(watched, event);
}

void UpdateCVPAS::pickExpiry() {
    collect();
    Calendar calendar(static_cast<int32_t>(table_.record().getInt(pas::Expires)), "Select Date");
    const int32_t date = calendar.pick();
    table_.record().set(pas::Expires, int64_t{date});
    expires_->setText(QString::fromStdString(runtime::formatPicture(date, "@d17b")));
    expires_->setModified(true);
}

bool UpdateCVPAS::takeAccepted(QWidget* control) {
    if (control == category_) {
        validateCategory();
    } else if (control == categoryLookup_) {
        selectCategory();
    } else if (control == document_) {
        const QString path = pickDocument(window(), "Select document", "All Files (*.*)");
        if (!path.isEmpty()) {
            url_->setText(path.left(255));
            url_->setModified(true);
        }
    } else if (control == appendKey_ || control == appendValue_) {
        const std::string action = action_->text().toStdString();
        const std::string next =
            control == appendKey_ ? appendKeyPress(action, modifier_->currentText().toStdString(),
                                                   key_->currentText().toStdString())
                                  : appendPresetValue(action, value_->currentText().toStdString());
        action_->setText(QString::fromStdString(next).left(255));
        action_->setModified(true);
        action_->setFocus();
    } else if (control == calendar_) {
        pickExpiry();
    } else {
        return FormManager::takeAccepted(control);
    }
    return true;
}

bool UpdateCVPAS::takeCloseRequest() {
    if (viewMode_) {
        // Nothing can have changed: close without a question.
        if (response != kRequestCompleted) response = kRequestCancelled;
        return true;
    }
    return FormManager::takeCloseRequest();
}

void UpdateCVPAS::kill() {
    openingPassword_.clear();
    FormManager::kill();
}

QLineEdit* UpdateCVPAS::entry(int field) const {
    switch (field) {
        case pas::Category:
            return category_;
        case pas::Description:
            return description_;
        case pas::Name:
            return name_;
        case pas::Password:
            return password_;
        case pas::URL:
            return url_;
        case pas::Custom1:
        case pas::Custom2:
        case pas::Custom3:
            return custom_[field - pas::Custom1];
        case pas::Action:
            return action_;
        case pas::Expires:
            return expires_;
        default:
            return nullptr;
    }
}

QLabel* UpdateCVPAS::customPrompt(int n) const {
    return n >= 1 && n <= 3 ? customPrompt_[n - 1].data() : nullptr;
}

QPushButton* UpdateCVPAS::button(const char* text) const {
    if (!window()) return nullptr;
    for (QPushButton* b : window()->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace corvix::accounts

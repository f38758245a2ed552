#include "accounts/wizard_add_password.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedLayout>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "accounts/account_rules.h"
#include "accounts/accounts_context.h"
#include "accounts/category_completion.h"
#include "accounts/start_url.h"
#include "accounts/update_cvpas.h"
#include "accounts/window_lists.h"
#include "framework/relation_manager.h"
#include "platform/storage/table.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "security/session.h"
#include "send/windows.h"
#include "vault/prime.h"
#include "vault/tables.h"

namespace corvix::accounts {

using namespace corvix::framework;
namespace pas = vault::pas;

namespace {

constexpr const char* kProcedure = "Wizard:AddPassword";
constexpr int kUserNameChars = 40;

const char* const kCommonLines[] = {
    "You can save different types of information in your new password \"account\". ",
    "Enter any information you want to track or share with other applications.",
    "If you do not wish to track certain pieces of information, leave them blank."};

struct Kind {
    char id;
    const char* title;
    bool shown[Wizard_AddPassword::kPages];  // by page
    int watch, wait;
};
//                                     Intro Desc  Pass  URL   Targ  Inter Send  Other
constexpr Kind kKinds[] = {
    {'A', "New Password Account - Store/Manual Send", {1, 1, 1, 1, 1, 1, 1, 0}, 0, 1},
    {'B', "New Password Account - Store/Automatic Send", {1, 1, 1, 1, 1, 1, 1, 0}, 1, 3},
    {'C', "New Password Account - Store Password", {1, 1, 1, 1, 0, 0, 0, 1}, 0, 1},
    {'D', "New Password Account - Store General", {1, 1, 0, 0, 0, 0, 0, 1}, 0, 1},
};

struct SendChoice {
    char id;
    const char* action;  // nullptr: the action stays as it is, for the user to edit
};
constexpr SendChoice kSends[] = {{'A', "[password][enter]"},
                                 {'B', "[name][tab][password][enter]"},
                                 {'C', "[name][tab]"},
                                 {'D', nullptr}};

bool looksLikeAddress(const QString& text) {
    const QString upper = text.toUpper();
    return upper.contains("HTTP") || upper.contains("WWW") || upper.contains(".COM");
}

QWidget* textPage(std::initializer_list<const char*> lines, QVBoxLayout** layout) {
    auto* page = new QWidget;
    auto* l = new QVBoxLayout(page);
    for (const char* line : lines) l->addWidget(new QLabel(line, page));
    *layout = l;
    return page;
}

QLineEdit* wizardEntry(QWidget* parent, const char* name, int chars, const char* tip) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(chars);
    e->setToolTip(tip);
    e->setStatusTip(tip);
    return e;
}

QLabel* buddyLabel(const char* text, QWidget* buddy) {
    auto* l = new QLabel(text, buddy->parentWidget());
    l->setBuddy(buddy);
    return l;
}

// The wizard's picture: a key over a card, drawn once.
QPixmap wizardPicture() {
    QPixmap pm(96, 160);
    pm.fill(QColor(40, 70, 120));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(250, 250, 240));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(14, 40, 68, 44), 6, 6);
    p.setBrush(QColor(230, 190, 60));
    p.drawEllipse(QRectF(30, 96, 24, 24));
    p.drawRect(QRectF(50, 104, 32, 8));
    return pm;
}

}  // namespace

Wizard_AddPassword::Wizard_AddPassword(RelationManager& accounts, RelationManager& categories)
    : FormManager(kProcedure), table_(accounts), accounts_(accounts), categories_(categories) {}

Wizard_AddPassword::~Wizard_AddPassword() = default;

QWidget* Wizard_AddPassword::introductionPage() {
    QVBoxLayout* l = nullptr;
    QWidget* page =
        textPage({"Halden Corvix can store password or other information, and",
                  "optionally send it to other applications.", "What do you want to do?"},
                 &l);
    auto* group = new QGroupBox("Type of Password Account", page);
    auto* gl = new QVBoxLayout(group);
    kinds_ = new QButtonGroup(page);
    const char* texts[] = {"Store password information that will be sent when you ask it to be",
                           "Store password information that will be sent automatically",
                           "Just store information", "Store other information"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(texts[i], group);
        kinds_->addButton(r, 'A' + i);
        gl->addWidget(r);
    }
    l->addWidget(group);
    l->addStretch(1);
    return page;
}

QWidget* Wizard_AddPassword::descriptionPage() {
    QVBoxLayout* l = nullptr;
    QWidget* page = textPage({kCommonLines[0], kCommonLines[1], kCommonLines[2]}, &l);
    category_ = wizardEntry(page, "PAS:Category", 30, "Category of account");
    categoryLookup_ = new QPushButton("...", page);
    description_ = wizardEntry(page, "PAS:Description", 60, "Description of password entry");
    l->addWidget(buddyLabel(
        "You can assign a &category, such as personal, business, credit card, etc:", category_));
    auto* row = new QHBoxLayout;
    row->addWidget(category_, 1);
    row->addWidget(categoryLookup_);
    l->addLayout(row);
    l->addWidget(buddyLabel("You can give this account a &description:", description_));
    l->addWidget(description_);
    l->addStretch(1);
    return page;
}

QWidget* Wizard_AddPassword::passwordPage() {
    QVBoxLayout* l = nullptr;
    QWidget* page = textPage({kCommonLines[0], kCommonLines[1], kCommonLines[2]}, &l);
    name_ = wizardEntry(page, "PAS:Name", 128, "Name used on this account (optional)");
    password_ = wizardEntry(page, "PAS:Password", 128, "Password used on this account");
    l->addWidget(
        buddyLabel("If there is a &name associated with this account, enter it here:", name_));
    l->addWidget(name_);
    l->addWidget(
        buddyLabel("Enter the &password or sensitive information you want to track:", password_));
    l->addWidget(password_);
    l->addStretch(1);
    return page;
}

QWidget* Wizard_AddPassword::urlPage() {
    QVBoxLayout* l = nullptr;
    QWidget* page =
        textPage({kCommonLines[0], kCommonLines[1], kCommonLines[2],
                  "You can start a document, or internet location automatically be using the",
                  "\"Start URL\" button on the list of passwords.  If you would like to do this,"},
                 &l);
    url_ = wizardEntry(page, "PAS:URL", 255,
                       "Internet address associated with this account (optional)");
    document_ = new QPushButton("...", page);
    document_->setObjectName("Document");
    startNow_ = new QPushButton("Start this URL or document now", page);
    l->addWidget(buddyLabel("enter the name of the URL or document here:", url_));
    auto* row = new QHBoxLayout;
    row->addWidget(url_, 1);
    row->addWidget(document_);
    l->addLayout(row);
    l->addWidget(startNow_, 0, Qt::AlignLeft);
    l->addStretch(1);
    return page;
}

QWidget* Wizard_AddPassword::targetPage() {
    QVBoxLayout* l = nullptr;
    QWidget* page =
        textPage({"Click on the application you would like information sent to, then click back",
                  "to the Halden Corvix and press NEXT.",
                  "You will be given an opportunity to change your selection.",
                  "You may also press NEXT to select from a list of active applications, or",
                  "to simply enter the name of the application you wish to send to."},
                 &l);
    l->addStretch(1);
    return page;
}

QWidget* Wizard_AddPassword::interactionPage() {
    QVBoxLayout* l = nullptr;
    QWidget* page =
        textPage({"You may modify, or specify more details for the target application.",
                  "Wildcards may be used in the window title.  For example, you may",
                  "wish to have Halden Corvix look for any window that:",
                  "- contains the word \"bank\":  *Bank*", "- ends with the word \"bank\":  *Bank",
                  "- starts with the word \"bank\":  Bank*"},
                 &l);
    target_ = new QComboBox(page);
    target_->setObjectName("PAS:TargetWindow");
    target_->setEditable(true);
    target_->setInsertPolicy(QComboBox::NoInsert);
    target_->lineEdit()->setMaxLength(128);
    l->addWidget(buddyLabel("What is the title of the window in the target application?", target_));
    l->addWidget(target_);
    requiredRow_ = new QWidget(page);
    auto* rl = new QVBoxLayout(requiredRow_);
    rl->setContentsMargins(0, 0, 0, 0);
    requiredText_ = new QComboBox(requiredRow_);
    requiredText_->setObjectName("PAS:TargetWindowText");
    requiredText_->setEditable(true);
    requiredText_->setInsertPolicy(QComboBox::NoInsert);
    requiredText_->lineEdit()->setMaxLength(60);
    rl->addWidget(new QLabel("Tip:", requiredRow_));
    rl->addWidget(
        buddyLabel("The window must contain the following text (optional):", requiredText_));
    rl->addWidget(requiredText_);
    l->addWidget(requiredRow_);
    l->addStretch(1);
    for (QComboBox* c : {target_.data(), requiredText_.data()}) c->installEventFilter(this);
    connect(target_.data(), &QComboBox::activated, this, [this] { checkBrowser(); });
    connect(target_->lineEdit(), &QLineEdit::editingFinished, this, [this] { checkBrowser(); });
    return page;
}

QWidget* Wizard_AddPassword::sendPage() {
    auto* page = new QWidget;
    auto* l = new QVBoxLayout(page);
    auto* group = new QGroupBox(page);
    auto* gl = new QHBoxLayout(group);
    sends_ = new QButtonGroup(page);
    const char* texts[] = {"Password", "Name and Password", "Name", "Other"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(texts[i], group);
        sends_->addButton(r, 'A' + i);
        gl->addWidget(r);
    }
    l->addWidget(group);
    action_ =
        wizardEntry(page, "PAS:Action", 255, "Text or key presses to send to the target window");
    l->addWidget(buddyLabel("What should be sent to the target application?", action_));
    l->addWidget(action_);
    appendGroups_ = new QWidget(page);
    auto* al = new QHBoxLayout(appendGroups_);
    al->setContentsMargins(0, 0, 0, 0);
    auto* keyGroup = new QGroupBox("Append a key press", appendGroups_);
    auto* kl = new QHBoxLayout(keyGroup);
    modifier_ = new QComboBox(keyGroup);
    modifier_->addItems(QString(kAppendModifiers).split('|'));
    key_ = new QComboBox(keyGroup);
    key_->addItems(QString(kAppendKeys).split('|'));
    appendKey_ = new QPushButton("&Append", keyGroup);
    kl->addWidget(modifier_);
    kl->addWidget(key_);
    kl->addWidget(appendKey_);
    auto* valueGroup = new QGroupBox("Append a preset value", appendGroups_);
    auto* vl = new QHBoxLayout(valueGroup);
    value_ = new QComboBox(valueGroup);
    value_->addItems(QString(kAppendValues).split('|'));
    appendValue_ = new QPushButton("A&ppend", valueGroup);
    vl->addWidget(value_);
    vl->addWidget(appendValue_);
    al->addWidget(keyGroup);
    al->addWidget(valueGroup);
    l->addWidget(appendGroups_);
    l->addStretch(1);
    return page;
}

QWidget* Wizard_AddPassword::otherPage() {
    QVBoxLayout* l = nullptr;
    QWidget* page = textPage({"You may wish to enter some of the following information:"}, &l);
    auto* grid = new QGridLayout;
    const char* prompts[] = {"Custom 1:", "Custom 2:", "Custom 3:"};
    for (int i = 0; i < 3; ++i) {
        custom_[i] = wizardEntry(page, ("PAS:Custom" + std::to_string(i + 1)).c_str(), 128, "");
        customPrompt_[i] = buddyLabel(prompts[i], custom_[i]);
        grid->addWidget(customPrompt_[i], i, 0);
        grid->addWidget(custom_[i], i, 1);
    }
    notes_ = new QPlainTextEdit(page);
    notes_->setObjectName("PAS:Notes");
    grid->addWidget(buddyLabel("No&tes:", notes_), 3, 0, Qt::AlignTop);
    grid->addWidget(notes_, 3, 1);
    l->addLayout(grid);
    return page;
}

int Wizard_AddPassword::build() {
    request = kInsertRecord;
    viewMode_ = ThreadRegistry::instance().viewRequests != 0;
    auto* dialog = new QDialog;
    dialog->setObjectName("Wizard:AddPassword");
    dialog->setWindowTitle("New Password Account");
    auto* outer = new QVBoxLayout(dialog);
    auto* body = new QHBoxLayout;
    auto* picture = new QLabel(dialog);
    picture->setObjectName("newpa.gif");
    picture->setPixmap(wizardPicture());
    picture->setAlignment(Qt::AlignTop);
    body->addWidget(picture);
    sheet_ = new QTabWidget(dialog);
    sheet_->tabBar()->hide();
    const std::pair<QWidget*, const char*> pages[] = {{introductionPage(), "Introduction"},
                                                      {descriptionPage(), "Description"},
                                                      {passwordPage(), "Password"},
                                                      {urlPage(), "URL"},
                                                      {targetPage(), "Target"},
                                                      {interactionPage(), "Interaction"},
                                                      {sendPage(), "Send"},
                                                      {otherPage(), "Other"}};
    for (const auto& [page, title] : pages) sheet_->addTab(page, title);
    body->addWidget(sheet_, 1);
    outer->addLayout(body);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    back_ = new QPushButton("&Back", dialog);
    next_ = new QPushButton("&Next", dialog);
    finish_ = new QPushButton("&Finish", dialog);
    cancel_ = new QPushButton("Cancel", dialog);
    help_ = new QPushButton("Help", dialog);
    for (QPushButton* b :
         {back_.data(), next_.data(), finish_.data(), cancel_.data(), help_.data()})
        buttons->addWidget(b);
    outer->addLayout(buttons);
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) b->setAutoDefault(false);
    setWindow(dialog);

    primary = &table_;
    updateFiles = {&table_.record()};
    historyKey = kDittoKey;
    const std::pair<QWidget*, int> fields[] = {{category_, pas::Category},
                                               {description_, pas::Description},
                                               {name_, pas::Name},
                                               {password_, pas::Password},
                                               {url_, pas::URL},
                                               {target_, pas::TargetWindow},
                                               {requiredText_, pas::TargetWindowText},
                                               {action_, pas::Action},
                                               {custom_[0], pas::Custom1},
                                               {custom_[1], pas::Custom2},
                                               {custom_[2], pas::Custom3},
                                               {notes_, pas::Notes}};
    for (const auto& [control, field] : fields) {
        bind(control, field);
        addHistoryField(control, field);
    }
    firstField = kinds_->button('A');
    items.push_back({cancel_.data(), kRequestCancelled});
    okControl = finish_.data();
    return kLevelBenign;
}

void Wizard_AddPassword::primeFields() {
    storage::RecordBuffer& rec = table_.record();
    if (runtime::rightTrim(rec.getString(pas::Name)).empty())
        rec.set(
            pas::Name,
            QString::fromStdString(vault::NetworkUserName()).left(kUserNameChars).toStdString());
    // The first category in physical order; with no categories yet the default stays.
    storage::Table cats(categories_.File().Decl());
    if (categories_.File().beforeOpen) categories_.File().beforeOpen(cats);
    vault::CatBuffer first;
    if (cats.open(storage::kReadOnly | storage::kDenyNone) == 0 && cats.set() == 0 &&
        cats.next(first) == 0)
        rec.set(pas::Category, first->Category);
    guessUrl();
    for (const Kind& k : kKinds)
        if (k.id == kind_) {
            rec.set(pas::Watch, int64_t{k.watch});
            rec.set(pas::Wait, int64_t{k.wait});
        }
    for (const SendChoice& s : kSends)
        if (s.id == sendChoice_ && s.action) rec.set(pas::Action, std::string(s.action));
}

void Wizard_AddPassword::guessUrl() {
    storage::RecordBuffer& rec = table_.record();
    const QString clip = QApplication::clipboard()->text();
    if (looksLikeAddress(clip)) {
        QString t = clip;
        while (t.startsWith(' ')) t.remove(0, 1);
        rec.set(pas::URL, t.left(255).toStdString());
    }
    // An open browser window wins over the clipboard.
    if (desktop::Desktop* d = accountsDesktop()) {
        send::ListTopWindows(*d);
        for (const send::WinEntry& w : send::Q_WIN) {
            if (!looksLikeAddress(QString::fromStdString(w.TITLE))) continue;
            rec.set(pas::URL, w.TITLE);
            break;
        }
    }
}

void Wizard_AddPassword::setupWindow() {
    if (security::MasterCopy().RevealPasswords == 0) password_->setEchoMode(QLineEdit::Password);
    const vault::MasRecord& master = security::MasterCopy();
    const std::string labels[] = {master.Custom1, master.Custom2, master.Custom3};
    for (int i = 0; i < 3; ++i)
        customPrompt_[i]->setText(QString::fromStdString(runtime::rightTrim(labels[i])));
    required.setup(window(), "Missing Information", "@PROMPT must be entered.", false);
    categoryLookup_->setToolTip("Select Category of account");
    categoryLookup_->setStatusTip("Select Category of account");
    new CategoryCompletion(category_, [this](const std::string& prefix) {
        return completeCategory(categories_.File(), prefix);
    });
    kinds_->button(kind_)->setChecked(true);
    sends_->button(sendChoice_)->setChecked(true);
    chooseKind(kind_);
    chooseSend(sendChoice_);
    window()->setWindowTitle("New Password Account");
    applyViewMode();
    showPage(Introduction);
}

void Wizard_AddPassword::applyViewMode() {
    if (!viewMode_) return;
    for (QButtonGroup* group : {kinds_.data(), sends_.data()})
        for (QAbstractButton* b : group->buttons()) b->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{
             category_, description_, name_, password_, url_, action_, custom_[0], custom_[1],
             custom_[2], notes_, target_, requiredText_, modifier_, key_, value_, categoryLookup_,
             document_, appendKey_, appendValue_})
        if (w) w->setEnabled(false);
    finish_->hide();
    finish_->setEnabled(false);
    cancel_->setText("Cl&ose");
    cancel_->setIcon(cancel_->style()->standardIcon(QStyle::SP_DialogCloseButton));
}

void Wizard_AddPassword::chooseKind(char kind) {
    const Kind* k = nullptr;
    for (const Kind& candidate : kKinds)
        if (candidate.id == kind) k = &candidate;
    if (!k) {
        window()->setWindowTitle("New Password Account");
        kinds_->button('A')->setFocus();
        return;
    }
    kind_ = kind;
    if (QAbstractButton* b = kinds_->button(kind)) b->setChecked(true);
    window()->setWindowTitle(k->title);
    for (int p = 0; p < kPages; ++p) hidden_[p] = !k->shown[p];
    table_.record().set(pas::Watch, int64_t{k->watch});
    table_.record().set(pas::Wait, int64_t{k->wait});
    showPage(page());
}

void Wizard_AddPassword::chooseSend(char choice) {
    for (const SendChoice& s : kSends) {
        if (s.id != choice) continue;
        sendChoice_ = choice;
        if (QAbstractButton* b = sends_->button(choice)) b->setChecked(true);
        if (s.action) {
            action_->setText(s.action);
            action_->setModified(true);
        }
        action_->setEnabled(!s.action);
        appendGroups_->setVisible(!s.action);
    }
}

int Wizard_AddPassword::page() const {
    return sheet_ ? sheet_->currentIndex() : 0;
}

bool Wizard_AddPassword::pageShown(int p) const {
    return p >= 0 && p < kPages && !hidden_[p];
}

std::vector<int> Wizard_AddPassword::shownPages() const {
    std::vector<int> out;
    for (int p = 0; p < kPages; ++p)
        if (pageShown(p)) out.push_back(p);
    return out;
}

void Wizard_AddPassword::showPage(int p) {
    sheet_->setCurrentIndex(p);
    int last = kPages - 1;
    while (last > 0 && !pageShown(last)) --last;
    const bool onLast = p >= last;
    back_->setEnabled(p > 0);
    next_->setVisible(!onLast);
    next_->setEnabled(!onLast);
    finish_->setVisible(onLast && !viewMode_);
    finish_->setDefault(onLast && !viewMode_);
    next_->setDefault(!onLast);
}

void Wizard_AddPassword::next() {
    int p = page() + 1;
    while (p < kPages && !pageShown(p)) ++p;
    if (p < kPages) showPage(p);
    collect();
    requiredRow_->setVisible(
        !runtime::rightTrim(table_.record().getString(pas::TargetWindow)).empty());
    focusPage();
}

void Wizard_AddPassword::back() {
    int p = page() - 1;
    while (p > 0 && !pageShown(p)) --p;
    showPage(std::max(p, 0));
    focusPage();
}

void Wizard_AddPassword::focusPage() {
    // The page's first control takes the focus, so that the keyboard goes on where the
    // page starts (on the target page this captures the last window, as a click would).
    QWidget* current = sheet_->currentWidget();
    for (QWidget* w : current->findChildren<QWidget*>()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(current) &&
            !w->focusProxy() && !qobject_cast<QGroupBox*>(w)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void Wizard_AddPassword::refreshLists() {
    fillWindowLists(target_, requiredText_);
}

void Wizard_AddPassword::captureTarget() {
    refreshLists();
    if (!target_->currentText().trimmed().isEmpty()) return;
    const std::string title = lastForeignTitle();
    if (title.empty()) return;
    target_->setCurrentText(QString::fromStdString(title));
    refreshLists();
}

void Wizard_AddPassword::checkBrowser() {
    refreshLists();
    const QString upper = target_->currentText().trimmed().toUpper();
    requiredRow_->setVisible(!upper.isEmpty() && !upper.contains("EXPLORER") &&
                             !upper.contains("NETSCAPE"));
}

bool Wizard_AddPassword::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == target_) captureTarget();
        if (watched == requiredText_) refreshLists();
    }
    return FormManager::eventFilter(watched, event);
}

bool Wizard_AddPassword::beforeSave() {
    table_.record().set(pas::LastChange, int64_t{runtime::today()});
    return true;
}

bool Wizard_AddPassword::takeAccepted(QWidget* control) {
    auto* asButton = qobject_cast<QAbstractButton*>(control);
    if (asButton && kinds_->id(asButton) >= 'A') {
        chooseKind(static_cast<char>(kinds_->id(asButton)));
    } else if (asButton && sends_->id(asButton) >= 'A') {
        chooseSend(static_cast<char>(sends_->id(asButton)));
    } else if (control == next_) {
        next();
    } else if (control == back_) {
        back();
    } else if (control == categoryLookup_) {
        if (!selectCategoryFromList(categories_, category_)) category_->setFocus();
    } else if (control == document_) {
        const QString path =
            pickDocument(window(), "Select document", "Documents (*.doc);;All Files (*.*)");
        if (!path.isEmpty()) {
            url_->setText(path.left(255));
            url_->setModified(true);
        }
    } else if (control == startNow_) {
        startAccountUrl(url_->text().toStdString());
    } else if (control == appendKey_ || control == appendValue_) {
        const std::string action = action_->text().toStdString();
        const std::string next =
            control == appendKey_ ? appendKeyPress(action, modifier_->currentText().toStdString(),
                                                   key_->currentText().toStdString())
                                  : appendPresetValue(action, value_->currentText().toStdString());
        action_->setText(QString::fromStdString(next).left(255));
        action_->setModified(true);
        action_->setFocus();
    } else {
        return FormManager::takeAccepted(control);
    }
    return true;
}

bool Wizard_AddPassword::takeCloseRequest() {
    if (viewMode_ && response != kRequestCompleted) {
        // Nothing can have changed: Close ends the wizard at once, giving back the record
        // the insert had primed.
        if (primary && primary->cancelInsert() != kLevelBenign) return false;
        response = kRequestCancelled;
        return true;
    }
    return FormManager::takeCloseRequest();
}

void Wizard_AddPassword::kill() {
    const bool completed = response == kRequestCompleted;
    FormManager::kill();
    if (!completed) return;
    auto& threads = ThreadRegistry::instance();
    // The list shows the new account; the frame watches it at once when it is watched.
    if (int list = threads.singleInstanceOwner("BrowseCVPAS"))
        threads.postEvent(list, kEventAccountsChanged);
    threads.postEvent(kFrameThread, kEventAccountsChanged);
}

QLineEdit* Wizard_AddPassword::entry(int field) const {
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
        case pas::Action:
            return action_;
        case pas::Custom1:
        case pas::Custom2:
        case pas::Custom3:
            return custom_[field - pas::Custom1];
        default:
            return nullptr;
    }
}

QPushButton* Wizard_AddPassword::button(const char* text) const {
    if (!window()) return nullptr;
    for (QPushButton* b : window()->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace corvix::accounts

#include "accounts/browse_cvpas.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "accounts/account_queries.h"
#include "accounts/account_reports.h"
#include "accounts/account_rules.h"
#include "accounts/accounts_context.h"
#include "accounts/start_url.h"
#include "accounts/status_icons.h"
#include "accounts/update_cvpas.h"
#include "framework/list_output.h"
#include "framework/prompt.h"
#include "framework/relation_manager.h"
#include "framework/secret_clipboard.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "security/session.h"
#include "send/send_account.h"
#include "send/windows.h"
#include "vault/tables.h"

namespace corvix::accounts {

using namespace corvix::framework;
namespace pas = vault::pas;

namespace {

struct ListColumn {
    int field;  // -1: the status icon column
    const char* header;
    const char* picture;
    int width;  // in the list format's units
};

// The list format's columns in order.
constexpr ListColumn kColumns[] = {
    {-1, "", "@s1", 11},
    {pas::Category, "Category", "@s30", 50},
    {pas::Description, "Description", "@s60", 111},
    {pas::Name, "Name", "@s128", 57},
    {pas::URL, "URL", "@s255", 53},
    {pas::Password, "Password", "@s128", 39},
    {pas::LastChange, "Last Change", "@d17", 49},
    {pas::Expires, "Expires", "@d17", 49},
    {pas::Custom1, "Custom 1", "@s128", 80},
    {pas::Custom2, "Custom 2", "@s128", 80},
    {pas::Custom3, "Custom 3", "@s128", 80},
    {pas::ExpiryInterval, "Expiry Interval", "@p<<# daysp", 50},
    {pas::TargetWindow, "Target Window", "@s60", 80},
    {pas::TargetWindowText, "Required text", "@s60", 80},
    {pas::Action, "Action", "@s255", 80},
    {pas::Watch, "Watch", "@n1", 27},
    {pas::Wait, "Wait", "@n2", 20},
    {pas::Notes, "Notes", "@s255", 80},
};
constexpr int kPasswordColumn = 5;

// Where the header's layout of the list is kept in corvix.INI.
constexpr const char* kLayoutSection = "BrowseCVPAS>Header";
constexpr const char* kLayoutList = "?Browse:1";
// The query's place in the browse's filter set, beside the others.
constexpr const char* kQueryFilter = "6 Query";

struct Tab {
    const char* text;
    int key;
    const char* prompt;
    Locator::Kind kind;
    int field;
};

constexpr Tab kTabs[] = {
    {"Category", pas::K_Category, "&Locate Category:", Locator::Kind::Incremental, pas::Category},
    {"Description", pas::K_Description, "&Locate Description:", Locator::Kind::Incremental,
     pas::Description},
    {"Name", pas::K_Name, "&Locate Name:", Locator::Kind::Incremental, pas::Name},
    {"URL", pas::K_URL, "&Locate URL:", Locator::Kind::Incremental, pas::URL},
    {"Last Changed", pas::K_LastChangeDate, "&Locate Date:", Locator::Kind::Entry, pas::LastChange},
    {"Expiry", pas::K_Expiry, "&Locate Date:", Locator::Kind::Entry, pas::Expires},
};

// How long a copied field stays on the clipboard: 30 s, or CORVIX_CLIPBOARD_CLEAR_MS
// milliseconds (tests).
int clipboardClearMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("CORVIX_CLIPBOARD_CLEAR_MS", &ok);
    return ok && ms > 0 ? ms : framework::kSecretClipboardMs;
}

vault::PasBuffer* pasBuffer(RelationManager& relations) {
    return dynamic_cast<vault::PasBuffer*>(&relations.File().Buffer());
}

}  // namespace

BrowseCVPAS::BrowseCVPAS(RelationManager& accounts, RelationManager& categories, int req)
    : WindowManager("BrowseCVPAS"), relations_(accounts), categories_(categories) {
    request = req;
    openingRequest = req;
}

BrowseCVPAS::~BrowseCVPAS() = default;

void BrowseCVPAS::buildWindow() {
    auto* w = new QWidget;
    w->setObjectName("BrowseCVPAS");
    w->setWindowTitle("Passwords");
    auto* layout = new QVBoxLayout(w);

    tabs_ = new QTabBar(w);
    tabs_->setObjectName("PasswordTabs");
    locatePages_ = new QStackedWidget(w);
    for (const Tab& t : kTabs) {
        tabs_->addTab(t.text);
        auto* page = new QWidget;
        auto* row = new QHBoxLayout(page);
        row->setContentsMargins(0, 0, 0, 0);
        auto* prompt = new QLabel(t.prompt, page);
        auto* entry = new QLineEdit(page);
        entry->setObjectName(QString("Locate") + t.text);
        // An incremental locator only echoes its search text here.
        entry->setReadOnly(t.kind == Locator::Kind::Incremental);
        prompt->setBuddy(entry);
        row->addWidget(prompt);
        row->addWidget(entry, 1);
        locatePages_->addWidget(page);
    }
    layout->addWidget(tabs_);
    layout->addWidget(locatePages_);

    auto* listRow = new QHBoxLayout;
    list_ = new QTableView(w);
    list_->setObjectName("PasswordList");
    auto* thumb = new QScrollBar(Qt::Vertical, w);
    listRow->addWidget(list_, 1);
    listRow->addWidget(thumb);
    listRow->setSpacing(0);
    layout->addLayout(listRow, 1);

    auto make = [w](const char* text) {
        auto* b = new QPushButton(text, w);
        b->setAutoDefault(false);
        return b;
    };
    auto* clipGroup = new QGroupBox("Copy to Clipboard", w);
    auto* clipRow = new QHBoxLayout(clipGroup);
    clipChoice_ = new QComboBox(clipGroup);
    clipChoice_->setObjectName("ClipboardField");
    clipChoice_->addItems(
        {"Password", "Name", "URL", "Category", "Description", "Custom 1", "Custom 2", "Custom 3"});
    clip_ = make("&Place on Clipboard");
    clipRow->addWidget(clipChoice_, 1);
    clipRow->addWidget(clip_);
    layout->addWidget(clipGroup);

    auto* buttons = new QGridLayout;
    view_ = make("&View");
    insert_ = make("&New");
    change_ = make("&Change");
    delete_ = make("&Delete");
    url_ = make("Start &URL");
    send_ = make("&Send");
    query_b_ = make("&Query");
    reset_ = make("&Reset");
    close_ = make("Cl&ose");
    help_ = make("Help");
    int column = 0;
    for (QPushButton* b :
         {view_.data(), insert_.data(), change_.data(), delete_.data(), url_.data()})
        buttons->addWidget(b, 0, column++);
    column = 0;
    for (QPushButton* b :
         {send_.data(), query_b_.data(), reset_.data(), close_.data(), help_.data()})
        buttons->addWidget(b, 1, column++);
    layout->addLayout(buttons);
    const int unit = w->fontMetrics().averageCharWidth();
    w->resize(std::max(unit * 110, 640), 460);
    setWindow(w);

    browse_ = std::make_unique<BrowseManager>(*this, relations_.File());
    browse_->setList(list_, thumb);
}

void BrowseCVPAS::bindList() {
    for (const ListColumn& c : kColumns)
        browse_->addColumn(c.field < 0 ? pas::PAS_ID : c.field, c.header, c.picture);
    for (int i = 0; i < static_cast<int>(std::size(kTabs)); ++i) {
        const Tab& t = kTabs[i];
        browse_->addSortOrder(t.key);
        auto* entry = locatePages_->widget(i)->findChild<QLineEdit*>();
        browse_->addLocator(t.kind, t.field, entry);
    }
    browse_->setSheet(tabs_);
    // The query's "Category" field is the category table's: the account's category.
    browse_->view().binding().addAlias("CAT:Category", "PAS:Category");
    browse_->beforeApplyFilter = [this] { browse_->setFilter(query_, kQueryFilter); };
    QObject::connect(tabs_.data(), &QTabBar::currentChanged, locatePages_.data(),
                     &QStackedWidget::setCurrentIndex);
    // The status icon, evaluated as each row is shown; the password masked unless the
    // master record reveals passwords.
    browse_->model().setCellHook([](const storage::RecordBuffer& row, int column,
                                    int role) -> QVariant {
        if (column == 0) {
            if (role == Qt::DisplayRole) return QString();
            if (role == Qt::DecorationRole)
                return statusIconImage(statusIcon(static_cast<int32_t>(row.getInt(pas::Expires)),
                                                  row.getInt(pas::Watch) == 1, runtime::today()));
            return {};
        }
        if (column == kPasswordColumn && role == Qt::DisplayRole &&
            security::MasterCopy().RevealPasswords == 0)
            return QString::fromStdString(maskedPassword(row.getString(pas::Password)));
        return {};
    });
    // Printed and exported as shown: passwords masked unless the vault reveals them.
    ListOutput* output = attachListOutput(list_, "Passwords", [this] {
        return browseSource(*browse_, kPasswordColumn,
                            [] { return security::MasterCopy().RevealPasswords != 0; });
    });
    output->addCommand("Reports\u2026", [this] {
        runAccountReports(relations_.File(), browse_->view().filter(), list_);
    });
    const int unit = std::max(1, list_->fontMetrics().averageCharWidth());
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        list_->setColumnWidth(i, kColumns[i].width * unit * 3 / 4 + 4);
    browse_->viewControl = view_;
    browse_->insertControl = insert_;
    browse_->changeControl = change_;
    browse_->deleteControl = delete_;
    browse_->helpControl = help_;
    browse_->updateProcedure = 1;
}

int BrowseCVPAS::init() {
    if (request != kSelectRecord && !claimSingleInstance()) return kLevelNotify;
    buildWindow();
    bindList();
    items.push_back({close_.data(), kRequestCancelled});
    firstField = list_.data();
    registerAccountsList(thread(), kSendControl, kUrlControl);
    registered_ = true;
    initQuery();
    if (relations_.Open() != kLevelBenign) return kLevelFatal;
    opened_ = true;
    const int level = browse_->init(request);
    if (level == kLevelBenign) browse_->restoreLayout(kLayoutSection, kLayoutList);
    enableButtons();
    return level;
}

void BrowseCVPAS::initQuery() {
    const QueryWizard& wizard = queryWizard();
    const int code = wizard.addFields
                         ? wizard.addFields(kAccountsQueryClass, accountsFieldsDescription())
                         : kQueryWizardMissing;
    queryFailed_ = code != 0;
    reset_->setEnabled(false);
    if (!queryFailed_) return;
    query_b_->setEnabled(false);
    // No wizard connected is not a failure of one: a box at every opening of the list
    // would only stand in the user's way (and in front of the tray at start-up).
    if (!wizard.addFields) return;
    prompt().ask("Query Wizard Error# " + std::to_string(code),
                 "An error has prevented the Query Wizard from initializing.", Icon::Information,
                 kButtonOk, kButtonOk);
}

void BrowseCVPAS::kill() {
    if (browse_) browse_->kill();
    if (opened_) relations_.Close();
    opened_ = false;
    // A second opening that only brought the first forward leaves its registration be.
    if (registered_) registerAccountsList(0, 0, 0);
    registered_ = false;
}

bool BrowseCVPAS::takeCloseRequest() {
    // Saved as the window closes: at exit the window is closed but may never be killed.
    if (browse_ && opened_) browse_->saveLayout(kLayoutSection, kLayoutList);
    return true;
}

void BrowseCVPAS::enableButtons() {
    const bool rows = browse_ && !browse_->view().empty();
    for (QPushButton* b : {url_.data(), send_.data(), clip_.data()})
        if (b) b->setEnabled(rows);
}

void BrowseCVPAS::reset() {
    if (!browse_) return;
    // Changes made in other windows show up, and Send sees the windows open now.
    if (desktop::Desktop* d = accountsDesktop()) send::ListTopWindows(*d);
    browse_->resetFromFile();
    enableButtons();
}

int BrowseCVPAS::callProcedure(int number, int req) {
    if (number != 1) return kRequestCancelled;
    UpdateCVPAS form(relations_, categories_);
    form.request = req;
    return form.run();
}

void BrowseCVPAS::askForm(int req) {
    const int resp = req == -1 ? (browse_->viewRecord(), ThreadRegistry::instance().globalResponse)
                               : browse_->ask(req);
    enableButtons();
    if (resp == kRequestCompleted && req != -1)
        ThreadRegistry::instance().postEvent(kFrameThread, kEventAccountsChanged);
}

bool BrowseCVPAS::takeAccepted(QWidget* control) {
    if (!browse_ || !control) return false;
    if (control == insert_) {
        askForm(kInsertRecord);
    } else if (control == change_) {
        askForm(kChangeRecord);
    } else if (control == delete_) {
        askForm(kDeleteRecord);
    } else if (control == view_) {
        askForm(-1);
    } else if (control == clip_) {
        placeOnClipboard();
    } else if (control == url_) {
        startUrl();
    } else if (control == send_) {
        sendSelected();
    } else if (control == query_b_) {
        runQuery();
    } else if (control == reset_) {
        resetQuery();
    } else {
        return browse_->takeAccepted(control);
    }
    if (list_ && window() && !window()->isHidden()) list_->setFocus();
    return true;
}

void BrowseCVPAS::takeToolbar(int button) {
    QPushButton* target = button == kSendControl    ? send_.data()
                          : button == kUrlControl   ? url_.data()
                          : button == kQueryControl ? query_b_.data()
                                                    : nullptr;
    if (!target) {
        WindowManager::takeToolbar(button);
        return;
    }
    if (target->isEnabled()) accept(target);
}

void BrowseCVPAS::placeOnClipboard() {
    const int field = clipboardField(clipChoice_->currentText().toStdString());
    if (field < 0 || !browse_->updateBuffer()) return;
    // The stored value, not the masked one the list shows.
    const ::runtime::Secret value(runtime::rightTrim(relations_.File().Buffer().getString(field)));
    copySecretToClipboard(value, clipboardClearMs());
}

void BrowseCVPAS::startUrl() {
    if (!browse_->updateBuffer()) return;
    startAccountUrl(relations_.File().Buffer().getString(pas::URL));
}

void BrowseCVPAS::sendSelected() {
    vault::PasBuffer* buffer = pasBuffer(relations_);
    if (!buffer || !browse_->updateBuffer()) return;
    send::SendAccount(buffer->record(), accountsDesktop());
}

void BrowseCVPAS::runQuery() {
    const QueryWizard& wizard = queryWizard();
    if (queryFailed_ || !wizard.run) return;
    if (wizard.run(kAccountsQueryClass, query_) != 0) {
        reset_->setEnabled(true);
        browse_->applyFilter();
    }
    enableButtons();
}

void BrowseCVPAS::resetQuery() {
    reset_->setEnabled(false);
    query_.clear();
    browse_->applyFilter();
    enableButtons();
}

QLineEdit* BrowseCVPAS::locateEntry(int tab) const {
    if (!locatePages_ || tab < 0 || tab >= locatePages_->count()) return nullptr;
    return locatePages_->widget(tab)->findChild<QLineEdit*>();
}

QPushButton* BrowseCVPAS::button(const char* text) const {
    if (!window()) return nullptr;
    for (QPushButton* b : window()->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

int startBrowseCVPAS(RelationManager& accounts, RelationManager& categories) {
    QPointer<BrowseCVPAS> browse = new BrowseCVPAS(accounts, categories);
    const int thread = browse->start();
    if (!thread) return 0;
    ThreadRegistry::Handlers handlers;
    handlers.accepted = [browse](int control) {
        if (browse) browse->pressControl(control);
    };
    handlers.user = [browse](int event) {
        if (browse && event == kEventAccountsChanged) browse->refresh();
    };
    handlers.gainFocus = [browse] {
        if (browse) browse->refresh();
    };
    ThreadRegistry::instance().setHandlers(thread, std::move(handlers));
    return thread;
}

}  // namespace corvix::accounts

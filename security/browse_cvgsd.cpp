#include "security/browse_cvgsd.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "framework/list_output.h"
#include "framework/prompt.h"
#include "framework/vault_managers.h"
#include "security/stored_master.h"
#include "security/update_cvgsd.h"
#include "vault/tables.h"

namespace corvix::security {

using namespace corvix::framework;
namespace gsd = vault::gsd;

BrowseCVGSD::BrowseCVGSD(VaultManagers& managers)
    : BrowseCVGSD("BrowseCVGSD", managers, kNoRequest) {}

BrowseCVGSD::BrowseCVGSD(std::string procedure, VaultManagers& managers, int req)
    : WindowManager(std::move(procedure)), m_(managers) {
    request = req;
    openingRequest = req;
}

BrowseCVGSD::~BrowseCVGSD() = default;

int BrowseCVGSD::init() {
    if (!picker() && !claimSingleInstance()) return kLevelNotify;

    auto* w = new QWidget;
    w->setObjectName(QString::fromStdString(procedure()));
    w->setWindowTitle(picker() ? "Select Theme" : "Image Themes");
    auto* layout = new QVBoxLayout(w);
    auto* locatorRow = new QHBoxLayout;
    locator_ = new QLineEdit(w);
    locator_->setObjectName("Locator");
    locator_->setReadOnly(true);
    locator_->setFocusPolicy(Qt::NoFocus);
    locatorRow->addWidget(new QLabel("Theme description", w));
    locatorRow->addWidget(locator_, 1);
    layout->addLayout(locatorRow);
    auto* listRow = new QHBoxLayout;
    list_ = new QTableView(w);
    list_->setObjectName("ThemeList");
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
    QPushButton* selectB = make("&Select");
    selectB->setIcon(selectB->style()->standardIcon(QStyle::SP_DialogOkButton));
    QPushButton* insertB = make("&New");
    QPushButton* helpB = make("Help");
    auto* rows = new QGridLayout;
    browse_ = std::make_unique<BrowseManager>(*this, m_.gsd);
    browse_->setList(list_, thumb);
    if (picker()) {
        // New is offered here too, so that a vault without themes can get its first one
        // while it is being set up.
        QPushButton* cancelB = make("Cancel");
        rows->addWidget(selectB, 0, 0);
        rows->addWidget(insertB, 0, 1);
        rows->addWidget(cancelB, 0, 2);
        rows->addWidget(helpB, 0, 3);
        items.push_back({cancelB, kRequestCancelled});
        browse_->addColumn(gsd::Description, "Description", "@s40");
        browse_->addColumn(gsd::Image, "Image", "@s255");
        browse_->addColumn(gsd::Columns, "Columns", "@n1");
        browse_->addColumn(gsd::Rows, "Rows", "@n1");
        browse_->addColumn(gsd::Style, "Style", "@s20");
    } else {
        QPushButton* viewB = make("&View");
        QPushButton* changeB = make("&Change");
        QPushButton* deleteB = make("&Delete");
        QPushButton* closeB = make("Cl&ose");
        rows->addWidget(selectB, 0, 0);
        rows->addWidget(viewB, 0, 1);
        rows->addWidget(insertB, 0, 2);
        rows->addWidget(changeB, 0, 3);
        rows->addWidget(deleteB, 0, 4);
        rows->addWidget(closeB, 1, 3);
        rows->addWidget(helpB, 1, 4);
        items.push_back({closeB, kRequestCancelled});
        browse_->viewControl = viewB;
        browse_->changeControl = changeB;
        browse_->deleteControl = deleteB;
        browse_->addColumn(gsd::Description, "Description", "@s40");
        browse_->addColumn(gsd::Image, "Image", "@s255");
        browse_->addColumn(gsd::Basis, "Basis", "@s8");
        browse_->addColumn(gsd::Style, "Style", "@s20");
        browse_->addColumn(gsd::Columns, "Columns", "@n1");
        browse_->addColumn(gsd::Rows, "Rows", "@n1");
    }
    layout->addLayout(rows);
    const int unit = w->fontMetrics().averageCharWidth();
    w->resize(std::max(unit * 90, 560), 400);
    setWindow(w);

    browse_->addSortOrder(gsd::K_Description);
    browse_->addLocator(Locator::Kind::Incremental, gsd::Description, locator_);
    browse_->insertControl = insertB;
    browse_->selectControl = selectB;
    browse_->helpControl = helpB;
    browse_->updateProcedure = 1;
    framework::attachListOutput(list_, "Image Themes",
                                [this] { return framework::browseSource(*browse_); });
    firstField = list_.data();
    if (m_.gsdRelations.Open() != kLevelBenign) return kLevelFatal;
    return browse_->init(request);
}

void BrowseCVGSD::kill() {
    if (browse_) browse_->kill();
    m_.gsdRelations.Close();
}

bool BrowseCVGSD::takeAccepted(QWidget* control) {
    return browse_ && browse_->takeAccepted(control);
}

void BrowseCVGSD::reset() {
    if (browse_) browse_->resetFromFile();
}

int BrowseCVGSD::callProcedure(int number, int req) {
    if (number != 1) return kRequestCancelled;
    const int32_t id = m_.gsdRecord->GSD_ID;
    const ThemeUse use = req == kDeleteRecord ? themeUse(id) : ThemeUse::None;
    if (use == ThemeUse::Password) {
        // Deleting it would leave a master password nobody can give again.
        prompt().ask(kThemeInUseTitle, kThemeInUseDeleteText, Icon::Exclamation, kButtonOk,
                     kButtonOk);
        return kRequestCancelled;
    }
    UpdateCVGSD form(m_);
    form.request = req;
    const int response = form.run();
    // A typed master password only names the theme: the name goes with it.
    if (response == kRequestCompleted && use == ThemeUse::Named) forgetTheme(id);
    return response;
}

QPushButton* BrowseCVGSD::button(const char* text) const {
    if (!window()) return nullptr;
    for (QPushButton* b : window()->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

int startBrowseCVGSD() {
    auto* browse = new BrowseCVGSD(vaultManagers());
    return browse->start();
}

}  // namespace corvix::security

#include "accounts/browse_cvcat.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include "accounts/update_cvcat.h"
#include "framework/error_manager.h"
#include "framework/list_output.h"
#include "framework/relation_manager.h"
#include "vault/tables.h"

namespace corvix::accounts {

using namespace corvix::framework;

BrowseCVCAT::BrowseCVCAT(RelationManager& relations, int req)
    : WindowManager("BrowseCVCAT"), relations_(relations) {
    request = req;
    openingRequest = req;
}

BrowseCVCAT::~BrowseCVCAT() = default;

int BrowseCVCAT::init() {
    if (request != kSelectRecord && !claimSingleInstance()) return kLevelNotify;

    auto* w = new QWidget;
    w->setObjectName("BrowseCVCAT");
    w->setWindowTitle("Categories");
    auto* layout = new QVBoxLayout(w);
    auto* tabs = new QTabBar(w);
    tabs->addTab("Category");
    layout->addWidget(tabs);

    auto* listRow = new QHBoxLayout;
    list_ = new QTableView(w);
    list_->setObjectName("CategoryList");
    auto* thumb = new QScrollBar(Qt::Vertical, w);
    listRow->addWidget(list_, 1);
    listRow->addWidget(thumb);
    listRow->setSpacing(0);
    layout->addLayout(listRow, 1);

    auto* rows = new QGridLayout;
    auto make = [w](const char* text) {
        auto* b = new QPushButton(text, w);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* viewB = make("&View");
    QPushButton* insertB = make("&New");
    QPushButton* changeB = make("&Change");
    QPushButton* deleteB = make("&Delete");
    QPushButton* selectB = make("&Select");
    selectB->setIcon(selectB->style()->standardIcon(QStyle::SP_DialogOkButton));
    close_ = make("Cl&ose");
    QPushButton* helpB = make("Help");
    rows->addWidget(selectB, 0, 0);
    rows->addWidget(viewB, 0, 1);
    rows->addWidget(insertB, 0, 2);
    rows->addWidget(changeB, 0, 3);
    rows->addWidget(deleteB, 0, 4);
    rows->addWidget(close_, 1, 3);
    rows->addWidget(helpB, 1, 4);
    layout->addLayout(rows);
    // Room for the one column "80L(2)|M~Category~L(2)@s30@" and a page of rows.
    const int unit = w->fontMetrics().averageCharWidth();
    w->resize(std::max(unit * 48, 320), 420);
    setWindow(w);

    browse_ = std::make_unique<BrowseManager>(*this, relations_.File());
    browse_->setList(list_, thumb);
    browse_->addColumn(vault::cat::Category, "Category", "@s30");
    browse_->addSortOrder(vault::cat::K_Category);
    browse_->addLocator(Locator::Kind::Incremental, vault::cat::Category);
    browse_->setSheet(tabs);
    browse_->viewControl = viewB;
    browse_->insertControl = insertB;
    browse_->changeControl = changeB;
    browse_->deleteControl = deleteB;
    browse_->selectControl = selectB;
    browse_->helpControl = helpB;
    attachListOutput(list_, "Categories", [this] { return browseSource(*browse_); });
    browse_->updateProcedure = 1;
    items.push_back({close_.data(), kRequestCancelled});
    firstField = list_.data();
    if (relations_.Open() != kLevelBenign) return kLevelFatal;
    return browse_->init(request);
}

void BrowseCVCAT::kill() {
    if (browse_) browse_->kill();
    relations_.Close();
}

bool BrowseCVCAT::takeAccepted(QWidget* control) {
    return browse_ && browse_->takeAccepted(control);
}

void BrowseCVCAT::reset() {
    if (browse_) browse_->resetFromFile();
}

int BrowseCVCAT::callProcedure(int number, int req) {
    if (number != 1) return kRequestCancelled;
    UpdateCVCAT form(relations_);
    form.request = req;
    return form.run();
}

QPushButton* BrowseCVCAT::button(const char* text) const {
    if (!window()) return nullptr;
    for (QPushButton* b : window()->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

int startBrowseCVCAT(RelationManager& relations) {
    auto* browse = new BrowseCVCAT(relations);
    return browse->start();
}

}  // namespace corvix::accounts

#include "accounts/update_cvcat.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/relation_manager.h"
#include "vault/tables.h"

namespace corvix::accounts {

using namespace corvix::framework;

UpdateCVCAT::UpdateCVCAT(RelationManager& relations)
    : FormManager("UpdateCVCAT"), table_(relations) {}

UpdateCVCAT::~UpdateCVCAT() = default;

QString UpdateCVCAT::viewTitle() {
    const QString change = kChangeTitle;
    return "View" + change.mid(change.indexOf(' '));
}

int UpdateCVCAT::build() {
    auto& reg = ThreadRegistry::instance();
    // A select request, or a browse asking to view, opens the form read-only.
    if (request == kSelectRecord || reg.viewRequests != 0) {
        viewMode_ = true;
        if (request != kSelectRecord) request = kChangeRecord;
    }

    auto* dialog = new QDialog;
    dialog->setObjectName("UpdateCVCAT");
    auto* layout = new QVBoxLayout(dialog);
    auto* sheet = new QTabWidget(dialog);
    auto* basic = new QWidget;
    auto* row = new QHBoxLayout(basic);
    auto* prompt = new QLabel("&Category:", basic);
    entry_ = new QLineEdit(basic);
    entry_->setObjectName("CAT:Category");
    entry_->setMaxLength(30);
    entry_->setToolTip("Category");
    entry_->setStatusTip("Category");
    entry_->setMinimumWidth(entry_->fontMetrics().averageCharWidth() * 32);
    prompt->setBuddy(entry_);
    row->addWidget(prompt);
    row->addWidget(entry_, 1);
    sheet->addTab(basic, "Basic");
    layout->addWidget(sheet);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton("&OK", dialog);
    cancel_ = new QPushButton("Cancel", dialog);
    help_ = new QPushButton("Help", dialog);
    ok_->setDefault(true);
    for (QPushButton* b : {ok_.data(), cancel_.data(), help_.data()}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    ok_->setDefault(true);
    layout->addLayout(buttons);

    const char* title = request == kInsertRecord ? kInsertTitle : kChangeTitle;
    dialog->setWindowTitle(viewMode_ ? viewTitle() : QString(title));
    setWindow(dialog);

    firstField = entry_.data();
    primary = &table_;
    updateFiles = {&table_.record()};
    historyKey = kDittoKey;
    addHistoryField(entry_, vault::cat::Category);
    bind(entry_, vault::cat::Category);
    items.push_back({cancel_.data(), kRequestCancelled});
    okControl = ok_.data();
    return kLevelBenign;
}

void UpdateCVCAT::setupWindow() {
    required.setup(window(), "Missing Information", "@PROMPT must be entered.", false);
    required.add(entry_, "Category", "Category", "Category", "CAT:Category");
    if (viewMode_) {
        entry_->setEnabled(false);
        ok_->hide();
        ok_->setEnabled(false);
        cancel_->setText("Cl&ose");
        cancel_->setIcon(cancel_->style()->standardIcon(QStyle::SP_DialogCloseButton));
    }
    window()->adjustSize();
}

}  // namespace corvix::accounts

#include "app/repair_window.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "framework/threads.h"

namespace corvix::app {

using namespace corvix::framework;

namespace {

std::function<void()>& releaseHook() {
    static std::function<void()> hook;
    return hook;
}
std::function<void()>& reacquireHook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

// The "Progress..." window of an operation; messages and questions go through the prompt.
class RepairWindow::ProgressUi : public vault::RepairUi {
  public:
    explicit ProgressUi(QWidget* owner) : dialog_(owner) {
        dialog_.setWindowTitle("Progress...");
        dialog_.setObjectName("RepairProgress");
        auto* grid = new QGridLayout(&dialog_);
        grid->addWidget(new QLabel("Working On", &dialog_), 0, 0);
        workingOn_ = new QLabel(&dialog_);
        workingOn_->setObjectName("WorkingOn");
        grid->addWidget(workingOn_, 0, 1);
        grid->addWidget(new QLabel("Files Left to", &dialog_), 1, 0);
        filesLeft_ = new QLabel(&dialog_);
        filesLeft_->setObjectName("FilesLeft");
        grid->addWidget(filesLeft_, 1, 1);
        auto* cancel = new QPushButton("Cancel", &dialog_);
        cancel->setObjectName("Cancel");
        grid->addWidget(cancel, 2, 0, 1, 2, Qt::AlignHCenter);
        QObject::connect(cancel, &QPushButton::clicked, [this] { cancelled_ = true; });
        dialog_.resize(360, 120);
        dialog_.show();
        clock_.start();
        QCoreApplication::processEvents();
    }

    void working(const std::string& description, const std::string& detail,
                 int filesLeft) override {
        workingOn_->setText(
            QString::fromStdString(detail.empty() ? description : description + "  " + detail));
        filesLeft_->setText(QString::number(filesLeft));
        QCoreApplication::processEvents();
    }
    void percent(int done) override {
        if (clock_.elapsed() < 40) return;
        filesLeft_->setToolTip(QString("%1% done").arg(done));
        QCoreApplication::processEvents();
        clock_.restart();
    }
    bool cancelled() override {
        QCoreApplication::processEvents();
        return cancelled_;
    }
    void message(const std::string& title, const std::string& text) override {
        prompt().ask(title, text, Icon::Exclamation, kButtonOk, kButtonOk);
    }
    bool askYesNo(const std::string& title, const std::string& text) override {
        return prompt().ask(title, text, Icon::Question, kButtonYes | kButtonNo, kButtonNo) ==
               kButtonYes;
    }
    bool startDetached(const std::vector<std::string>& argv, std::string* error) override {
        QStringList args;
        for (size_t i = 1; i < argv.size(); ++i) args << QString::fromStdString(argv[i]);
        if (QProcess::startDetached(QString::fromStdString(argv[0]), args)) return true;
        *error = "the program did not start";
        return false;
    }

  private:
    QDialog dialog_;
    QLabel* workingOn_ = nullptr;
    QLabel* filesLeft_ = nullptr;
    QElapsedTimer clock_;
    bool cancelled_ = false;
};

RepairWindow::RepairWindow() : WindowManager("Repair"), rows_(vault::repairRows()) {}

RepairWindow::~RepairWindow() = default;

void RepairWindow::setFrameTables(std::function<void()> release, std::function<void()> reacquire) {
    releaseHook() = std::move(release);
    reacquireHook() = std::move(reacquire);
}

int RepairWindow::init() {
    auto* w = new QWidget;
    w->setObjectName("Repair");
    w->setWindowTitle("Repair");
    auto* layout = new QHBoxLayout(w);
    auto* left = new QVBoxLayout;
    list_ = new QTreeWidget(w);
    list_->setObjectName("FileList");
    list_->setColumnCount(2);
    list_->setHeaderLabels({"", "File"});
    list_->setRootIsDecorated(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    for (const vault::RepairRow& row : rows_)
        list_->addTopLevelItem(new QTreeWidgetItem({"", QString::fromStdString(row.description)}));
    list_->setCurrentItem(list_->topLevelItem(0));
    left->addWidget(list_, 1);
    details_ = new QLabel(w);
    details_->setObjectName("Details");
    details_->setWordWrap(true);
    left->addWidget(details_);
    layout->addLayout(left, 1);

    auto* buttons = new QVBoxLayout;
    auto make = [w, buttons](const char* text, const char* tip, QPointer<QPushButton>& into) {
        auto* b = new QPushButton(text, w);
        b->setAutoDefault(false);
        if (tip) b->setToolTip(tip);
        buttons->addWidget(b);
        into = b;
    };
    make("&Build", "Build the key files for the tagged data files", build_);
    make("&Pack", "Pack the tagged data files", pack_);
    make("Relea&se", "Release any held records in the tagged files", release_);
    make("&Repair", nullptr, fix_);
    make("&Info", nullptr, info_);
    buttons->addSpacing(8);
    make("&Tag", "Tag this item", tag_);
    make("&Untag", "Untag this item", untag_);
    make("Ta&g All", "Tag all items", tagAll_);
    make("U&ntag All", "Untag all items", untagAll_);
    buttons->addStretch(1);
    make("Cl&ose", nullptr, close_);
    QPointer<QPushButton> help;
    make("Help", "No help file is installed", help);
    help->setEnabled(false);
    layout->addLayout(buttons);
    w->resize(460, 330);
    setWindow(w);

    // Accepting the list toggles the highlighted row's tag.
    QObject::connect(list_, &QTreeWidget::itemActivated, list_, [this](QTreeWidgetItem* item) {
        const int row = list_->indexOfTopLevelItem(item);
        if (row >= 0) setTag(row, rows_[row].tag != "1");
    });
    QObject::connect(list_, &QTreeWidget::currentItemChanged, list_, [this] { showDetails(); });
    showDetails();
    return kLevelBenign;
}

bool RepairWindow::takeAccepted(QWidget* control) {
    if (running_) return true;
    const int current = list_->indexOfTopLevelItem(list_->currentItem());
    if (control == close_) {
        endWindow();
    } else if (control == tag_ || control == untag_) {
        if (current >= 0) setTag(current, control == tag_);
    } else if (control == tagAll_ || control == untagAll_) {
        for (int i = 0; i < static_cast<int>(rows_.size()); ++i) setTag(i, control == tagAll_);
    } else if (control == build_) {
        runOperation(vault::RepairOperation::Build);
    } else if (control == pack_) {
        runOperation(vault::RepairOperation::Pack);
    } else if (control == release_) {
        runOperation(vault::RepairOperation::Release);
    } else if (control == fix_) {
        runOperation(vault::RepairOperation::Fix);
    } else if (control == info_) {
        runOperation(vault::RepairOperation::Info);
    } else {
        return false;
    }
    return true;
}

bool RepairWindow::takeCloseRequest() {
    return !running_;  // the operation ends after the current file first
}

void RepairWindow::runOperation(vault::RepairOperation operation) {
    running_ = true;
    // No other window of the program may keep a table open meanwhile.
    ThreadRegistry& registry = ThreadRegistry::instance();
    for (int t = kFirstWindowThread; t <= kLastWindowThread; ++t)
        if (t != thread()) registry.postClose(t);
    ThreadRegistry::yield();
    if (releaseHook()) releaseHook()();
    {
        ThreadScope scope(thread());
        ProgressUi ui(window());
        vault::runRepairOperation(
            operation, rows_, list_ ? list_->indexOfTopLevelItem(list_->currentItem()) : -1, ui);
    }
    if (reacquireHook()) reacquireHook()();
    running_ = false;
    showDetails();
}

void RepairWindow::setTag(int row, bool tagged) {
    rows_[row].tag = tagged ? "1" : "";
    showRow(row);
}

void RepairWindow::showRow(int row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const bool tagged = rows_[row].tag == "1";
    item->setIcon(0, tagged ? list_->style()->standardIcon(QStyle::SP_DialogApplyButton) : QIcon());
    item->setData(0, Qt::UserRole, tagged);
    item->setToolTip(1, QString::fromStdString(rows_[row].label));
}

void RepairWindow::showDetails() {
    if (!list_ || !details_) return;
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0) return;
    const vault::RepairRow& r = rows_[row];
    details_->setText(
        QString::fromStdString("Records: " + r.records + (r.path.empty() ? "" : "\n" + r.path)));
}

int startRepairWindow() {
    return (new RepairWindow())->start();
}

}  // namespace corvix::app

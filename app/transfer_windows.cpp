#include "app/transfer_windows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "framework/prompt.h"
#include "framework/vault_managers.h"
#include "vault/tables.h"

namespace corvix::app {

using namespace corvix::framework;

namespace {

constexpr int kPumpMillis = 40;          // how often the window takes its events meanwhile
constexpr size_t kMalformedListed = 10;  // unreadable lines named in the closing message

struct KindInfo {
    const char* procedure;
    const char* heading;
    bool themes;
    bool import;
};

KindInfo info(TransferKind kind) {
    switch (kind) {
        case TransferKind::ExportPasswords:
            return {"ExportPasswords", "Exporting passwords", false, false};
        case TransferKind::ImportPasswords:
            return {"ImportPasswords", "Importing passwords", false, true};
        case TransferKind::ExportThemes:
            return {"ExportThemes", "Exporting themes", true, false};
        case TransferKind::ImportThemes:
            return {"ImportThemes", "Importing themes", true, true};
    }
    return {"", "", false, false};
}

std::string errorLine(const storage::Error& e) {
    std::string text = e.text.empty() ? storage::errorText(e.code) : e.text;
    text += " (" + std::to_string(e.code) + ")";
    if (!e.driverText.empty()) text += ": " + e.driverText;
    return text;
}

}  // namespace

// Shows the progress, takes the window's events every few milliseconds so that Cancel
// is heard, and asks about refused records.
class TransferWindow::Observer : public vault::TransferObserver {
  public:
    Observer(TransferWindow& window, FileManager& target) : window_(window), target_(target) {
        clock_.start();
    }

    void progress(int percent) override {
        if (window_.percent_) window_.percent_->setText(QString("%1% Completed").arg(percent));
        pump();
    }
    bool cancelled() override {
        pump();
        return window_.cancelRequested_;
    }
    // The duplicate-key message for each refusal, until the user lets the rest be refused
    // without one; the question comes once, after the first message.
    void refused(const storage::Error& error, int64_t line) override {
        (void)line;
        if (silent_) return;
        const int key = target_.Decl().keyIndex(error.key);
        target_.RaiseWithText(13, key >= 0 ? target_.KeyDescription(key) : error.key);
        if (asked_) return;
        asked_ = true;
        silent_ = prompt().ask("Duplicate Key Error",
                               "Refuse the remaining duplicate records without a message? "
                               "The numbers are shown at the end.",
                               Icon::Question, kButtonYes | kButtonNo, kButtonYes) == kButtonYes;
    }
    void malformed(int64_t line, const std::string& reason) override {
        if (malformed_.size() < kMalformedListed)
            malformed_.push_back("Line " + std::to_string(line) + ": " + reason);
    }

    const std::vector<std::string>& malformedLines() const { return malformed_; }

  private:
    void pump() {
        if (clock_.elapsed() < kPumpMillis) return;
        QCoreApplication::processEvents();
        clock_.restart();
    }

    TransferWindow& window_;
    FileManager& target_;
    QElapsedTimer clock_;
    bool asked_ = false;
    bool silent_ = false;
    std::vector<std::string> malformed_;
};

TransferWindow::TransferWindow(TransferKind kind, FileManager& target)
    : WindowManager(info(kind).procedure), kind_(kind), target_(target) {
    fileName = info(kind).themes ? vault::kThemesExportFile : vault::kPasswordsExportFile;
}

TransferWindow::~TransferWindow() = default;

int TransferWindow::init() {
    auto* w = new QWidget;
    w->setObjectName(info(kind_).procedure);
    w->setWindowTitle("Progress...");
    auto* layout = new QVBoxLayout(w);
    auto* heading = new QLabel(info(kind_).heading, w);
    heading->setObjectName("Heading");
    layout->addWidget(heading);
    layout->addWidget(new QLabel("Processing Records", w));
    percent_ = new QLabel("0% Completed", w);
    percent_->setObjectName("Percent");
    layout->addWidget(percent_);
    cancel_ = new QPushButton("Cancel", w);
    cancel_->setObjectName("Cancel");
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    w->resize(std::max(w->fontMetrics().averageCharWidth() * 40, 260), 140);
    setWindow(w);
    QTimer::singleShot(0, w, [this] { work(); });
    return kLevelBenign;
}

bool TransferWindow::takeAccepted(QWidget* control) {
    if (control != cancel_) return false;
    cancelRequested_ = true;
    if (!running_) endWindow();
    return true;
}

bool TransferWindow::takeCloseRequest() {
    if (!running_) return true;
    cancelRequested_ = true;
    return false;
}

void TransferWindow::work() {
    if (running_) return;
    running_ = true;
    vault::TransferResult result;
    {
        ThreadScope scope(thread());
        FileManager& fm = target_;
        if (fm.Open() != kLevelBenign) {
            running_ = false;
            endWindow();
            return;
        }
        storage::Table* table = fm.Use();
        if (table) {
            observer_ = std::make_unique<Observer>(*this, fm);
            const bool themes = info(kind_).themes;
            result = info(kind_).import
                         ? vault::importRecords(fileName, *table, *observer_)
                         : vault::exportRecords(
                               *table, themes ? vault::gsd::K_GSD_ID : vault::pas::K_PAS_ID,
                               fileName, *observer_);
        }
        fm.Close();
        if (!table) {
            running_ = false;
            endWindow();
            return;
        }
    }
    running_ = false;
    finish(result);
}

void TransferWindow::finish(const vault::TransferResult& result) {
    const KindInfo k = info(kind_);
    if (!k.import) {
        if (result.failure)
            prompt().ask("Export",
                         "The export to " + fileName + " stopped: " + errorLine(result.failure) +
                             ". " + std::to_string(result.written) +
                             " records were written before it.",
                         Icon::Exclamation, kButtonOk, kButtonOk);
        else if (!result.cancelled)
            prompt().ask("Complete",
                         vault::exportCompletionText(k.themes, result.written, fileName),
                         Icon::Information, kButtonOk, kButtonOk);
    } else if (result.refused || result.malformed || result.failure) {
        // A clean import ends without a message; one that left records out says which.
        std::string text = vault::importSummaryText(result, fileName);
        for (const std::string& line : observer_->malformedLines()) text += "\n" + line;
        if (result.malformed > static_cast<int64_t>(observer_->malformedLines().size()))
            text += "\n...";
        if (result.failure) text += "\nThe import stopped: " + errorLine(result.failure) + ".";
        prompt().ask(k.themes ? "Importing themes" : "Importing passwords", text,
                     result.failure ? Icon::Exclamation : Icon::Information, kButtonOk, kButtonOk);
    }
    endWindow();
}

int startTransferWindow(TransferKind kind) {
    VaultManagers& m = vaultManagers();
    return (new TransferWindow(kind, info(kind).themes ? m.gsd : m.pas))->start();
}

}  // namespace corvix::app

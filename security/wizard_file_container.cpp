#include "security/wizard_file_container.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "security/file_container.h"
#include "security/wizard_frame.h"

namespace corvix::security {

namespace {

FileChooser& chooser() {
    static FileChooser c;
    return c;
}

std::string askForFile(QWidget* parent, const std::string& title, const std::string& filter) {
    if (chooser()) return chooser()(parent, title, filter);
    return QFileDialog::getOpenFileName(parent, QString::fromStdString(title), QString(),
                                        QString::fromStdString(filter))
        .toStdString();
}

struct Texts {
    const char* procedure;
    const char* title;
    const char* intro;
    const char* question;
    const char* check;
    const char* dialogTitle;
    const char* filter;
};

const Texts& textsFor(Wizard_FileContainer::Kind kind) {
    static const Texts encrypt{"Wizard:EncryptFile",
                               kEncryptTitle,
                               "This wizard allows you to securely encrypt a file.",
                               "Which file do you wish to encrypt?",
                               "Delete original file after encrypting",
                               "Select file to encrypt",
                               "All Files (*)"};
    static const Texts decrypt{"Wizard:DecryptFile",
                               kDecryptTitle,
                               "This wizard allows you to securely decrypt a file.",
                               "Which file do you wish to decrypt?",
                               "Delete encrypted copy after decrypting",
                               "Select file to decrypt",
                               "Encrypted Files (*.ENC)"};
    return kind == Wizard_FileContainer::Kind::Encrypt ? encrypt : decrypt;
}

// Long copies show how far they got; short ones only the busy cursor.
class CopyProgressWindow {
  public:
    explicit CopyProgressWindow(QWidget* parent, const char* title)
        : parent_(parent), title_(title) {}
    CopyProgress callback() {
        return [this](uint64_t done, uint64_t total) {
            if (!dialog_ && total >= kShowFrom) {
                dialog_ = new QProgressDialog(title_, QString(), 0, kSteps, parent_);
                dialog_->setWindowModality(Qt::ApplicationModal);
                dialog_->setMinimumDuration(0);
            }
            if (dialog_)
                dialog_->setValue(static_cast<int>(total ? done * kSteps / total : kSteps));
        };
    }
    ~CopyProgressWindow() { delete dialog_; }

  private:
    static constexpr uint64_t kShowFrom = 8u << 20;
    static constexpr int kSteps = 1000;
    QWidget* parent_;
    QString title_;
    QPointer<QProgressDialog> dialog_;
};

}  // namespace

void setFileChooser(FileChooser c) {
    chooser() = std::move(c);
}

Wizard_FileContainer::Wizard_FileContainer(Kind kind)
    : WindowManager(textsFor(kind).procedure), kind_(kind) {}

int Wizard_FileContainer::init() {
    const Texts& t = textsFor(kind_);
    WizardFrame f = makeWizardFrame(
        kind_ == Kind::Encrypt ? "Wizard_EncryptFile" : "Wizard_DecryptFile", t.title);
    QWidget* page = f.page;
    QVBoxLayout* pageLayout = f.pageLayout;
    pageLayout->addWidget(new QLabel(t.intro, page));
    pageLayout->addSpacing(8);
    auto* question = new QLabel(t.question, page);
    pageLayout->addWidget(question);
    auto* row = new QHBoxLayout;
    file_ = new QLineEdit(page);
    file_->setObjectName("FileName");
    file_->setMaxLength(255);
    file_->setMinimumWidth(file_->fontMetrics().averageCharWidth() * 50);
    question->setBuddy(file_);
    browse_ = new QPushButton("...", page);
    browse_->setObjectName("Browse");
    browse_->setAutoDefault(false);
    browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance("...") + 24);
    row->addWidget(file_, 1);
    row->addWidget(browse_);
    pageLayout->addLayout(row);
    delete_ = new QCheckBox(t.check, page);
    delete_->setObjectName("DeleteAfter");
    pageLayout->addWidget(delete_);
    pageLayout->addStretch(1);
    ok_ = f.ok;
    setWindow(f.window);

    firstField = file_.data();
    okControl = ok_.data();
    items.push_back({f.cancel, framework::kRequestCancelled});
    return WindowManager::init();
}

bool Wizard_FileContainer::takeAccepted(QWidget* control) {
    if (control == browse_) {
        chooseFile();
        return true;
    }
    if (control == ok_) {
        run();
        return true;
    }
    return false;
}

void Wizard_FileContainer::chooseFile() {
    const Texts& t = textsFor(kind_);
    const std::string chosen = askForFile(window(), t.dialogTitle, t.filter);
    if (!chosen.empty()) file_->setText(QString::fromStdString(chosen));
}

void Wizard_FileContainer::run() {
    const std::string chosen = file_->text().toStdString();
    const bool deleteAfter = delete_->isChecked();
    Outcome outcome;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CopyProgressWindow progress(window(), textsFor(kind_).title);
        outcome = kind_ == Kind::Encrypt ? encryptFile(chosen, deleteAfter, progress.callback())
                                         : decryptFile(chosen, deleteAfter, progress.callback());
        QApplication::restoreOverrideCursor();
    }
    // An unusable choice leaves the window open to choose again.
    if (outcome == Outcome::Refused) {
        file_->setFocus();
        return;
    }
    response =
        outcome == Outcome::Done ? framework::kRequestCompleted : framework::kRequestCancelled;
    endWindow();
}

int startEncryptFile() {
    return (new Wizard_FileContainer(Wizard_FileContainer::Kind::Encrypt))->start();
}

int startDecryptFile() {
    return (new Wizard_FileContainer(Wizard_FileContainer::Kind::Decrypt))->start();
}

}  // namespace corvix::security

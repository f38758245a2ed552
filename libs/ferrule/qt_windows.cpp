#include "libs/ferrule/qt_windows.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

namespace corvix::ferrule {
namespace {

QString title() {
    return QString::fromStdString(fu_AppName());
}

class QtMessages : public MessageSink {
  public:
    bool stop(const std::string& text) override {
        QMessageBox box(QMessageBox::Critical, title(), QString::fromStdString(text));
        QPushButton* end = box.addButton(QStringLiteral("End Program"), QMessageBox::RejectRole);
        QPushButton* goOn = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
        box.setDefaultButton(goOn);
        box.exec();
        return box.clickedButton() != end;
    }
    void halt(const std::string& text) override {
        QMessageBox::critical(nullptr, title(), QString::fromStdString(text));
    }
    void show(const std::string& caption, const std::string& text) override {
        QMessageBox::warning(nullptr, QString::fromStdString(caption),
                             QString::fromStdString(text));
    }
};

// Message line of 40 characters, the progress bar, and the file's name in 55.
class QtProgress : public ProgressSink {
  public:
    void open(const std::string& text, const std::string& fileName, int64_t total) override {
        dialog_ = std::make_unique<QDialog>();
        dialog_->setWindowTitle(title());
        dialog_->setModal(true);
        auto* layout = new QVBoxLayout(dialog_.get());
        text_ = new QLabel(QString::fromStdString(text).left(40));
        bar_ = new QProgressBar;
        name_ = new QLabel(QString::fromStdString(fileName).left(55));
        layout->addWidget(text_);
        layout->addWidget(bar_);
        layout->addWidget(name_);
        name_->setVisible(!fileName.empty());
        setTotal(total);
        dialog_->show();
        clock_.start();
        QCoreApplication::processEvents();
    }
    void setText(const std::string& text) override {
        if (!dialog_) return;
        text_->setText(QString::fromStdString(text).left(40));
        QCoreApplication::processEvents();
    }
    void setTotal(int64_t total) override {
        if (!dialog_) return;
        scale_ = total > INT32_MAX ? total / INT32_MAX + 1 : 1;
        bar_->setRange(0, int(total / scale_));
    }
    void setValue(int64_t done) override {
        if (!dialog_) return;
        // Repainting for every record would cost more than the copy itself.
        if (clock_.elapsed() < 50) return;
        clock_.restart();
        bar_->setValue(int(done / scale_));
        QCoreApplication::processEvents();
    }
    void close() override { dialog_.reset(); }

  private:
    std::unique_ptr<QDialog> dialog_;
    QLabel* text_ = nullptr;
    QLabel* name_ = nullptr;
    QProgressBar* bar_ = nullptr;
    int64_t scale_ = 1;
    QElapsedTimer clock_;
};

}  // namespace

MessageSink& qtMessageSink() {
    static QtMessages sink;
    return sink;
}

ProgressSink& qtProgressSink() {
    static QtProgress sink;
    return sink;
}

void useQtWindows() {
    setWindowSinks(&qtMessageSink(), &qtProgressSink(), [] {
        const QCoreApplication* app = QCoreApplication::instance();
        return app && app->inherits("QApplication");
    });
}

}  // namespace corvix::ferrule

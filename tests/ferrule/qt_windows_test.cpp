// The Qt message boxes and progress window the program shows (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "libs/ferrule/qt_windows.h"

namespace corvix::ferrule::testing {
namespace {

QDialog* visibleDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) return d;
    return nullptr;
}

QStringList labelTexts(QWidget* w) {
    QStringList texts;
    for (auto* l : w->findChildren<QLabel*>())
        if (l->isVisibleTo(w)) texts << l->text();
    return texts;
}

// Presses the button with `text` on the message box once it is up.
void pressLater(const QString& text) {
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (auto* b : box->buttons())
            if (b->text() == text) b->click();
    });
}

class QtWindowsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_ferrule";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }
    static QApplication* app_;
};
QApplication* QtWindowsTest::app_ = nullptr;

TEST_F(QtWindowsTest, ProgressWindowShowsItsTextTheFileAndTheCount) {
    ProgressSink& p = qtProgressSink();
    p.open("Please wait - Copying file", "Vault\\!Accounts", 250);
    QDialog* d = visibleDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(labelTexts(d).contains("Please wait - Copying file"));
    EXPECT_TRUE(labelTexts(d).contains("Vault\\!Accounts"));
    auto* bar = d->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 250);
    p.setText(std::string(60, 'x'));
    EXPECT_TRUE(labelTexts(d).contains(QString(40, 'x')));  // the line holds 40 characters
    p.close();
    EXPECT_EQ(visibleDialog(), nullptr);
}

TEST_F(QtWindowsTest, StopMessageLetsTheUserGoOnOrEndTheProgram) {
    MessageSink& m = qtMessageSink();
    pressLater("Continue");
    EXPECT_TRUE(m.stop("Possible file change"));
    pressLater("End Program");
    EXPECT_FALSE(m.stop("Possible file change"));
}

}  // namespace
}  // namespace corvix::ferrule::testing

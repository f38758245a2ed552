// The three wizards as windows (offscreen): dependent controls, OK, the clipboard,
// messages, which outcomes close the window; screenshots of each.
#include <QClipboard>
#include <QMimeData>
#include <fstream>

#include "gui_fixture.h"
#include "security/file_container.h"
#include "security/password_generator.h"
#include "security/session.h"
#include "security/wizard_file_container.h"
#include "security/wizard_generate_password.h"

namespace corvix::security {
namespace {

namespace fs = std::filesystem;

void screenshot(QWidget* w, const char* name) {
    fs::create_directories(CORVIX_SCREENSHOT_DIR);
    QApplication::processEvents();
    EXPECT_TRUE(w->grab().save(QString(CORVIX_SCREENSHOT_DIR) + "/" + name));
}

class WizardTest : public gui_test::GuiTest {
  protected:
    template <class W>
    W* openWindow(int (*start)(), const char* procedure) {
        W* found = nullptr;
        onOpen(procedure, [&](framework::WindowManager& w) { found = dynamic_cast<W*>(&w); });
        EXPECT_GT(start(), 0);
        return found;
    }
    // Whether the window is still open after pending events ran.
    bool stillOpen(const QPointer<QWidget>& w) {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        return w && w->isVisible();
    }
};

TEST_F(WizardTest, GeneratePasswordToTheClipboard) {
    auto* g = openWindow<Wizard_GeneratePassword>(startGeneratePassword, "Wizard:GeneratePassword");
    ASSERT_NE(g, nullptr);
    QPointer<QWidget> w = g->window();
    EXPECT_EQ(w->windowTitle(), "Generate Password");
    EXPECT_EQ(g->type(), kTypeAlphanumeric);
    EXPECT_EQ(g->sizeEntry()->text(), "6");
    auto* join = w->findChild<QWidget*>(kJoinHyphen);
    EXPECT_TRUE(g->sizeEntry()->isEnabled());
    EXPECT_FALSE(join->isEnabled());
    g->setType(kTypeConcatenatedWords);
    EXPECT_FALSE(g->sizeEntry()->isEnabled());
    EXPECT_TRUE(join->isEnabled());
    g->setType(kTypeAllCharacters);
    EXPECT_TRUE(g->sizeEntry()->isEnabled());
    screenshot(w, "generate-password.png");

    // Too large: said so, the size entry takes the focus, nothing is generated.
    g->sizeEntry()->setText("200");
    QApplication::clipboard()->setText("untouched");
    QTest::mouseClick(g->okButton(), Qt::LeftButton);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].text, "The size can be at most 128 characters.");
    EXPECT_EQ(QApplication::clipboard()->text(), "untouched");
    EXPECT_TRUE(stillOpen(w));

    g->sizeEntry()->setText("12");
    QTest::mouseClick(g->okButton(), Qt::LeftButton);
    ASSERT_EQ(prompt_.asked().size(), 2u);
    EXPECT_EQ(prompt_.asked()[1].title, "Generation Complete");
    const QString pw = QApplication::clipboard()->text();
    EXPECT_EQ(pw.size(), 12);
    EXPECT_EQ(prompt_.asked()[1].text, "The generated password is " + pw.toStdString() + ".");
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data("x-kde-passwordManagerHint"), "secret");
    EXPECT_FALSE(stillOpen(w));
}

TEST_F(WizardTest, WordFromAnEmptyListWarnsAndGivesABlankPassword) {
    auto* g = openWindow<Wizard_GeneratePassword>(startGeneratePassword, "Wizard:GeneratePassword");
    ASSERT_NE(g, nullptr);
    g->setType(kTypeWord);
    QTest::mouseClick(g->okButton(), Qt::LeftButton);
    ASSERT_EQ(prompt_.asked().size(), 2u);
    EXPECT_EQ(prompt_.asked()[0].title, "Warning");
    EXPECT_EQ(prompt_.asked()[0].text, kNoWordOfSize);
    EXPECT_EQ(prompt_.asked()[1].text, "The generated password is .");
}

TEST_F(WizardTest, EncryptAndDecryptWindows) {
    InstallationId() = "this-installation";
    const std::string plain = (dir_ / "letter.txt").string();
    std::ofstream(plain) << "Dear diary";
    std::vector<std::string> dialogs;
    setFileChooser([&](QWidget*, const std::string& title, const std::string& filter) {
        dialogs.push_back(title + "|" + filter);
        return dialogs.size() == 1 ? plain : plain + ".ENC";
    });

    auto* e = openWindow<Wizard_FileContainer>(startEncryptFile, "Wizard:EncryptFile");
    ASSERT_NE(e, nullptr);
    QPointer<QWidget> w = e->window();
    EXPECT_EQ(w->windowTitle(), "Encryption Wizard");
    QTest::mouseClick(e->browseButton(), Qt::LeftButton);
    EXPECT_EQ(e->fileEntry()->text().toStdString(), plain);
    e->deleteAfter()->setChecked(true);
    screenshot(w, "encrypt-file.png");
    QTest::mouseClick(e->okButton(), Qt::LeftButton);
    EXPECT_EQ(prompt_.asked().at(0).title, "Encryption Complete");
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_FALSE(stillOpen(w));

    // A missing file leaves the window open to choose again; another installation's
    // container ends it.
    auto* d = openWindow<Wizard_FileContainer>(startDecryptFile, "Wizard:DecryptFile");
    ASSERT_NE(d, nullptr);
    w = d->window();
    EXPECT_EQ(w->windowTitle(), "Decryption Wizard");
    d->fileEntry()->setText((dir_ / "nothing.ENC").c_str());
    QTest::mouseClick(d->okButton(), Qt::LeftButton);
    EXPECT_EQ(prompt_.asked().at(1).title, "Decryption Wizard");
    EXPECT_TRUE(stillOpen(w));
    QTest::mouseClick(d->browseButton(), Qt::LeftButton);
    screenshot(w, "decrypt-file.png");
    InstallationId() = "another-installation";
    QTest::mouseClick(d->okButton(), Qt::LeftButton);
    EXPECT_EQ(prompt_.asked().at(2).title, "Access Denied");
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_FALSE(stillOpen(w));

    InstallationId() = "this-installation";
    d = openWindow<Wizard_FileContainer>(startDecryptFile, "Wizard:DecryptFile");
    ASSERT_NE(d, nullptr);
    QTest::mouseClick(d->browseButton(), Qt::LeftButton);
    QTest::mouseClick(d->okButton(), Qt::LeftButton);
    EXPECT_EQ(prompt_.asked().at(3).title, "Decryption Complete");
    std::ifstream in(plain);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "Dear diary");
    EXPECT_EQ(dialogs,
              (std::vector<std::string>{"Select file to encrypt|All Files (*)",
                                        "Select file to decrypt|Encrypted Files (*.ENC)",
                                        "Select file to decrypt|Encrypted Files (*.ENC)"}));
    setFileChooser({});
    InstallationId().clear();
}

}  // namespace
}  // namespace corvix::security

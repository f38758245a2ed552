// Wizard:AddPassword: a new password account in pages, with defaults taken from what the
// user is doing: the clipboard and the titles of browser windows give the URL, the last
// foreground window gives the target, and the kind of account chosen on the first page
// sets the pages shown, the watch flags and the send script. Always inserts.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTabWidget>
#include <QWidget>
#include <vector>

#include "framework/form.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace corvix::framework {
class RelationManager;
}

namespace corvix::accounts {

class Wizard_AddPassword : public framework::FormManager {
  public:
    enum Page { Introduction, Description, Password, URL, Target, Interaction, Send, Other };
    static constexpr int kPages = 8;

    Wizard_AddPassword(framework::RelationManager& accounts,
                       framework::RelationManager& categories);
    ~Wizard_AddPassword() override;

    // The kind of account (A..D) and the send choice (A..D), as the option groups would.
    void chooseKind(char kind);
    void chooseSend(char choice);
    char kind() const { return kind_; }
    char sendChoice() const { return sendChoice_; }

    void next();
    void back();
    int page() const;                // the page shown
    bool pageShown(int page) const;  // not hidden by the kind
    std::vector<int> shownPages() const;

    QLineEdit* entry(int field) const;  // by vault::pas field
    QComboBox* targetWindow() const { return target_; }
    QComboBox* requiredText() const { return requiredText_; }
    QComboBox* modifierList() const { return modifier_; }
    QComboBox* keyList() const { return key_; }
    QComboBox* valueList() const { return value_; }
    QWidget* requiredTextControls() const { return requiredRow_; }
    QWidget* appendGroups() const { return appendGroups_; }
    QPushButton* button(const char* text) const;  // by caption

  protected:
    int build() override;
    void primeFields() override;
    void setupWindow() override;
    bool beforeSave() override;
    bool takeAccepted(QWidget* control) override;
    bool takeCloseRequest() override;
    void kill() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyViewMode();
    void focusPage();
    QWidget* introductionPage();
    QWidget* descriptionPage();
    QWidget* passwordPage();
    QWidget* urlPage();
    QWidget* targetPage();
    QWidget* interactionPage();
    QWidget* sendPage();
    QWidget* otherPage();
    void showPage(int page);
    void refreshLists();
    void captureTarget();
    void checkBrowser();
    void guessUrl();

    framework::RelationFormTable table_;
    framework::RelationManager& accounts_;
    framework::RelationManager& categories_;
    bool viewMode_ = false;  // while a list views a record: nothing can be changed
    char kind_ = 'A';
    char sendChoice_ = 'A';
    bool hidden_[kPages] = {};
    QPointer<QTabWidget> sheet_;
    QPointer<QButtonGroup> kinds_, sends_;
    QPointer<QLineEdit> category_, description_, name_, password_, url_, action_, custom_[3];
    QPointer<QLabel> customPrompt_[3];
    QPointer<QPlainTextEdit> notes_;
    QPointer<QComboBox> target_, requiredText_, modifier_, key_, value_;
    QPointer<QWidget> requiredRow_, appendGroups_;
    QPointer<QPushButton> categoryLookup_, document_, startNow_, appendKey_, appendValue_, back_,
        next_, finish_, cancel_, help_;
};

}  // namespace corvix::accounts

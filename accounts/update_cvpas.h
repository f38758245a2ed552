// UpdateCVPAS: the form in which one password account is added, changed or viewed. Four
// tabs (Basic, Notes/Custom, Interaction, Expiry); the category completes as it is typed
// and must exist (else the categories list offers one); the target-window and
// required-text combos list the open windows and the texts inside the matched one; two
// buttons append key presses and field tokens to the send script; a document picker;
// the Calendar for the expiry date; and on OK the expiry rule.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QTabWidget>
#include <functional>
#include <memory>

#include "framework/form.h"
#include "runtime/secret.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace corvix::framework {
class RelationManager;
}

namespace corvix::accounts {

class CategoryCompletion;

// The file picker the document buttons run: (parent, title, filters) -> path, "" when
// cancelled. Tests install a scripted one.
using DocumentPicker =
    std::function<QString(QWidget* parent, const QString& title, const QString& filters)>;
void setDocumentPicker(DocumentPicker picker);
QString pickDocument(QWidget* parent, const QString& title, const QString& filters);

// The modifier and key lists of the key-press append controls.
extern const char* const kAppendModifiers;
extern const char* const kAppendKeys;
extern const char* const kAppendValues;

class UpdateCVPAS : public framework::FormManager {
  public:
    // accounts: the accounts' relation manager; categories: the categories' (look-up).
    UpdateCVPAS(framework::RelationManager& accounts, framework::RelationManager& categories);
    ~UpdateCVPAS() override;

    static constexpr const char* kInsertTitle = "New Password Account";
    static constexpr const char* kChangeTitle = "Change Password Account";
    static QString viewTitle();  // "View Password Account"

    bool viewMode() const { return viewMode_; }
    QTabWidget* sheet() const { return sheet_; }
    QLineEdit* entry(int field) const;  // the entry bound to a vault::pas field
    QComboBox* targetWindow() const { return target_; }
    QComboBox* requiredText() const { return requiredText_; }
    QComboBox* modifierList() const { return modifier_; }
    QComboBox* keyList() const { return key_; }
    QComboBox* valueList() const { return value_; }
    QSpinBox* intervalSpin() const { return interval_; }
    QCheckBox* watchBox() const { return watch_; }
    QLabel* customPrompt(int n) const;  // 1..3
    QLabel* lastChangedLabel() const { return lastChanged_; }
    QPushButton* button(const char* text) const;  // by caption
    QPushButton* calendarButton() const { return calendar_; }

    // Rebuilds the window list, and the texts of the first window whose title matches
    // the target pattern (emptied when none matches).
    void refreshWindowLists();

  protected:
    int build() override;
    void primeFields() override;
    void setupWindow() override;
    bool beforeSave() override;
    bool takeAccepted(QWidget* control) override;
    bool takeCloseRequest() override;
    void reset() override;
    void kill() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* basicTab();
    QWidget* customTab();
    QWidget* interactionTab();
    QWidget* expiryTab();
    void validateCategory();
    void selectCategory();
    void pickExpiry();
    void applyViewMode();
    void showLastChanged();

    framework::RelationFormTable table_;
    framework::RelationManager& accounts_;
    framework::RelationManager& categories_;
    bool viewMode_ = false;
    ::runtime::Secret openingPassword_;
    QPointer<QTabWidget> sheet_;
    QPointer<QLineEdit> category_, description_, name_, password_, url_, custom_[3], action_,
        expires_;
    QPointer<QLabel> customPrompt_[3], lastChanged_;
    QPointer<QPlainTextEdit> notes_;
    QPointer<QComboBox> target_, requiredText_, modifier_, key_, value_;
    QPointer<QPushButton> categoryLookup_, document_, appendKey_, appendValue_, calendar_, ok_,
        cancel_, help_;
    QPointer<QCheckBox> watch_;
    QPointer<QSpinBox> wait_, interval_;
    std::vector<QPointer<QWidget>> dataControls_;
};

}  // namespace corvix::accounts

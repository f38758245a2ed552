// UpdateCVCAT: the small form that adds, changes or shows one category.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <memory>

#include "framework/form.h"

class QLineEdit;
class QPushButton;
class QTabWidget;

namespace corvix::framework {
class RelationManager;
}

namespace corvix::accounts {

class UpdateCVCAT : public framework::FormManager {
  public:
    // relations: the categories table's relation manager (parent of the accounts).
    explicit UpdateCVCAT(framework::RelationManager& relations);
    ~UpdateCVCAT() override;

    static constexpr const char* kInsertTitle = "Add Category";
    static constexpr const char* kChangeTitle = "Change Category";
    // "View" followed by the change title from its first blank on.
    static QString viewTitle();

    bool viewMode() const { return viewMode_; }
    QLineEdit* entry() const { return entry_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  protected:
    int build() override;
    void setupWindow() override;

  private:
    framework::RelationFormTable table_;
    bool viewMode_ = false;
    QPointer<QLineEdit> entry_;
    QPointer<QPushButton> ok_, cancel_, help_;
};

}  // namespace corvix::accounts

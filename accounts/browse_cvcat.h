// BrowseCVCAT: the list of categories. Opened from the menu it is a single-instance
// window on a thread of its own; as the look-up of the account forms it runs with the
// select request on its caller's thread and offers "&Select".
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <memory>

#include "framework/browse_manager.h"
#include "framework/window_manager.h"

class QPushButton;
class QScrollBar;
class QTabBar;
class QTableView;

namespace corvix::framework {
class RelationManager;
}

namespace corvix::accounts {

class BrowseCVCAT : public framework::WindowManager {
  public:
    // relations: the categories table's relation manager. request: kSelectRecord for
    // the look-up, kNoRequest from the menu.
    explicit BrowseCVCAT(framework::RelationManager& relations,
                         int request = framework::kNoRequest);
    ~BrowseCVCAT() override;

    framework::BrowseManager& browse() { return *browse_; }
    QTableView* list() const { return list_; }
    QPushButton* button(const char* text) const;  // by its caption ("&New")

  protected:
    int init() override;
    void kill() override;
    bool takeAccepted(QWidget* control) override;
    void reset() override;
    int callProcedure(int number, int request) override;

  private:
    framework::RelationManager& relations_;
    std::unique_ptr<framework::BrowseManager> browse_;
    QPointer<QTableView> list_;
    QPointer<QPushButton> close_;
};

// Opens the categories list from the menu (or brings the open one to the front).
// Returns its thread number, 0 when the open one was brought forward.
int startBrowseCVCAT(framework::RelationManager& relations);

}  // namespace corvix::accounts

// BrowseCVPAS: the list of password accounts. A single-instance window on a thread of its
// own: six sort orders on tabs with their locators, a status icon per row, passwords
// masked unless the master record reveals them, one field of the selected account to the
// clipboard, the account's URL or document, Send, the query wizard, and the account form
// for view, new, change and delete. While it is open the frame's and the tray's Send and
// URL press its buttons through the registered control numbers.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <memory>
#include <string>

#include "framework/browse_manager.h"
#include "framework/window_manager.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTableView;

namespace corvix::framework {
class RelationManager;
}

namespace corvix::accounts {

class BrowseCVPAS : public framework::WindowManager {
  public:
    // Control numbers the frame posts as accepted events.
    static constexpr int kUrlControl = 3001;
    static constexpr int kSendControl = 3002;
    static constexpr int kQueryControl = 3003;

    // accounts: the accounts' relation manager; categories: the categories' (the form's
    // look-up).
    BrowseCVPAS(framework::RelationManager& accounts, framework::RelationManager& categories,
                int request = framework::kNoRequest);
    ~BrowseCVPAS() override;

    framework::BrowseManager& browse() { return *browse_; }
    QTableView* list() const { return list_; }
    QTabBar* tabs() const { return tabs_; }
    QLineEdit* locateEntry(int tab) const;
    QComboBox* clipboardChoice() const { return clipChoice_; }
    QPushButton* button(const char* text) const;  // by its caption ("&Send")
    const std::string& queryText() const { return query_; }
    // What the thread's events do: a control number pressed (frame, tray), a refresh
    // (gain focus, accounts changed elsewhere).
    void pressControl(int control) { takeToolbar(control); }
    void refresh() { reset(); }
    bool queryFailed() const { return queryFailed_; }

  protected:
    int init() override;
    void kill() override;
    bool takeAccepted(QWidget* control) override;
    void takeToolbar(int button) override;
    void reset() override;
    bool takeCloseRequest() override;
    int callProcedure(int number, int request) override;

  private:
    void buildWindow();
    void bindList();
    void initQuery();
    void enableButtons();
    void askForm(int request);  // view, new, change, delete; posts 1100 when completed
    void placeOnClipboard();
    void startUrl();
    void sendSelected();
    void runQuery();
    void resetQuery();

    framework::RelationManager& relations_;
    framework::RelationManager& categories_;
    bool registered_ = false;
    bool opened_ = false;
    std::unique_ptr<framework::BrowseManager> browse_;
    QPointer<QTableView> list_;
    QPointer<QTabBar> tabs_;
    QPointer<QStackedWidget> locatePages_;
    QPointer<QComboBox> clipChoice_;
    QPointer<QPushButton> clip_, view_, insert_, change_, delete_, url_, send_, query_b_, reset_,
        close_, help_;
    std::string query_;
    bool queryFailed_ = false;
};

// Opens the accounts list from the menu (or brings the open one to the front). Returns
// its thread number, 0 when the open one was brought forward.
int startBrowseCVPAS(framework::RelationManager& accounts, framework::RelationManager& categories);

}  // namespace corvix::accounts

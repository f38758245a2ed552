// BrowseCVGSD: the list of image themes (single instance, from the frame's Lists menu),
// with New, Change, View and Delete through the theme form. A theme the master password
// is given on cannot be deleted. SelectCVGSD (select_cvgsd.h) is the same list as the
// set-up wizard's picker.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <memory>

#include "framework/browse_manager.h"
#include "framework/window_manager.h"

class QLineEdit;

namespace corvix::framework {
class VaultManagers;
}

namespace corvix::security {

inline constexpr const char* kThemeInUseTitle = "Theme In Use";
inline constexpr const char* kThemeInUseDeleteText =
    "This theme cannot be deleted: the master password is given by clicking on it.  "
    "Choose another theme or a typed master password in the settings first.";

class BrowseCVGSD : public framework::WindowManager {
  public:
    explicit BrowseCVGSD(framework::VaultManagers& managers);
    ~BrowseCVGSD() override;

    framework::BrowseManager& browse() { return *browse_; }
    QTableView* list() const { return list_; }
    QLineEdit* locatorEntry() const { return locator_; }
    QPushButton* button(const char* text) const;  // by caption ("&New")

  protected:
    // The picker: another procedure, title, column set and buttons.
    BrowseCVGSD(std::string procedure, framework::VaultManagers& managers, int request);
    int init() override;
    void kill() override;
    bool takeAccepted(QWidget* control) override;
    void reset() override;
    int callProcedure(int number, int request) override;

    framework::VaultManagers& m_;

  private:
    bool picker() const { return procedure() != "BrowseCVGSD"; }

    std::unique_ptr<framework::BrowseManager> browse_;
    QPointer<QTableView> list_;
    QPointer<QLineEdit> locator_;
};

// Opens the theme list from the menu, or brings the open one to the front.
int startBrowseCVGSD();

}  // namespace corvix::security

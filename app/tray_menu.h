// The tray pop-up menu: thirteen items, each with its name, text and icon. Built once
// when the frame opens; enabled items follow the frame's state each time it is shown.
#pragma once

#include <QAction>
#include <QMenu>
#include <map>
#include <string>
#include <vector>

namespace corvix::app {

struct TrayMenuItem {
    const char* name;
    const char* text;
    const char* icon;
};

const std::vector<TrayMenuItem>& trayMenuItems();

class TrayMenu {
  public:
    TrayMenu();
    QMenu& menu() { return menu_; }
    QAction* item(const std::string& name) const;  // nullptr for an unknown name
    void setEnabled(const std::string& name, bool enabled);
    bool isEnabled(const std::string& name) const;
    // Shows the menu at the given place and returns the chosen item's name ("" if none).
    std::string choose(const QPoint& where);

  private:
    QMenu menu_;
    std::map<std::string, QAction*> items_;
};

}  // namespace corvix::app

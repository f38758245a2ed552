#include "app/tray_menu.h"

#include "app/icons.h"

namespace corvix::app {

const std::vector<TrayMenuItem>& trayMenuItems() {
    static const std::vector<TrayMenuItem> items = {
        {"Restore", "&Restore", "restore.ico"},
        {"Separator3", "-", "blank.ico"},
        {"Logon", "&Logon", "_circhk.ico"},
        {"Logoff", "Logoff", "_cirx.ico"},
        {"ChangeMasterPassword", "Change Master Password", "_KEYS.ICO"},
        {"Separator0", "-", "blank.ico"},
        {"Send", "&Send", "_PLAY.ICO"},
        {"URL", "Start URL or Document", "_jobexec.ico"},
        {"Separator1", "-", "blank.ico"},
        {"Help", "Help", "_HELPBK.ICO"},
        {"About", "About", "_FOURSTR.ICO"},
        {"SeparatorLast", "-", "blank.ico"},
        {"Exit", "E&xit", "_exit.ico"},
    };
    return items;
}

TrayMenu::TrayMenu() {
    menu_.setObjectName("TrayMenu");
    for (const TrayMenuItem& i : trayMenuItems()) {
        QAction* a = std::string(i.text) == "-"
                         ? menu_.addSeparator()
                         : menu_.addAction(namedIcon(i.icon), QString::fromUtf8(i.text));
        a->setObjectName(i.name);
        items_[i.name] = a;
    }
}

QAction* TrayMenu::item(const std::string& name) const {
    auto it = items_.find(name);
    return it == items_.end() ? nullptr : it->second;
}

void TrayMenu::setEnabled(const std::string& name, bool enabled) {
    if (QAction* a = item(name)) a->setEnabled(enabled);
}

bool TrayMenu::isEnabled(const std::string& name) const {
    QAction* a = item(name);
    return a && a->isEnabled();
}

std::string TrayMenu::choose(const QPoint& where) {
    QAction* chosen = menu_.exec(where);
    return chosen ? chosen->objectName().toStdString() : std::string();
}

}  // namespace corvix::app

// The main frame's commands and its menu bar, as a table: menu path, item text, shortcut,
// status-bar help text. The frame builds its menus from it; tests check it.
#pragma once

#include <string>
#include <vector>

namespace corvix::app {

enum class Command {
    Preferences,
    PrintSetup,
    PrintList,
    PreviewList,
    ExportListCsv,
    ExportListHtml,
    ListReports,
    Backup,
    ImportPasswords,
    ExportPasswords,
    ImportThemes,
    ExportThemes,
    Repair,
    Exit,
    Cut,
    Copy,
    Paste,
    ListPasswords,
    ListCategories,
    ListThemes,
    Logon,
    Logoff,
    AddAccount,
    GeneratePassword,
    EncryptFile,
    DecryptFile,
    Send,
    ChangeMasterPassword,
    ChangeSettings,
    Tile,
    Cascade,
    ArrangeIcons,
    HelpContents,
    HelpSearch,
    HelpHowTo,
    About,
};

enum class Menu { File, Edit, Lists, Actions, Window, Help };

struct MenuItem {
    Command command;
    Menu menu;
    std::vector<std::string> submenus;  // e.g. {"&Database Tools", "&Passwords"}
    std::string text;
    std::string shortcut;  // Qt key sequence text, "" for none
    std::string help;      // status-bar help text
    bool separatorBefore = false;
};

const std::vector<MenuItem>& frameMenuItems();
const char* menuTitle(Menu menu);  // "&File" ...

}  // namespace corvix::app

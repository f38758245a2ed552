#include "app/frame_commands.h"

namespace corvix::app {

const char* menuTitle(Menu menu) {
    switch (menu) {
        case Menu::File:
            return "&File";
        case Menu::Edit:
            return "&Edit";
        case Menu::Lists:
            return "&Lists";
        case Menu::Actions:
            return "&Actions";
        case Menu::Window:
            return "&Window";
        case Menu::Help:
            return "&Help";
    }
    return "";
}

const std::vector<MenuItem>& frameMenuItems() {
    using C = Command;
    using M = Menu;
    static const std::vector<MenuItem> items = {
        {C::Preferences, M::File, {}, "&Preferences", "F10", "Configure this program"},
        {C::PrintSetup, M::File, {}, "&Print Setup ...", "", "Setup printer"},
        // The active list's own output commands (its header menu offers the same).
        {C::PrintList, M::File, {}, "Prin&t\u2026", "", "Print the active list"},
        {C::PreviewList, M::File, {}, "Print Pre&view\u2026", "", "Preview the active list"},
        {C::ExportListCsv,
         M::File,
         {},
         "Export as &CSV\u2026",
         "",
         "Export the active list as CSV"},
        {C::ExportListHtml,
         M::File,
         {},
         "Export as &HTML\u2026",
         "",
         "Export the active list as HTML"},
        {C::ListReports,
         M::File,
         {},
         "&Reports\u2026",
         "",
         "Design, preview and print the saved reports of the active list"},
        {C::Backup,
         M::File,
         {},
         "&Backup / Restore",
         "Ctrl+U",
         "Backup or restore using a standard ZIP archive"},
        {C::ImportPasswords,
         M::File,
         {"&Database Tools", "&Passwords"},
         "&Import",
         "",
         "Import passwords",
         true},
        {C::ExportPasswords,
         M::File,
         {"&Database Tools", "&Passwords"},
         "&Export",
         "",
         "Export passwords"},
        {C::ImportThemes, M::File, {"&Database Tools", "&Themes"}, "&Import", "", "Import Themes"},
        {C::ExportThemes, M::File, {"&Database Tools", "&Themes"}, "&Export", "", "Export Themes"},
        {C::Repair, M::File, {"&Database Tools"}, "&Repair", "", "Support utilities"},
        {C::Exit, M::File, {}, "E&xit", "", "Exit this application", true},
        {C::Cut, M::Edit, {}, "Cu&t", "", "Cut Selection To Clipboard"},
        {C::Copy, M::Edit, {}, "&Copy", "", "Copy Selection To Clipboard"},
        {C::Paste, M::Edit, {}, "&Paste", "", "Paste From Clipboard"},
        {C::ListPasswords, M::Lists, {}, "&Passwords", "Ctrl+P", "Browse Passwords"},
        {C::ListCategories, M::Lists, {}, "&Categories", "", "Browse Categories"},
        {C::ListThemes, M::Lists, {}, "&Themes", "", "Browse Themes"},
        {C::Logon,
         M::Actions,
         {},
         "&Logon",
         "Ctrl+L",
         "Enter master password to allow access to other operations"},
        {C::Logoff, M::Actions, {}, "Log&off", "Ctrl+O", "Disallow access to other operations"},
        {C::AddAccount,
         M::Actions,
         {},
         "&Add New Password Account",
         "",
         "Add a password account",
         true},
        {C::GeneratePassword,
         M::Actions,
         {},
         "&Generate Password",
         "Ctrl+G",
         "Generate a password"},
        {C::EncryptFile,
         M::Actions,
         {},
         "&Encrypt File",
         "Ctrl+E",
         "Encrypt a file for safekeeping",
         true},
        {C::DecryptFile,
         M::Actions,
         {},
         "&Decrypt File",
         "Ctrl+D",
         "Decrypt a file encrypted by Corvix"},
        {C::Send, M::Actions, {}, "&Send", "Ctrl+S", "Send current account action", true},
        {C::ChangeMasterPassword,
         M::Actions,
         {},
         "Change &Master Password",
         "",
         "Change master password",
         true},
        {C::ChangeSettings, M::Actions, {}, "Change Settings...", "", "Change preferences"},
        {C::Tile, M::Window, {}, "T&ile", "", "Make all open windows visible"},
        {C::Cascade, M::Window, {}, "&Cascade", "", "Stack all open windows"},
        {C::ArrangeIcons, M::Window, {}, "&Arrange Icons", "", "Align all window icons"},
        {C::HelpContents, M::Help, {}, "&Contents", "", "View the contents of the help file"},
        {C::HelpSearch, M::Help, {}, "&Search for Help On...", "", "Search for help on a subject"},
        {C::HelpHowTo, M::Help, {}, "&How to Use Help", "", "How to use Windows Help"},
        {C::About, M::Help, {}, "&About", "", "About this program", true},
    };
    return items;
}

}  // namespace corvix::app

#include "app/database_tools.h"

#include "app/main_frame.h"
#include "app/repair_window.h"
#include "app/transfer_windows.h"
#include "vault/access.h"

namespace corvix::app {

void addDatabaseToolLaunchers(MainFrame& frame, vault::VaultTables* frameTables) {
    frame.setLauncher(Command::ExportPasswords,
                      [] { startTransferWindow(TransferKind::ExportPasswords); });
    frame.setLauncher(Command::ImportPasswords,
                      [] { startTransferWindow(TransferKind::ImportPasswords); });
    frame.setLauncher(Command::ExportThemes,
                      [] { startTransferWindow(TransferKind::ExportThemes); });
    frame.setLauncher(Command::ImportThemes,
                      [] { startTransferWindow(TransferKind::ImportThemes); });
    frame.setLauncher(Command::Repair, [] { startRepairWindow(); });
    if (frameTables)
        RepairWindow::setFrameTables([frameTables] { frameTables->closeAll(); },
                                     [frameTables] { frameTables->openAll(); });
}

}  // namespace corvix::app

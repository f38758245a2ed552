#include "app/database_tools.h"

#include "app/main_frame.h"
#include "app/transfer_windows.h"

namespace corvix::app {

void addDatabaseToolLaunchers(MainFrame& frame) {
    frame.setLauncher(Command::ExportPasswords,
                      [] { startTransferWindow(TransferKind::ExportPasswords); });
    frame.setLauncher(Command::ImportPasswords,
                      [] { startTransferWindow(TransferKind::ImportPasswords); });
    frame.setLauncher(Command::ExportThemes,
                      [] { startTransferWindow(TransferKind::ExportThemes); });
    frame.setLauncher(Command::ImportThemes,
                      [] { startTransferWindow(TransferKind::ImportThemes); });
}

}  // namespace corvix::app

// File → Database Tools: the launchers of the export, import and repair windows.
#pragma once

namespace corvix::vault {
struct VaultTables;
}

namespace corvix::app {

class MainFrame;

// Gives the frame a launcher for each Database Tools command, which enables it.
// frameTables: the tables the frame keeps open, closed while a repair operation runs.
void addDatabaseToolLaunchers(MainFrame& frame, vault::VaultTables* frameTables);

}  // namespace corvix::app

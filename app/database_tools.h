// File → Database Tools: the launchers of the export, import and repair windows.
#pragma once

namespace corvix::app {

class MainFrame;

// Gives the frame a launcher for each Database Tools command, which enables it.
void addDatabaseToolLaunchers(MainFrame& frame);

}  // namespace corvix::app

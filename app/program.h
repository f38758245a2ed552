// The program `corvix` as a whole: the Qt application, the desktop, the start-up
// sequence and the main frame wired together.
#pragma once

namespace corvix::app {

// Runs Corvix; returns the process exit code. Without a display it says so and
// returns 1.
int runCorvix(int argc, char** argv);

}  // namespace corvix::app

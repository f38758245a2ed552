// The library's windows in a Qt program: stop and halt message boxes, and the small
// modal progress window shown while a file is copied, converted or its keys are built.
#pragma once

#include "libs/ferrule/ferrule.h"

namespace corvix::ferrule {

FERRULE_EXPORT MessageSink& qtMessageSink();
FERRULE_EXPORT ProgressSink& qtProgressSink();
// Makes them the library's default while a QApplication runs (the program calls it once).
FERRULE_EXPORT void useQtWindows();

}  // namespace corvix::ferrule

// The wait cursor of the windowed program around long table work (a delete with its
// children), installed once a QApplication exists.
#pragma once

namespace corvix::framework {

void useWaitCursor();

}  // namespace corvix::framework

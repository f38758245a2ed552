// Alt+letter inside the frame's child windows. Every child window shares the frame's
// top-level window, so without help the mnemonics of all of them and the frame's menu
// titles answer the same key, and a key several of them use ("&Lists" and a list's
// "&Locate ...") does nothing useful. With this, as on a desktop where each child is a
// window of its own: the active child's own mnemonics come first; a letter it does not
// use opens the frame's menu of that letter; other children never answer.
#pragma once

class QMdiArea;

namespace corvix::framework {

// Once per area; the filter lives as long as the area.
void installMdiMnemonics(QMdiArea* area);

}  // namespace corvix::framework

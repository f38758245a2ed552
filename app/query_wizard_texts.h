// The query wizard's display texts as this program shows them, set at start-up, and
// the wizard's messages routed through the program's prompt.
#pragma once

namespace corvix::app {

// The 124 texts (QX_SETQWDISPLAYTEXT); returns how many were set.
int setQueryWizardTexts();

}  // namespace corvix::app

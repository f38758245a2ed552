// The two window lists of the account form and the wizard: the titles of the top-level
// windows, and the texts inside the first of them whose title matches the target
// pattern; and the title of the window the user worked in before this program.
#pragma once

#include <string>

class QComboBox;

namespace corvix::accounts {

// Refills both combos from the accounts desktop, keeping what the user typed. The texts
// list is emptied when no title matches the target's text.
void fillWindowLists(QComboBox* target, QComboBox* requiredText);
// The title of LastForeignWindow while that window still exists; "" otherwise.
std::string lastForeignTitle();

}  // namespace corvix::accounts

// What corvix-cli leaves behind when it dies while opening a file.
#pragma once

namespace corvix::cli {

// A fatal signal (a crash, an abort) during an open through the upgrade library prints the
// file's name on standard error before the process ends by that signal. The upgrade
// library then keeps the name in memory only: the INI file that would otherwise hold it
// (the program's crash mark) is not rewritten twice by every command.
void reportCrashesDuringOpens();

}  // namespace corvix::cli

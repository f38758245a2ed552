// The word database the password generator draws from: building it from a word list,
// putting the shipped copy into the working directory, and numbering its words.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/table.h"

namespace corvix::vault {

// A word the database takes: 1 to 20 lower-case ASCII letters, nothing else.
bool isWordCandidate(std::string_view word);

// Writes a new word database at `name` ("dir/CVWRD" -> "dir/CVWRD.TPS") holding the
// candidate words of `words` once each, in the order given, numbered 1, 2, 3 ... so that
// a first start has nothing to number (with `numbered` false all get number 0, which the
// start-up numbers). An existing file is replaced. *written receives the count stored.
int writeWordDatabase(const std::string& name, const std::vector<std::string>& words,
                      size_t* written, bool numbered = true);

// When the working directory has no word database, copies the one in `shippedDir`.
// *copied tells whether a copy was made. Missing in both places is not an error here:
// the open that follows creates an empty table.
int installShippedWords(const std::string& shippedDir, bool* copied);

// When the first word in physical order has number 0, numbers every word 1, 2, 3 ...
// in physical order (in one transaction). `words` must be open for writing.
// *renumbered receives how many words were numbered (0 when nothing had to be done).
// progress, when given, hears (numbered so far, total) every few thousand words.
using WordProgress = std::function<void(int64_t done, int64_t total)>;
int renumberWords(storage::Table& words, int* renumbered, const WordProgress& progress = {});

}  // namespace corvix::vault

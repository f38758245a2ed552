// Builds the word database shipped with the program from a plain word list (one word a
// line): make_words <word list> <output name, e.g. bin/CVWRD>.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "vault/words.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_words <word list> <output name>\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "make_words: cannot read %s (install the wamerican package)\n",
                     argv[1]);
        return 1;
    }
    std::vector<std::string> words;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        words.push_back(line);
    }
    size_t written = 0;
    const int rc = corvix::vault::writeWordDatabase(argv[2], words, &written);
    if (rc != 0) {
        std::fprintf(stderr, "make_words: writing %s failed with error %d\n", argv[2], rc);
        return 1;
    }
    // The generator needs a large pool for its passwords to be hard to guess.
    if (written < 5000) {
        std::fprintf(stderr, "make_words: only %zu usable words in %s (at least 5000 needed)\n",
                     written, argv[1]);
        return 1;
    }
    std::printf("make_words: %zu words written to %s\n", written, argv[2]);
    return 0;
}

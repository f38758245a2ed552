// The symbol string of an image theme: 128 characters, one per symbol index, each drawn
// uniformly from the symbol alphabet. It is the theme's secret: two themes on the same
// picture give different passwords.
#pragma once

#include <string>
#include <string_view>

namespace corvix::security {

constexpr int kSymbolStringChars = 128;

// 128 independent uniform draws from alphabet (UTF-8; every character a draw, so a
// character that occurs twice is twice as likely). An empty alphabet gives "".
std::string makeSymbolString(std::string_view alphabet);

// The 1-based position in the symbol string read by the cell in column c and row r.
// The multiplier is the number of columns whatever the number of rows, so in a
// non-square grid two cells can share a position; stored passwords depend on it.
constexpr int symbolIndex(int column, int row, int columns) {
    return (column - 1) * columns + row + 1;
}

// The character at a 1-based position of a symbol string (UTF-8); a blank when the
// string is shorter, as in a blank-padded field.
char32_t symbolAt(std::u32string_view symbols, int position);

}  // namespace corvix::security

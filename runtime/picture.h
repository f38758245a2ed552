// Display pictures: formatting values for the screen and reading typed text back.
//
//   @sN          text of N characters
//   @n[-(][0_*]size[.-_][.places][b]
//                numbers: leading minus or parentheses, fill (zeros, blanks, stars; a fill
//                suppresses grouping), grouping (comma unless another symbol follows the
//                size), decimal places, b = blank when zero
//   @d6 @d17 [b] dates: dd/mm/yyyy; the user's short date
//   @t3 @t4 @t7 [b] times (a clock): h:mmAM/PM; hh:mm:ss; the user's short time
//   @p...p       patterns: '<' a digit shown blank while leading zeros last, '#' a digit,
//                anything else literal
//
// Letters of the picture are case-insensitive. Formatting never fails: a value too wide
// for a number picture shows as '#' characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvix::runtime {

// Numbers, dates (standard dates) and times (clocks) are all formatted from an integer;
// decimals are passed as a double.
std::string formatPicture(double value, std::string_view picture);
std::string formatText(std::string_view text, std::string_view picture);  // @s pictures

// Reads text typed under a picture. Numbers, dates and times come back as a double
// (a standard date / clock for @d / @t); nullopt when the text does not fit the picture.
// Blank text under any picture deformats to 0.
std::optional<double> deformatPicture(std::string_view text, std::string_view picture);

// "@s30" -> 30; 0 for other pictures.
int pictureTextWidth(std::string_view picture);

// Cuts UTF-8 text to at most n code points, never inside a character.
std::string cutToChars(std::string_view text, size_t n);
size_t charCount(std::string_view text);  // code points
// Cuts UTF-8 text to at most n code points, never inside one (a combining mark may go).
std::string cutToCodePoints(std::string_view text, size_t n);
std::string rightTrim(std::string_view text);

}  // namespace corvix::runtime

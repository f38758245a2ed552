#include "runtime/picture.h"
#include "runtime/utf8.h"

namespace corvix::runtime {

namespace {
bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}
}  // namespace

size_t charCount(std::string_view text) {
    size_t n = 0;
    for (unsigned char c : text) n += !isContinuation(c);
    return n;
}

std::string cutToChars(std::string_view text, size_t n) {
    return std::string(text.substr(0, graphemePrefixBytes(text, n)));
}

std::string cutToCodePoints(std::string_view text, size_t n) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isContinuation(static_cast<unsigned char>(text[i]))) continue;
        if (chars == n) return std::string(text.substr(0, i));
        ++chars;
    }
    return std::string(text);
}

std::string rightTrim(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ') --end;
    return std::string(text.substr(0, end));
}

}  // namespace corvix::runtime

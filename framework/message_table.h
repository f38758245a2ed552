// The error manager's message table: numbered messages with a severity, a title and a
// text, kept as one packed block (see packMessageTable for its layout).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::framework {

struct MessageEntry {
    uint16_t id = 0;
    uint8_t severity = 0;  // a level: 0 benign, 1 user, 2 program, 3 fatal, 4 cancel, 5 notify
    std::string title;
    std::string text;
};

// The program's own table as one packed block.
std::string_view defaultMessageBlock();

// Packs entries: a 16-bit little-endian count, then per entry the 16-bit little-endian id,
// the severity byte, the title length byte, the title, the text length byte and the text.
// Titles and texts longer than 255 bytes are cut (at a character boundary).
std::string packMessageTable(const std::vector<MessageEntry>& entries);

// Unpacks a block made as above. A block that ends inside an entry, or that carries
// bytes after its last entry, is refused: false, and out is left unchanged.
bool unpackMessageTable(std::string_view block, std::vector<MessageEntry>& out);

}  // namespace corvix::framework

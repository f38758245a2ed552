#include "framework/message_table.h"

#include <array>
#include <cstddef>

namespace corvix::framework {

namespace {

struct Def {
    uint16_t id;
    uint8_t severity;
    std::string_view title;
    std::string_view text;
};

// The texts are the program's own, double blanks and all.
constexpr Def kMessages[] = {
    {1, 5, "Record Retrieval Error",
     "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to "
     "previous window."},
    {2, 5, "Access Denied", "Could not get write access to %File so trying read-only."},
    {3, 1, "Record Added",
     "This record has been added to the file. Do you want to add another record?"},
    {4, 5, "Record Insert Error",
     "An error was experienced during the creation of a record. Error: %ErrorText."},
    {5, 5, "Add New Record?", "Record match not found, do you wish to add a new one?"},
    {6, 5, "Record Was Not Updated", "This record was changed by another station."},
    {7, 5, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the "
     "Ditto Button or Ctrl+' to recall your changes."},
    {8, 1, "Changes will be lost!", "Are you sure you want to cancel?"},
    {9, 1, "Confirm Delete", "Are you sure you want to delete the highlighted record?"},
    {10, 3, "File Creation Error", "Error: (%ErrorText) creating %File."},
    {11, 5, "Record was not deleted",
     "An error (%ErrorText) was experienced when deleting a record from the %File file."},
    {12, 5, "Invalid Request", "This form cannot be used to delete a record"},
    {13, 5, "Duplicate Key Error",
     "Adding this record creates a duplicate entry for the key: %Message"},
    {14, 5, "Field contents error", "The value of %Field must be found in the %Message file."},
    {15, 5, "Value Error", "The value of %Field must be in the list : %Message."},
    {16, 5, "Range Error", "The value of %Field must be between %Message."},
    {17, 5, "Range Error", "The value of %Field must be lower than %Message."},
    {18, 5, "Range Error", "The value of %Field must be higher than %Message."},
    {19, 5, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
    {20, 5, "Invalid Request", "This form cannot be used to insert a record"},
    {21, 5, "Transaction cancelled",
     "Error: (%ErrorText) attempting to frame the transaction on %File."},
    {22, 5, "No Records", "There are no records available to process."},
    {23, 3, "File Access Error", "File (%File) could not be opened.  Error: %ErrorText."},
    {24, 5, "Procedure not defined", "The Procedure %Message has not been defined."},
    {25, 5, "Record was not updated",
     "An error (%ErrorText) was experienced when making changes to the %File file."},
    {26, 3, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
    {27, 5, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
    {28, 5, "Record not read",
     "A record held by another station was encountered reading from the %File file."},
    {30, 5, "Referential Integrity Delete Error",
     "This record is referenced from the file %File. This record cannot be deleted while these "
     "references exist."},
    {31, 5, "Referential Integrity Update Error",
     "This record is referenced from the file %File. Linking field(s) have been restricted from "
     "change and have been reset to original values."},
    {32, 1, "Auto Increment Error",
     "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
    {33, 1, "Record Delete Error",
     "An error was experienced deleting this record. Do you want to try to delete it again?"},
    {34, 1, "Record Update Error",
     "An error was experienced changing this record. Do you want to try to save again?"},
    {35, 1, "Save Record", "Do you want to save the changes to this record?"},
    {36, 1, "Beginning of File Error",
     "The beginning of the file was encountered. Do you want to start again from the end of the "
     "file?"},
    {37, 1, "End of File Error",
     "The end of the file was encountered. Do you want to start again from the beginning?"},
    {38, 5, "Invalid Request", "This form cannot be used to update a record"},
    {39, 2, "File Usage Error", "Attempt to use file (%File) before it was opened"},
    {40, 5, "View Open Error",
     "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits "
     "ignored."},
    {41, 5, "Unsupported QBE Column",
     "The saved QBE column, %Field is not supported. It will be dropped from the query."},
};

constexpr size_t packedSize() {
    size_t n = 2;
    for (const Def& d : kMessages) n += 2 + 1 + 1 + d.title.size() + 1 + d.text.size();
    return n;
}

constexpr bool fitsInBytes() {
    for (const Def& d : kMessages)
        if (d.title.size() > 255 || d.text.size() > 255) return false;
    return true;
}
static_assert(fitsInBytes(), "a title or text does not fit its length byte");

constexpr std::array<char, packedSize()> pack() {
    std::array<char, packedSize()> out{};
    size_t at = 0;
    auto byte = [&](unsigned v) { out[at++] = static_cast<char>(v & 0xFF); };
    constexpr size_t count = sizeof(kMessages) / sizeof(kMessages[0]);
    byte(count);
    byte(count >> 8);
    for (const Def& d : kMessages) {
        byte(d.id);
        byte(d.id >> 8);
        byte(d.severity);
        byte(static_cast<unsigned>(d.title.size()));
        for (char c : d.title) out[at++] = c;
        byte(static_cast<unsigned>(d.text.size()));
        for (char c : d.text) out[at++] = c;
    }
    return out;
}

constexpr std::array<char, packedSize()> kBlock = pack();

// Cuts s to at most 255 bytes without splitting a UTF-8 character.
std::string_view cut255(std::string_view s) {
    if (s.size() <= 255) return s;
    size_t n = 255;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

}  // namespace

std::string_view defaultMessageBlock() {
    return std::string_view(kBlock.data(), kBlock.size());
}

std::string packMessageTable(const std::vector<MessageEntry>& entries) {
    std::string out;
    auto byte = [&](unsigned v) { out.push_back(static_cast<char>(v & 0xFF)); };
    const size_t count = entries.size() > 0xFFFF ? 0xFFFF : entries.size();
    byte(static_cast<unsigned>(count));
    byte(static_cast<unsigned>(count >> 8));
    for (size_t i = 0; i < count; ++i) {
        const MessageEntry& e = entries[i];
        std::string_view title = cut255(e.title), text = cut255(e.text);
        byte(e.id);
        byte(e.id >> 8);
        byte(e.severity);
        byte(static_cast<unsigned>(title.size()));
        out.append(title);
        byte(static_cast<unsigned>(text.size()));
        out.append(text);
    }
    return out;
}

bool unpackMessageTable(std::string_view block, std::vector<MessageEntry>& out) {
    size_t at = 0;
    auto has = [&](size_t n) { return block.size() - at >= n; };
    auto u8 = [&]() { return static_cast<unsigned char>(block[at++]); };
    if (!has(2)) return false;
    unsigned count = u8();
    count |= static_cast<unsigned>(u8()) << 8;
    std::vector<MessageEntry> entries;
    entries.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        MessageEntry e;
        if (!has(4)) return false;
        e.id = u8();
        e.id |= static_cast<uint16_t>(u8() << 8);
        e.severity = u8();
        size_t len = u8();
        if (!has(len + 1)) return false;
        e.title.assign(block.substr(at, len));
        at += len;
        len = u8();
        if (!has(len)) return false;
        e.text.assign(block.substr(at, len));
        at += len;
        entries.push_back(std::move(e));
    }
    if (at != block.size()) return false;
    out = std::move(entries);
    return true;
}

}  // namespace corvix::framework

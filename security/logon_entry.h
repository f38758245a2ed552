// What a logon window collects, without the window: the entry, its echo line, the
// automatic OK at logon, and for exact-location themes the matching and the click marks.
#pragma once

#include <string>
#include <vector>

#include "runtime/secret.h"

#include "security/theme_geometry.h"

namespace corvix::security {

inline constexpr const char* kCancelled = "**Cancelled**";

// How a logon window ended: OK with the entry, or anything else ("**Cancelled**").
struct LogonResult {
    bool ok = false;
    ::runtime::Secret entry;
    // A copy of the entry the caller wipes, or "**Cancelled**".
    std::string text() const { return ok ? std::string(entry.view()) : kCancelled; }
};

// "Password:  " + one "*" per counted item (at most 64) + " (" + count + ")".
std::string echoText(int count);

class LogonEntry {
  public:
    enum class Kind { Grid, Location };
    static constexpr size_t kMaxChars = 255;
    static constexpr int kMaxStars = 64;

    // prompt blank = a logon; expected = the password clicks are matched against
    // (exact-location only); showHint/debug = the marks an exact-location window draws.
    LogonEntry(Kind kind, std::string prompt, std::string expected = {}, bool showHint = false,
               bool debug = false);
    // The entry and the expected password are wiped.
    ~LogonEntry();
    LogonEntry(const LogonEntry&) = delete;
    LogonEntry& operator=(const LogonEntry&) = delete;

    bool isLogon() const;
    const std::string& prompt() const { return prompt_; }
    ::runtime::Secret text() const;
    size_t length() const { return chars_.size(); }
    // Items the echo counts: characters, or clicks (two characters each).
    int count() const;
    std::string echo() const { return echoText(count()); }

    // Grid: appends the clicked cell's symbol. False when the entry is full.
    bool appendSymbol(char32_t symbol);
    // Exact location: matches the click and appends two characters; adds a mark when
    // hints are shown. nullopt when the entry is full.
    std::optional<LocationMatch> clickAt(Point click, Rect picture);
    const std::vector<ClickMark>& marks() const { return marks_; }

    void reset();

    // At logon (blank prompt), a non-empty entry equal to the master password makes the
    // window accept by itself.
    bool completesLogon(std::string_view masterPassword) const;

  private:
    Kind kind_;
    std::string prompt_;
    std::u32string expected_;
    bool showHint_;
    bool debug_;
    std::u32string chars_;
    std::vector<ClickMark> marks_;
};

}  // namespace corvix::security

#include "security/logon_entry.h"

#include <string.h>

#include <algorithm>

#include "runtime/secret.h"

#include "security/password_text.h"

namespace corvix::security {

std::string echoText(int count) {
    std::string s = "Password:  ";
    s.append(static_cast<size_t>(std::clamp(count, 0, LogonEntry::kMaxStars)), '*');
    s += " (" + std::to_string(count) + ")";
    return s;
}

LogonEntry::LogonEntry(Kind kind, std::string prompt, std::string expected, bool showHint,
                       bool debug)
    : kind_(kind),
      prompt_(std::move(prompt)),
      expected_(toChars(trimTrailingBlanks(expected))),
      showHint_(showHint),
      debug_(debug) {
    ::runtime::wipe(expected);
    // Room for the longest entry: appending never moves the characters, leaving a copy.
    chars_.reserve(kMaxChars);
}

namespace {
void wipeChars(std::u32string& chars) {
    if (chars.capacity() > 0) explicit_bzero(chars.data(), chars.capacity() * sizeof(char32_t));
    chars.clear();
}
}  // namespace

LogonEntry::~LogonEntry() {
    wipeChars(chars_);
    wipeChars(expected_);
}

bool LogonEntry::isLogon() const {
    return isBlank(prompt_);
}

::runtime::Secret LogonEntry::text() const {
    ::runtime::Secret out;
    out.reserve(chars_.size() * 4);
    for (char32_t c : chars_) {
        char32_t one[1] = {c};
        std::string bytes = toUtf8(std::u32string_view(one, 1));
        out.append(bytes);
        ::runtime::wipe(bytes);
    }
    return out;
}

int LogonEntry::count() const {
    int n = static_cast<int>(chars_.size());
    return kind_ == Kind::Location ? n / 2 : n;
}

bool LogonEntry::appendSymbol(char32_t symbol) {
    if (chars_.size() >= kMaxChars) return false;
    chars_.push_back(symbol);
    return true;
}

std::optional<LocationMatch> LogonEntry::clickAt(Point click, Rect picture) {
    if (chars_.size() + 2 > kMaxChars) return std::nullopt;
    LocationMatch m = matchLocationClick(click, picture, chars_, expected_);
    chars_ += m.code;
    if (showHint_) {
        ClickMark mark;
        mark.centre = m.used;
        mark.tolerance = clickTolerance({picture.w, picture.h});
        // The debug box shows where a recorded click was expected; it is drawn while
        // re-entering a password ("Re-enter ...").
        if (debug_ && !prompt_.empty() && prompt_[0] == 'R') mark.debugBox = m.expectedAt;
        marks_.push_back(mark);
    }
    return m;
}

void LogonEntry::reset() {
    wipeChars(chars_);
    marks_.clear();
}

bool LogonEntry::completesLogon(std::string_view masterPassword) const {
    if (!isLogon() || chars_.empty() || isBlank(masterPassword)) return false;
    return passwordMatches(text().view(), masterPassword);
}

}  // namespace corvix::security

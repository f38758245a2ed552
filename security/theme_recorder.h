// What the theme recorder (Edit:Image) does to a grid theme's symbol string, without the
// window: while recording, the first cell clicked lends its symbol to every cell clicked
// after it, so that several areas of the picture stand for the same character.
#pragma once

#include <set>
#include <string>

#include "security/theme_geometry.h"
#include "vault/records.h"

namespace corvix::security {

inline constexpr const char* kThemeInUseText = "This theme is in use.  It cannot be edited.";

// The recorder may not change the symbols of the theme the master password is given on.
bool themeLockedByMasterCopy(const vault::GsdRecord& theme);

class ThemeRecorder {
  public:
    // Works on theme (the form's record); keeps a copy of its symbol string.
    explicit ThemeRecorder(vault::GsdRecord& theme);

    bool recording() const { return recording_; }
    void start() { recording_ = true; }
    // Stops recording and lets go of the held symbol.
    void stop();
    bool holding() const { return holding_; }
    char32_t held() const { return held_; }  // meaningful while holding()

    // A click on cell while recording: the cell takes the held symbol, or lends its own
    // when none is held; the symbol is written at the cell's index and the cell marked.
    // False (nothing happens) while not recording.
    bool click(const ThemeCell& cell);
    // The cells clicked since the last layout, by (column, row).
    const std::set<std::pair<int, int>>& marked() const { return marked_; }
    void clearMarks() { marked_.clear(); }

    // Puts the symbol string back as it was when the recorder opened.
    void reset();

  private:
    vault::GsdRecord& theme_;
    std::string original_;
    bool recording_ = false;
    char32_t held_ = U' ';
    bool holding_ = false;
    std::set<std::pair<int, int>> marked_;
};

}  // namespace corvix::security

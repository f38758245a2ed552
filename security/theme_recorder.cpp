#include "security/theme_recorder.h"

#include "security/password_text.h"
#include "security/session.h"
#include "security/theme_symbols.h"

namespace corvix::security {

bool themeLockedByMasterCopy(const vault::GsdRecord& theme) {
    const vault::MasRecord& master = MasterCopy();
    return master.UseMasterPasswordImage && master.GSD_ID == theme.GSD_ID;
}

ThemeRecorder::ThemeRecorder(vault::GsdRecord& theme) : theme_(theme), original_(theme.Password) {}

void ThemeRecorder::stop() {
    recording_ = false;
    holding_ = false;
    held_ = U' ';
}

bool ThemeRecorder::click(const ThemeCell& cell) {
    if (!recording_) return false;
    if (!holding_) {
        held_ = cell.symbol;
        holding_ = true;
    }
    std::u32string symbols = toChars(theme_.Password);
    const size_t at = static_cast<size_t>(symbolIndex(cell.c, cell.r, theme_.Columns)) - 1;
    // A short string is blank-padded, as the stored field is.
    if (symbols.size() <= at) symbols.resize(at + 1, U' ');
    symbols[at] = held_;
    theme_.Password = clipChars(toUtf8(symbols), kSymbolStringChars);
    marked_.insert({cell.c, cell.r});
    return true;
}

void ThemeRecorder::reset() {
    theme_.Password = original_;
    marked_.clear();
}

}  // namespace corvix::security

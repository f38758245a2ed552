// Locators position a list on a typed key value. The incremental locator builds a search
// text of up to 40 characters from the keys typed in the list (Backspace removes the
// last one, Space adds a blank); the entry locator takes the value from an entry
// control when that is accepted.
#pragma once

#include <QPointer>
#include <string>

#include "platform/storage/record.h"

#include <QLineEdit>

namespace corvix::framework {

class Locator {
  public:
    enum class Kind { Incremental, Entry };
    // field: the key field located on; echo: the entry that shows the search text (or,
    // for an entry locator, receives the typed key).
    Locator(Kind kind, int field, QLineEdit* echo = nullptr, bool ignoreCase = true);

    Kind kind() const { return kind_; }
    int field() const { return field_; }
    QLineEdit* entry() const { return echo_; }

    // Incremental: takes a printable character (Space included) or Backspace ("\b").
    // True when the search text changed and the list should be positioned.
    bool take(const QString& typed);
    void clear();
    const std::string& text() const { return text_; }
    // Entry: takes the entry's text as the search value.
    void takeEntry();
    // Puts the search value into the key field of keyValues.
    void fill(storage::RecordBuffer& keyValues) const;

    static constexpr int kMaxText = 40;

  private:
    void echo();

    Kind kind_;
    int field_;
    QPointer<QLineEdit> echo_;
    bool ignoreCase_;
    std::string text_;
};

}  // namespace corvix::framework

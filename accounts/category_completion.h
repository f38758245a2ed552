// Type-ahead completion of a category entry: each printable key typed takes the text
// before the caret as a prefix (Backspace shortens it by one), finds the first category
// in key order from that prefix that begins with it (ignoring case) or matches it as a
// wildcard pattern, puts it in the entry and selects the part after the prefix, so that
// typing on overwrites it.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

class QLineEdit;

namespace corvix::framework {
class FileManager;
class RelationManager;
}  // namespace corvix::framework

namespace corvix::accounts {

// The first category at or after prefix in key order that begins with it or matches it
// as a pattern; "" when none. Reads through a handle of its own.
std::string completeCategory(framework::FileManager& categories, const std::string& prefix);

// Runs the categories list for selection; the chosen category goes into entry (marked
// modified). False when the user cancelled.
bool selectCategoryFromList(framework::RelationManager& categories, QLineEdit* entry);

class CategoryCompletion : public QObject {
  public:
    using Lookup = std::function<std::string(const std::string& prefix)>;
    CategoryCompletion(QLineEdit* entry, Lookup lookup);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void complete(const QString& prefix);

    QPointer<QLineEdit> entry_;
    Lookup lookup_;
};

}  // namespace corvix::accounts

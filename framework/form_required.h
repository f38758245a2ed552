// The required-field check of a form: which entries must not be left empty, and the
// "Missing Information" message that names the first empty one.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

class QWidget;

namespace corvix::framework {

class RequiredFields {
  public:
    struct Entry {
        QPointer<QWidget> control;
        std::string prompt;   // without "&" and ":" (40 characters)
        std::string message;  // 80 characters each
        std::string tip;
        std::string field;  // 40 characters
    };

    // Walks the window's controls in order: a label's text becomes the current prompt;
    // an entry, combo, spin or text control whose "required" property is set is added
    // with it. skipHidden also skips controls that are not visible when checking.
    void setup(QWidget* window, std::string title, std::string messageTemplate, bool skipHidden);
    // Adds control, or replaces its entry.
    void add(QWidget* control, std::string prompt, std::string message, std::string tip,
             std::string field);
    // The first enabled, shown control left empty: it is selected, the message is shown
    // and the control returned. nullptr when every required control has a value.
    QWidget* check() const;

    const std::vector<Entry>& entries() const { return entries_; }
    const std::string& title() const { return title_; }
    // The template filled in for one entry.
    std::string messageFor(const Entry& e) const;
    // "&Category:" -> "Category".
    static std::string promptText(const std::string& label);

  private:
    std::vector<Entry> entries_;
    std::string title_;
    std::string template_;
    bool skipHidden_ = false;
};

// True when the control holds no value (blank text, no selection).
bool controlEmpty(const QWidget* control);

}  // namespace corvix::framework

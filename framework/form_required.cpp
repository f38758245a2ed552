#include "framework/form_required.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include "framework/prompt.h"
#include "runtime/picture.h"

namespace corvix::framework {

namespace {

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

bool takesInput(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QTextEdit*>(w);
}

}  // namespace

bool controlEmpty(const QWidget* w) {
    auto blank = [](const QString& s) { return s.trimmed().isEmpty(); };
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return blank(e->text());
    if (auto* c = qobject_cast<const QComboBox*>(w)) return blank(c->currentText());
    if (auto* s = qobject_cast<const QAbstractSpinBox*>(w)) return blank(s->text());
    if (auto* p = qobject_cast<const QPlainTextEdit*>(w)) return blank(p->toPlainText());
    if (auto* t = qobject_cast<const QTextEdit*>(w)) return blank(t->toPlainText());
    return false;
}

std::string RequiredFields::promptText(const std::string& label) {
    std::string out;
    for (char c : label)
        if (c != '&' && c != ':') out += c;
    return runtime::cutToChars(runtime::rightTrim(out), 40);
}

void RequiredFields::setup(QWidget* window, std::string title, std::string messageTemplate,
                           bool skipHidden) {
    title_ = std::move(title);
    template_ = std::move(messageTemplate);
    skipHidden_ = skipHidden;
    if (!window) return;
    std::string prompt;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            prompt = promptText(label->text().toStdString());
        } else if (takesInput(w) && w->property("required").toBool()) {
            add(w, prompt, w->statusTip().toStdString(), w->toolTip().toStdString(),
                w->property("field").toString().toStdString());
        }
    }
}

void RequiredFields::add(QWidget* control, std::string prompt, std::string message, std::string tip,
                         std::string field) {
    Entry e{control, promptText(prompt), runtime::cutToChars(message, 80),
            runtime::cutToChars(tip, 80), runtime::cutToChars(field, 40)};
    for (Entry& existing : entries_) {
        if (existing.control == control) {
            existing = std::move(e);
            return;
        }
    }
    entries_.push_back(std::move(e));
}

std::string RequiredFields::messageFor(const Entry& e) const {
    std::string text = template_;
    replaceAll(text, "@PROMPT", "\"" + e.prompt + "\"");
    replaceAll(text, "@MSG", e.message);
    replaceAll(text, "@TIP", e.tip);
    replaceAll(text, "@FIELD", "\"" + e.field + "\"");
    return text;
}

QWidget* RequiredFields::check() const {
    for (const Entry& e : entries_) {
        QWidget* w = e.control;
        if (!w || !w->isEnabled() || w->isHidden()) continue;
        if (skipHidden_ && !w->isVisible()) continue;
        if (!controlEmpty(w)) continue;
        w->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
        prompt().ask(title_, messageFor(e), Icon::Information, kButtonOk, kButtonOk);
        return w;
    }
    return nullptr;
}

}  // namespace corvix::framework

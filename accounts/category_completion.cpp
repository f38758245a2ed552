#include "accounts/category_completion.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "accounts/browse_cvcat.h"
#include "framework/file_manager.h"
#include "framework/relation_manager.h"
#include "platform/storage/table.h"
#include "runtime/picture.h"
#include "send/windows.h"
#include "vault/tables.h"

namespace corvix::accounts {

std::string completeCategory(framework::FileManager& categories, const std::string& prefix) {
    if (prefix.empty()) return {};
    storage::Table table(categories.Decl());
    if (categories.beforeOpen) categories.beforeOpen(table);
    if (table.open(storage::kReadOnly | storage::kDenyNone) != 0) return {};
    vault::CatBuffer at;
    at->Category = prefix;
    if (table.setFrom(vault::cat::K_Category, at) != 0) return {};
    const QString wanted = QString::fromStdString(prefix);
    const bool pattern = wanted.contains('*') || wanted.contains('?');
    vault::CatBuffer row;
    while (table.next(row) == 0) {
        const QString name = QString::fromStdString(row->Category);
        if (name.startsWith(wanted, Qt::CaseInsensitive) ||
            send::TitleMatches(row->Category, prefix))
            return row->Category;
        // In key order nothing further can begin with the prefix.
        if (!pattern) break;
    }
    return {};
}

bool selectCategoryFromList(framework::RelationManager& categories, QLineEdit* entry) {
    BrowseCVCAT look(categories, framework::kSelectRecord);
    if (look.run() != framework::kRequestCompleted) return false;
    entry->setText(QString::fromStdString(
        runtime::rightTrim(categories.File().Buffer().getString(vault::cat::Category))));
    entry->setModified(true);
    return true;
}

CategoryCompletion::CategoryCompletion(QLineEdit* entry, Lookup lookup)
    : QObject(entry), entry_(entry), lookup_(std::move(lookup)) {
    entry->installEventFilter(this);
}

void CategoryCompletion::complete(const QString& prefix) {
    if (prefix.isEmpty() || !lookup_) return;
    const std::string found = lookup_(prefix.toStdString());
    if (found.empty()) return;
    const QString full = QString::fromStdString(found);
    entry_->setText(full);
    entry_->setModified(true);
    entry_->setSelection(full.size(), -(full.size() - prefix.size()));
}

bool CategoryCompletion::eventFilter(QObject* watched, QEvent* event) {
    if (watched != entry_ || event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    const int code = key->key();
    if (code == Qt::Key_Left || code == Qt::Key_Right) return false;
    const int start =
        entry_->hasSelectedText() ? entry_->selectionStart() : entry_->cursorPosition();
    if (code == Qt::Key_Backspace) {
        const QString prefix = entry_->text().left(std::max(0, start - 1));
        entry_->setText(prefix + entry_->text().mid(start + entry_->selectedText().size()));
        entry_->setCursorPosition(prefix.size());
        entry_->setModified(true);
        complete(prefix);
        return true;
    }
    const QString typed = key->text();
    if (typed.isEmpty() || !typed.at(0).isPrint()) return false;
    // Let the entry take the key first (it replaces the selected completion).
    entry_->removeEventFilter(this);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
    QCoreApplication::sendEvent(entry_, &copy);
    entry_->installEventFilter(this);
    complete(entry_->text().left(entry_->cursorPosition()));
    return true;
}

}  // namespace corvix::accounts

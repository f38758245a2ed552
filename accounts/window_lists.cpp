#include "accounts/window_lists.h"

#include <QComboBox>

#include "accounts/accounts_context.h"
#include "runtime/picture.h"
#include "send/windows.h"

namespace corvix::accounts {

void fillWindowLists(QComboBox* target, QComboBox* requiredText) {
    desktop::Desktop* d = accountsDesktop();
    if (!d || !target || !requiredText) return;
    send::ListTopWindows(*d);
    const QString typed = target->currentText();
    const QString requiredTyped = requiredText->currentText();
    target->blockSignals(true);
    target->clear();
    for (const send::WinEntry& w : send::Q_WIN) target->addItem(QString::fromStdString(w.TITLE));
    target->setCurrentText(typed);
    target->blockSignals(false);
    requiredText->blockSignals(true);
    requiredText->clear();
    const std::string pattern = typed.toStdString();
    for (const send::WinEntry& w : send::Q_WIN) {
        if (pattern.empty() || !send::TitleMatches(w.TITLE, pattern)) continue;
        send::ListChildWindows(*d, w.HANDLE);
        for (const send::WinEntry& t : send::Q_CWIN)
            requiredText->addItem(QString::fromStdString(t.TITLE));
        break;
    }
    requiredText->setCurrentText(requiredTyped);
    requiredText->blockSignals(false);
}

std::string lastForeignTitle() {
    desktop::Desktop* d = accountsDesktop();
    if (!d || !send::LastForeignWindow || !d->windowExists(send::LastForeignWindow)) return {};
    for (const desktop::WindowInfo& w : d->topWindows())
        if (w.handle == send::LastForeignWindow) return runtime::rightTrim(w.title);
    return {};
}

}  // namespace corvix::accounts

#include "framework/secret_clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

namespace corvix::framework {

namespace {

constexpr const char* kHintFormat = "x-kde-passwordManagerHint";

struct Pending {
    ::runtime::Secret text;  // what was copied, to tell it from a later copy
    QPointer<QTimer> timer;
    bool exitHooked = false;
};

Pending& pending() {
    static Pending p;
    return p;
}

}  // namespace

bool clipboardHoldsSecret() {
    Pending& p = pending();
    if (p.text.empty()) return false;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(kHintFormat)) return false;
    const QByteArray now = data->text().toUtf8();
    return p.text.equals(std::string_view(now.constData(), static_cast<size_t>(now.size())));
}

void clearSecretClipboard() {
    Pending& p = pending();
    if (p.timer) p.timer->stop();
    if (clipboardHoldsSecret()) QApplication::clipboard()->clear();
    p.text.clear();
}

void copySecretToClipboard(const ::runtime::Secret& text, int clearAfterMs) {
    Pending& p = pending();
    auto* data = new QMimeData;
    data->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    data->setData(kHintFormat, "secret");
    QApplication::clipboard()->setMimeData(data);
    p.text = text.clone();
    if (!p.timer) {
        p.timer = new QTimer(qApp);
        p.timer->setSingleShot(true);
        QObject::connect(p.timer, &QTimer::timeout, [] { clearSecretClipboard(); });
    }
    p.timer->start(clearAfterMs);
    if (!p.exitHooked) {
        p.exitHooked = true;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { clearSecretClipboard(); });
    }
}

}  // namespace corvix::framework

#include "accounts/start_url.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "runtime/picture.h"

namespace corvix::accounts {

QUrl accountUrl(std::string_view text) {
    QString t =
        QString::fromStdString(runtime::rightTrim(std::string(text.substr(0, 255)))).trimmed();
    if (t.isEmpty()) return {};
    if (t.startsWith("~/")) t = QDir::homePath() + t.mid(1);
    if (t.startsWith('/') || QFileInfo::exists(t))
        return QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath());
    const QUrl url(t, QUrl::StrictMode);
    // "c:..." style one-letter schemes and texts without a scheme are not addresses.
    if (url.isValid() && url.scheme().size() > 1) return url;
    const QUrl web("http://" + t, QUrl::StrictMode);
    return web.isValid() ? web : QUrl();
}

bool startAccountUrl(std::string_view text) {
    const QUrl url = accountUrl(text);
    if (!url.isValid() || url.isEmpty()) return false;
    QDesktopServices::openUrl(url);
    return true;
}

}  // namespace corvix::accounts

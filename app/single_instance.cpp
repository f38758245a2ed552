#include "app/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace corvix::app {

namespace {

constexpr char kRestore[] = "restore\n";
constexpr char kDone[] = "ok\n";

QString runtimeDirectory() {
    const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!dir.isEmpty() && QFileInfo(dir).isDir()) return dir;
    // Without a session's runtime folder, a private folder of our own under /tmp.
    const QString fallback = QDir::tempPath() + QString("/corvix-%1").arg(getuid());
    QDir().mkpath(fallback);
    QFile::setPermissions(fallback, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return fallback;
}

}  // namespace

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), path_(socketPath(dataFolder)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();  // removes the socket file
}

QString SingleInstance::socketPath(const QString& dataFolder) {
    const QString canonical = QFileInfo(dataFolder).canonicalFilePath();
    const QByteArray id = QCryptographicHash::hash(
        (canonical.isEmpty() ? dataFolder : canonical).toUtf8(), QCryptographicHash::Sha256);
    return runtimeDirectory() + "/corvix-" + QString::fromLatin1(id.toHex().left(16)) + ".socket";
}

bool SingleInstance::askRunningToRestore(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kRestore);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The answer tells that the running program took the request, not just the socket.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    }
    return socket.readLine() == kDone;
}

bool SingleInstance::listen(QString* error) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);  // mode 0600
    if (!server_->listen(path_)) {
        // Nobody answered askRunningToRestore, so a socket file here is a crashed
        // program's: remove it and take the name.
        QLocalServer::removeServer(path_);
        if (!server_->listen(path_)) {
            *error = server_->errorString();
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) return;
                if (socket->readLine() == kRestore) {
                    socket->write(kDone);
                    socket->flush();
                    if (onRestore) onRestore();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

}  // namespace corvix::app

// One running program per data folder. A second start finds the first through a local
// socket in $XDG_RUNTIME_DIR, asks it to restore its frame (as Win+S does, with the logon
// when logged off) and ends. A socket left behind by a crashed program answers no one and
// is replaced.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace corvix::app {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's full path: one per user and data folder.
    static QString socketPath(const QString& dataFolder);

    // True when another program for this folder answered and took the request.
    bool askRunningToRestore(int timeoutMs = 2000);
    // Takes the name (replacing a stale socket); false with *error when it cannot.
    bool listen(QString* error);

    std::function<void()> onRestore;

  private:
    QString path_;
    QLocalServer* server_ = nullptr;
};

}  // namespace corvix::app

#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace vemba {

namespace {

constexpr QByteArrayView kRaise = "raise\n";
constexpr QByteArrayView kDone = "done\n";
// The first copy may still be starting when it already holds the lock.
constexpr int kAnswerMs = 5000;

// The runtime directory is the user's own and emptied at logout; without
// one, the temporary directory with the user's id in the name.
QString runtimeDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString instanceName(const QString& settingsDirectory) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir(settingsDirectory).absolutePath().toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    QString name = QStringLiteral("vemba-pc-%1").arg(QString::fromLatin1(hash));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        name += QStringLiteral("-%1").arg(getuid());
    }
    return runtimeDirectory() + u'/' + name;
}

} // namespace

SingleInstance::SingleInstance(const QString& settingsDirectory)
    : m_name(instanceName(settingsDirectory)), m_lock(m_name + QStringLiteral(".lock")) {
    // Held for as long as the program runs, however long that is; a lock left
    // by a copy that was killed names a process that is gone and is taken over.
    m_lock.setStaleLockTime(0);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
}

bool SingleInstance::claim() {
    if (m_lock.tryLock(0)) {
        listen();
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        return true;
    }
    if (!askRunningCopy()) {
        std::fputs("vemba-pc: ヴェンバPCはすでに動いていますが、応答がありません。\n", stderr);
    }
    return false;
}

bool SingleInstance::askRunningCopy() {
    const QDeadlineTimer deadline(kAnswerMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(m_name);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(50);
    }
    socket.write(kRaise.data(), kRaise.size());
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return socket.readLine() == kDone.toByteArray();
}

void SingleInstance::listen() {
    // The lock is ours, so a socket left there belongs to a copy that is gone.
    QLocalServer::removeServer(m_name);
    if (!m_server.listen(m_name)) {
        return; // later starts find no one to ask and say so
    }
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    // Nothing of ours says more than a word.
                    if (socket->bytesAvailable() > kRaise.size()) {
                        socket->abort();
                    }
                    return;
                }
                if (socket->readLine() == kRaise.toByteArray()) {
                    emit raiseRequested();
                    socket->write(kDone.data(), kDone.size());
                }
                socket->disconnectFromServer();
            });
        }
    });
}

} // namespace vemba

#include "single_instance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

TSingleInstance::TSingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), fLock(folder + QStringLiteral("tavolin.lock"))
{
    const QByteArray hash = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    fName = QStringLiteral("tavolin-") + QString::fromLatin1(hash);
    // Held for as long as the copy runs; a crashed copy's lock is stale by its
    // process, not by age.
    fLock.setStaleLockTime(0);
}

bool TSingleInstance::Claim(bool *reached)
{
    if (fLock.tryLock(0)) {
        QLocalServer::removeServer(fName); // left behind by a copy that crashed
        fServer.setSocketOptions(QLocalServer::UserAccessOption);
        fServer.listen(fName);
        connect(&fServer, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *peer = fServer.nextPendingConnection()) {
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                emit ActivationRequested();
            }
        });
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(fName);
    *reached = socket.waitForConnected(2000);
    if (*reached) {
        socket.write("show\n");
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
    }
    return false;
}

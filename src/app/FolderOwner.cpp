#include "app/FolderOwner.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace zv {

namespace {

const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray kRaisedAnswer = QByteArrayLiteral("raised\n");
// A second start waits this long for the owner, which may itself still be starting.
constexpr int kAnswerWaitMs = 10000;

QString canonicalFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : canonical;
}

} // namespace

FolderOwner::FolderOwner(const QString &folder, std::function<void()> bringToFront, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_bringToFront(std::move(bringToFront))
    , m_lock(lockFilePath(folder))
{
    // Only a lock whose process has gone is stale, however long the owner has been running.
    m_lock.setStaleLockTime(0);
}

FolderOwner::~FolderOwner() = default;

QString FolderOwner::lockFilePath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("Zorvanell.lock"));
}

QString FolderOwner::serverName(const QString &folder)
{
    const QByteArray hash =
        QCryptographicHash::hash(canonicalFolder(folder).toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("zorvanell-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash)));
}

FolderOwner::Claim FolderOwner::claim()
{
    if (m_lock.tryLock(0))
        return listen() ? Claim::Owner : Claim::Unowned;
    if (m_lock.error() != QLockFile::LockFailedError)
        return Claim::Unowned;
    return askOwner() ? Claim::OwnerAnswered : Claim::OwnerSilent;
}

bool FolderOwner::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket left at this address belongs to a program that died.
    QLocalServer::removeServer(serverName(m_folder));
    if (!m_server->listen(serverName(m_folder)))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &FolderOwner::answer);
    return true;
}

void FolderOwner::answer()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() > kRaiseRequest.size()) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == kRaiseRequest) {
                if (m_bringToFront)
                    m_bringToFront();
                socket->write(kRaisedAnswer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

bool FolderOwner::askOwner() const
{
    const QDeadlineTimer deadline(kAnswerWaitMs);
    QLocalSocket socket;
    // The owner takes the lock before it listens: keep trying while it gets there.
    while (true) {
        socket.connectToServer(serverName(m_folder));
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() <= kRaisedAnswer.size()) {
        if (!socket.waitForReadyRead(int(qMax<qint64>(0, deadline.remainingTime()))))
            return false;
        reply += socket.readAll();
    }
    return reply == kRaisedAnswer;
}

} // namespace zv

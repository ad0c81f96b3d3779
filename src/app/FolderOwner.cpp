#include "app/FolderOwner.h"

#include "core/Files.h"
#include "core/Seam.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv {

namespace {

const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray kRaisedAnswer = QByteArrayLiteral("raised\n");
// A second start waits this long for the owner, which may itself still be starting.
constexpr int kAnswerWaitMs = 10000;
constexpr int kPollMs = 100;

// What the owner writes into its lock file once it has tried to listen. The first three lines are
// those QLockFile wrote, so that an older Zorvanell finds the owner gone and takes the file over.
struct Stamp
{
    bool valid = false;
    qint64 pid = 0;
    QByteArray host;
    QByteArray boot;
    bool listening = false;
};

QByteArray hostName()
{
    return QSysInfo::machineHostName().toUtf8();
}

// Changes with every boot: a stamp of this host but another boot was written before a restart.
QByteArray bootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

QByteArray stampText(bool listening)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + "\nZorvanell\n" + hostName() + '\n' + bootId() +
           '\n' + (listening ? "listening" : "not listening") + '\n';
}

Stamp readStamp(const QString &lockFile)
{
    QFile file(lockFile);
    if (!openRegularFile(file))
        return {};
    const QList<QByteArray> lines = file.read(4096).split('\n');
    Stamp stamp;
    if (lines.size() < 5)
        return stamp;
    stamp.pid = lines[0].toLongLong(&stamp.valid);
    stamp.host = lines[2];
    stamp.boot = lines[3];
    stamp.listening = lines[4] == "listening";
    stamp.valid = stamp.valid && stamp.pid > 0 && !stamp.host.isEmpty();
    return stamp;
}

bool fromThisBoot(const Stamp &stamp)
{
    return stamp.valid && stamp.host == hostName() && stamp.boot == bootId();
}

// A folder only this user may enter: not a link, ours, closed to group and others.
bool isPrivateFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat info = {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 077) == 0 && ::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Makes the socket's folder when it is missing; true when it is private, whoever made it.
bool readySocketFolder(const QString &folder)
{
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateFolder(folder);
}

// The user at the other end of a local socket, -1 when it cannot be told.
qint64 peerUser(qintptr descriptor)
{
    struct ucred credentials = {};
    socklen_t size = sizeof credentials;
    if (descriptor < 0 || ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return -1;
    return credentials.uid;
}

// Starts on one folder repair its lock file one at a time: one start's removal of what stood in the
// way never removes the lock another has just made. Given up after a while, should anything else
// hold a lock on the folder.
class FolderGuard
{
public:
    explicit FolderGuard(const QString &folder)
        : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        const QDeadlineTimer deadline(2000);
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK && !deadline.hasExpired())
            QThread::msleep(10);
    }
    ~FolderGuard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderGuard(const FolderGuard &) = delete;
    FolderGuard &operator=(const FolderGuard &) = delete;

private:
    int m_fd;
};

QString quoted(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

void refuse(const QString &reason)
{
    showMessage(nullptr, reason + QStringLiteral("\nПрограмма будет закрыта."), MessageForm::OkExclamation);
}

} // namespace

FolderOwner::FolderOwner(const QString &folder, std::function<void()> bringToFront, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_bringToFront(std::move(bringToFront))
    , m_answerWaitMs(kAnswerWaitMs)
{
}

FolderOwner::~FolderOwner()
{
    // The file stays: removing it could remove a lock file another start has just opened.
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString FolderOwner::lockFilePath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("Zorvanell.lock"));
}

QString FolderOwner::serverName(const QString &folder)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return QString();
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // After su without -l the runtime folder is another user's; so is one anybody may enter.
    if (base.isEmpty() || !isPrivateFolder(base))
        base = QDir::tempPath() + QStringLiteral("/zorvanell-") + QString::number(::geteuid());
    return base + QStringLiteral("/zorvanell-%1-%2").arg(quint64(info.st_dev), 0, 16).arg(quint64(info.st_ino), 0, 16);
}

FolderOwner::Claim FolderOwner::claim()
{
    switch (takeLock(false)) {
    case Lock::Taken:
        return becomeOwner();
    case Lock::Held:
        return askOwner();
    case Lock::InTheWay: {
        const QString path = lockFilePath(m_folder);
        const QString reason = irregularFileReason(path);
        refuse(QStringLiteral("Zorvanell не может занять папку %1: файл блокировки %2 нельзя ни открыть, ни убрать%3. "
                              "Уберите его, и программа запустится.")
                   .arg(quoted(m_folder), quoted(path),
                        reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)));
        return Claim::Refused;
    }
    case Lock::Impossible:
        break;
    }
    return Claim::Unowned;
}

FolderOwner::Lock FolderOwner::takeLock(bool replaceHeld)
{
    const FolderGuard guard(m_folder);
    const QByteArray path = QFile::encodeName(lockFilePath(m_folder));
    struct stat info = {};
    // Only a regular file can hold our lock: a link, pipe, device or folder in its place is no lock
    // of a running program and is removed, never opened or followed; a held lock only when asked to.
    if (::lstat(path.constData(), &info) == 0 && (replaceHeld || !S_ISREG(info.st_mode)) &&
        ::unlink(path.constData()) != 0 && !(S_ISDIR(info.st_mode) && ::rmdir(path.constData()) == 0))
        return Lock::InTheWay;
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | flags, 0644);
    bool writable = fd >= 0;
    // A file we may not write (another user's) still tells by its lock whether anyone holds it.
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | flags);
    if (fd < 0)
        return errno == ELOOP ? Lock::InTheWay : Lock::Impossible;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Lock::InTheWay;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Lock::Held : Lock::Impossible;
    }
    // Nobody holds it: made anew as our own file while the guard keeps other starts out, or, where
    // the folder is read-only, held as it is.
    if (!writable && ::unlink(path.constData()) == 0) {
        ::close(fd);
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | flags, 0644);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (fd >= 0)
                ::close(fd);
            return Lock::Impossible;
        }
    }
    m_lockFd = fd;
    return Lock::Taken;
}

FolderOwner::Claim FolderOwner::becomeOwner()
{
    // Whatever an earlier owner wrote goes at once: until our stamp, a later start sees one starting,
    // and so it does when the stamp cannot be written.
    const bool emptied = ::ftruncate(m_lockFd, 0) == 0;
    const QByteArray stamp = stampText(listen());
    if (emptied && ::pwrite(m_lockFd, stamp.constData(), size_t(stamp.size()), 0) == stamp.size())
        ::fdatasync(m_lockFd);
    return Claim::Owner;
}

FolderOwner::Claim FolderOwner::askOwner()
{
    const QString lockFile = lockFilePath(m_folder);
    const QDeadlineTimer deadline(m_answerWaitMs);
    int foreignSightings = 0;
    Stamp stamp;
    while (true) {
        stamp = readStamp(lockFile);
        if (stamp.valid && stamp.host != hostName()) {
            // Held from another computer that shares the folder, where no one hears us. Seen twice, so
            // that a start here that has just taken the lock has had its moment to write its stamp.
            if (++foreignSightings >= 2)
                return offerTakeOver(QStringLiteral("Папку %1 занимает Zorvanell на компьютере «%2».")
                                         .arg(quoted(m_folder), QString::fromUtf8(stamp.host)));
        } else if (fromThisBoot(stamp) && !stamp.listening) {
            refuse(QStringLiteral("Zorvanell уже работает с папкой %1 (процесс %2), но не может принимать вызовы "
                                  "других запусков: переключитесь на его окно сами.")
                       .arg(quoted(m_folder))
                       .arg(stamp.pid));
            return Claim::Refused;
        } else {
            foreignSightings = 0;
        }
        if (callOwner(int(deadline.remainingTime())) == Call::Answered)
            return Claim::OwnerAnswered;
        if (deadline.hasExpired())
            break;
        QThread::msleep(kPollMs);
    }
    const QString who = fromThisBoot(stamp) ? QStringLiteral(" (процесс %1)").arg(stamp.pid) : QString();
    return offerTakeOver(
        QStringLiteral("Zorvanell уже работает с папкой %1%2, но не отвечает.").arg(quoted(m_folder), who));
}

// The owner's answer to "raise", within `waitMs`; no answer from anything but our own user.
FolderOwner::Call FolderOwner::callOwner(int waitMs) const
{
    const QString name = serverName(m_folder);
    if (name.isEmpty() || !readySocketFolder(QFileInfo(name).path()))
        return Call::NoAnswer;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(qBound(0, waitMs, kPollMs)) || peerUser(socket.socketDescriptor()) != ::geteuid())
        return Call::NoAnswer;
    const QDeadlineTimer deadline(waitMs);
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return Call::NoAnswer;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() <= kRaisedAnswer.size()) {
        if (!socket.waitForReadyRead(int(qMax<qint64>(0, deadline.remainingTime()))))
            return Call::NoAnswer;
        reply += socket.readAll();
    }
    return reply == kRaisedAnswer ? Call::Answered : Call::NoAnswer;
}

// Where the program cannot tell whether the owner still runs, the user can: the lock file is named,
// and on Yes it is made anew and held by this start.
FolderOwner::Claim FolderOwner::offerTakeOver(const QString &situation)
{
    const QString question =
        situation + QStringLiteral("\nЕсли та программа уже закрыта, её блокировку (файл %1) можно снять и "
                                   "работать с папкой здесь. Снять блокировку?")
                        .arg(quoted(lockFilePath(m_folder)));
    if (showMessage(nullptr, question, MessageForm::YesNoQuestion) != MessageAnswer::Yes)
        return Claim::Refused;
    switch (takeLock(true)) {
    case Lock::Taken:
        return becomeOwner();
    case Lock::Held:
    case Lock::InTheWay:
        refuse(QStringLiteral("Блокировку папки %1 снять не удалось.").arg(quoted(m_folder)));
        return Claim::Refused;
    case Lock::Impossible:
        break;
    }
    return Claim::Unowned;
}

bool FolderOwner::listen()
{
    const QString name = serverName(m_folder);
    if (name.isEmpty() || !readySocketFolder(QFileInfo(name).path()))
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket left at this address belongs to a program that died.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &FolderOwner::answer);
    return true;
}

void FolderOwner::answer()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        // Only our own user may bring our window forward.
        if (peerUser(socket->socketDescriptor()) != ::geteuid()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
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

} // namespace zv

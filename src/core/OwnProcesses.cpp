#include "core/OwnProcesses.h"

#include "core/Seam.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace zv {

namespace {

QByteArray readSmall(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

// The real user id from the "Uid:" line of /proc/<pid>/status; -1 when it cannot be read.
qint64 realUserId(const QString &processFolder)
{
    const QByteArray status = readSmall(processFolder + QStringLiteral("/status"), 4096);
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> fields = line.mid(4).simplified().split(' ');
        bool ok = false;
        const qint64 uid = fields.value(0).toLongLong(&ok);
        return ok ? uid : -1;
    }
    return -1;
}

// The file name after the last slash or backslash (Windows programs run by Wine keep a
// Windows path in their command line).
QByteArray lastPathPart(const QByteArray &path)
{
    const qsizetype cut = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    return path.mid(cut + 1);
}

bool sameName(const QString &processFolder, const QByteArray &wanted)
{
    QByteArray comm = readSmall(processFolder + QStringLiteral("/comm"), 64);
    if (comm.endsWith('\n'))
        comm.chop(1);
    if (wanted.size() < kProcessNameBytes)
        return comm == wanted;
    // A name of 15 bytes may be what is left of a longer one: the cut part must match, and the
    // whole name must be the program's.
    if (comm != wanted.left(kProcessNameBytes))
        return false;
    const QByteArray exe = QFile::encodeName(QFileInfo(processFolder + QStringLiteral("/exe")).symLinkTarget());
    if (!exe.isEmpty() && lastPathPart(exe) == wanted)
        return true;
    const QByteArray cmdline = readSmall(processFolder + QStringLiteral("/cmdline"), 4096);
    return lastPathPart(cmdline.left(cmdline.indexOf('\0'))) == wanted;
}

} // namespace

QList<qint64> ownProcessesNamed(const QString &name, const QString &procRoot)
{
    QList<qint64> ids;
    const QByteArray wanted = QFile::encodeName(name);
    if (wanted.isEmpty())
        return ids;
    const qint64 me = ::getuid();
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isProcess = false;
        const qint64 pid = entry.toLongLong(&isProcess);
        if (!isProcess || pid <= 0)
            continue;
        const QString folder = procRoot + QLatin1Char('/') + entry;
        if (realUserId(folder) == me && sameName(folder, wanted))
            ids << pid;
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool stopOwnProcesses(const QStringList &names, const QString &procRoot)
{
    QStringList arguments{QStringLiteral("-s"), QStringLiteral("KILL"), QStringLiteral("--")};
    QList<qint64> seen;
    for (const QString &name : names) {
        for (const qint64 pid : ownProcessesNamed(name, procRoot)) {
            if (seen.contains(pid))
                continue;
            seen << pid;
            arguments << QString::number(pid);
        }
    }
    if (seen.isEmpty())
        return false;
    return seam().startProcess(QStringLiteral("kill"), arguments);
}

QString findProgram(const QString &name, const QStringList &folders)
{
    if (name.isEmpty())
        return {};
    for (const QString &folder : folders) {
        const QFileInfo candidate(QDir(folder).filePath(name));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(name);
}

} // namespace zv

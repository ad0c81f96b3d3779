#include "FakeProc.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace zvtest {

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

void FakeProc::add(qint64 pid, const QByteArray &name, qint64 uid, const QString &exe, const QByteArray &argv0)
{
    const QString folder = m_dir.filePath(QString::number(pid));
    QDir().mkpath(folder);
    write(folder + QStringLiteral("/comm"), name.left(15) + '\n');
    const QByteArray id = QByteArray::number(uid);
    write(folder + QStringLiteral("/status"), "Name:\t" + name.left(15) +
                                                  "\nUmask:\t0022\nState:\tS (sleeping)\nUid:\t" + id + '\t' + id +
                                                  '\t' + id + '\t' + id + "\nGid:\t0\t0\t0\t0\n");
    write(folder + QStringLiteral("/cmdline"), (argv0.isEmpty() ? name : argv0) + QByteArray("\0--flag\0", 8));
    if (!exe.isEmpty())
        QFile::link(exe, folder + QStringLiteral("/exe"));
}

void FakeProc::addOwn(qint64 pid, const QByteArray &name, const QString &exe, const QByteArray &argv0)
{
    add(pid, name, ::getuid(), exe, argv0);
}

void FakeProc::addForeign(qint64 pid, const QByteArray &name)
{
    add(pid, name, ::getuid() + 1000);
}

} // namespace zvtest

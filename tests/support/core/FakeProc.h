#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace zvtest {

// A folder laid out like /proc with made-up processes, so that stopping by name can be tested
// without any real process.
class FakeProc
{
public:
    // The process `pid` with the kernel's name `comm` (cut to 15 bytes as the kernel does), owned
    // by the real user `uid`; `exe` is where /proc/<pid>/exe points, `argv0` the first word of its
    // command line.
    void add(qint64 pid, const QByteArray &name, qint64 uid, const QString &exe = {}, const QByteArray &argv0 = {});
    // A process of the user running the test.
    void addOwn(qint64 pid, const QByteArray &name, const QString &exe = {}, const QByteArray &argv0 = {});
    // A process of some other user.
    void addForeign(qint64 pid, const QByteArray &name);

    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

} // namespace zvtest

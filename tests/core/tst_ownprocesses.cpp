#include "FakeProc.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/OwnProcesses.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using Ids = QList<qint64>;

class TestOwnProcesses : public QObject
{
    Q_OBJECT

private slots:
    void exactNamesOfOwnProcessesOnly()
    {
        zvtest::FakeProc proc;
        proc.addOwn(10, "a b");
        proc.addOwn(11, "it's");
        proc.addOwn(12, "x;rm -rf ~");
        proc.addOwn(13, "$(touch p)");
        proc.addOwn(14, "a bc");
        proc.addOwn(15, "A B");
        proc.addOwn(16, "a b");
        proc.addForeign(20, "a b");
        proc.addOwn(21, ".*");
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("a b"), proc.root()), (Ids{10, 16}));
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("it's"), proc.root()), (Ids{11}));
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("x;rm -rf ~"), proc.root()), (Ids{12}));
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("$(touch p)"), proc.root()), (Ids{13}));
        // Nothing is a pattern: no prefixes, no other letter case, no wildcards.
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("a"), proc.root()), Ids{});
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("a B"), proc.root()), Ids{});
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral(".*"), proc.root()), (Ids{21}));
        QCOMPARE(zv::ownProcessesNamed(QString(), proc.root()), Ids{});
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("a b"), proc.root() + QStringLiteral("/missing")), Ids{});
    }

    void longNamesAreMatchedInFullByTheProgramFile()
    {
        zvtest::FakeProc proc;
        const QByteArray name = "NMIndexingService.exe";
        // The kernel keeps "NMIndexingServi"; the program file decides.
        proc.addOwn(30, name, QStringLiteral("/opt/nm/NMIndexingService.exe"));
        proc.addOwn(31, name, QStringLiteral("/usr/bin/wine64-preloader"),
                    "C:\\Program Files\\NM\\NMIndexingService.exe");
        proc.addOwn(32, "NMIndexingServiceX", QStringLiteral("/opt/nm/NMIndexingServiceX"));
        proc.addOwn(33, "NMIndexingServi");
        proc.addForeign(34, name);
        QCOMPARE(zv::ownProcessesNamed(QString::fromLatin1(name), proc.root()), (Ids{30, 31}));
        // Fifteen bytes may be a cut name too: the program file decides again.
        proc.addOwn(35, "NMIndexingServi", QStringLiteral("/opt/NMIndexingServi"));
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("NMIndexingServi"), proc.root()), (Ids{33, 35}));
        QCOMPARE(zv::ownProcessesNamed(QStringLiteral("NMIndexingServ"), proc.root()), Ids{});

        // Cut in the middle of a Cyrillic letter: bytes, not letters, are compared.
        const QString cyrillic = QStringLiteral("Пасхалка-служба");
        proc.addOwn(40, cyrillic.toUtf8(), QStringLiteral("/opt/") + cyrillic);
        QCOMPARE(zv::ownProcessesNamed(cyrillic, proc.root()), (Ids{40}));
    }

    void stoppingStartsOneKillWithThePidsNeverTheNames()
    {
        zvtest::FakeProc proc;
        zvtest::ScriptedSeam seam;
        proc.addOwn(7, "b;$(x)");
        proc.addOwn(5, "a \"q\"");
        proc.addOwn(9, "a \"q\"");
        QVERIFY(zv::stopOwnProcesses(
            {QStringLiteral("b;$(x)"), QStringLiteral("missing"), QStringLiteral("a \"q\""), QStringLiteral("b;$(x)")},
            proc.root()));
        QCOMPARE(seam.started.size(), 1);
        QCOMPARE(seam.started[0].program, QStringLiteral("kill"));
        QCOMPARE(seam.started[0].arguments,
                 (QStringList{QStringLiteral("-s"), QStringLiteral("KILL"), QStringLiteral("--"), QStringLiteral("7"),
                              QStringLiteral("5"), QStringLiteral("9")}));

        // No match: nothing is started at all.
        QVERIFY(!zv::stopOwnProcesses({QStringLiteral("nothing"), QString()}, proc.root()));
        QCOMPARE(seam.started.size(), 1);
        // A kill that cannot be started is reported to the caller.
        seam.startResults.enqueue(false);
        QVERIFY(!zv::stopOwnProcesses({QStringLiteral("b;$(x)")}, proc.root()));
    }

    void findsOwnChildInTheRealProcFileSystem()
    {
        // A program started under a name a shell would choke on, and one too long for the kernel.
        QTemporaryDir dir;
        const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        QVERIFY(!sleep.isEmpty());
        for (const QString &name :
             {QStringLiteral("zv it's;$(x)"), QStringLiteral("zorvanell-test-sleeper-with-a-long-name")}) {
            const QString link = dir.filePath(name);
            QVERIFY(QFile::link(sleep, link));
            QProcess child;
            child.start(link, {QStringLiteral("30")});
            QVERIFY(child.waitForStarted());
            const qint64 pid = child.processId();
            const Ids found = zv::ownProcessesNamed(name);
            child.kill();
            child.waitForFinished();
            QCOMPARE(found, (Ids{pid}));
        }
    }

    void findsAProgramInTheFoldersThenOnThePath()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QTemporaryDir onPath;
        const QString name = QStringLiteral("Zorvanell 3.9.exe");
        auto makeProgram = [&](const QTemporaryDir &dir, bool executable) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.close();
            file.setPermissions(executable ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
        };
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(onPath.path()));
        QCOMPARE(zv::findProgram(name, {first.path(), second.path()}), QString());
        makeProgram(onPath, true);
        QCOMPARE(zv::findProgram(name, {first.path(), second.path()}), onPath.filePath(name));
        // A file that cannot be run does not count.
        makeProgram(first, false);
        makeProgram(second, true);
        QCOMPARE(zv::findProgram(name, {first.path(), second.path()}), second.filePath(name));
        qputenv("PATH", path);
    }
};

QTEST_GUILESS_MAIN(TestOwnProcesses)
#include "tst_ownprocesses.moc"

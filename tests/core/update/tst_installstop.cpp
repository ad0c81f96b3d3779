// The install script stopped by a signal at chosen moments and killed at random ones, then finished
// by its next run or by the program's next start: the program's files end all old or all new, never
// mixed, the staging folder and the archive are gone, the status says which, and the program is
// started again once.
#include "InstallFolder.h"
#include "ScriptedSeam.h"
#include "TarWriter.h"
#include "core/update/ProgramUpdate.h"
#include "core/update/UpdateLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using zvtest::InstallFolder;
using zvtest::ScriptRun;
using zvtest::TarWriter;
using Snapshot = QMap<QString, QByteArray>;

namespace {

// A program of `count` files in two folders and the update of every one of them, with new files
// in a new folder and a new program.
struct Update
{
    Snapshot before; // the folder as the update finds it (without the archive)
    Snapshot after;  // the folder once the update is in
    QByteArray archive;

    Update(const InstallFolder &folder, int count)
    {
        folder.write(QStringLiteral("Zorvanell.dat"), "the user's catalogue");
        folder.write(QStringLiteral("Options.ini"), "[Main]\r\nRunCount=7\r\n");
        TarWriter tar;
        tar.directory("bin").directory("lib");
        for (int i = 0; i < count; ++i) {
            const QByteArray name = (i % 2 ? "bin/f" : "lib/f") + QByteArray::number(i).rightJustified(4, '0');
            folder.write(QString::fromLatin1(name), "old " + name);
            tar.file(name, "new " + name);
        }
        before = folder.snapshot();
        after = before;
        tar.directory("plugins");
        for (int i = 0; i < count / 10 + 1; ++i) {
            const QByteArray name = "plugins/p" + QByteArray::number(i);
            tar.file(name, "plugin " + name);
            after[QString::fromLatin1(name)] = "plugin " + name;
        }
        tar.file("zorvanell", InstallFolder::standIn("new"), 0755).file("Options.ini", "EVIL");
        for (auto it = after.begin(); it != after.end(); ++it) {
            if (it.value().startsWith("old "))
                it.value() = "new " + it.value().mid(4);
        }
        after[QStringLiteral("plugins")] = "<dir>";
        after[QStringLiteral("zorvanell")] = InstallFolder::standIn("new");
        archive = tar.bytes();
    }
};

// Stand-ins for mv and sync, first in PATH, that count their calls and, at the chosen one
// ("mv:300": the 300th move), note it and wait before they do their work: a stop exactly there.
class StopPoint
{
public:
    StopPoint()
    {
        for (const char *tool : {"mv", "sync"}) {
            const QString real = QStandardPaths::findExecutable(QString::fromLatin1(tool));
            QFile script(m_dir.filePath(QString::fromLatin1(tool)));
            if (real.isEmpty() || !script.open(QIODevice::WriteOnly))
                qFatal("cannot make the stand-in for %s", tool);
            script.write("#!/bin/sh\n"
                         "tool=${0##*/} n=0\n"
                         "[ -f \"$ZV_STOP_DIR/$tool.count\" ] && read -r n <\"$ZV_STOP_DIR/$tool.count\"\n"
                         "n=$((n + 1))\n"
                         "echo \"$n\" >\"$ZV_STOP_DIR/$tool.count\"\n"
                         "if [ \"$tool:$n\" = \"${ZV_STOP_AT:-}\" ]; then\n"
                         "    : >\"$ZV_STOP_DIR/reached\"\n"
                         "    sleep \"${ZV_STOP_PAUSE:-60}\"\n"
                         "fi\n"
                         "exec '" +
                         QFile::encodeName(real) + "' \"$@\"\n");
            script.setPermissions(script.permissions() | QFile::ExeOwner);
        }
    }

    // The run's environment: stops (or pauses `pauseSeconds`) at `at`; counts afresh.
    QProcessEnvironment environment(const QString &at, int pauseSeconds = 60) const
    {
        for (const char *name : {"mv.count", "sync.count", "reached"})
            QFile::remove(m_dir.filePath(QString::fromLatin1(name)));
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), m_dir.path() + QLatin1Char(':') + qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("ZV_STOP_DIR"), m_dir.path());
        env.insert(QStringLiteral("ZV_STOP_AT"), at);
        env.insert(QStringLiteral("ZV_STOP_PAUSE"), QString::number(pauseSeconds));
        env.insert(QStringLiteral("ZORVANELL_INSTALL_WAIT"), QStringLiteral("30"));
        return env;
    }

    bool waitUntilReached(int ms = 120000) const
    {
        const QDeadlineTimer deadline(ms);
        while (!QFile::exists(m_dir.filePath(QStringLiteral("reached")))) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(5);
        }
        return true;
    }

private:
    QTemporaryDir m_dir;
};

ScriptRun withEnvironment(const QProcessEnvironment &environment, const QStringList &arguments = {})
{
    ScriptRun run;
    run.environment = environment;
    run.arguments = arguments;
    return run;
}

QProcessEnvironment plainWait()
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("ZORVANELL_INSTALL_WAIT"), QStringLiteral("30"));
    return env;
}

// Sends `signal` to the script's whole process group (or to the script alone) and waits until the
// script has ended and, for the group, every process in it. A shell that takes the signal while it
// is about to start a command may start it all the same, so the signal is sent again (as a user
// pressing Ctrl+C twice would) while the group lives. Nothing is sent once the script has ended
// by itself: its pid is no longer ours.
void stop(QProcess &script, int signal, bool wholeGroup)
{
    if (script.state() != QProcess::Running)
        return;
    const pid_t pid = pid_t(script.processId());
    QVERIFY(pid > 0);
    ::kill(wholeGroup ? -pid : pid, signal);
    if (!wholeGroup) {
        QVERIFY(script.waitForFinished(30000));
        return;
    }
    const QDeadlineTimer deadline(60000);
    while (::kill(-pid, 0) == 0) {
        QVERIFY(!deadline.hasExpired());
        if (script.state() == QProcess::Running)
            script.waitForFinished(1000);
        else
            QTest::qWait(200);
        if (::kill(-pid, 0) == 0)
            ::kill(-pid, signal);
    }
    QVERIFY(script.state() == QProcess::NotRunning || script.waitForFinished(30000));
}

// The folder without update.rar and the retired journal: a run killed after its last step may leave
// them to the next run, which removes them.
Snapshot programFiles(const InstallFolder &folder)
{
    Snapshot files = folder.snapshot();
    files.remove(QStringLiteral("update.rar"));
    files.removeIf([](const auto &file) { return file.key().startsWith(QLatin1String(".instupd-trash")); });
    return files;
}

// Finishes the stopped install as its next run does (the script started again) or as the program's
// next start does (through the seam, whose start is then run for real); false on a time-out.
bool finishStopped(InstallFolder &folder, bool byTheProgram)
{
    if (!byTheProgram)
        return folder.runScript(plainWait());
    zvtest::ScriptedSeam seam;
    if (!zv::update::finishInterruptedInstall() || seam.started.size() != 1 || seam.exits != QList<int>{0} ||
        !seam.messages.isEmpty() || seam.started[0].program != QLatin1String("/bin/sh"))
        return false;
    const QStringList arguments = seam.started[0].arguments;
    if (arguments.value(0) != zv::update::installScript())
        return false;
    return folder.runScript(withEnvironment(plainWait(), arguments.mid(1)));
}

// The restarted program says what happened, once; the status file is then gone.
void expectToldOnce(const QString &text)
{
    zvtest::ScriptedSeam seam;
    zv::update::reportInstallStatus();
    zv::update::reportInstallStatus();
    QCOMPARE(seam.messageTexts(), QStringList{text});
}

} // namespace

class TestInstallStop : public QObject
{
    Q_OBJECT

    quint32 m_seed = 0;
    QRandomGenerator m_random;

private slots:
    void initTestCase()
    {
        qunsetenv("ZORVANELL_HOME");
        if (QStandardPaths::findExecutable(QStringLiteral("bsdtar")).isEmpty())
            QSKIP("bsdtar is not installed (Debian package libarchive-tools)");
        bool fixed = false;
        m_seed = quint32(qEnvironmentVariableIntValue("ZV_INSTALL_SEED", &fixed));
        if (!fixed)
            m_seed = QRandomGenerator::system()->generate();
        m_random.seed(m_seed);
        qInfo("install stop test seed %u (ZV_INSTALL_SEED=%u repeats this run)", m_seed, m_seed);
    }

    void stoppedInstallIsFinished_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("at");
        QTest::addColumn<int>("files");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<bool>("byTheProgram");
        // The first move sets Options.ini aside; then each file an update replaces takes two: the old
        // one aside, the new one in.
        const struct
        {
            const char *name;
            const char *at;
            bool forward;
        } moments[] = {
            {"unpacked, nothing moved", "sync:1", false},
            {"first old file set aside", "mv:2", false},
            {"half-way", "mv:60", false},
            {"every new file in place", "sync:2", true},
            {"status written", "sync:3", true},
        };
        const struct
        {
            const char *name;
            int signal;
        } stops[] = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}, {"SIGKILL", SIGKILL}};
        int row = 0;
        for (const auto &s : stops) {
            for (const auto &m : moments) {
                const bool byTheProgram = row++ % 2;
                QTest::addRow("%s, %s, then %s", s.name, m.name, byTheProgram ? "the program" : "the script")
                    << s.signal << QString::fromLatin1(m.at) << 60 << m.forward << byTheProgram;
            }
        }
        // As a shutdown does it: 3,000 files, the group stopped once about 300 are placed.
        QTest::newRow("3000 files, SIGTERM after 300, then the program")
            << int(SIGTERM) << QStringLiteral("mv:600") << 3000 << false << true;
    }

    void stoppedInstallIsFinished()
    {
        QFETCH(int, signal);
        QFETCH(QString, at);
        QFETCH(int, files);
        QFETCH(bool, forward);
        QFETCH(bool, byTheProgram);
        InstallFolder folder;
        const Update update(folder, files);
        folder.write(QStringLiteral("update.rar"), update.archive);
        StopPoint stopPoint;
        QProcess script;
        folder.startScript(script, withEnvironment(stopPoint.environment(at)));
        QVERIFY(stopPoint.waitUntilReached());
        stop(script, signal, true);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(folder.restarts().isEmpty());
        QVERIFY(QFileInfo(zv::update::installJournal()).isDir());

        QVERIFY(finishStopped(folder, byTheProgram));
        QCOMPARE(folder.snapshot(), forward ? update.after : update.before);
        QCOMPARE(folder.status(), forward ? QStringLiteral("installed\n") : QStringLiteral("interrupted\n"));
        QCOMPARE(folder.restarts(), QStringList{forward ? QStringLiteral("new home=") : QStringLiteral("old home=")});
        QVERIFY2(folder.log().contains(QStringLiteral("an install stopped")), qPrintable(folder.log()));
        expectToldOnce(zv::update::installStatusText(forward ? zv::update::InstallStatus::Installed
                                                             : zv::update::InstallStatus::Interrupted));
    }

    // SIGKILL at random moments of an install, to the whole group as a power loss would, or to the
    // script alone, whose helpers then go on without it.
    void killedAtRandomMoments()
    {
        constexpr int kRounds = 8;
        constexpr int kFiles = 60;
        // How long an install takes here, undisturbed.
        qint64 fullMs = 0;
        {
            InstallFolder folder;
            const Update update(folder, kFiles);
            folder.write(QStringLiteral("update.rar"), update.archive);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(folder.runScript(plainWait()));
            fullMs = clock.elapsed();
            QCOMPARE(folder.snapshot(), update.after);
        }
        for (int round = 0; round < kRounds; ++round) {
            const qint64 at = qint64(m_random.bounded(quint32(fullMs + 1)));
            const bool wholeGroup = round % 2 == 0;
            const bool byTheProgram = round % 4 < 2;
            const QByteArray where = QByteArray("round ") + QByteArray::number(round) + ", killed after " +
                                     QByteArray::number(at) + " of " + QByteArray::number(fullMs) + " ms";
            InstallFolder folder;
            const Update update(folder, kFiles);
            folder.write(QStringLiteral("update.rar"), update.archive);
            QProcess script;
            folder.startScript(script, withEnvironment(plainWait()));
            QVERIFY(script.waitForStarted());
            QTest::qWait(int(at));
            stop(script, SIGKILL, wholeGroup);
            if (QTest::currentTestFailed())
                return;
            // Unless the killed run got to the end, the install is finished now: by the program at
            // its start, or by the next run of the script, which has something to finish only while
            // the journal is left (past it, a run without an archive would report a refusal).
            if (folder.restarts().isEmpty()) {
                if (byTheProgram) {
                    zvtest::ScriptedSeam seam;
                    if (zv::update::finishInterruptedInstall())
                        QVERIFY2(folder.runScript(withEnvironment(plainWait(), seam.started.value(0).arguments.mid(1))),
                                 where);
                } else if (QFileInfo(zv::update::installJournal()).isDir()) {
                    QVERIFY2(folder.runScript(plainWait()), where);
                }
            }
            const Snapshot files = programFiles(folder);
            const QString status = folder.status();
            const QByteArray detail = where + ", status " + status.toUtf8();
            QVERIFY2(!QFileInfo::exists(zv::update::installJournal()), detail);
            if (files == update.after) {
                QVERIFY2(status == QLatin1String("installed\n"), detail);
            } else {
                QVERIFY2(files == update.before, QByteArray(detail + ", a mixed program").constData());
                // Killed before the journal began, the program finds nothing to finish; else it was undone.
                QVERIFY2(status.trimmed() == QLatin1String("interrupted") || status == QLatin1String("<none>"), detail);
            }
            QVERIFY2(folder.restarts().size() <= 1, where);
            qInfo("%s: %s", where.constData(),
                  files == update.after               ? "installed"
                  : status == QLatin1String("<none>") ? "untouched"
                                                      : "undone");
        }
    }

    // A recovery stopped in its turn is finished by the next one.
    void stoppedRecoveryIsFinishedByTheNext_data()
    {
        QTest::addColumn<QString>("at");
        QTest::newRow("first file back") << QStringLiteral("mv:1");
        QTest::newRow("some files back") << QStringLiteral("mv:7");
        QTest::newRow("status written") << QStringLiteral("sync:1");
    }

    void stoppedRecoveryIsFinishedByTheNext()
    {
        QFETCH(QString, at);
        InstallFolder folder;
        const Update update(folder, 60);
        folder.write(QStringLiteral("update.rar"), update.archive);
        StopPoint stopPoint;
        QProcess install;
        folder.startScript(install, withEnvironment(stopPoint.environment(QStringLiteral("mv:40"))));
        QVERIFY(stopPoint.waitUntilReached());
        stop(install, SIGTERM, true);
        QProcess recovery;
        folder.startScript(recovery, withEnvironment(stopPoint.environment(at), {QStringLiteral("--recover")}));
        QVERIFY(stopPoint.waitUntilReached());
        stop(recovery, SIGKILL, true);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(folder.restarts().isEmpty());

        QVERIFY(finishStopped(folder, true));
        QCOMPARE(folder.snapshot(), update.before);
        QCOMPARE(folder.status(), QStringLiteral("interrupted\n"));
        QCOMPARE(folder.restarts(), QStringList{QStringLiteral("old home=")});
    }

    // Two starts of the program that both find the journal start two recoveries: the second waits
    // for the first, finds the work done and starts nothing.
    void twoRecoveriesDoNotRunAtOnce()
    {
        InstallFolder folder;
        const Update update(folder, 60);
        folder.write(QStringLiteral("update.rar"), update.archive);
        StopPoint stopPoint;
        QProcess install;
        folder.startScript(install, withEnvironment(stopPoint.environment(QStringLiteral("mv:40"))));
        QVERIFY(stopPoint.waitUntilReached());
        stop(install, SIGTERM, true);

        QProcess first;
        folder.startScript(
            first, withEnvironment(stopPoint.environment(QStringLiteral("mv:3"), 2), {QStringLiteral("--recover")}));
        QVERIFY(stopPoint.waitUntilReached());
        QProcess second;
        folder.startScript(second, withEnvironment(plainWait(), {QStringLiteral("--recover")}));
        QVERIFY(first.waitForFinished(60000));
        QVERIFY(second.waitForFinished(60000));
        QTRY_VERIFY(!folder.restarts().isEmpty());
        // Time for a second restart to show, if one came.
        QTest::qWait(500);
        QCOMPARE(folder.restarts(), QStringList{QStringLiteral("old home=")});
        QCOMPARE(folder.snapshot(), update.before);
        QCOMPARE(folder.status(), QStringLiteral("interrupted\n"));
    }

    // What the program does at start with what an install left.
    void programStartWithAJournal_data()
    {
        QTest::addColumn<bool>("journal");
        QTest::addColumn<bool>("scriptRuns");
        QTest::addColumn<bool>("scriptThere");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QStringList>("started");
        QTest::addColumn<QString>("message");
        const QStringList recover{QStringLiteral("--recover")};
        QTest::newRow("no journal") << false << false << true << false << QStringList() << QString();
        QTest::newRow("no journal, a script runs") << false << true << true << false << QStringList() << QString();
        QTest::newRow("journal left") << true << false << true << true << recover << QString();
        QTest::newRow("journal of a running script")
            << true << true << true << true << QStringList() << zv::update::kInstallRunningText;
        QTest::newRow("journal, script missing")
            << true << false << false << false << QStringList() << zv::update::kInterruptedUnfinishedText;
    }

    void programStartWithAJournal()
    {
        QFETCH(bool, journal);
        QFETCH(bool, scriptRuns);
        QFETCH(bool, scriptThere);
        QFETCH(bool, ends);
        QFETCH(QStringList, started);
        QFETCH(QString, message);
        InstallFolder folder;
        folder.write(QStringLiteral("instupd.status"), "interrupted                    \n");
        if (journal)
            QVERIFY(QDir().mkpath(zv::update::installJournal()));
        if (!scriptThere)
            QVERIFY(QFile::remove(zv::update::installScript()));
        // A running script holds the lock; flock locks of two opens conflict even in one process.
        const int lock = ::open(QFile::encodeName(zv::update::installLockFile()).constData(), O_RDWR | O_CREAT, 0644);
        QVERIFY(lock >= 0);
        if (scriptRuns)
            QCOMPARE(::flock(lock, LOCK_EX | LOCK_NB), 0);
        QCOMPARE(zv::update::installScriptRunning(), scriptRuns);

        zvtest::ScriptedSeam seam;
        QCOMPARE(zv::update::finishInterruptedInstall(), ends);
        QCOMPARE(seam.exits, ends ? QList<int>{0} : QList<int>{});
        QCOMPARE(seam.started.size(), started.isEmpty() ? 0 : 1);
        if (!started.isEmpty()) {
            QCOMPARE(seam.started[0].program, QStringLiteral("/bin/sh"));
            QCOMPARE(seam.started[0].arguments, QStringList{zv::update::installScript()} + started);
        }
        QCOMPARE(seam.messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        // The status of an install that has not ended is not told (nor taken) meanwhile.
        seam.messages.clear();
        zv::update::reportInstallStatus();
        QCOMPARE(seam.messages.size(), journal ? 0 : 1);
        QCOMPARE(QFileInfo::exists(zv::update::installStatusFile()), journal);
        ::close(lock);
    }
};

QTEST_GUILESS_MAIN(TestInstallStop)
#include "tst_installstop.moc"

#include "InstallFolder.h"
#include "TarWriter.h"
#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using zvtest::InstallFolder;
using zvtest::TarWriter;
using Type = zvtest::TarWriter::Type;

namespace {

// A 1 MB tmpfs mounted for the test's life; `error` says why not when it could not be.
struct SmallDisk
{
    QTemporaryDir mountPoint;
    QString error;

    SmallDisk()
    {
        QProcess mount;
        mount.setProcessChannelMode(QProcess::MergedChannels);
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=1m,mode=0755"), QStringLiteral("tmpfs"), mountPoint.path()});
        if (!mount.waitForFinished() || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
            error = QString::fromLocal8Bit(mount.readAll()).trimmed() + mount.errorString();
    }
    ~SmallDisk()
    {
        if (error.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {mountPoint.path()});
    }
    QString path() const { return mountPoint.path(); }
};

} // namespace

// The install script run for real, in a temporary program folder whose name holds a blank and a
// line break, with a stand-in program that notes each restart.
class TestInstallScript : public QObject
{
    Q_OBJECT

    // The program's files and the user's, as an update finds them.
    static void populate(const InstallFolder &folder)
    {
        folder.write(QStringLiteral("a.txt"), "old a");
        folder.write(QStringLiteral("lib/old.so"), "old library");
        folder.write(QStringLiteral("keys/release.pub"), "old key");
        folder.write(QStringLiteral("Zorvanell.dat"), "the user's catalogue");
        folder.write(QStringLiteral("Options.ini"), "[Main]\r\nRunCount=7\r\n");
        folder.write(QStringLiteral("Language.ini"), "the user's captions");
        folder.write(QStringLiteral("ScreenShots/Игра.jpg"), "the user's picture");
    }

    static QProcessEnvironment shortWait()
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("ZORVANELL_INSTALL_WAIT"), QStringLiteral("2"));
        return env;
    }

    // Runs the script over `archive`; every file must be as before, the archive gone, the program restarted.
    static void expectUntouched(InstallFolder &folder, const QByteArray &archive, const QString &status,
                                const QString &logged)
    {
        auto before = folder.snapshot();
        folder.write(QStringLiteral("update.rar"), archive);
        QVERIFY(folder.runScript(shortWait()));
        QCOMPARE(folder.snapshot(), before);
        QCOMPARE(folder.status(), status + QLatin1Char('\n'));
        QCOMPARE(folder.restarts(), QStringList{QStringLiteral("old home=")});
        QVERIFY2(folder.log().contains(logged), qPrintable(folder.log()));
    }

private slots:
    void initTestCase()
    {
        qunsetenv("ZORVANELL_HOME");
        QVERIFY(QFile::exists(QStringLiteral(ZV_INSTALL_SCRIPT)));
        if (QStandardPaths::findExecutable(QStringLiteral("bsdtar")).isEmpty())
            QSKIP("bsdtar is not installed (Debian package libarchive-tools)");
    }

    void goodArchiveReplacesTheProgramsFiles()
    {
        InstallFolder folder;
        populate(folder);
        const QByteArray odd = "name with blanks\nand a line break.txt";
        TarWriter archive;
        archive.file("a.txt", "new a")
            .directory("lib")
            .file("lib/new.so", "new library")
            .file(odd, "odd")
            .file("zorvanell", InstallFolder::standIn("new"), 0755)
            .directory("plugins/deep")
            .file("plugins/deep/p.so", "plugin")
            // The user's files are skipped, whatever letter case the archive spells them in.
            .file("Zorvanell.dat", "EVIL")
            .file("options.INI", "EVIL")
            .file("Language.ini", "EVIL")
            .directory("ScreenShots")
            .file("ScreenShots/Игра.jpg", "EVIL")
            .file("screenshots/new.jpg", "EVIL")
            .file("instupd.status", "EVIL");
        auto expected = folder.snapshot();
        expected[QStringLiteral("a.txt")] = "new a";
        expected[QStringLiteral("lib/new.so")] = "new library";
        expected[QString::fromUtf8(odd)] = "odd";
        expected[QStringLiteral("zorvanell")] = InstallFolder::standIn("new");
        expected[QStringLiteral("plugins")] = "<dir>";
        expected[QStringLiteral("plugins/deep")] = "<dir>";
        expected[QStringLiteral("plugins/deep/p.so")] = "plugin";

        folder.write(QStringLiteral("update.rar"), archive.bytes());
        QVERIFY(folder.runScript());
        QCOMPARE(folder.snapshot(), expected);
        QCOMPARE(folder.status(), QStringLiteral("installed\n"));
        // The new program is the one started.
        QCOMPARE(folder.restarts(), QStringList{QStringLiteral("new home=")});
        QVERIFY(QFileInfo(folder.file(QStringLiteral("zorvanell"))).isExecutable());
        QVERIFY(folder.log().contains(QStringLiteral("kept options.INI")));
    }

    void refusedArchives_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("logged");
        const auto good = [] { return TarWriter().file("a.txt", "new a").file("new.txt", "new"); };
        const QString special = QStringLiteral("links, devices or other special files");
        const QString outside = QStringLiteral("absolute names or ..");
        QTest::newRow("symbolic link") << good().member("Options.ini", Type::SymLink, "/etc/passwd").bytes() << special;
        QTest::newRow("symbolic link to a folder")
            << good().member("lib", Type::SymLink, "/tmp").file("lib/x", "through the link").bytes() << special;
        QTest::newRow("hard link out of the folder")
            << good().member("passwd", Type::HardLink, "/etc/passwd").bytes() << special;
        QTest::newRow("hard link inside the archive")
            << good().member("b.txt", Type::HardLink, "a.txt").bytes() << special;
        QTest::newRow("character device") << good().member("dev", Type::CharDevice).bytes() << special;
        QTest::newRow("FIFO") << good().member("fifo", Type::Fifo).bytes() << special;
        QTest::newRow("../x") << good().file("../zv-escaped-by-update", "x").bytes() << outside;
        QTest::newRow("/abs") << good().file("/tmp/zv-absolute-from-update", "x").bytes() << outside;
        QTest::newRow(".. in the middle") << good().file("lib/../../zv-escaped-by-update", "x").bytes() << outside;
        QTest::newRow("garbage") << QByteArray(5000, '\x5a') << QStringLiteral("cannot be read");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("cannot be read");

        // Many members, then the second half overwritten or cut off.
        TarWriter many;
        for (int i = 0; i < 40; ++i)
            many.file("file" + QByteArray::number(i), QByteArray(3000, char('a' + i % 26)));
        QByteArray corrupt = many.bytes();
        for (qsizetype i = corrupt.size() / 2; i < corrupt.size() - 1024; i += 7)
            corrupt[i] = char(i * 31);
        QTest::newRow("second half corrupt") << corrupt << QStringLiteral("cannot be read");
        QTest::newRow("cut in the middle")
            << many.bytes().left(many.bytes().size() / 2 + 100) << QStringLiteral("cannot be read");
    }

    void refusedArchives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, logged);
        InstallFolder folder;
        populate(folder);
        expectUntouched(folder, archive, QStringLiteral("refused"), logged);
        QVERIFY(!QFileInfo::exists(QDir::tempPath() + QStringLiteral("/zv-absolute-from-update")));
        QVERIFY(!QFileInfo::exists(QFileInfo(folder.path()).path() + QStringLiteral("/zv-escaped-by-update")));
    }

    void failureHalfWayPutsTheOldFilesBack()
    {
        InstallFolder folder;
        populate(folder);
        folder.write(QStringLiteral("zz/keep"), "a folder of the user's");
        // In name order: a.txt and lib/old.so are replaced, b.txt and newdir/ are made, then the file
        // "zz" cannot take the place of the folder zz.
        const QByteArray archive = TarWriter()
                                       .file("a.txt", "new a")
                                       .file("b.txt", "new b")
                                       .file("lib/old.so", "new library")
                                       .file("newdir/inner/x", "x")
                                       .file("zz", "a file where a folder is")
                                       .bytes();
        expectUntouched(folder, archive, QStringLiteral("rolled back"),
                        QStringLiteral("a folder stands where the update has a file"));
    }

    void dataFolderElsewhereIsLeftAlone()
    {
        InstallFolder folder;
        populate(folder);
        QTemporaryDir data;
        const auto put = [&](const QString &name, const QByteArray &bytes) {
            QDir().mkpath(QFileInfo(data.filePath(name)).path());
            QFile f(data.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        put(QStringLiteral("Zorvanell.dat"), "data catalogue");
        put(QStringLiteral("Options.ini"), "data settings");
        put(QStringLiteral("a.txt"), "data a");
        const QStringList before = QDir(data.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        folder.write(QStringLiteral("update.rar"), TarWriter().file("a.txt", "new a").bytes());
        QProcessEnvironment env;
        env.insert(QStringLiteral("ZORVANELL_HOME"), data.path());
        QVERIFY(folder.runScript(env));
        QCOMPARE(folder.status(), QStringLiteral("installed\n"));
        QCOMPARE(folder.read(QStringLiteral("a.txt")), QByteArray("new a"));
        QCOMPARE(QDir(data.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QFile a(data.filePath(QStringLiteral("a.txt")));
        QVERIFY(a.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), QByteArray("data a"));
        // The restarted program keeps the data folder it was started with.
        QCOMPARE(folder.restarts(), QStringList{QStringLiteral("old home=") + data.path()});
    }

    void waitsUntilTheProgramHasEnded()
    {
        const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        QVERIFY(!sleep.isEmpty());
        InstallFolder folder;
        populate(folder);
        // A program running from this folder: a copy of sleep under the program's name.
        QVERIFY(QFile::remove(folder.file(QStringLiteral("zorvanell"))));
        QVERIFY(QFile::copy(sleep, folder.file(QStringLiteral("zorvanell"))));
        QProcess program;
        program.start(folder.file(QStringLiteral("zorvanell")), {QStringLiteral("2")});
        QVERIFY(program.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        folder.write(QStringLiteral("update.rar"),
                     TarWriter().file("a.txt", "new a").file("zorvanell", InstallFolder::standIn("new"), 0755).bytes());
        QVERIFY(folder.runScript());
        QVERIFY(program.state() == QProcess::NotRunning || program.waitForFinished(0));
        QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(folder.status(), QStringLiteral("installed\n"));
        QCOMPARE(folder.restarts(), QStringList{QStringLiteral("new home=")});
    }

    // The program is started again as the user had it, not with the script's own umask and locale.
    void restartKeepsTheProgramsEnvironment_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("lcAll"); // empty: unset
        QTest::newRow("umask 0077, LANG only") << 0077 << QString();
        QTest::newRow("umask 0002, LC_ALL set") << 0002 << QStringLiteral("ru_RU.UTF-8");
    }

    void restartKeepsTheProgramsEnvironment()
    {
        QFETCH(int, mask);
        QFETCH(QString, lcAll);
        InstallFolder folder;
        populate(folder);
        QTemporaryDir elsewhere;
        zvtest::ScriptRun run;
        run.umask = mask;
        run.workingFolder = elsewhere.path();
        run.environment.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
        if (lcAll.isEmpty())
            run.unset << QStringLiteral("LC_ALL");
        else
            run.environment.insert(QStringLiteral("LC_ALL"), lcAll);
        folder.write(QStringLiteral("update.rar"), TarWriter().file("a.txt", "new a").bytes());
        QVERIFY(folder.runScript(run));
        QCOMPARE(folder.status(), QStringLiteral("installed\n"));
        QCOMPARE(folder.restartEnvironments().join(QLatin1Char('\n')),
                 QStringLiteral("umask=%1 LC_ALL=%2 LANG=ru_RU.UTF-8 pwd=%3")
                     .arg(mask, 4, 8, QLatin1Char('0'))
                     .arg(lcAll.isEmpty() ? QStringLiteral("<unset>") : lcAll, elsewhere.path()));
        // The installed files themselves are readable by everyone, whatever the user's umask.
        QVERIFY(QFileInfo(folder.file(QStringLiteral("a.txt"))).permissions() & QFile::ReadOther);
    }

    // A disk that fills up while the archive is unpacked: the status and bsdtar's reason still land.
    void fullDiskKeepsTheStatusAndTheReason()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        const QString gzip = QStandardPaths::findExecutable(QStringLiteral("gzip"));
        QVERIFY(!gzip.isEmpty());
        SmallDisk disk;
        if (!disk.error.isEmpty())
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs: ") + disk.error));
        InstallFolder folder(disk.path());
        populate(folder);
        // 4 MB of zeros, which the archive packs into a few kilobytes: far more than the 1 MB disk holds.
        QProcess pack;
        pack.start(gzip, {QStringLiteral("-c")});
        QVERIFY(pack.waitForStarted());
        pack.write(TarWriter().file("a.txt", "new a").file("big.so", QByteArray(4 << 20, '\0')).bytes());
        pack.closeWriteChannel();
        QVERIFY(pack.waitForFinished());
        const QByteArray archive = pack.readAllStandardOutput();
        QVERIFY(archive.size() < 100000);
        expectUntouched(folder, archive, QStringLiteral("refused"), QStringLiteral("No space left on device"));
        QVERIFY2(folder.log().contains(QStringLiteral("cannot be unpacked whole")), qPrintable(folder.log()));
    }

    // A link, a pipe or a folder planted under a name the script writes is put aside, never followed:
    // nothing outside the program's folder changes and the install goes on.
    void ownFilesStayInTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("planted"); // a link to this outside name, or "<fifo>"
        QTest::newRow("status linked to a file") << QStringLiteral("instupd.status") << QStringLiteral("file");
        QTest::newRow("status as a FIFO") << QStringLiteral("instupd.status") << QStringLiteral("<fifo>");
        QTest::newRow("log linked to a file") << QStringLiteral("instupd.log") << QStringLiteral("file");
        QTest::newRow("lock linked nowhere") << QStringLiteral(".instupd-lock") << QStringLiteral("new");
        QTest::newRow("lock as a FIFO") << QStringLiteral(".instupd-lock") << QStringLiteral("<fifo>");
        QTest::newRow("journal linked to a folder") << QStringLiteral(".instupd-work") << QStringLiteral("journal");
        QTest::newRow("trash linked to a folder") << QStringLiteral(".instupd-trash") << QStringLiteral("journal");
    }

    void ownFilesStayInTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, planted);
        InstallFolder folder;
        populate(folder);
        QTemporaryDir outside;
        zvtest::writeFile(outside.filePath(QStringLiteral("file")), "precious");
        // Looks like a journal half-way, so that a script taking it for its own would move files.
        zvtest::writeFile(outside.filePath(QStringLiteral("journal/placing")), "");
        zvtest::writeFile(outside.filePath(QStringLiteral("journal/done/a.txt")), "");
        zvtest::writeFile(outside.filePath(QStringLiteral("journal/old/a.txt")), "outside a");
        const auto outsideState = [&] {
            QStringList state;
            QDirIterator it(outside.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString entry = it.next();
                QFile f(entry);
                state << entry + QLatin1Char('=') + QString::fromUtf8(f.open(QIODevice::ReadOnly) ? f.readAll() : "");
            }
            state.sort();
            return state;
        };
        const QStringList before = outsideState();
        if (planted == QLatin1String("<fifo>"))
            QCOMPARE(::mkfifo(QFile::encodeName(folder.file(name)).constData(), 0644), 0);
        else
            QVERIFY(QFile::link(outside.filePath(planted), folder.file(name)));

        folder.write(QStringLiteral("update.rar"), TarWriter().file("a.txt", "new a").bytes());
        QVERIFY(folder.runScript(shortWait()));
        QCOMPARE(outsideState(), before);
        QCOMPARE(folder.status(), QStringLiteral("installed\n"));
        QCOMPARE(folder.read(QStringLiteral("a.txt")), QByteArray("new a"));
        QVERIFY(!QFileInfo(folder.file(name)).isSymLink());
    }

    void programThatDoesNotEndIsNotUpdated()
    {
        const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        InstallFolder folder;
        populate(folder);
        QVERIFY(QFile::remove(folder.file(QStringLiteral("zorvanell"))));
        QVERIFY(QFile::copy(sleep, folder.file(QStringLiteral("zorvanell"))));
        QProcess program;
        program.start(folder.file(QStringLiteral("zorvanell")), {QStringLiteral("60")});
        QVERIFY(program.waitForStarted());
        const auto before = folder.snapshot();
        folder.write(QStringLiteral("update.rar"), TarWriter().file("a.txt", "new a").bytes());
        QProcessEnvironment env;
        env.insert(QStringLiteral("ZORVANELL_INSTALL_WAIT"), QStringLiteral("1"));
        QProcess script;
        script.setProcessEnvironment([&] {
            QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
            all.insert(env);
            return all;
        }());
        script.start(QStringLiteral("/bin/sh"), {folder.file(QStringLiteral("instupd.cmd"))});
        QVERIFY(script.waitForFinished(30000));
        QCOMPARE(folder.status(), QStringLiteral("refused\n"));
        QVERIFY(folder.log().contains(QStringLiteral("still running")));
        QCOMPARE(folder.snapshot(), before);
        program.kill();
        program.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestInstallScript)
#include "tst_installscript.moc"

#include "ScopedEnv.h"
#include "TestFiles.h"
#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

using zvtest::readFile;
using zvtest::writeFile;

} // namespace

class TestProgramFolder : public QObject
{
    Q_OBJECT

private slots:
    void zorvanellHomeWinsOverAPortableFolder()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("bin/Zorvanell.dat")), "x");
        const auto choice = zv::chooseProgramFolder(dir.filePath(QStringLiteral("bin")),
                                                    dir.filePath(QStringLiteral("home/")), QString(), QString());
        QCOMPARE(choice.path, dir.filePath(QStringLiteral("home")));
        QVERIFY(!choice.userDataFolder);
    }

    void executableFolderIsPortableWhenItHoldsCatalogueOrSettings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("portable");
        QTest::newRow("catalogue") << QStringLiteral("Zorvanell.dat") << true;
        QTest::newRow("settings") << QStringLiteral("Options.ini") << true;
        QTest::newRow("caption set only") << QStringLiteral("Language.ini") << false;
        QTest::newRow("install script only") << QStringLiteral("instupd.cmd") << false;
        QTest::newRow("nothing") << QString() << false;
    }
    void executableFolderIsPortableWhenItHoldsCatalogueOrSettings()
    {
        QFETCH(QString, file);
        QFETCH(bool, portable);
        QTemporaryDir dir;
        const QString exe = dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(exe);
        if (!file.isEmpty())
            writeFile(exe + QLatin1Char('/') + file, "x");
        const auto choice = zv::chooseProgramFolder(exe, QString(), dir.filePath(QStringLiteral("data")),
                                                    dir.filePath(QStringLiteral("h")));
        QCOMPARE(choice.userDataFolder, !portable);
        QCOMPARE(choice.path, portable ? exe : dir.filePath(QStringLiteral("data/zorvanell")));
    }

    void aLinkedCatalogueMakesTheFolderPortableToo()
    {
        // Even a link whose target is gone: the user meant this folder, and start-up reports the link.
        QTemporaryDir dir;
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.dat")), dir.filePath(QStringLiteral("Zorvanell.dat"))));
        QCOMPARE(zv::chooseProgramFolder(dir.path(), QString(), QString(), dir.path()).path, dir.path());
    }

    void readOnlyExecutableFolderIsNeverPortable()
    {
        if (geteuid() == 0)
            QSKIP("root may write into any folder, so a read-only folder cannot be made");
        QTemporaryDir dir;
        const QString exe = dir.filePath(QStringLiteral("bin"));
        writeFile(exe + QStringLiteral("/Zorvanell.dat"), "x");
        QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::ExeOwner));
        const auto choice = zv::chooseProgramFolder(exe, QString(), dir.filePath(QStringLiteral("data")), QString());
        QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(choice.userDataFolder);
        QCOMPARE(choice.path, dir.filePath(QStringLiteral("data/zorvanell")));
    }

    void userDataFolderFollowsXdgDataHome_data()
    {
        QTest::addColumn<QString>("xdg");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set") << QStringLiteral("/srv/d") << QStringLiteral("/srv/d/zorvanell");
        QTest::newRow("trailing slash") << QStringLiteral("/srv/d/") << QStringLiteral("/srv/d/zorvanell");
        QTest::newRow("unset") << QString() << QStringLiteral("/home/u/.local/share/zorvanell");
        // Relative values are invalid and ignored, as the base directory rules say.
        QTest::newRow("relative") << QStringLiteral("d") << QStringLiteral("/home/u/.local/share/zorvanell");
    }
    void userDataFolderFollowsXdgDataHome()
    {
        QFETCH(QString, xdg);
        QFETCH(QString, expected);
        QTemporaryDir exe;
        const auto choice = zv::chooseProgramFolder(exe.path(), QString(), xdg, QStringLiteral("/home/u"));
        QVERIFY(choice.userDataFolder);
        QCOMPARE(choice.path, expected);
    }

    void shippedFilesLieInShareBesideTheProgramsFolder()
    {
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("usr/bin"));
        QDir().mkpath(bin);
        QCOMPARE(zv::shippedFolder(bin), QString());
        QDir().mkpath(dir.filePath(QStringLiteral("usr/share/zorvanell")));
        QCOMPARE(zv::shippedFolder(bin), dir.filePath(QStringLiteral("usr/share/zorvanell")));
    }

    void seedingCopiesWhatIsMissingAndNeverReplacesTheUsersFiles()
    {
        QTemporaryDir dir;
        const QString shipped = dir.filePath(QStringLiteral("shipped"));
        const QString user = dir.filePath(QStringLiteral("a/b/zorvanell")); // made on the way
        writeFile(shipped + QStringLiteral("/Zorvanell.dat"), "starter");
        writeFile(shipped + QStringLiteral("/Language.ini"), "captions");
        writeFile(shipped + QStringLiteral("/instupd.cmd"), "script"); // belongs to the installation only

        QCOMPARE(zv::seedFolder(shipped, user),
                 (QStringList{QStringLiteral("Zorvanell.dat"), QStringLiteral("Language.ini")}));
        QCOMPARE(readFile(user + QStringLiteral("/Zorvanell.dat")), QByteArray("starter"));
        QCOMPARE(QDir(user).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("Language.ini"), QStringLiteral("Zorvanell.dat")}));

        // The user's own catalogue stays; a deleted caption set comes back; shipped settings arrive.
        writeFile(user + QStringLiteral("/Zorvanell.dat"), "mine");
        QFile::remove(user + QStringLiteral("/Language.ini"));
        writeFile(shipped + QStringLiteral("/Options.ini"), "[Main]");
        QCOMPARE(zv::seedFolder(shipped, user),
                 (QStringList{QStringLiteral("Language.ini"), QStringLiteral("Options.ini")}));
        QCOMPARE(readFile(user + QStringLiteral("/Zorvanell.dat")), QByteArray("mine"));
        QCOMPARE(zv::seedFolder(shipped, user), QStringList());
    }

    void seededCatalogueIsWritableWhenTheShippedOneIsNot()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("s/Zorvanell.dat")), "starter");
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("s/Zorvanell.dat")),
                                      QFile::ReadOwner | QFile::ReadOther));
        QCOMPARE(zv::seedFolder(dir.filePath(QStringLiteral("s")), dir.filePath(QStringLiteral("u"))).size(), 1);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("u/Zorvanell.dat"))).permissions() & QFile::WriteOwner);
    }

    void seedingWithoutShippedFilesOrAPlaceForThemDoesNothing()
    {
        QTemporaryDir dir;
        QCOMPARE(zv::seedFolder(QString(), dir.filePath(QStringLiteral("u"))), QStringList());
        QCOMPARE(zv::seedFolder(dir.filePath(QStringLiteral("none")), dir.filePath(QStringLiteral("u"))),
                 QStringList());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("u"))));

        writeFile(dir.filePath(QStringLiteral("s/Zorvanell.dat")), "starter");
        writeFile(dir.filePath(QStringLiteral("plain")), "x");
        QCOMPARE(zv::seedFolder(dir.filePath(QStringLiteral("s")), dir.filePath(QStringLiteral("plain/u"))),
                 QStringList());
        QCOMPARE(readFile(dir.filePath(QStringLiteral("plain"))), QByteArray("x"));
    }

    void theProcessSeedsOnlyItsUserDataFolder()
    {
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("usr/bin"));
        QDir().mkpath(bin);
        writeFile(dir.filePath(QStringLiteral("usr/share/zorvanell/Zorvanell.dat")), "starter");
        zv::setExecutableFolder(bin);
        const auto restore = qScopeGuard([] { zv::setExecutableFolder(QString()); });
        const zvtest::ScopedEnv xdg("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
        {
            const zvtest::ScopedEnv home("ZORVANELL_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
            QCOMPARE(zv::seedProgramFolder(), QStringList());
            QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("home/Zorvanell.dat"))));
        }
        const zvtest::ScopedEnv noHome("ZORVANELL_HOME", nullptr);
        QCOMPARE(zv::programFolder(), dir.filePath(QStringLiteral("data/zorvanell")));
        QCOMPARE(zv::seedProgramFolder(), QStringList{QStringLiteral("Zorvanell.dat")});
        QCOMPARE(readFile(zv::programFile(QStringLiteral("Zorvanell.dat"))), QByteArray("starter"));
        QCOMPARE(QDir(bin).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"

#include "InstallFolder.h"
#include "PipeWatch.h"
#include "ScopedEnv.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "app/FolderOwner.h"
#include "app/GlobalMain.h"
#include "core/ProgramFolder.h"
#include "core/SharedState.h"
#include "core/TextCodec.h"
#include "core/Version.h"
#include "core/backup/Backups.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/update/ProgramUpdate.h"
#include "core/update/UpdateLayout.h"
#include "gui/catalogue/frmMain.h"
#include "gui/windows/frmLogo.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QListView>
#include <QPointer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <typename Window> Window *shownWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(w); window && window->isVisible())
            return window;
    }
    return nullptr;
}

void closeAllWindows()
{
    // Deleting a window takes its own top-level children (menus) with it.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget> &w : windows)
        delete w.data();
}

// Every file and folder under `root` with its size and time, to see that nothing changed.
QStringList snapshot(const QString &root)
{
    QStringList items;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        items << info.filePath() + QLatin1Char(' ') + QString::number(info.size()) + QLatin1Char(' ') +
                     info.lastModified().toString(Qt::ISODateWithMs);
    }
    items.sort();
    return items;
}

// True while a program holds the folder's lock; looked at without taking it.
bool folderLocked(const QString &folder)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(zv::FolderOwner::lockFilePath(folder)).constData(), &info) != 0)
        return false;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QByteArray inode = ':' + QByteArray::number(quint64(info.st_ino)) + ' ';
    for (const QByteArray &line : locks.readAll().split('\n')) {
        if (line.contains(" FLOCK ") && line.contains(inode))
            return true;
    }
    return false;
}

QStringList listedNames(frmMain *window)
{
    QStringList names;
    const QAbstractItemModel *model = window->findChild<QListView *>(QStringLiteral("List1"))->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

// An installed program: <root>/usr/bin/zorvanell with its files in <root>/usr/share/zorvanell, and
// a user whose data folder is <root>/data/zorvanell. Lasts as long as the object.
struct InstalledLayout
{
    QTemporaryDir root;
    QString bin = root.filePath(QStringLiteral("usr/bin"));
    QString shipped = root.filePath(QStringLiteral("usr/share/zorvanell"));
    QString data = root.filePath(QStringLiteral("data/zorvanell"));
    zvtest::ScopedEnv noHome{"ZORVANELL_HOME", nullptr};
    zvtest::ScopedEnv xdg{"XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data")))};

    InstalledLayout()
    {
        QDir().mkpath(bin);
        zv::setExecutableFolder(bin);
    }
    ~InstalledLayout() { zv::setExecutableFolder(QString()); }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { closeAllWindows(); }

    void firstStartWarnsThenCreatesTheCatalogue()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        bool existedDuringMessage = true;
        seam.onMessage = [&](const zvtest::ScriptedSeam::Message &) { existedDuringMessage = QFile::exists(path); };

        QVERIFY(Main());
        QCOMPARE(seam.messages.size(), 1);
        QCOMPARE(seam.messages[0].text, QStringLiteral("Главний файл программы не найден!\r       Создан новый, Вы "
                                                       "можете загрузить базу с сервера обновлений!"));
        QCOMPARE(seam.messages[0].form, zv::MessageForm::OkExclamation);
        QCOMPARE(seam.messages[0].caption, QStringLiteral("Zorvanell"));
        QVERIFY(!existedDuringMessage);
        auto db = OpenCatalogue(path);
        for (const QString &table : zv::tableCreationOrder())
            QVERIFY(db->hasTable(table));

        // The update number is the major version, then the build; the texts show them with dots.
        using namespace zv::version;
        QCOMPARE(VersionNumber, kMajor * 100000 + kRevision);
        QCOMPARE(ShortVersion, QStringLiteral("%1.%2").arg(kMajor).arg(kMinor));
        QCOMPARE(FullVersion, QStringLiteral("%1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision));
        // No SplashScreen setting: the splash comes first.
        QVERIFY(shownWindow<frmLogo>());
        QVERIFY(!shownWindow<frmMain>());
    }

    void secondStartIsSilentAndSplashCanBeOff()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        home.write(QStringLiteral("Options.ini"), "[Main]\r\nSplashScreen=0\r\n");
        QVERIFY(Main());
        QVERIFY(seam.messages.isEmpty());
        QVERIFY(shownWindow<frmMain>());
        QVERIFY(!shownWindow<frmLogo>());
    }

    void splashHandsOverToTheMainWindow()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        QVERIFY(Main());
        frmLogo *logo = shownWindow<frmLogo>();
        QVERIFY(logo);
        logo->handOver();
        QVERIFY(shownWindow<frmMain>());
    }

    void badCatalogueStopsTheProgramAndIsLeftAlone()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        const QByteArray junk("not a catalogue at all, just some text\r\n");
        home.write(QStringLiteral("Zorvanell.dat"), junk);
        QVERIFY(!Main());
        QCOMPARE(seam.messages.size(), 1);
        QVERIFY(seam.messages[0].text.contains(home.file(QStringLiteral("Zorvanell.dat"))));
        QVERIFY(seam.messages[0].text.contains(QStringLiteral("Программа будет закрыта")));
        QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), junk);
        QVERIFY(!shownWindow<frmMain>() && !shownWindow<frmLogo>());
    }

    void damagedCatalogueIsRestoredFromABackup_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("accept");
        for (const char *damage :
             {"truncated", "zeroed page", "garbage", "table dropped", "zero bytes", "folder", "missing"})
            QTest::newRow(damage) << QString::fromLatin1(damage) << true;
        QTest::newRow("garbage, declined") << QStringLiteral("garbage") << false;
        QTest::newRow("missing, declined") << QStringLiteral("missing") << false;
    }

    void damagedCatalogueIsRestoredFromABackup()
    {
        QFETCH(QString, damage);
        QFETCH(bool, accept);
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(path);
        {
            const zv::CatalogueConnection db = OpenCatalogue(path);
            for (int i = 0; i < 40; ++i)
                AddEntry(db, QStringLiteral("Games"), QStringLiteral("Игра %1").arg(i),
                         QString(1000, QLatin1Char('z')));
        }
        zv::backup::Request request;
        request.cataloguePath = path;
        request.backupsFolder = zv::backup::backupsFolder(path);
        const auto backup = zv::backup::takeBackup(request).backup;
        QVERIFY(backup);
        QFile copy(backup->cataloguePath());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        const QByteArray backedUp = copy.readAll();
        const QByteArray good = home.read(QStringLiteral("Zorvanell.dat"));

        QByteArray bad;
        if (damage == QLatin1String("truncated"))
            bad = good.left(good.size() / 2);
        else if (damage == QLatin1String("zeroed page"))
            bad = good.left(4096) + QByteArray(4096, '\0') + good.mid(8192);
        else if (damage == QLatin1String("garbage"))
            bad = QByteArray("not a catalogue at all\r\n");
        if (damage == QLatin1String("table dropped")) {
            const zv::CatalogueConnection db = OpenCatalogue(path);
            sqlite3_exec(db->handle(), "DROP TABLE Movie", nullptr, nullptr, nullptr);
        } else if (damage == QLatin1String("folder") || damage == QLatin1String("missing")) {
            QFile::remove(path);
            if (damage == QLatin1String("folder"))
                QVERIFY(QDir().mkdir(path));
        } else {
            home.write(QStringLiteral("Zorvanell.dat"), bad);
        }

        zvtest::ScriptedSeam seam;
        if (damage == QLatin1String("missing"))
            seam.messageAnswers.enqueue(zv::MessageAnswer::Ok);
        seam.messageAnswers.enqueue(accept ? zv::MessageAnswer::Yes : zv::MessageAnswer::No);
        const bool started = Main();
        const QStringList texts = seam.messageTexts();
        qsizetype question = 0;
        while (question < texts.size() && !texts[question].endsWith(QStringLiteral("(записей: 40)?")))
            ++question;
        QVERIFY2(question < texts.size(), qPrintable(texts.join(QLatin1Char('\n'))));
        QCOMPARE(seam.messages[question].form, zv::MessageForm::YesNoQuestion);
        const QStringList kept =
            QDir(home.path()).entryList({QStringLiteral("Zorvanell.dat.damaged-*")}, QDir::AllEntries | QDir::System);
        if (damage == QLatin1String("missing")) {
            // The start-up's own warning comes first.
            QCOMPARE(question, qsizetype(1));
            QVERIFY(texts[0].startsWith(QStringLiteral("Главний файл программы не найден!")));
        }
        if (!accept) {
            QVERIFY(kept.isEmpty());
            if (damage == QLatin1String("garbage")) {
                QVERIFY(!started);
                QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), bad);
            } else {
                QVERIFY(started);
                QCOMPARE(ListNames(OpenCatalogue(path), QStringLiteral("Games")).size(), qsizetype(0));
            }
            return;
        }
        QVERIFY2(started, qPrintable(texts.join(QLatin1Char('\n'))));
        QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), backedUp);
        if (damage == QLatin1String("missing"))
            return;
        QCOMPARE(kept.size(), qsizetype(1));
        QVERIFY(texts.last().contains(kept.first()));
        if (!bad.isNull())
            QCOMPARE(home.read(kept.first()), bad);
    }

    void installedFirstStartShowsTheStarterCatalogueWithoutWarning()
    {
        InstalledLayout layout;
        QDir().mkpath(layout.shipped);
        CreateCatalogue(layout.shipped + QStringLiteral("/Zorvanell.dat"));
        {
            auto db = OpenCatalogue(layout.shipped + QStringLiteral("/Zorvanell.dat"));
            AddEntry(db, QStringLiteral("Programs"), QStringLiteral("Vim"), QStringLiteral(":help 42"));
            AddEntry(db, QStringLiteral("Programs"), QStringLiteral("Firefox"), QStringLiteral("about:robots"));
            AddEntry(db, QStringLiteral("Games"), QStringLiteral("Doom II"), QStringLiteral("IDKFA"));
        }
        QFile::copy(QStringLiteral(ZV_SOURCE_DIR "/data/Language.ini"),
                    layout.shipped + QStringLiteral("/Language.ini"));
        const QStringList installed = snapshot(layout.root.filePath(QStringLiteral("usr")));
        zvtest::ScriptedSeam seam;

        QVERIFY(Main());
        QVERIFY2(seam.messages.isEmpty(), qPrintable(seam.messageTexts().join(QLatin1Char('\n'))));
        QVERIFY(QFileInfo::exists(layout.data + QStringLiteral("/Language.ini")));
        frmLogo *logo = shownWindow<frmLogo>();
        QVERIFY(logo);
        logo->handOver();
        frmMain *main = shownWindow<frmMain>();
        QVERIFY(main);
        QCOMPARE(main->session().CurrentTable(), QStringLiteral("Programs"));
        QCOMPARE(listedNames(main), (QStringList{QStringLiteral("Firefox"), QStringLiteral("Vim")}));
        // The run counter went to the user's folder; nothing was written under /usr.
        QVERIFY(QFile::exists(layout.data + QStringLiteral("/Options.ini")));
        QCOMPARE(snapshot(layout.root.filePath(QStringLiteral("usr"))), installed);
    }

    void installedStartWithoutStarterCatalogueWarnsAndStartsEmpty()
    {
        InstalledLayout layout;
        zvtest::ScriptedSeam seam;
        QVERIFY(Main());
        QCOMPARE(seam.messages.size(), 1);
        QVERIFY(seam.messages[0].text.startsWith(QStringLiteral("Главний файл программы не найден!")));
        QVERIFY(QFileInfo::exists(layout.data + QStringLiteral("/Zorvanell.dat")));
        QCOMPARE(QDir(layout.bin).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    void portableFolderWithSettingsOnlyStillWarns()
    {
        InstalledLayout layout;
        QDir().mkpath(layout.shipped);
        CreateCatalogue(layout.shipped + QStringLiteral("/Zorvanell.dat"));
        QFile settings(layout.bin + QStringLiteral("/Options.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Main]\r\nSplashScreen=0\r\n");
        settings.close();
        zvtest::ScriptedSeam seam;
        QVERIFY(Main());
        QCOMPARE(seam.messages.size(), 1);
        QVERIFY(QFileInfo::exists(layout.bin + QStringLiteral("/Zorvanell.dat")));
        QVERIFY(!QFileInfo::exists(layout.data));
        QVERIFY(shownWindow<frmMain>());
    }

    void installStatusIsToldOnce_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("begins");
        const int ok = int(zv::MessageForm::OkInformation);
        const int bad = int(zv::MessageForm::OkExclamation);
        QTest::newRow("installed") << QByteArray("installed\n") << ok
                                   << QStringLiteral("Обновление программы установлено.");
        QTest::newRow("rolled back") << QByteArray("rolled back\n") << bad
                                     << QStringLiteral("Обновление программы установить не удалось, прежние файлы");
        QTest::newRow("refused") << QByteArray("refused\n") << bad << QStringLiteral("Архив обновления отклонён");
        QTest::newRow("restore failed") << QByteArray("restore failed\n") << bad
                                        << QStringLiteral("Обновление программы установить не удалось, и прежние");
        QTest::newRow("interrupted") << QByteArray("interrupted\n") << bad
                                     << QStringLiteral("Установка обновления программы была прервана");
        QTest::newRow("unknown word") << QByteArray("something else\n") << -1 << QString();
    }

    void installStatusIsToldOnce()
    {
        QFETCH(QByteArray, status);
        QFETCH(int, form);
        QFETCH(QString, begins);
        zvtest::TempHome home;
        zvtest::InstallFolder install;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        home.write(QStringLiteral("Options.ini"), "[Main]\r\nSplashScreen=0\r\n");
        // The status lies beside the program, not in the data folder.
        home.write(QStringLiteral("instupd.status"), "refused\n");
        install.write(QStringLiteral("instupd.status"), status);
        QVERIFY(Main());
        if (form < 0) {
            QVERIFY(seam.messages.isEmpty());
        } else {
            QCOMPARE(seam.messages.size(), 1);
            QVERIFY2(seam.messages[0].text.startsWith(begins), qPrintable(seam.messages[0].text));
            QCOMPARE(int(seam.messages[0].form), form);
        }
        QVERIFY(!QFileInfo::exists(install.file(QStringLiteral("instupd.status"))));
        closeAllWindows();
        QVERIFY(Main());
        QCOMPARE(seam.messages.size(), form < 0 ? 0 : 1);
    }

    // An install stopped half-way is handed to the script's recovery before any window or message;
    // while a script runs, the start says so without holding the folder, which the program the
    // script starts at its end must find free. A pipe in the script's lock's place is no lock.
    void unfinishedInstallComesFirst_data()
    {
        QTest::addColumn<QString>("lock"); // of the install script: "none", "held" or "fifo"
        QTest::newRow("stopped half-way") << QStringLiteral("none");
        QTest::newRow("script running") << QStringLiteral("held");
        QTest::newRow("lock is a FIFO") << QStringLiteral("fifo");
    }

    void unfinishedInstallComesFirst()
    {
        QFETCH(QString, lock);
        zvtest::TempHome home;
        zvtest::InstallFolder install;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        home.write(QStringLiteral("Options.ini"), "[Main]\r\nSplashScreen=0\r\n");
        install.write(QStringLiteral("instupd.status"), "interrupted\n");
        QVERIFY(QDir().mkpath(zv::update::installJournal()));
        const QByteArray lockPath = QFile::encodeName(zv::update::installLockFile());
        const int held =
            lock == QLatin1String("held") ? ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644) : -1;
        const auto release = qScopeGuard([held] { ::close(held); });
        if (lock == QLatin1String("held"))
            QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        if (lock == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(lockPath.constData(), 0644), 0);
        bool folderFree = false;
        seam.onMessage = [&](const auto &) { folderFree = !folderLocked(home.path()); };

        std::unique_ptr<zv::FolderOwner> owner;
        QCOMPARE(zv::startUp(owner), std::optional<int>(0));
        QVERIFY(!owner);
        QCOMPARE(seam.exits, QList<int>{0});
        QVERIFY(!shownWindow<frmMain>());
        QVERIFY(QFileInfo::exists(install.file(QStringLiteral("instupd.status"))));
        if (lock == QLatin1String("held")) {
            QCOMPARE(seam.messageTexts(), QStringList{zv::update::kInstallRunningText});
            QVERIFY(folderFree);
            QVERIFY(seam.started.isEmpty());
        } else {
            QVERIFY(seam.messages.isEmpty());
            QCOMPARE(seam.started.size(), 1);
            QCOMPARE(seam.started[0].arguments,
                     (QStringList{install.file(QStringLiteral("instupd.cmd")), QStringLiteral("--recover")}));
        }
    }

    void oddSettingsFileIsToldAndLeftAlone_data()
    {
        QTest::addColumn<QString>("odd");
        QTest::newRow("Options.ini") << QStringLiteral("Options.ini");
        QTest::newRow("Language.ini with its captions chosen") << QStringLiteral("Language.ini");
    }

    void oddSettingsFileIsToldAndLeftAlone()
    {
        QFETCH(QString, odd);
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        const QByteArray settings =
            "[Main]\r\nSplashScreen=0\r\nLang=" + zv::toCp1251(QStringLiteral("падонак")) + "\r\n";
        if (odd == QLatin1String("Language.ini"))
            home.write(QStringLiteral("Options.ini"), settings);
        const zvtest::PipeWatch pipe(home.file(odd));
        QVERIFY(pipe.made());
        QVERIFY(Main());
        QVERIFY2(!pipe.wasRead(), "the start would have waited for ever");
        QVERIFY(!seam.messages.isEmpty());
        QVERIFY2(seam.messages[0].text.contains(home.file(odd)), qPrintable(seam.messages[0].text));
        QCOMPARE(seam.messages[0].form, zv::MessageForm::OkExclamation);
        // A caption file that cannot be read is then repaired as a missing one is: built-in captions.
        const bool captions = odd == QLatin1String("Language.ini");
        QCOMPARE(seam.messageTexts().mid(1),
                 captions ? QStringList{QStringLiteral("Language not found. Trying to correct error.")}
                          : QStringList());
        // The defaults: the splash (Options.ini unread) or the built-in captions; the main window
        // writes its run counter, and the odd file stays what it was.
        if (frmLogo *logo = shownWindow<frmLogo>())
            logo->handOver();
        QVERIFY(shownWindow<frmMain>());
        QVERIFY(!pipe.wasRead());
        QVERIFY(!QFileInfo(home.file(odd)).isFile() && QFileInfo::exists(home.file(odd)));
        if (captions)
            QVERIFY(home.read(QStringLiteral("Options.ini")).contains(zv::toCp1251(QStringLiteral("Lang=Русский"))));
    }

    void catalogueThatCannotBeCreatedIsReported()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        // A program folder inside a plain file cannot hold anything, not even for root.
        home.write(QStringLiteral("plain"), "x");
        qputenv("ZORVANELL_HOME", QFile::encodeName(home.file(QStringLiteral("plain/sub"))));
        QVERIFY(!Main());
        QCOMPARE(seam.messages.size(), 2);
        QVERIFY(seam.messages[1].text.startsWith(QStringLiteral("Не удалось создать файл каталога")));
        QCOMPARE(home.read(QStringLiteral("plain")), QByteArray("x"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

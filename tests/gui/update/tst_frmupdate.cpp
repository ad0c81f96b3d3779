#include "HttpTestServer.h"
#include "InstallFolder.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "core/Addresses.h"
#include "core/INI.h"
#include "core/SharedState.h"
#include "core/TextCodec.h"
#include "core/Version.h"
#include "core/backup/Backups.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/update/Downloader.h"
#include "core/update/ProgramUpdate.h"
#include "core/update/UpdateLayout.h"
#include "gui/WindowGeometry.h"
#include "gui/catalogue/frmMain.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>

using zv::MessageAnswer;
using zv::MessageForm;
using zvtest::HttpTestServer;

namespace {

const QString kTable = QStringLiteral("Games");
// The build a server offers as the next one.
constexpr qint32 kNextBuild = zv::version::kUpdateNumber + 1;

QByteArray entryPath(const QString &name)
{
    return "/zv_upd/Games/base/" + name.toUtf8().toPercentEncoding();
}

// Every file below the program folder except the temporary ones, with its content.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        // The history of changes, the sorted lists (written in the background) and the backup taken
        // before the entries are written are the program's own.
        if (relative.startsWith(QLatin1String("tmp/")) || relative.startsWith(QLatin1String("Backups/")) ||
            relative.startsWith(QLatin1String("Zorvanell.dat.history")) ||
            relative.startsWith(QLatin1String("Zorvanell.dat.lists")))
            continue;
        QFile file(path);
        files.insert(relative, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return files;
}

} // namespace

class TestFrmUpdate : public QObject
{
    Q_OBJECT

    // One update window over a fresh program folder, a catalogue, a local server and the real
    // main window showing the category.
    struct Fixture
    {
        zvtest::TempHome home;
        zvtest::InstallFolder install;
        zvtest::ScriptedSeam seam;
        HttpTestServer server;
        std::unique_ptr<zv::CatalogueSession> session;
        std::unique_ptr<frmMain> main;
        std::unique_ptr<frmUpdate> window;

        explicit Fixture(const QStringList &present = {})
        {
            CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
            auto catalogue = OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
            for (const QString &name : present)
                AddEntry(catalogue, kTable, name, QStringLiteral("old ") + name);
            home.write(QStringLiteral("Options.ini"), "[Main]\r\nRunCount=5\r\n");
            install.write(QStringLiteral("keys/test.pub"), signingKey().publicFile);
            session = std::make_unique<zv::CatalogueSession>(home.file(QStringLiteral("Zorvanell.dat")));
            main = std::make_unique<frmMain>(*session);
            main->setAttribute(Qt::WA_DeleteOnClose, false);
            main->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("Игры"));
            window = std::make_unique<frmUpdate>(*session, main.get());
            window->show();
            server_box()->setCurrentText(server.root());
        }
        QComboBox *server_box() { return window->findChild<QComboBox *>(QStringLiteral("cmbServer")); }
        VistaButton *button(const char *name) { return window->findChild<VistaButton *>(QLatin1String(name)); }
        QString stat() { return window->findChild<QLabel *>(QStringLiteral("stat"))->text(); }
        void serveList(const QString &text) { server.setFile("/zv_upd/Games/spisok.txt", zv::toCp1251(text)); }
        void serveEntry(const QString &name, const QString &text)
        {
            server.setFile(entryPath(name), zv::toCp1251(text));
        }
        // A click starts an action; the transfers carry it on until the window is idle again.
        void clickUpdate()
        {
            emit button("Command1")->Click();
            waitUntilIdle();
        }
        void clickProgram()
        {
            emit button("VistaButton1")->Click();
            waitUntilIdle();
        }
        void waitUntilIdle() { QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), 60000); }
        QStringList names() { return ListNames(OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat"))), kTable); }
        QString ref(const QString &name)
        {
            return FindEntry(OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat"))), kTable, name).ref;
        }
        bool tmpExists() { return QFileInfo::exists(home.file(QStringLiteral("tmp"))); }
        QString countText() { return main->countLabel()->text(); }
        QStringList shown() { return main->listNames(); }
        // A newer build on offer, its archive and a signature naming `signedBuild`.
        void serveProgram(const QByteArray &archive, qint64 signedBuild = kNextBuild)
        {
            server.setFile("/zv_upd/ProgVer.ini",
                           "[Update]\r\nIntVer=" + QByteArray::number(kNextBuild) + "\r\nTxtVer=5.1.502\r\n");
            server.setFile("/zv_upd/update.rar", archive);
            server.setFile("/zv_upd/update.rar.minisig",
                           signingKey().sign(archive, "timestamp:1\tfile:update.rar\thashed\t" +
                                                          zv::update::buildField(signedBuild)));
        }
        bool downloadsLeft()
        {
            return QFileInfo::exists(install.file(QStringLiteral("update.rar"))) ||
                   QFileInfo::exists(install.file(QStringLiteral("update.rar.minisig")));
        }
    };

    static const zvtest::SigningKey &signingKey()
    {
        static const zvtest::SigningKey key;
        return key;
    }

private slots:
    void initTestCase()
    {
        zv::initVersionValues();
        zv::update::Downloader::setDefaultTimeout(1000);
    }

    void windowAsLoaded()
    {
        Fixture f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Обновление базы - Игры"));
        QCOMPARE(f.stat(), QStringLiteral("Вас приветстует менеджер обновлений Zorvanell!"));
        QCOMPARE(f.button("Command1")->Caption(), QStringLiteral("Обновить базу"));
        QCOMPARE(f.button("VistaButton1")->Caption(), QStringLiteral("Обновить программу"));
        QCOMPARE(f.window->size(), QSize(328, 118));
        frmUpdate fresh(*f.session, f.main.get());
        QComboBox *box = fresh.findChild<QComboBox *>(QStringLiteral("cmbServer"));
        QVERIFY(box->isEditable());
        QCOMPARE(box->currentText(), zv::addresses::kProjectSite);
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items,
                 (QStringList{zv::addresses::kPartnerPortal, zv::addresses::kProjectSite, zv::addresses::kMirror}));
        for (const char *name : {"stat", "Label1", "Image1", "prgEntries"})
            QVERIFY2(fresh.findChild<QWidget *>(QLatin1String(name)), name);
    }

    void alternativeCaptions()
    {
        Fixture f;
        f.home.write(QStringLiteral("Options.ini"), zv::toCp1251(QStringLiteral("[Main]\r\nLang=падонак\r\n")));
        f.home.write(QStringLiteral("Language.ini"),
                     zv::toCp1251(QStringLiteral("[Падонак]\r\nCaption=Зорванел\r\nCaption_frmUpdate=Апдейт\r\n"
                                                 "frmUpdate_Greet=Превед\r\nfrmUpdate_Download=Качнуть\r\n")));
        frmUpdate window(*f.session, f.main.get());
        QCOMPARE(window.windowTitle(), QStringLiteral("Апдейт"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("stat"))->text(), QStringLiteral("Превед"));
        QCOMPARE(window.findChild<VistaButton *>(QStringLiteral("Command1"))->Caption(), QStringLiteral("Качнуть"));
    }

    void listCannotBeFetched_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("why"); // the status line's reason
        const QString unknown = QStringLiteral("Ошибка обновления!");
        QTest::newRow("404") << 0 << QStringLiteral("Ошибка обновления: файла нет на сервере.");
        QTest::newRow("connection refused") << 1 << QStringLiteral("Ошибка обновления: сервер отклонил соединение.");
        QTest::newRow("cut in the middle") << 2 << unknown;
        QTest::newRow("server stops sending") << 3 << QStringLiteral("Ошибка обновления: сервер не отвечает.");
        QTest::newRow("over the size cap") << 4 << QStringLiteral("Ошибка обновления: слишком большой файл.");
        QTest::newRow("redirect loop") << 5 << unknown;
        QTest::newRow("no scheme") << 6 << unknown;
        QTest::newRow("a name that does not resolve")
            << 7 << QStringLiteral("Ошибка обновления: имя сервера не найдено.");
        QTest::newRow("a published folder without the list")
            << 8 << QStringLiteral("Ошибка обновления: файла нет на сервере.");
    }

    void listCannotBeFetched()
    {
        QFETCH(int, how);
        QFETCH(QString, why);
        Fixture f({QStringLiteral("Старая")});
        const QByteArray list = "/zv_upd/Games/spisok.txt";
        using B = HttpTestServer::Behaviour;
        QTemporaryDir usb;
        switch (how) {
        case 1:
            f.server_box()->setCurrentText(QStringLiteral("http://127.0.0.1:%1/").arg(HttpTestServer::closedPort()));
            break;
        case 2:
            f.server.setRoute(list, {200, QByteArray(200000, 'x'), B::CutBody, {}});
            break;
        case 3:
            f.server.setRoute(list, {200, QByteArray(200000, 'x'), B::Stall, {}});
            break;
        case 4:
            f.server.setRoute(
                list, {200, QByteArray(zv::update::sizeCap(zv::update::FileKind::List) + 1, 'x'), B::Chunked, {}});
            // Sending that much may take this server longer than the test's short time-out.
            f.window->findChild<zv::update::Downloader *>()->setTimeout(60000);
            break;
        case 5:
            f.server.setRoute(list, {302, {}, B::Normal, list});
            break;
        case 6:
            f.server_box()->setCurrentText(QStringLiteral("127.0.0.1/"));
            break;
        case 7:
            // .invalid never resolves (RFC 2606).
            f.server_box()->setCurrentText(QStringLiteral("http://zorvanell.invalid/"));
            break;
        case 8:
            QVERIFY(QDir().mkpath(usb.filePath(QStringLiteral("zv_upd/Games/base"))));
            f.server_box()->setCurrentText(QUrl::fromLocalFile(usb.path()).toString() + QLatin1Char('/'));
            break;
        }
        const auto before = snapshot(f.home.path());
        f.clickUpdate();
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Произошла ошибка!")});
        QCOMPARE(f.seam.messages.at(0).form, MessageForm::Ok);
        QCOMPARE(f.seam.messages.at(0).caption, QStringLiteral("Zorvanell"));
        QCOMPARE(f.stat(), why);
        // The reason is read whole in the line, in the font the window is laid out for.
        QVERIFY(QFontMetrics(zv::designFont()).horizontalAdvance(why) <=
                f.window->findChild<QLabel *>(QStringLiteral("stat"))->width());
        QVERIFY(!QFileInfo::exists(f.home.file(QStringLiteral("tmp/list.txt"))));
        QCOMPARE(snapshot(f.home.path()), before);
        QVERIFY(f.button("Command1")->isEnabled());
        // The folders stay until the window closes.
        QVERIFY(f.tmpExists());
        f.window->close();
        QVERIFY(!f.tmpExists());
    }

    void updateAddsNewEntries()
    {
        Fixture f({QStringLiteral("Ёлка"), QStringLiteral("Doom")});
        f.serveList(
            QStringLiteral("ЁЛКА\r\nЯблоко\r\nDon't #1? 100%\r\ndoom\r\nПропавшая\r\nЯблоко\r\n  с пробелами  "));
        f.serveEntry(QStringLiteral("Яблоко"), QStringLiteral("Строка 1\r\nСтрока 2\r\n"));
        f.serveEntry(QStringLiteral("Don't #1? 100%"), QStringLiteral("apostrophe"));
        f.serveEntry(QStringLiteral("  с пробелами  "), QString());
        f.seam.messageAnswers << MessageAnswer::Yes << MessageAnswer::Ok << MessageAnswer::Yes;
        QStringList statAtMessage;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &) { statAtMessage << f.stat(); };
        f.clickUpdate();

        QCOMPARE(f.seam.messageTexts(),
                 (QStringList{QStringLiteral("Новых записей 5, обновить?"), QStringLiteral("База обновлена!"),
                              QStringLiteral("Читать что нового? (будет выполнен переход на сайт)")}));
        QCOMPARE(f.seam.messages.at(0).form, MessageForm::YesNoQuestion);
        QCOMPARE(f.seam.messages.at(1).form, MessageForm::Ok);
        QCOMPARE(f.seam.messages.at(2).form, MessageForm::YesNoQuestion);
        QCOMPARE(statAtMessage.at(0), QStringLiteral("Проверяем наличие обновлений"));
        QVERIFY(statAtMessage.at(1).startsWith(QStringLiteral("Добавляем ")));
        QCOMPARE(f.seam.opened, QStringList{QStringLiteral("http://zorvanell.example.org/zv_upd/whatsnew.txt")});

        QCOMPARE(f.window->List1().size(), 7);
        QCOMPARE(f.window->List2(),
                 (QStringList{QStringLiteral("Яблоко"), QStringLiteral("Don't #1? 100%"), QStringLiteral("Пропавшая"),
                              QStringLiteral("Яблоко"), QStringLiteral("  с пробелами  ")}));
        QStringList names = f.names();
        QCOMPARE(names.size(), 5);
        QVERIFY(names.contains(QStringLiteral("Яблоко")));
        QVERIFY(!names.contains(QStringLiteral("Пропавшая")));
        QCOMPARE(f.ref(QStringLiteral("Яблоко")), QStringLiteral("Строка 1\r\nСтрока 2\r\n"));
        QCOMPARE(f.ref(QStringLiteral("Don't #1? 100%")), QStringLiteral("apostrophe"));
        QCOMPARE(f.ref(QStringLiteral("  с пробелами  ")), QString());
        QCOMPARE(f.ref(QStringLiteral("Ёлка")), QStringLiteral("old Ёлка"));

        // The main list shows the new names at their sorted places.
        QCOMPARE(f.shown(), (QStringList{QStringLiteral("  с пробелами  "), QStringLiteral("Don't #1? 100%"),
                                         QStringLiteral("Doom"), QStringLiteral("Ёлка"), QStringLiteral("Яблоко")}));
        QCOMPARE(f.countText(), QStringLiteral("Количество записей: 5"));
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.tmpExists());
    }

    void namesEqualAfterFoldingAreNotNew()
    {
        // The list file is Windows-1251, so the names on the server are Cyrillic or Latin.
        Fixture f({QStringLiteral("Straße"), QStringLiteral("Ёлка"), QStringLiteral("Pop")});
        f.serveList(QStringLiteral("STRASSE\r\nёЛКА\r\nРор"));
        f.serveEntry(QStringLiteral("Рор"), QStringLiteral("cyrillic"));
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QCOMPARE(f.seam.messages.at(0).text, QStringLiteral("Новых записей 1, обновить?"));
        QCOMPARE(f.names().size(), 4);
        QCOMPARE(f.ref(QStringLiteral("Straße")), QStringLiteral("old Straße"));
        QCOMPARE(f.ref(QStringLiteral("Рор")), QStringLiteral("cyrillic"));
    }

    void selectedEntryStaysSelected()
    {
        Fixture f({QStringLiteral("Doom"), QStringLiteral("Quake")});
        f.main->searchBox()->setText(QStringLiteral("qu"));
        QCOMPARE(f.main->selectedName(), QStringLiteral("Quake"));
        f.serveList(QStringLiteral("Arcanum\r\nBlood\r\nZork"));
        for (const QString &name : {QStringLiteral("Arcanum"), QStringLiteral("Blood"), QStringLiteral("Zork")})
            f.serveEntry(name, name);
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QCOMPARE(f.shown(), (QStringList{QStringLiteral("Arcanum"), QStringLiteral("Blood"), QStringLiteral("Doom"),
                                         QStringLiteral("Quake"), QStringLiteral("Zork")}));
        QCOMPARE(f.main->selectedName(), QStringLiteral("Quake"));
        QCOMPARE(f.main->selectedRow(), 3);
        QCOMPARE(f.main->CurrentRecord().name, QStringLiteral("Quake"));
        QCOMPARE(f.main->entryText()->toPlainText(), QStringLiteral("old Quake"));
        // The catalogue as it was before is backed up first.
        const auto backups =
            zv::backup::listBackups(zv::backup::backupsFolder(f.home.file(QStringLiteral("Zorvanell.dat"))));
        QCOMPARE(backups.size(), size_t(1));
        QCOMPARE(backups.front().reason, zv::backup::Reason::BeforeUpdate);
        QCOMPARE(backups.front().entries(), qint64(2));
        // The added entries are found through the list like any other.
        f.main->searchBox()->setText(QStringLiteral("bl"));
        QCOMPARE(f.main->entryText()->toPlainText(), QStringLiteral("Blood"));
    }

    void closingWhileEntriesAreWrittenWaitsForThem()
    {
        Fixture f;
        QStringList list;
        for (int i = 0; i < 20; ++i) {
            list << QStringLiteral("Запись %1").arg(i);
            f.serveEntry(list.last(), QStringLiteral("Текст %1").arg(i));
        }
        f.serveList(list.join(QStringLiteral("\r\n")));
        f.seam.messageAnswers << MessageAnswer::Yes;
        // Another program holds the catalogue when the entries are to be written, so the writing
        // waits; meanwhile the user closes the window.
        sqlite3 *holder = nullptr;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &m) {
            if (!m.text.startsWith(QStringLiteral("Новых записей ")))
                return;
            sqlite3_open_v2(QFile::encodeName(f.home.file(QStringLiteral("Zorvanell.dat"))).constData(), &holder,
                            SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        };
        bool stayedOpen = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (f.stat() != QStringLiteral("Загрузка завершена."))
                return;
            poll.stop();
            f.window->close();
            stayedOpen = f.window->isVisible();
            sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(holder);
        });
        poll.start();
        f.clickUpdate();
        QVERIFY(stayedOpen);
        QCOMPARE(f.seam.messages.value(1).text, QStringLiteral("База обновлена!"));
        QCOMPARE(f.names().size(), 20);
        QCOMPARE(f.main->listCount(), 20);
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.tmpExists());
    }

    void cyrillicNameFromAnOldServer()
    {
        Fixture f;
        f.serveList(QStringLiteral("Ёжик в тумане"));
        f.server.setFile("/zv_upd/Games/base/" + zv::toCp1251(QStringLiteral("Ёжик в тумане")).toPercentEncoding(),
                         zv::toCp1251(QStringLiteral("старый сервер")));
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QCOMPARE(f.ref(QStringLiteral("Ёжик в тумане")), QStringLiteral("старый сервер"));
    }

    void hostileNamesWriteNothing()
    {
        Fixture f({QStringLiteral("Есть")});
        const QStringList hostile{QStringLiteral("."),
                                  QStringLiteral(".."),
                                  QStringLiteral("../../Options.ini"),
                                  QStringLiteral("../Zorvanell.dat"),
                                  QStringLiteral("a/b"),
                                  QStringLiteral("..\\x"),
                                  QStringLiteral("a") + QChar(0) + QStringLiteral("b"),
                                  QStringLiteral(".hack//Sign"),
                                  QStringLiteral("/etc/passwd")};
        f.serveList(hostile.join(QStringLiteral("\r\n")) + QStringLiteral("\r\nХорошая\r\n"));
        // Whatever the server would send for them must never land anywhere.
        for (const QString &name : hostile)
            f.serveEntry(name, QStringLiteral("EVIL"));
        f.server.setFile("/zv_upd/Games/Options.ini", "EVIL");
        f.server.setFile("/zv_upd/Zorvanell.dat", "EVIL");
        f.serveEntry(QStringLiteral("Хорошая"), QStringLiteral("good"));
        const auto before = snapshot(f.home.path());
        f.seam.messageAnswers << MessageAnswer::Yes;
        QStringList tmpFiles;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &m) {
            if (m.text == QStringLiteral("База обновлена!"))
                tmpFiles = QDir(f.home.file(QStringLiteral("tmp/base")))
                               .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        f.clickUpdate();
        // The empty name after the final CR LF counts as new too.
        QCOMPARE(f.seam.messages.at(0).text, QStringLiteral("Новых записей 11, обновить?"));
        QCOMPARE(f.seam.messages.at(1).text, QStringLiteral("База обновлена!"));
        QCOMPARE(tmpFiles, QStringList{QStringLiteral("Хорошая")});
        QCOMPARE(f.names(), (QStringList{QStringLiteral("Есть"), QStringLiteral("Хорошая")}));
        auto after = snapshot(f.home.path());
        // The update's record in the history of changes is the program's own file beside the catalogue.
        after.remove(QStringLiteral("Zorvanell.dat.history"));
        QCOMPARE(after.keys(), before.keys());
        QCOMPARE(after.value(QStringLiteral("Options.ini")), before.value(QStringLiteral("Options.ini")));
        for (const QByteArray &request : std::as_const(f.server.requests))
            QVERIFY2(!request.contains("EVIL") && !request.endsWith("Options.ini") && !request.endsWith(".dat"),
                     request.constData());
        QCOMPARE(f.server.requests.size(), 2); // the list and the one good entry
    }

    void namesBeginningWithADot()
    {
        // Among them the names the unfinished files once had, beside the entry files.
        const QStringList names{QStringLiteral(".NET Framework"), QStringLiteral(".part"),
                                QStringLiteral(".zvpart-%1-2").arg(QCoreApplication::applicationPid()),
                                QStringLiteral("...")};
        Fixture f;
        f.serveList(names.join(QStringLiteral("\r\n")));
        for (const QString &name : names)
            f.serveEntry(name, QStringLiteral("Текст ") + name);
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QCOMPARE(f.seam.messages.value(0).text, QStringLiteral("Новых записей 4, обновить?"));
        QCOMPARE(f.seam.messages.value(1).text, QStringLiteral("База обновлена!"));
        QStringList stored = f.names();
        stored.sort();
        QStringList expected = names;
        expected.sort();
        QCOMPARE(stored, expected);
        for (const QString &name : names)
            QCOMPARE(f.ref(name), QStringLiteral("Текст ") + name);
        QCOMPARE(f.countText(), QStringLiteral("Количество записей: 4"));
        QVERIFY(!f.tmpExists());
    }

    void listShapes_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("offer");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("ends with CR LF") << QStringLiteral("A\r\nB\r\n") << QStringLiteral("Новых записей 3, обновить?")
                                         << QStringList{QStringLiteral("A"), QStringLiteral("B")};
        QTest::newRow("name twice") << QStringLiteral("A\r\nA") << QStringLiteral("Новых записей 2, обновить?")
                                    << QStringList{QStringLiteral("A")};
        QTest::newRow("LF only is one name")
            << QStringLiteral("A\nB") << QStringLiteral("Новых записей 1, обновить?") << QStringList{};
        QTest::newRow("names differing in case")
            << QStringLiteral("Жук\r\nЖУК") << QStringLiteral("Новых записей 2, обновить?")
            << QStringList{QStringLiteral("ЖУК")};
    }

    void listShapes()
    {
        QFETCH(QString, list);
        QFETCH(QString, offer);
        QFETCH(QStringList, added);
        Fixture f;
        f.serveList(list);
        for (const QString &name :
             {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("Жук"), QStringLiteral("ЖУК")})
            f.serveEntry(name, name + QStringLiteral(" text"));
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QCOMPARE(f.seam.messages.at(0).text, offer);
        QCOMPARE(f.seam.messages.at(1).text, QStringLiteral("База обновлена!"));
        QCOMPARE(f.names(), added);
        QCOMPARE(f.countText(), QStringLiteral("Количество записей: ") + QString::number(added.size()));
    }

    void declinedOffer()
    {
        Fixture f({QStringLiteral("Старая")});
        f.serveList(QStringLiteral("Старая\r\nНовая"));
        f.serveEntry(QStringLiteral("Новая"), QStringLiteral("x"));
        f.seam.messageAnswers << MessageAnswer::No;
        f.clickUpdate();
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Новых записей 1, обновить?")});
        QCOMPARE(f.stat(), QStringLiteral("Проверяем наличие обновлений"));
        QVERIFY(!f.tmpExists());
        QVERIFY(f.window->List1().isEmpty() && f.window->List2().isEmpty());
        QCOMPARE(f.names(), QStringList{QStringLiteral("Старая")});
        QCOMPARE(f.server.requests.size(), 1);
        QVERIFY(f.window->isVisible());
    }

    void tricklingServerStopsTheUpdate_data()
    {
        QTest::addColumn<bool>("listTrickles");
        QTest::newRow("the list") << true;
        QTest::newRow("an entry, after another arrived") << false;
    }
    void tricklingServerStopsTheUpdate()
    {
        QFETCH(bool, listTrickles);
        Fixture f({QStringLiteral("Старая")});
        HttpTestServer::Route trickle{200, QByteArray(1 << 16, 'x'), HttpTestServer::Behaviour::Trickle, {}};
        f.serveList(QStringLiteral("Старая\r\nПервая\r\nМедленная"));
        f.serveEntry(QStringLiteral("Первая"), QStringLiteral("пришла"));
        f.server.setRoute(
            listTrickles ? QByteArray("/zv_upd/Games/spisok.txt") : entryPath(QStringLiteral("Медленная")), trickle);
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QStringList expected{zv::update::kTooSlowText};
        if (!listTrickles)
            expected.prepend(QStringLiteral("Новых записей 2, обновить?"));
        QCOMPARE(f.seam.messageTexts(), expected);
        QCOMPARE(f.seam.messages.last().form, MessageForm::OkExclamation);
        QCOMPARE(f.stat(), QStringLiteral("Ошибка обновления: сервер слишком медленный."));
        // What did arrive is neither added nor left behind.
        QCOMPARE(f.names(), QStringList{QStringLiteral("Старая")});
        QVERIFY(QDir(f.home.file(QStringLiteral("tmp/base"))).isEmpty());
        QVERIFY(f.button("Command1")->isEnabled());
    }

    void linkInAPublishedFolderIsLeftOut_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("short name") << QStringLiteral("Чужое");
        QTest::newRow("name wider than the status line")
            << QStringLiteral("Очень длинное имя чужой записи, которое никак не помещается в строку состояния");
    }
    void linkInAPublishedFolderIsLeftOut()
    {
        QFETCH(QString, link);
        Fixture f({QStringLiteral("Старая")});
        QTemporaryDir usb;
        const QString base = usb.filePath(QStringLiteral("zv_upd/Games/base/"));
        QVERIFY(QDir().mkpath(base));
        QFile list(usb.filePath(QStringLiteral("zv_upd/Games/spisok.txt")));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(zv::toCp1251(QStringLiteral("Старая\r\nОкна\r\n") + link));
        list.close();
        QFile entry(base + QStringLiteral("Окна"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("text");
        entry.close();
        QVERIFY(QFile::link(f.home.file(QStringLiteral("Options.ini")), base + link));
        f.server_box()->setCurrentText(QUrl::fromLocalFile(usb.path()).toString() + QLatin1Char('/'));
        QString statWhenTold;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &message) {
            if (message.text == QStringLiteral("База обновлена!"))
                statWhenTold = f.stat();
        };
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QCOMPARE(f.names(), (QStringList{QStringLiteral("Старая"), QStringLiteral("Окна")}));
        const QLabel *stat = f.window->findChild<QLabel *>(QStringLiteral("stat"));
        // The note fits its line, and a name too long for it gives way, never the reason.
        QVERIFY(stat->fontMetrics().horizontalAdvance(statWhenTold) <= stat->width());
        const QString full = zv::update::skippedEntryText(link, zv::update::TransferFailure::NotRegularFile);
        if (stat->fontMetrics().horizontalAdvance(full) <= stat->width()) {
            QCOMPARE(statWhenTold, full);
        } else {
            const QString bare = zv::update::skippedEntryText(QString(), zv::update::TransferFailure::NotRegularFile);
            QVERIFY(statWhenTold.contains(QChar(u'…')));
            QVERIFY(statWhenTold.endsWith(bare.mid(bare.indexOf(QChar(u'»')))));
        }
    }

    void nothingNew()
    {
        Fixture f({QStringLiteral("Старая"), QStringLiteral("Ещё")});
        f.serveList(QStringLiteral("СТАРАЯ\r\nещё"));
        f.clickUpdate();
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("У вас самая свежая база данных!")});
        QCOMPARE(f.seam.messages.at(0).form, MessageForm::OkInformation);
        QCOMPARE(f.stat(), QStringLiteral("Обновлений нет."));
        QVERIFY(QFileInfo::exists(f.home.file(QStringLiteral("tmp/list.txt"))));
        // A second click starts over from a clean tmp.
        f.clickUpdate();
        QCOMPARE(f.seam.messages.size(), 2);
        QVERIFY(QFileInfo::exists(f.home.file(QStringLiteral("tmp/list.txt"))));
        f.window->close();
        QVERIFY(!f.tmpExists());
    }

    void closingDuringTransfers()
    {
        Fixture f;
        QStringList list;
        for (int i = 0; i < 20; ++i) {
            const QString name = QStringLiteral("Запись %1").arg(i);
            list << name;
            f.server.setRoute(entryPath(name), {200, QByteArray(100000, 'x'), HttpTestServer::Behaviour::Stall, {}});
        }
        f.serveList(list.join(QStringLiteral("\r\n")));
        f.window->findChild<zv::update::Downloader *>()->setTimeout(60000);
        f.seam.messageAnswers << MessageAnswer::Yes;
        bool disabledWhileBusy = false;
        bool progressShown = false;
        connect(&f.server, &HttpTestServer::requested, this, [&](const QByteArray &path) {
            if (!path.contains("/base/"))
                return;
            disabledWhileBusy = !f.button("Command1")->isEnabled() && !f.button("VistaButton1")->isEnabled() &&
                                !f.server_box()->isEnabled();
            progressShown = f.window->findChild<QProgressBar *>(QStringLiteral("prgEntries"))->isVisible();
            QTimer::singleShot(50, f.window.get(), [&] { f.window->close(); });
        });
        QElapsedTimer clock;
        clock.start();
        f.clickUpdate();
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(disabledWhileBusy);
        QVERIFY(progressShown);
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Новых записей 20, обновить?")});
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.tmpExists());
        QVERIFY(f.names().isEmpty());
        QVERIFY(!f.window->busy());
    }

    void closingWhileEntriesArriveLeavesNothing_data()
    {
        QTest::addColumn<int>("reported"); // entry files the window was told of before it closes
        for (const int reported : {1, 3, 10, 30})
            QTest::addRow("after %d", reported) << reported;
    }

    void closingWhileEntriesArriveLeavesNothing()
    {
        QFETCH(int, reported);
        Fixture f({QStringLiteral("Старая")});
        // A published folder: the transfers' thread moves files in without this thread's help.
        QTemporaryDir usb;
        QStringList list;
        for (int i = 0; i < 200; ++i) {
            list << QStringLiteral("Запись %1").arg(i);
            zvtest::writeFile(usb.filePath(QStringLiteral("zv_upd/Games/base/") + list.last()),
                              zv::toCp1251(QStringLiteral("Текст %1").arg(i)));
        }
        zvtest::writeFile(usb.filePath(QStringLiteral("zv_upd/Games/spisok.txt")),
                          zv::toCp1251(list.join(QStringLiteral("\r\n"))));
        f.server_box()->setCurrentText(QUrl::fromLocalFile(usb.path()).toString() + QLatin1Char('/'));
        f.seam.messageAnswers << MessageAnswer::Yes;
        const QDir base(f.home.file(QStringLiteral("tmp/base")));
        int told = 0;
        int inPlaceAtClose = -1;
        auto *downloader = f.window->findChild<zv::update::Downloader *>();
        connect(downloader, &zv::update::Downloader::arrived, this, [&] {
            if (++told != reported)
                return;
            // The close comes from the event loop, as a user's does; before it, the transfers'
            // thread moves more files in than the window has been told of.
            QTimer::singleShot(0, f.window.get(), [&] {
                QDeadlineTimer moment(2000);
                while (base.entryList(QDir::Files).size() <= told && !moment.hasExpired())
                    QThread::msleep(1);
                inPlaceAtClose = int(base.entryList(QDir::Files).size());
                f.window->close();
            });
        });
        f.clickUpdate();
        QVERIFY(inPlaceAtClose > reported);
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.tmpExists());
        QCOMPARE(f.names(), QStringList{QStringLiteral("Старая")});
    }

    void closingInEachState_data()
    {
        QTest::addColumn<bool>("program");       // VistaButton1 rather than Command1
        QTest::addColumn<QByteArray>("stalled"); // closed once this is requested; it never arrives
        QTest::addColumn<QString>("question");   // or closed while this question is open
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("questions"); // asked before the close
        using S = frmUpdate::State;
        QTest::newRow("idle") << false << QByteArray() << QString() << int(S::Idle) << 0;
        QTest::newRow("fetching the list")
            << false << QByteArray("spisok.txt") << QString() << int(S::FetchingList) << 0;
        QTest::newRow("asking about entries")
            << false << QByteArray() << QStringLiteral("Новых записей ") << int(S::Asking) << 1;
        QTest::newRow("fetching entries") << false << QByteArray("/base/") << QString() << int(S::FetchingEntries) << 1;
        QTest::newRow("checking the version")
            << true << QByteArray("ProgVer.ini") << QString() << int(S::CheckingVersion) << 0;
        QTest::newRow("asking about the program")
            << true << QByteArray() << QStringLiteral("Доступна версия ") << int(S::Asking) << 1;
        QTest::newRow("fetching the archive")
            << true << QByteArray("update.rar") << QString() << int(S::FetchingArchive) << 1;
        QTest::newRow("fetching the signature")
            << true << QByteArray("minisig") << QString() << int(S::FetchingSignature) << 1;
    }

    void closingInEachState()
    {
        QFETCH(bool, program);
        QFETCH(QByteArray, stalled);
        QFETCH(QString, question);
        QFETCH(int, state);
        QFETCH(int, questions);
        Fixture f({QStringLiteral("Старая")});
        f.serveList(QStringLiteral("Старая\r\nНовая 1\r\nНовая 2"));
        f.serveEntry(QStringLiteral("Новая 1"), QStringLiteral("один"));
        f.serveEntry(QStringLiteral("Новая 2"), QStringLiteral("два"));
        f.serveProgram("archive");
        const QList<QByteArray> paths{"/zv_upd/Games/spisok.txt",
                                      entryPath(QStringLiteral("Новая 1")),
                                      entryPath(QStringLiteral("Новая 2")),
                                      "/zv_upd/ProgVer.ini",
                                      "/zv_upd/update.rar",
                                      "/zv_upd/update.rar.minisig"};
        for (const QByteArray &path : paths) {
            if (!stalled.isEmpty() && path.contains(stalled))
                f.server.setRoute(path, {200, QByteArray(100000, 'x'), HttpTestServer::Behaviour::Stall, {}});
        }
        f.window->findChild<zv::update::Downloader *>()->setTimeout(60000);
        const auto home = snapshot(f.home.path());
        const auto install = f.install.snapshot();
        int closedIn = -1;
        qsizetype requestsAtClose = -1;
        auto closeNow = [&] {
            closedIn = int(f.window->state());
            requestsAtClose = f.server.requests.size();
            f.window->close();
        };
        connect(&f.server, &HttpTestServer::requested, this, [&](const QByteArray &path) {
            if (!stalled.isEmpty() && path.contains(stalled) && closedIn < 0)
                QTimer::singleShot(0, f.window.get(), closeNow);
        });
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &m) {
            if (!question.isEmpty() && m.text.startsWith(question))
                closeNow();
        };
        if (program)
            f.clickProgram();
        else if (state != int(frmUpdate::State::Idle))
            f.clickUpdate();
        if (closedIn < 0)
            closeNow();
        QCOMPARE(closedIn, state);
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.window->busy());
        QCOMPARE(f.seam.messages.size(), questions);
        // No step follows the close (a transfer on its way when it came may still reach the server).
        QTest::qWait(100);
        for (const QByteArray &path : f.server.requests.mid(requestsAtClose))
            QVERIFY2(!stalled.isEmpty() && path.contains(stalled), path.constData());
        QVERIFY(!f.tmpExists());
        QCOMPARE(f.names(), QStringList{QStringLiteral("Старая")});
        QCOMPARE(f.shown(), QStringList{QStringLiteral("Старая")});
        QCOMPARE(snapshot(f.home.path()), home);
        QCOMPARE(f.install.snapshot(), install);
        QVERIFY(f.seam.started.isEmpty());
        QVERIFY(f.seam.exits.isEmpty());
    }

    void closingWhileEntriesAreWrittenTakesThemBackAfterAWhile()
    {
        Fixture f({QStringLiteral("Старая")});
        QStringList list{QStringLiteral("Старая")};
        for (int i = 0; i < 20; ++i) {
            list << QStringLiteral("Запись %1").arg(i);
            f.serveEntry(list.last(), QStringLiteral("Текст %1").arg(i));
        }
        f.serveList(list.join(QStringLiteral("\r\n")));
        f.seam.messageAnswers << MessageAnswer::Yes;
        frmUpdate::setCloseWait(50);
        const auto restore = qScopeGuard([] { frmUpdate::setCloseWait(2000); });
        // Another program holds the catalogue for longer than closing waits.
        sqlite3 *holder = nullptr;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &m) {
            if (!m.text.startsWith(QStringLiteral("Новых записей ")))
                return;
            sqlite3_open_v2(QFile::encodeName(f.home.file(QStringLiteral("Zorvanell.dat"))).constData(), &holder,
                            SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        };
        int closedIn = -1;
        bool stayedOpen = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (f.stat() != QStringLiteral("Загрузка завершена."))
                return;
            poll.stop();
            closedIn = int(f.window->state());
            f.window->close();
            stayedOpen = f.window->isVisible();
            QTimer::singleShot(300, this, [&] {
                sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
                sqlite3_close(holder);
            });
        });
        poll.start();
        f.clickUpdate();
        QCOMPARE(closedIn, int(frmUpdate::State::WritingEntries));
        QVERIFY(stayedOpen);
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Новых записей 20, обновить?")});
        QCOMPARE(f.names(), QStringList{QStringLiteral("Старая")});
        QCOMPARE(f.shown(), QStringList{QStringLiteral("Старая")});
        QVERIFY(!f.tmpExists());
    }

    void entriesThatCannotBeWrittenLeaveTheCatalogueAsItWas()
    {
        Fixture f({QStringLiteral("Старая")});
        f.serveList(QStringLiteral("Новая"));
        f.serveEntry(QStringLiteral("Новая"), QStringLiteral("текст"));
        f.seam.messageAnswers << MessageAnswer::Yes;
        zv::setCatalogueBusyTimeout(100);
        const auto restore = qScopeGuard([] { zv::setCatalogueBusyTimeout(5000); });
        // Another program holds the catalogue for longer than writing waits for it.
        sqlite3 *holder = nullptr;
        sqlite3_open_v2(QFile::encodeName(f.home.file(QStringLiteral("Zorvanell.dat"))).constData(), &holder,
                        SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        f.clickUpdate();
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        QCOMPARE(f.seam.messages.size(), 2);
        QCOMPARE(f.seam.messages.at(1).form, MessageForm::OkExclamation);
        QCOMPARE(f.stat(), QStringLiteral("Ошибка обновления!"));
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.names(), QStringList{QStringLiteral("Старая")});
        QCOMPARE(f.shown(), QStringList{QStringLiteral("Старая")});
        f.window->close();
        QVERIFY(!f.tmpExists());
    }

    void filesOthersPutIntoTmpAreNeitherAddedNorDeleted_data()
    {
        QTest::addColumn<QString>("dropped");
        QTest::newRow("a name not offered") << QStringLiteral("Чужая");
        QTest::newRow("an offered name that did not arrive") << QStringLiteral("Пропавшая");
    }

    void filesOthersPutIntoTmpAreNeitherAddedNorDeleted()
    {
        QFETCH(QString, dropped);
        Fixture f;
        f.serveList(QStringLiteral("Новая\r\nПропавшая"));
        f.serveEntry(QStringLiteral("Новая"), QStringLiteral("своя"));
        // Another program's unfinished download, there before the update starts.
        f.home.write(QStringLiteral("tmp/.part/1-1.part"), "unfinished");
        connect(&f.server, &HttpTestServer::requested, this, [&](const QByteArray &path) {
            if (path.contains("/base/"))
                f.home.write(QStringLiteral("tmp/base/") + dropped, zv::toCp1251(QStringLiteral("чужая")));
        });
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickUpdate();
        QCOMPARE(f.seam.messages.value(1).text, QStringLiteral("База обновлена!"));
        QCOMPARE(f.names(), QStringList{QStringLiteral("Новая")});
        QCOMPARE(f.shown(), QStringList{QStringLiteral("Новая")});
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.home.read(QStringLiteral("tmp/base/") + dropped), zv::toCp1251(QStringLiteral("чужая")));
        QCOMPARE(f.home.read(QStringLiteral("tmp/.part/1-1.part")), QByteArray("unfinished"));
        QVERIFY(!QFileInfo::exists(f.home.file(QStringLiteral("tmp/base/Новая"))));
        QVERIFY(!QFileInfo::exists(f.home.file(QStringLiteral("tmp/list.txt"))));
    }

    void manyEntries()
    {
        Fixture f;
        QStringList list;
        for (int i = 0; i < 300; ++i) {
            const QString name = QStringLiteral("Пасхалка %1").arg(i, 3, 10, QLatin1Char('0'));
            list << name;
            f.serveEntry(name, QStringLiteral("Текст %1\r\n").arg(i));
        }
        f.serveList(list.join(QStringLiteral("\r\n")));
        int maxProgress = -1;
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &) {
            maxProgress = f.window->findChild<QProgressBar *>(QStringLiteral("prgEntries"))->value();
        };
        f.clickUpdate();
        QCOMPARE(f.seam.messages.at(1).text, QStringLiteral("База обновлена!"));
        QCOMPARE(maxProgress, 300);
        QCOMPARE(f.names().size(), 300);
        QCOMPARE(f.ref(QStringLiteral("Пасхалка 123")), QStringLiteral("Текст 123\r\n"));
        QVERIFY(f.server.maxOpenConnections <= 6);
        QCOMPARE(f.countText(), QStringLiteral("Количество записей: 300"));
    }

    void programUpdate_data()
    {
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("form");
        QTest::newRow("equal") << QByteArray("[Update]\r\nIntVer=" + QByteArray::number(zv::version::kUpdateNumber) +
                                             "\r\nTxtVer=5.1.501\r\n")
                               << zv::update::kUpToDateText << int(MessageForm::OkInformation);
        QTest::newRow("lower") << QByteArray("[Update]\r\nIntVer=400000\r\nTxtVer=4\r\n") << zv::update::kUpToDateText
                               << int(MessageForm::OkInformation);
        QTest::newRow("one higher, no TxtVer")
            << QByteArray("[Update]\r\nIntVer=" + QByteArray::number(kNextBuild) + "\r\n")
            << QStringLiteral("Доступна версия , загрузить и установить?") << int(MessageForm::YesNoQuestion);
        QTest::newRow("cyrillic TxtVer") << zv::toCp1251(
                                                QStringLiteral("[Update]\r\nIntVer=600000\r\nTxtVer=6.0 Новая\r\n"))
                                         << QStringLiteral("Доступна версия 6.0 Новая, загрузить и установить?")
                                         << int(MessageForm::YesNoQuestion);
        QTest::newRow("not a number") << QByteArray("[Update]\r\nIntVer=пять\r\nTxtVer=5\r\n")
                                      << zv::update::kUnreadableVersionText << int(MessageForm::OkExclamation);
        QTest::newRow("missing IntVer") << QByteArray("[Update]\r\nTxtVer=5\r\n") << zv::update::kUnreadableVersionText
                                        << int(MessageForm::OkExclamation);
        QTest::newRow("beyond 32 bits") << QByteArray("[Update]\r\nIntVer=99999999999\r\n")
                                        << zv::update::kUnreadableVersionText << int(MessageForm::OkExclamation);
    }

    void programUpdate()
    {
        QFETCH(QByteArray, versionFile);
        QFETCH(QString, message);
        QFETCH(int, form);
        Fixture f;
        f.server.setFile("/zv_upd/ProgVer.ini", versionFile);
        f.server.setFile("/zv_upd/update.rar", "archive");
        f.clickProgram(); // a Yes/No offer is answered No by default
        QCOMPARE(f.seam.messageTexts(), QStringList{message});
        QCOMPARE(int(f.seam.messages.at(0).form), form);
        QVERIFY(!QFileInfo::exists(f.home.file(QStringLiteral("ProgVer.ini"))));
        QVERIFY(!f.downloadsLeft());
        QVERIFY(f.seam.started.isEmpty());
        QVERIFY(f.seam.exits.isEmpty());
        QCOMPARE(f.server.requests, QList<QByteArray>{"/zv_upd/ProgVer.ini"});
    }

    void programUpdateAccepted()
    {
        Fixture f;
        f.serveProgram("new archive");
        f.install.write(QStringLiteral("update.rar"), "stale archive");
        f.install.write(QStringLiteral("update.rar.minisig"), "stale signature");
        const auto data = snapshot(f.home.path());
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickProgram();
        QCOMPARE(f.seam.messageTexts(),
                 QStringList{QStringLiteral("Доступна версия 5.1.502, загрузить и установить?")});
        // The archive lies beside the program for the script, not in the data folder ZORVANELL_HOME names.
        QCOMPARE(f.install.read(QStringLiteral("update.rar")), QByteArray("new archive"));
        QVERIFY(!QFileInfo::exists(f.install.file(QStringLiteral("update.rar.minisig"))));
        QCOMPARE(snapshot(f.home.path()), data);
        QCOMPARE(f.seam.started.size(), 1);
        QCOMPARE(f.seam.started.at(0).program, QStringLiteral("/bin/sh"));
        QCOMPARE(f.seam.started.at(0).arguments, QStringList{f.install.file(QStringLiteral("instupd.cmd"))});
        QCOMPARE(f.seam.exits, QList<int>{0});
        const auto backups =
            zv::backup::listBackups(zv::backup::backupsFolder(f.home.file(QStringLiteral("Zorvanell.dat"))));
        QCOMPARE(backups.size(), size_t(1));
        QCOMPARE(backups.front().reason, zv::backup::Reason::BeforeProgramUpdate);
    }

    void programUpdateRefused_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("verdict");
        using V = zv::update::ArchiveVerdict;
        QTest::newRow("one flipped byte") << 0 << int(V::BadSignature);
        QTest::newRow("signed by another key") << 1 << int(V::UnknownKey);
        QTest::newRow("no signature") << 2 << int(V::MissingSignature);
        QTest::newRow("signature of garbage") << 3 << int(V::DamagedSignature);
        QTest::newRow("no trusted keys beside the program") << 4 << int(V::NoTrustedKeys);
        QTest::newRow("signed for another build") << 5 << int(V::WrongBuild);
        QTest::newRow("an old signed archive offered as new") << 6 << int(V::WrongBuild);
    }

    void programUpdateRefused()
    {
        QFETCH(int, how);
        QFETCH(int, verdict);
        Fixture f;
        const QByteArray archive = "the archive as signed";
        f.serveProgram(archive, how == 5 ? kNextBuild + 1 : how == 6 ? zv::version::kUpdateNumber : kNextBuild);
        switch (how) {
        case 0: {
            QByteArray flipped = archive;
            flipped[3] = char(flipped.at(3) ^ 1);
            f.server.setFile("/zv_upd/update.rar", flipped);
            break;
        }
        case 1:
            f.server.setFile("/zv_upd/update.rar.minisig",
                             zvtest::SigningKey().sign(archive, zv::update::buildField(kNextBuild)));
            break;
        case 2:
            f.server.setRoute("/zv_upd/update.rar.minisig", {404, "not here", HttpTestServer::Behaviour::Normal, {}});
            break;
        case 3:
            f.server.setFile("/zv_upd/update.rar.minisig", QByteArray(500, '\x01'));
            break;
        case 4:
            QVERIFY(QFile::remove(f.install.file(QStringLiteral("keys/test.pub"))));
            break;
        }
        const auto before = f.install.snapshot();
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickProgram();
        QCOMPARE(f.seam.messageTexts().size(), 2);
        QCOMPARE(f.seam.messages.at(1).text, zv::update::archiveVerdictText(zv::update::ArchiveVerdict(verdict)));
        QCOMPARE(f.seam.messages.at(1).form, MessageForm::OkExclamation);
        QVERIFY(!f.downloadsLeft());
        QCOMPARE(f.install.snapshot(), before);
        QVERIFY(f.seam.started.isEmpty());
        QVERIFY(f.seam.exits.isEmpty());
        QVERIFY(f.window->isVisible());
        QVERIFY(f.button("VistaButton1")->isEnabled());
    }

    void programFolderNotWritable()
    {
        Fixture f;
        f.serveProgram("archive");
        // Not even root may make a file there, as in a folder the system's packages own.
        zv::update::setInstallFolder(QStringLiteral("/proc"));
        f.clickProgram();
        QCOMPARE(f.seam.messageTexts(), QStringList{zv::update::kPackageManagedText});
        QCOMPARE(f.seam.messages.at(0).form, MessageForm::OkInformation);
        QVERIFY(f.server.requests.isEmpty());
        QVERIFY(!QFileInfo::exists(f.home.file(QStringLiteral("ProgVer.ini"))));
        QVERIFY(f.seam.started.isEmpty());
    }

    void installScriptMissing_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("missing") << false;
        QTest::newRow("a folder in its place") << true;
    }

    void installScriptMissing()
    {
        QFETCH(bool, folder);
        Fixture f;
        f.serveProgram("archive");
        QVERIFY(QFile::remove(f.install.file(QStringLiteral("instupd.cmd"))));
        if (folder)
            QVERIFY(QDir().mkdir(f.install.file(QStringLiteral("instupd.cmd"))));
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.clickProgram();
        QCOMPARE(f.seam.messageTexts().last(), zv::update::kScriptMissingText);
        QVERIFY(!f.server.requests.contains("/zv_upd/update.rar"));
        QVERIFY(!f.downloadsLeft());
        QVERIFY(f.seam.started.isEmpty());
        QVERIFY(f.seam.exits.isEmpty());
    }

    void installScriptThatCannotStartKeepsTheProgramOpen()
    {
        Fixture f;
        f.serveProgram("new archive");
        f.seam.messageAnswers << MessageAnswer::Yes;
        f.seam.startResults.enqueue(false);
        f.clickProgram();
        QCOMPARE(f.seam.messageTexts().last(), zv::update::kScriptFailedText);
        QCOMPARE(f.seam.messages.last().form, MessageForm::OkExclamation);
        QCOMPARE(f.seam.started.size(), 1);
        QVERIFY(f.seam.exits.isEmpty());
        // Nothing is left for a later start to pick up.
        QVERIFY(!f.downloadsLeft());
    }

    void programUpdateFailures()
    {
        // No version file on the server.
        {
            Fixture f;
            f.clickProgram();
            QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Ошибка подключения к серверу!")});
            QCOMPARE(f.seam.messages.at(0).form, MessageForm::OkExclamation);
        }
        // Without the trailing slash the host and the path run together and nothing is fetched.
        {
            Fixture f;
            f.server.setFile("/zv_upd/ProgVer.ini", "[Update]\r\nIntVer=600000\r\n");
            f.server_box()->setCurrentText(f.server.root().chopped(1));
            f.clickProgram();
            QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Ошибка подключения к серверу!")});
            QVERIFY(f.server.requests.isEmpty());
        }
        // The archive cannot be fetched: the program keeps running and says so.
        {
            Fixture f;
            f.server.setFile("/zv_upd/ProgVer.ini", "[Update]\r\nIntVer=600000\r\nTxtVer=6\r\n");
            f.install.write(QStringLiteral("update.rar"), "stale archive");
            f.seam.messageAnswers << MessageAnswer::Yes;
            f.clickProgram();
            QCOMPARE(f.seam.messageTexts().last(), zv::update::kArchiveFailedText);
            QVERIFY(!f.downloadsLeft());
            QVERIFY(f.seam.started.isEmpty());
            QVERIFY(f.seam.exits.isEmpty());
        }
    }
};

QTEST_MAIN(TestFrmUpdate)
#include "tst_frmupdate.moc"

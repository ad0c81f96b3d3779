#include "InstallFolder.h"
#include "NginxServer.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "TestCertificate.h"
#include "core/Version.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/update/Downloader.h"
#include "core/update/ProgramUpdate.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// End to end: a catalogue published with zorvanell-publish, served by a real nginx (or read
// from the published folder directly), pulled into an empty catalogue through the real window;
// and a signed program update installed by the real script over a stand-in program.
class TestNginx : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, QMap<QString, QString>> m_source; // table -> name -> text

    QString www() const { return m_dir.filePath(QStringLiteral("www")); }

    // Runs the publishing tool; its exit code, with what it wrote to stderr in `errors`.
    int publishTool(const QStringList &arguments, QByteArray *errors = nullptr)
    {
        QProcess tool;
        tool.start(QStringLiteral(ZV_PUBLISH_TOOL), arguments);
        if (!tool.waitForFinished(30000))
            return -1;
        if (errors)
            *errors = tool.readAllStandardError();
        return tool.exitCode();
    }

    void updateFrom(const QString &server)
    {
        for (const QString &table : m_source.keys()) {
            zvtest::TempHome home;
            zvtest::ScriptedSeam seam;
            CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
            zv::CatalogueSession session(home.file(QStringLiteral("Zorvanell.dat")));
            session.showCategory(table);
            frmUpdate window(session);
            window.findChild<QComboBox *>(QStringLiteral("cmbServer"))->setCurrentText(server);
            seam.messageAnswers << zv::MessageAnswer::Yes;
            emit window.findChild<VistaButton *>(QStringLiteral("Command1"))->Click();

            const auto &expected = m_source.value(table);
            QCOMPARE(seam.messages.value(0).text, QStringLiteral("Новых записей ") + QString::number(expected.size()) +
                                                      QStringLiteral(", обновить?"));
            QCOMPARE(seam.messages.value(1).text, QStringLiteral("База обновлена!"));
            auto catalogue = OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
            QStringList names = ListNames(catalogue, table);
            names.sort();
            QStringList expectedNames = expected.keys();
            expectedNames.sort();
            QCOMPARE(names, expectedNames);
            for (auto it = expected.begin(); it != expected.end(); ++it)
                QCOMPARE(FindEntry(catalogue, table, it.key()).ref, it.value());
            QStringList shown = session.names().names();
            QCOMPARE(shown.size(), expected.size());
            QVERIFY(std::is_sorted(shown.cbegin(), shown.cend(),
                                   [](const QString &a, const QString &b) { return zv::NameList::sortsBefore(a, b); }));
        }
    }

private slots:
    void initTestCase()
    {
        zv::update::Downloader::setDefaultTimeout(5000);
        QVERIFY2(zvtest::testCertificate().error.isEmpty(), qPrintable(zvtest::testCertificate().error));
        zv::update::Downloader::setCertificateAuthorities(zvtest::testCertificate().certificate);
        const QString db = m_dir.filePath(QStringLiteral("source.dat"));
        CreateCatalogue(db);
        auto catalogue = OpenCatalogue(db);
        auto add = [&](const QString &table, const QString &name, const QString &text) {
            AddEntry(catalogue, table, name, text);
            m_source[table][name] = text;
        };
        add(QStringLiteral("Games"), QStringLiteral("Half-Life 2"), QStringLiteral("Строка 1\r\nСтрока 2\r\n"));
        add(QStringLiteral("Games"), QStringLiteral("Ёжик в тумане"), QStringLiteral("«Кавычки» и №"));
        add(QStringLiteral("Games"), QStringLiteral("Don't Starve"), QStringLiteral("apostrophe"));
        add(QStringLiteral("Games"), QStringLiteral("100% #1? а+б"), QStringLiteral("percent, hash, question"));
        add(QStringLiteral("Games"), QStringLiteral("  пробелы  вокруг "), QString());
        for (int i = 0; i < 60; ++i)
            add(QStringLiteral("Games"), QStringLiteral("Игра %1").arg(i), QStringLiteral("Текст %1\r\n").arg(i));
        add(QStringLiteral("OS"), QStringLiteral("Windows 3.1"), QStringLiteral("x\r\ny"));

        QProcess publish;
        publish.start(QStringLiteral(ZV_PUBLISH_TOOL), {db, www()});
        QVERIFY(publish.waitForFinished(30000));
        QCOMPARE(publish.exitCode(), 0);

        QProcess bad;
        bad.start(QStringLiteral(ZV_PUBLISH_TOOL), {m_dir.filePath(QStringLiteral("missing.dat")), www()});
        QVERIFY(bad.waitForFinished(30000));
        QVERIFY(bad.exitCode() != 0);
        QVERIFY(bad.readAllStandardError().contains("missing.dat"));
    }

    void updateThroughNginx()
    {
        if (zvtest::NginxServer::binary().isEmpty())
            QSKIP("nginx is not installed (Debian package nginx); the end-to-end update cannot run");
        zvtest::NginxServer nginx(www());
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        updateFrom(nginx.rootAddress());
    }

    void updateOverHttp2Compressed()
    {
        if (zvtest::NginxServer::binary().isEmpty())
            QSKIP("nginx is not installed (Debian package nginx); the end-to-end update cannot run");
        zvtest::NginxServer nginx(www(), zvtest::NginxServer::Mode::Tls);
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        updateFrom(nginx.rootAddress());
        // nginx logs "<protocol> <status> <encoding> <path>" for each answer.
        const QStringList log = nginx.accessLog();
        int entries = 0;
        int nonEmpty = 0;
        for (const auto &table : std::as_const(m_source)) {
            entries += int(table.size()) + 1; // and its list
            for (const QString &text : table)
                nonEmpty += text.isEmpty() ? 0 : 1;
        }
        QCOMPARE(log.size(), entries);
        for (const QString &line : log)
            QVERIFY2(line.startsWith(QLatin1String("HTTP/2.0 200 ")), qPrintable(line));
        QVERIFY(log.filter(QStringLiteral(" gzip ")).size() >= nonEmpty);
    }

    void updateFromLocalFolder() { updateFrom(QUrl::fromLocalFile(www()).toString() + QLatin1Char('/')); }

    void signedProgramUpdateThroughNginx()
    {
        if (zvtest::NginxServer::binary().isEmpty())
            QSKIP("nginx is not installed (Debian package nginx); the end-to-end update cannot run");
        if (QStandardPaths::findExecutable(QStringLiteral("bsdtar")).isEmpty())
            QSKIP("bsdtar is not installed (Debian package libarchive-tools)");

        // The publisher makes a key pair once; the tool never replaces one.
        const QString key = m_dir.filePath(QStringLiteral("secret/release"));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("secret"))));
        QCOMPARE(publishTool({QStringLiteral("--new-key"), key}), 0);
        QByteArray errors;
        QVERIFY(publishTool({QStringLiteral("--new-key"), key}, &errors) != 0);
        QVERIFY(errors.contains("exists already"));

        // The new build, packed as a publisher would: the new program and a changed file.
        QTemporaryDir build;
        const auto put = [&](const QString &name, const QByteArray &bytes, bool executable = false) {
            QDir().mkpath(QFileInfo(build.filePath(name)).path());
            QFile f(build.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            if (executable)
                f.setPermissions(f.permissions() | QFile::ExeOwner);
        };
        put(QStringLiteral("zorvanell"), zvtest::InstallFolder::standIn("new"), true);
        put(QStringLiteral("a.txt"), "new a");
        put(QStringLiteral("lib/new.so"), "new library");
        const QString archive = m_dir.filePath(QStringLiteral("build.tar"));
        QProcess pack;
        pack.setWorkingDirectory(build.path());
        pack.start(QStringLiteral("bsdtar"), {QStringLiteral("-cf"), archive, QStringLiteral("zorvanell"),
                                              QStringLiteral("a.txt"), QStringLiteral("lib")});
        QVERIFY(pack.waitForFinished(30000));
        QCOMPARE(pack.exitCode(), 0);

        const QString db = m_dir.filePath(QStringLiteral("source.dat"));
        const QStringList release{db,
                                  www(),
                                  QStringLiteral("--int-version"),
                                  QString::number(zv::version::kUpdateNumber + 1),
                                  QStringLiteral("--text-version"),
                                  QStringLiteral("5.1.502"),
                                  QStringLiteral("--archive"),
                                  archive};
        // An archive is not published unsigned.
        QVERIFY(publishTool(release, &errors) != 0);
        QVERIFY(errors.contains("--sign-key"));
        QVERIFY(!QFileInfo::exists(www() + QStringLiteral("/zv_upd/update.rar")));
        QCOMPARE(publishTool(release + QStringList{QStringLiteral("--sign-key"), key + QStringLiteral(".key")}), 0);

        // The program, built with the public key, and the user's files beside it.
        zvtest::TempHome home;
        zvtest::InstallFolder install;
        install.write(QStringLiteral("a.txt"), "old a");
        install.write(QStringLiteral("Options.ini"), "the user's settings");
        QVERIFY(QDir().mkpath(install.file(QStringLiteral("keys"))));
        QVERIFY(QFile::copy(key + QStringLiteral(".pub"), install.file(QStringLiteral("keys/release.pub"))));
        home.write(QStringLiteral("Options.ini"), "[Main]\r\nRunCount=3\r\n");
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));

        zvtest::NginxServer nginx(www());
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        zvtest::ScriptedSeam seam;
        zv::CatalogueSession session(home.file(QStringLiteral("Zorvanell.dat")));
        session.showCategory(QStringLiteral("Games"));
        const QByteArray settings = home.read(QStringLiteral("Options.ini"));
        frmUpdate window(session);
        window.findChild<QComboBox *>(QStringLiteral("cmbServer"))->setCurrentText(nginx.rootAddress());
        seam.messageAnswers << zv::MessageAnswer::Yes;
        emit window.findChild<VistaButton *>(QStringLiteral("VistaButton1"))->Click();
        QCOMPARE(seam.messageTexts(), QStringList{QStringLiteral("Доступна версия 5.1.502, загрузить и установить?")});
        QCOMPARE(seam.started.size(), 1);
        QCOMPARE(seam.started.at(0).program, QStringLiteral("/bin/sh"));
        QCOMPARE(seam.started.at(0).arguments, QStringList{install.file(QStringLiteral("instupd.cmd"))});
        QCOMPARE(seam.exits, QList<int>{0});

        // The script the program started, run for real.
        QVERIFY(install.runScript());
        QCOMPARE(install.status(), QStringLiteral("installed\n"));
        QCOMPARE(install.read(QStringLiteral("a.txt")), QByteArray("new a"));
        QCOMPARE(install.read(QStringLiteral("lib/new.so")), QByteArray("new library"));
        QCOMPARE(install.read(QStringLiteral("Options.ini")), QByteArray("the user's settings"));
        QCOMPARE(install.restarts(), QStringList{QStringLiteral("new home=") + home.path()});
        QCOMPARE(home.read(QStringLiteral("Options.ini")), settings);
        QVERIFY(!QFileInfo::exists(install.file(QStringLiteral("update.rar"))));

        // The restarted program tells the user, once.
        zv::update::reportInstallStatus();
        QCOMPARE(seam.messageTexts().last(), QStringLiteral("Обновление программы установлено."));
        QVERIFY(!QFileInfo::exists(install.file(QStringLiteral("instupd.status"))));
    }
};

QTEST_MAIN(TestNginx)
#include "tst_nginx.moc"

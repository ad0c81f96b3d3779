#include "FakeListView.h"
#include "NginxServer.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "TestCertificate.h"
#include "core/store/CatalogueStore.h"
#include "core/update/Downloader.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"

#include <QComboBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// End to end: a catalogue published with zorvanell-publish, served by a real nginx (or read
// from the published folder directly), pulled into an empty catalogue through the real window.
class TestNginx : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QMap<QString, QMap<QString, QString>> m_source; // table -> name -> text

    QString www() const { return m_dir.filePath(QStringLiteral("www")); }

    void updateFrom(const QString &server)
    {
        for (const QString &table : m_source.keys()) {
            zvtest::TempHome home;
            zvtest::ScriptedSeam seam;
            CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
            zvtest::FakeListView view;
            frmUpdate window(&view, table);
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
            QCOMPARE(view.listCount(), expected.size());
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
};

QTEST_MAIN(TestNginx)
#include "tst_nginx.moc"

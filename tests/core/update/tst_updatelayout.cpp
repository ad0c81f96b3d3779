#include "TempHome.h"
#include "core/store/NameList.h"
#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

using namespace zv::update;

class TestUpdateLayout : public QObject
{
    Q_OBJECT

private slots:
    void parseList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("crlf, no final break")
            << QStringLiteral("Альфа\r\nBeta\r\nГамма")
            << QStringList{QStringLiteral("Альфа"), QStringLiteral("Beta"), QStringLiteral("Гамма")};
        QTest::newRow("final crlf gives an empty name")
            << QStringLiteral("A\r\nB\r\n") << QStringList{QStringLiteral("A"), QStringLiteral("B"), QString()};
        QTest::newRow("lf only is one name") << QStringLiteral("A\nB\nC") << QStringList{QStringLiteral("A\nB\nC")};
        QTest::newRow("char after cr dropped")
            << QStringLiteral("Ab\rXcd\rYef")
            << QStringList{QStringLiteral("Ab"), QStringLiteral("cd"), QStringLiteral("ef")};
        QTest::newRow("empty file") << QString() << QStringList{QString()};
        QTest::newRow("blanks and empty lines kept")
            << QStringLiteral(" a \r\n\r\nb") << QStringList{QStringLiteral(" a "), QString(), QStringLiteral("b")};
        QTest::newRow("duplicates kept") << QStringLiteral("x\r\nx")
                                         << QStringList{QStringLiteral("x"), QStringLiteral("x")};
        QTest::newRow("cr at the very end") << QStringLiteral("a\r") << QStringList{QStringLiteral("a")};
    }

    void parseList()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QCOMPARE(zv::update::parseList(text), names);
    }

    void plainFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("cyrillic with blanks") << QStringLiteral("Half-Life 2 (Игра)") << true;
        QTest::newRow("apostrophe, percent, hash, question") << QStringLiteral("Don't 100% #1?") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("dot") << QStringLiteral(".") << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << false;
        QTest::newRow("leading dot") << QStringLiteral(".NET Framework") << true;
        QTest::newRow("leading dot and slashes") << QStringLiteral(".hack//Sign") << false;
        QTest::newRow("three dots") << QStringLiteral("...") << true;
        QTest::newRow("slash") << QStringLiteral("../../Options.ini") << false;
        QTest::newRow("inner slash") << QStringLiteral("a/b") << false;
        QTest::newRow("backslash") << QStringLiteral("..\\x") << false;
        QTest::newRow("nul") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << false;
        QTest::newRow("line feed") << QStringLiteral("a\nb") << false;
        QTest::newRow("too long") << QString(300, QLatin1Char('x')) << false;
        QTest::newRow("dots inside") << QStringLiteral("Windows 3.1...") << true;
    }

    void plainFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(isPlainFileName(name), plain);
    }

    void addressesAreConcatenatedAsTyped()
    {
        const QString server = QStringLiteral("http://host/");
        QCOMPARE(listAddress(server, QStringLiteral("Games")), QStringLiteral("http://host//zv_upd/Games/spisok.txt"));
        QCOMPARE(versionAddress(server), QStringLiteral("http://host/zv_upd/ProgVer.ini"));
        QCOMPARE(archiveAddress(server), QStringLiteral("http://host//zv_upd/update.rar"));
        // Without the trailing slash the host and the version path run together.
        QCOMPARE(versionAddress(QStringLiteral("http://host")), QStringLiteral("http://hostzv_upd/ProgVer.ini"));
        QCOMPARE(listAddress(QStringLiteral("http://host"), QStringLiteral("OS")),
                 QStringLiteral("http://host/zv_upd/OS/spisok.txt"));
        QVERIFY(!toUrl(QStringLiteral("host/")).isValid());
    }

    void entryUrlsEncodeTheWholeName()
    {
        const QString server = QStringLiteral("http://host/");
        const QUrl url = entryUrl(server, QStringLiteral("Games"), QStringLiteral("Ёж #1? 100%/x"));
        QCOMPARE(url.toEncoded(), QByteArray("http://host//zv_upd/Games/base/%D0%81%D0%B6%20%231%3F%20100%25%2Fx"));
        QVERIFY(url.query().isEmpty());
        QVERIFY(url.fragment().isEmpty());
        const QUrl legacy = entryUrlCp1251(server, QStringLiteral("Games"), QStringLiteral("Ёж"));
        QCOMPARE(legacy.toEncoded(), QByteArray("http://host//zv_upd/Games/base/%A8%E6"));
        QCOMPARE(
            entryUrl(QStringLiteral("file:///media/usb/"), QStringLiteral("OS"), QStringLiteral("Я")).toLocalFile(),
            QStringLiteral("/media/usb//zv_upd/OS/base/Я"));
    }

    void newNamesIgnoreCaseAndKeepOrder()
    {
        // Compared through the main list's own test, as the update manager does.
        zv::NameList present;
        present.assign(QStringList{QStringLiteral("ёлка"), QStringLiteral("Doom"), QStringLiteral("Straße")});
        auto isPresent = [&](const QString &name) { return present.containsIgnoringCase(name); };
        const QStringList listed{QStringLiteral("ЁЛКА"),
                                 QStringLiteral("Яблоко"),
                                 QStringLiteral("DOOM"),
                                 QStringLiteral("Арбуз"),
                                 QStringLiteral("STRASSE"),
                                 QStringLiteral("Яблоко"),
                                 QString(),
                                 QStringLiteral("Ёлка ")};
        QCOMPARE(newNames(listed, isPresent),
                 (QStringList{QStringLiteral("Яблоко"), QStringLiteral("Арбуз"), QStringLiteral("Яблоко"), QString(),
                              QStringLiteral("Ёлка ")}));
        QCOMPARE(newNames(listed, [](const QString &) { return true; }), QStringList());
    }

    void removeTempFilesTakesOnlyItsOwn()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("tmp/list.txt"), "x");
        home.write(QStringLiteral("tmp/base/Игра"), "x");
        home.write(QStringLiteral("tmp/base/.hidden"), "x");
        home.write(QStringLiteral("tmp/.part/1-2.part"), "x");
        home.write(QStringLiteral("tmp/other/file"), "x");
        home.write(QStringLiteral("Zorvanell.dat"), "keep");
        home.write(QStringLiteral("outside/file"), "keep");
        // A link inside tmp goes as a link: what it points to stays.
        QVERIFY(QFile::link(home.file(QStringLiteral("outside")), home.file(QStringLiteral("tmp/base/link"))));
        QVERIFY(QFile::link(home.file(QStringLiteral("Zorvanell.dat")), home.file(QStringLiteral("tmp/list2"))));
        removeTempFiles(
            {QStringLiteral("Игра"), QStringLiteral("link"), QStringLiteral("../list2"), QStringLiteral("Нет такой")});
        QStringList left;
        for (QDirIterator it(home.file(QStringLiteral("tmp")), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            left << QDir(home.path()).relativeFilePath(it.next());
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral("tmp/.part"), QStringLiteral("tmp/.part/1-2.part"),
                                    QStringLiteral("tmp/base"), QStringLiteral("tmp/base/.hidden"),
                                    QStringLiteral("tmp/list2"), QStringLiteral("tmp/other"),
                                    QStringLiteral("tmp/other/file")}));
        QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), QByteArray("keep"));
        QCOMPARE(home.read(QStringLiteral("outside/file")), QByteArray("keep"));
    }

    void removeTempFilesRemovesTheEmptiedFolders()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("tmp/list.txt"), "x");
        home.write(QStringLiteral("tmp/base/Игра"), "x");
        QVERIFY(QDir().mkpath(home.file(QStringLiteral("tmp/.part"))));
        removeTempFiles({QStringLiteral("Игра")});
        QVERIFY(!QFileInfo::exists(home.file(QStringLiteral("tmp"))));
        removeTempFiles({QStringLiteral("Игра")}); // nothing there: nothing happens
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    void tmpAsLinkIsNotFollowed()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("elsewhere/base/keep"), "x");
        home.write(QStringLiteral("elsewhere/list.txt"), "x");
        QVERIFY(QFile::link(home.file(QStringLiteral("elsewhere")), home.file(QStringLiteral("tmp"))));
        removeTempFiles({QStringLiteral("keep")});
        QCOMPARE(home.read(QStringLiteral("elsewhere/base/keep")), QByteArray("x"));
        QCOMPARE(home.read(QStringLiteral("elsewhere/list.txt")), QByteArray("x"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateLayout)
#include "tst_updatelayout.moc"

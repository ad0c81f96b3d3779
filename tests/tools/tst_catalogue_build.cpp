#include "CatalogueSource.h"
#include "TestFiles.h"
#include "core/store/CatalogueStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using zv::starter::SourceEntry;

namespace {

using zvtest::readFile;
using zvtest::writeFile;

QStringList entriesOf(const QString &catalogue, const QString &table)
{
    QStringList entries;
    ListEntries(OpenCatalogue(catalogue), table,
                [&](const QString &name, const QString &text) { entries << name + QLatin1Char('=') + text; });
    return entries;
}

} // namespace

class TestCatalogueBuild : public QObject
{
    Q_OBJECT

private slots:
    void entryNamesFromFileNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name"); // empty: refused
        QTest::newRow("plain") << QStringLiteral("Doom II.txt") << QStringLiteral("Doom II");
        QTest::newRow("Cyrillic") << QStringLiteral("Ёлка.txt") << QStringLiteral("Ёлка");
        QTest::newRow("dot first") << QStringLiteral(".NET Framework.txt") << QStringLiteral(".NET Framework");
        QTest::newRow("slash escaped") << QStringLiteral("OS%2F2 Warp.txt") << QStringLiteral("OS/2 Warp");
        QTest::newRow("lower-case hex") << QStringLiteral("a%2fb.txt") << QStringLiteral("a/b");
        QTest::newRow("percent escaped") << QStringLiteral("100%25 Juice.txt") << QStringLiteral("100% Juice");
        QTest::newRow("escaped UTF-8") << QStringLiteral("%D0%AF.txt") << QStringLiteral("Я");
        QTest::newRow("decomposed letters composed") << QStringLiteral("Cafe\u0301.txt") << QStringLiteral("Café");
        QTest::newRow("bare percent") << QStringLiteral("100% Juice.txt") << QString();
        QTest::newRow("percent at the end") << QStringLiteral("a%2.txt") << QString();
        QTest::newRow("escaped bytes not UTF-8") << QStringLiteral("%FF.txt") << QString();
        QTest::newRow("half a character") << QStringLiteral("%D0.txt") << QString();
        QTest::newRow("no name") << QStringLiteral(".txt") << QString();
        QTest::newRow("blank first") << QStringLiteral(" Doom.txt") << QString();
        QTest::newRow("escaped blank last") << QStringLiteral("Doom%20.txt") << QString();
        QTest::newRow("line break") << QStringLiteral("a%0Ab.txt") << QString();
        QTest::newRow("upper-case suffix") << QStringLiteral("Doom.TXT") << QString();
    }
    void entryNamesFromFileNames()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QString why;
        QCOMPARE(zv::starter::entryNameFromFileName(file, &why), name);
        QCOMPARE(why.isEmpty(), !name.isEmpty());
    }

    void fileNamesForEntriesReadBackAsTheSameName()
    {
        QCOMPARE(zv::starter::fileNameForEntry(QStringLiteral("OS/2 Warp")), QStringLiteral("OS%2F2 Warp.txt"));
        QCOMPARE(zv::starter::fileNameForEntry(QStringLiteral("Doom II")), QStringLiteral("Doom II.txt"));
        for (const QString &name : {QStringLiteral("100% Juice"), QStringLiteral("What? Where: \"Here\" <*> a|b\\c"),
                                    QStringLiteral("Ёлка/Ель"), QStringLiteral(".hack//Sign"), QStringLiteral("%41")}) {
            const QString file = zv::starter::fileNameForEntry(name);
            QVERIFY2(!file.contains(QLatin1Char('/')) && !file.contains(QLatin1Char(':')), qPrintable(file));
            QCOMPARE(zv::starter::entryNameFromFileName(file, nullptr), name);
        }
    }

    void entryTexts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text"); // empty: refused
        QTest::newRow("LF kept, last line break dropped") << QByteArray("One\nTwo\n") << QStringLiteral("One\nTwo");
        QTest::newRow("CR LF made LF") << QByteArray("One\r\nTwo\r\n") << QStringLiteral("One\nTwo");
        QTest::newRow("lone CR made LF") << QByteArray("One\rTwo") << QStringLiteral("One\nTwo");
        QTest::newRow("byte order mark dropped") << QByteArray("\xEF\xBB\xBFText\n") << QStringLiteral("Text");
        QTest::newRow("trailing blank lines dropped") << QByteArray("Text\n\n \t\n") << QStringLiteral("Text");
        QTest::newRow("indent and tabs kept") << QByteArray("  a\tb\n\nc") << QStringLiteral("  a\tb\n\nc");
        QTest::newRow("Cyrillic") << QByteArray("\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0") << QStringLiteral("Ёлка");
        QTest::newRow("decomposed letters composed") << QByteArray("e\xCC\x81") << QStringLiteral("é");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("blank lines only") << QByteArray("\r\n \n") << QString();
        QTest::newRow("Windows-1251, not UTF-8") << QByteArray("\xD2\xE5\xEA\xF1\xF2") << QString();
        QTest::newRow("cut in a character") << QByteArray("Caf\xC3") << QString();
        QTest::newRow("form feed") << QByteArray("a\x0C b") << QString();
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QString();
    }
    void entryTexts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QString why;
        const std::optional<QString> got = zv::starter::entryTextFromBytes(bytes, &why);
        QCOMPARE(got.value_or(QString()), text);
        QCOMPARE(why.isEmpty(), !text.isEmpty());
    }

    void missingOrEmptyFolderIsAnEmptyCatalogue()
    {
        QTemporaryDir dir;
        auto reading = zv::starter::readCatalogueSource(dir.filePath(QStringLiteral("none")));
        QVERIFY(reading.entries.isEmpty() && reading.errors.isEmpty());
        QCOMPARE(reading.warnings.size(), 1);
        reading = zv::starter::readCatalogueSource(dir.path());
        QVERIFY(reading.entries.isEmpty() && reading.errors.isEmpty() && reading.warnings.isEmpty());
    }

    void readsEveryTableSortedAndLeavesOutWhatIsNotAnEntry()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("README.md")), "about the texts");
        writeFile(dir.filePath(QStringLiteral("Programs/vim.txt")), "Vim text\n");
        writeFile(dir.filePath(QStringLiteral("Programs/Emacs.txt")), "Emacs text\n");
        writeFile(dir.filePath(QStringLiteral("Programs/Ёлка.txt")), "Ёлка text\n");
        writeFile(dir.filePath(QStringLiteral("Programs/notes.md")), "not an entry");
        writeFile(dir.filePath(QStringLiteral("Programs/.Emacs.txt.swp")), "editor's");
        writeFile(dir.filePath(QStringLiteral("Programs/old/Old.txt")), "in a sub-folder");
        writeFile(dir.filePath(QStringLiteral("Other/OS%2F2.txt")), "OS/2 text");
        const auto reading = zv::starter::readCatalogueSource(dir.path());
        QCOMPARE(reading.errors, QStringList());
        QCOMPARE(reading.warnings.size(), 3);
        QStringList got;
        for (const SourceEntry &e : reading.entries)
            got << e.table + QLatin1Char('/') + e.name + QLatin1Char('=') + e.text;
        // Tables in the order a catalogue creates them; names ignoring letter case.
        QCOMPARE(got, (QStringList{QStringLiteral("Programs/Emacs=Emacs text"), QStringLiteral("Programs/vim=Vim text"),
                                   QStringLiteral("Programs/Ёлка=Ёлка text"), QStringLiteral("Other/OS/2=OS/2 text")}));
    }

    void mistakesAreErrors()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("Gamez/Doom.txt")), "wrong folder");
        writeFile(dir.filePath(QStringLiteral("Games/Doom II.txt")), "first");
        writeFile(dir.filePath(QStringLiteral("Games/DOOM ii.txt")), "same name in other letter case");
        writeFile(dir.filePath(QStringLiteral("Games/Empty.txt")), "\n");
        writeFile(dir.filePath(QStringLiteral("Games/100% Juice.txt")), "bad escape");
        writeFile(dir.filePath(QStringLiteral("Games/Cp1251.txt")), "\xD2\xE5\xEA\xF1\xF2");
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("Games/Doom II.txt")),
                            dir.filePath(QStringLiteral("Games/Link.txt"))));
        const auto reading = zv::starter::readCatalogueSource(dir.path());
        QCOMPARE(reading.errors.size(), 6);
        const QString all = reading.errors.join(QLatin1Char('\n'));
        for (const char *file : {"Gamez", "DOOM ii.txt", "Empty.txt", "100% Juice.txt", "Cp1251.txt", "Link.txt"})
            QVERIFY2(all.contains(QString::fromUtf8(file)), qPrintable(all));
        QCOMPARE(reading.entries.size(), 1); // only "Doom II" is good
    }

    void writingReplacesTheCatalogueOnlyWhenComplete()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Zorvanell.dat"));
        zv::starter::writeCatalogue({{QStringLiteral("Games"), QStringLiteral("Doom II"), QStringLiteral("IDKFA"), {}}},
                                    path);
        QCOMPARE(entriesOf(path, QStringLiteral("Games")), QStringList{QStringLiteral("Doom II=IDKFA")});

        zv::starter::writeCatalogue(
            {{QStringLiteral("OS"), QStringLiteral("Android 2.3"), QStringLiteral("zombie art"), {}}}, path);
        QCOMPARE(entriesOf(path, QStringLiteral("Games")), QStringList());
        QCOMPARE(entriesOf(path, QStringLiteral("OS")), QStringList{QStringLiteral("Android 2.3=zombie art")});

        const QByteArray before = readFile(path);
        QVERIFY_THROWS_EXCEPTION(
            zv::CatalogueError,
            zv::starter::writeCatalogue({{QStringLiteral("OS"), QStringLiteral("a"), QStringLiteral("b"), {}},
                                         {QStringLiteral("NoSuchTable"), QStringLiteral("c"), QStringLiteral("d"), {}}},
                                        path));
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Zorvanell.dat")});
    }

    void toolWritesCatalogueAndDependenciesOrNothing()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("data/catalogue"));
        const QString out = dir.filePath(QStringLiteral("share/Zorvanell.dat"));
        const QString depfile = dir.filePath(QStringLiteral("out.d"));
        QDir().mkpath(dir.filePath(QStringLiteral("share")));
        writeFile(source + QStringLiteral("/Games/Doom II.txt"), "IDKFA\n");
        QProcess tool;
        tool.start(QStringLiteral(ZV_CATALOGUE_BUILD), {source, out, depfile});
        QVERIFY(tool.waitForFinished());
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(entriesOf(out, QStringLiteral("Games")), QStringList{QStringLiteral("Doom II=IDKFA")});
        // Ninja's dependency list: the output, then every folder and file read, blanks escaped.
        const QByteArray deps = readFile(depfile);
        QVERIFY2(deps.startsWith(QByteArray(QFile::encodeName(out) + ':')), deps.constData());
        const QStringList inputs{dir.filePath(QStringLiteral("data")), source, source + QStringLiteral("/Games"),
                                 source + QStringLiteral("/Games/Doom\\ II.txt")};
        for (const QString &input : inputs) {
            const QByteArray path = QFile::encodeName(input);
            QVERIFY2(deps.contains(QByteArray("  " + path + " \\\n")) || deps.endsWith(QByteArray("  " + path + '\n')),
                     deps.constData());
        }

        const QByteArray before = readFile(out);
        writeFile(source + QStringLiteral("/Games/Empty.txt"), "");
        tool.start(QStringLiteral(ZV_CATALOGUE_BUILD), {source, out, depfile});
        QVERIFY(tool.waitForFinished());
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(tool.readAllStandardError().contains("Empty.txt: the text is empty"));
        QCOMPARE(readFile(out), before);
    }
};

QTEST_GUILESS_MAIN(TestCatalogueBuild)
#include "tst_catalogue_build.moc"

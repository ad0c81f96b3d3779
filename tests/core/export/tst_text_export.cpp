#include "InChild.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "core/TextCodec.h"
#include "core/export/TextExport.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace zv::exporting;
using zvtest::inChild;
using zvtest::Privileges;

namespace {

using zvtest::readFile;

QByteArray cp1251(const char *utf8)
{
    return zv::toCp1251(QString::fromUtf8(utf8));
}

} // namespace

class TestTextExport : public QObject
{
    Q_OBJECT

private slots:
    void entryFileLineByLine()
    {
        const QByteArray expected = "Doom\r\na\r\nb\r\n\r\n" + zv::toCp1251(signatureLine()) + "\r\n";
        QCOMPARE(encode(entryFileText(QStringLiteral("Doom"), QStringLiteral("a\nb"))), expected);
        // Breaks of a stored text (CR LF or a lone CR) come out as CR LF as well.
        QCOMPARE(encode(entryFileText(QStringLiteral("Doom"), QStringLiteral("a\r\nb"))), expected);
        QCOMPARE(encode(entryFileText(QStringLiteral("Doom"), QStringLiteral("a\rb"))), expected);
    }

    void signatureNamesProgramAndSite()
    {
        QVERIFY(signatureLine().contains(QStringLiteral("Zorvanell")));
        QVERIFY(signatureLine().contains(QStringLiteral("http://zorvanell.example.org/")));
        QCOMPARE(zv::fromCp1251(zv::toCp1251(signatureLine())), signatureLine());
    }

    void listFileLineByLine()
    {
        const QByteArray signature = zv::toCp1251(signatureLine());
        const QByteArray empty = cp1251("Записей : 0") + "\r\n" + signature + "\r\n" + "\r\n\r\n\r\n\r\n" +
                                 cp1251("Записей : 0") + "\r\n" + signature + "\r\n";
        QCOMPARE(encode(listFileText({})), empty);

        QStringList names;
        for (int i = 1; i <= 12; ++i)
            names << (i % 2 ? QStringLiteral("Игра %1").arg(i) : QStringLiteral("Game %1").arg(i));
        const QList<QByteArray> lines = encode(listFileText(names)).split('\n');
        QCOMPARE(lines.size(), 9 + 12 - 1 + 1); // every line ends with LF, so one empty piece follows
        QCOMPARE(lines.at(0), cp1251("Записей : 12\r"));
        QCOMPARE(lines.at(1), signature + '\r');
        QCOMPARE(lines.at(2), QByteArray("\r"));
        QCOMPARE(lines.at(3), QByteArray("\r"));
        QCOMPARE(lines.at(4), cp1251("Игра 1\r"));
        QCOMPARE(lines.at(15), QByteArray("Game 12\r"));
        QCOMPARE(lines.at(16), QByteArray("\r"));
        QCOMPARE(lines.at(17), QByteArray("\r"));
        QCOMPARE(lines.at(18), cp1251("Записей : 12\r"));
        QCOMPARE(lines.at(19), signature + '\r');
        QCOMPARE(lines.at(20), QByteArray());
    }

    void textWindows1251CannotHoldIsWrittenInUtf8()
    {
        // Windows-1251 holds Cyrillic, the dash, the euro sign and a plain question mark.
        const QString russian = QStringLiteral("Ёлка — 5 € ?");
        QCOMPARE(encode(russian), zv::toCp1251(russian));
        for (const QString &foreign :
             {QStringLiteral("Doom 🎮"), QStringLiteral("游戏"), QStringLiteral("Ǆ"), QStringLiteral("Ёлка ž")}) {
            const QByteArray bytes = encode(foreign);
            QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
            QCOMPARE(QString::fromUtf8(bytes.mid(3)), foreign);
        }
    }

    void proposedNameHasNoFolders()
    {
        QCOMPARE(proposedFileName(QStringLiteral("Doom")), QStringLiteral("Doom"));
        QCOMPARE(proposedFileName(QStringLiteral("AC/DC\n")), QStringLiteral("AC_DC_"));
    }

    void writeReplacesTheOldFileAndLeavesNothingElse()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Doom.txt"));
        QCOMPARE(writeFile(path, "old"), QString());
        QCOMPARE(writeFile(path, "new"), QString());
        QCOMPARE(readFile(path), QByteArray("new"));
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Doom.txt")});
    }

    void unwritablePlacesAreReportedAndTheOldFileStays()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("plain"), "a file, not a folder");
        QVERIFY(writeFile(home.file(QStringLiteral("plain/Doom.txt")), "x")
                    .startsWith(QStringLiteral("Не удалось сохранить файл ") +
                                home.file(QStringLiteral("plain/Doom.txt"))));
        QVERIFY(!writeFile(home.path(), "x").isEmpty());
        QCOMPARE(readFile(home.file(QStringLiteral("plain"))), QByteArray("a file, not a folder"));

        // A read-only folder holding an older export.
        const QString folder = home.file(QStringLiteral("readonly"));
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/Doom.txt");
        QCOMPARE(writeFile(path, "old"), QString());
        QFile::setPermissions(home.path(), QFile::permissions(home.path()) | QFile::ExeOther | QFile::ReadOther);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        QVERIFY(inChild(Privileges::NotRoot, [&] {
            return writeFile(path, "new").startsWith(QStringLiteral("Не удалось сохранить файл")) &&
                   readFile(path) == "old";
        }));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(readFile(path), QByteArray("old"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Doom.txt")});
    }

    void aFullDiskLeavesTheOldFile()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("list.txt"));
        QCOMPARE(writeFile(path, "old"), QString());
        // The file size limit makes the write fail the way a full disk does.
        QVERIFY(inChild(Privileges::Same, [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            return writeFile(path, QByteArray(1 << 20, 'x')).startsWith(QStringLiteral("Не удалось сохранить файл"));
        }));
        QCOMPARE(readFile(path), QByteArray("old"));
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("list.txt")});
    }
};

QTEST_GUILESS_MAIN(TestTextExport)
#include "tst_text_export.moc"

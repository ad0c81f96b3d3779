#include "PipeWatch.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/screenshots/ScreenshotStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace zv::screenshots;

namespace {

using zvtest::readFile;
using zvtest::writeFile;

QStringList allEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void fileNameForm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("earlier");
        QTest::newRow("plain") << QStringLiteral("Doom") << QStringLiteral("Doom") << QStringLiteral("Doom");
        QTest::newRow("cyrillic and blanks")
            << QStringLiteral("Ёлка 2.0") << QStringLiteral("Ёлка 2.0") << QStringLiteral("Ёлка 2.0");
        QTest::newRow("slash") << QStringLiteral("AC/DC") << QStringLiteral("AC%2FDC") << QStringLiteral("AC%2FDC");
        QTest::newRow("backslash") << QStringLiteral("C:\\Windows") << QStringLiteral("C%3A%5CWindows")
                                   << QStringLiteral("C%3A%5CWindows");
        QTest::newRow("wildcards") << QStringLiteral("A*?") << QStringLiteral("A%2A%3F") << QStringLiteral("A%2A%3F");
        QTest::newRow("control characters")
            << QStringLiteral("a\tb\nc") << QStringLiteral("a%09b%0Ac") << QStringLiteral("a%09b%0Ac");
        QTest::newRow("windows reserved") << QStringLiteral("<a|\"b\">") << QStringLiteral("%3Ca%7C%22b%22%3E")
                                          << QStringLiteral("%3Ca%7C%22b%22%3E");
        // What both file systems hold stays as it is; earlier versions escaped it.
        QTest::newRow("percent") << QStringLiteral("100% Orange Juice") << QStringLiteral("100% Orange Juice")
                                 << QStringLiteral("100%25 Orange Juice");
        QTest::newRow("brackets and semicolon")
            << QStringLiteral("[x];y") << QStringLiteral("[x];y") << QStringLiteral("%5Bx%5D%3By");
        QTest::newRow("leading dot") << QStringLiteral(".kkrieger") << QStringLiteral(".kkrieger")
                                     << QStringLiteral("%2Ekkrieger");
        QTest::newRow("dot dot") << QStringLiteral("..") << QStringLiteral("..") << QStringLiteral("%2E.");
        QTest::newRow("dots and slashes") << QStringLiteral(".hack//Sign") << QStringLiteral(".hack%2F%2FSign")
                                          << QStringLiteral("%2Ehack%2F%2FSign");
    }

    void fileNameForm()
    {
        QFETCH(QString, name);
        QFETCH(QString, form);
        QFETCH(QString, earlier);
        QCOMPARE(zv::screenshots::fileNameForm(name), form);
        QCOMPARE(earlierFileNameForm(name), earlier);
        QCOMPARE(pictureForms(name), form == earlier ? QStringList{form} : (QStringList{form, earlier}));
    }

    void formsStayInTheFolderAndKeepPrefixes()
    {
        for (const QString &name : {QStringLiteral("A/B"), QStringLiteral("../x"), QStringLiteral("a\\b")})
            QVERIFY(!zv::screenshots::fileNameForm(name).contains(QLatin1Char('/')));
        // A name that begins with another has a form that begins with the other's.
        QVERIFY(zv::screenshots::fileNameForm(QStringLiteral("AC/DC Live"))
                    .startsWith(zv::screenshots::fileNameForm(QStringLiteral("AC/DC"))));
        QVERIFY(pictureForms(QString()).isEmpty());
    }

    void extension_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("extension");
        const QByteArray jpeg("\xFF\xD8\xFF\xE0", 4);
        QTest::newRow("jpg") << QStringLiteral("/pics/shot.jpg") << jpeg << QStringLiteral("jpg");
        QTest::newRow("case kept") << QStringLiteral("/pics/shot.JPG") << jpeg << QStringLiteral("JPG");
        QTest::newRow("gif") << QStringLiteral("shot.gif") << QByteArray("GIF89a") << QStringLiteral("gif");
        QTest::newRow("jpeg whole") << QStringLiteral("shot.jpeg") << jpeg << QStringLiteral("jpeg");
        QTest::newRow("tiff whole") << QStringLiteral("scan.tiff") << QByteArray("II*") << QStringLiteral("tiff");
        QTest::newRow("last dot counts") << QStringLiteral("a.b.bmp") << QByteArray("BM") << QStringLiteral("bmp");
        QTest::newRow("none, jpeg inside") << QStringLiteral("/tmp/shot") << jpeg << QStringLiteral("jpg");
        QTest::newRow("none, gif inside") << QStringLiteral("shot") << QByteArray("GIF87a..") << QStringLiteral("gif");
        QTest::newRow("none, bmp inside")
            << QStringLiteral("shot") << QByteArray("BM\x36\x00") << QStringLiteral("bmp");
        QTest::newRow("none, png inside")
            << QStringLiteral("shot") << QByteArray("\x89PNG\r\n\x1A\n\0\0", 10) << QStringLiteral("png");
        QTest::newRow("dot in folder only") << QStringLiteral("/a.dir/shot") << jpeg << QStringLiteral("jpg");
        QTest::newRow("hidden file") << QStringLiteral("/tmp/.jpg") << jpeg << QStringLiteral("jpg");
        QTest::newRow("odd extension") << QStringLiteral("shot.j p g") << jpeg << QStringLiteral("jpg");
        QTest::newRow("nothing known") << QStringLiteral("notes") << QByteArray("hello") << QString();
        QTest::newRow("trailing dot") << QStringLiteral("shot.") << QByteArray("hello") << QString();
        // The content decides the kind; a fitting name keeps its spelling.
        QTest::newRow("jpeg named txt") << QStringLiteral("Doom.txt") << jpeg << QStringLiteral("jpg");
        QTest::newRow("gif named jpg") << QStringLiteral("anim.jpg") << QByteArray("GIF89a") << QStringLiteral("gif");
        QTest::newRow("unknown kind keeps its name")
            << QStringLiteral("icon.xpm") << QByteArray("/* XPM */") << QStringLiteral("xpm");
    }

    void extension()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, head);
        QFETCH(QString, extension);
        QCOMPARE(zv::screenshots::extensionFor(source, head), extension);
    }

    void pictureNames()
    {
        QCOMPARE(firstPictureName(QStringLiteral("Doom"), QStringLiteral("JPG")), QStringLiteral("Doom.JPG"));
        QCOMPARE(furtherPictureName(QStringLiteral("Doom"), QStringLiteral("2"), QStringLiteral("jpg")),
                 QStringLiteral("Doom_2.jpg"));
        // A word cannot lead out of the folder; its dots stay, being inside the name.
        QCOMPARE(furtherPictureName(QStringLiteral("Doom"), QStringLiteral("../../x"), QStringLiteral("jpg")),
                 QStringLiteral("Doom_..%2F..%2Fx.jpg"));
    }

    void belongsTo_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("belongs");
        QTest::newRow("own") << QStringLiteral("Doom.jpg") << QStringLiteral("Doom") << true;
        QTest::newRow("letter case") << QStringLiteral("DOOM_2.jpg") << QStringLiteral("doom") << true;
        QTest::newRow("cyrillic case") << QStringLiteral("ЁЛКА.gif") << QStringLiteral("ёлка") << true;
        QTest::newRow("longer name") << QStringLiteral("Word 2007.jpg") << QStringLiteral("Word") << true;
        QTest::newRow("not the other way") << QStringLiteral("Word.jpg") << QStringLiteral("Word 2007") << false;
        QTest::newRow("star is a star") << QStringLiteral("AB.jpg") << QStringLiteral("A*") << false;
        QTest::newRow("star own") << QStringLiteral("A%2A.jpg") << QStringLiteral("A*") << true;
        QTest::newRow("star longer") << QStringLiteral("A%2A 2.jpg") << QStringLiteral("A*") << true;
        QTest::newRow("question mark") << QStringLiteral("AB.jpg") << QStringLiteral("A?") << false;
        QTest::newRow("bracket") << QStringLiteral("Ab.jpg") << QStringLiteral("A[b]") << false;
        QTest::newRow("plain name has the star's") << QStringLiteral("A%2A.jpg") << QStringLiteral("A") << true;
        QTest::newRow("percent is a letter") << QStringLiteral("A%2A.jpg") << QStringLiteral("A%") << true;
        QTest::newRow("percent plain") << QStringLiteral("100% Orange Juice.jpg") << QStringLiteral("100% Orange Juice")
                                       << true;
        QTest::newRow("percent earlier") << QStringLiteral("100%25 Orange Juice_2.jpg")
                                         << QStringLiteral("100% Orange Juice") << true;
        QTest::newRow("hidden plain") << QStringLiteral(".KKRIEGER.jpg") << QStringLiteral(".kkrieger") << true;
        QTest::newRow("hidden earlier") << QStringLiteral("%2Ekkrieger.jpg") << QStringLiteral(".kkrieger") << true;
        QTest::newRow("brackets plain") << QStringLiteral("[x].jpg") << QStringLiteral("[x]") << true;
        QTest::newRow("empty name owns nothing") << QStringLiteral("Doom.jpg") << QString() << false;
    }

    void belongsTo()
    {
        QFETCH(QString, file);
        QFETCH(QString, entry);
        QFETCH(bool, belongs);
        QCOMPARE(zv::screenshots::belongsTo(file, entry), belongs);
    }

    void hostileNamesAreStoredInsideAndFoundAgain()
    {
        zvtest::TempHome home;
        const QString pictures = home.file(QStringLiteral("ScreenShots"));
        const QString source = home.file(QStringLiteral("shot.jpg"));
        writeFile(source, "picture");
        const QStringList names = {QStringLiteral("AC/DC"), QStringLiteral("..\\..\\boot"),  QStringLiteral("A*"),
                                   QStringLiteral("A?"),    QStringLiteral("[abc]"),         QStringLiteral("C:"),
                                   QStringLiteral("x;y"),   QStringLiteral(".NET"),          QStringLiteral(".."),
                                   QStringLiteral("."),     QStringLiteral("../etc/passwd"), QStringLiteral("A")};
        for (const QString &name : names)
            QCOMPARE(copyInto(source, pictures, firstPictureName(name, QStringLiteral("jpg"))), QString());
        // Nothing landed outside the folder, and each picture is a plain file in it.
        QCOMPARE(allEntries(home.path()), (QStringList{QStringLiteral("ScreenShots"), QStringLiteral("shot.jpg")}));
        QCOMPARE(allEntries(pictures).size(), names.size());
        for (const QString &name : names) {
            const QStringList found = picturesOf(pictures, name);
            QVERIFY2(found.contains(firstPictureName(name, QStringLiteral("jpg"))), qPrintable(name));
            QVERIFY(hasPictures(pictures, name));
        }
        QCOMPARE(picturesOf(pictures, QStringLiteral("A*")), QStringList{QStringLiteral("A%2A.jpg")});
        QCOMPARE(picturesOf(pictures, QStringLiteral("A?")), QStringList{QStringLiteral("A%3F.jpg")});
        QCOMPARE(picturesOf(pictures, QStringLiteral("A")),
                 (QStringList{QStringLiteral("A%2A.jpg"), QStringLiteral("A%3F.jpg"), QStringLiteral("A.jpg"),
                              QStringLiteral("AC%2FDC.jpg")}));
        QCOMPARE(picturesOf(pictures, QStringLiteral(".NET")), QStringList{QStringLiteral(".NET.jpg")});
        QVERIFY(!picturesOf(pictures, QStringLiteral("..")).contains(QStringLiteral(".NET.jpg")));
        QVERIFY(!hasPictures(pictures, QStringLiteral("B")));
        QVERIFY(picturesOf(home.file(QStringLiteral("missing")), QStringLiteral("A")).isEmpty());
    }

    void listingSkipsFoldersAndSortsByName()
    {
        zvtest::TempHome home;
        const QString pictures = home.file(QStringLiteral("ScreenShots"));
        QDir().mkpath(pictures + QStringLiteral("/Word folder"));
        for (const char *name : {"word_b.jpg", "Word 2007.gif", "Word.JPG", "Word_A.bmp", ".Word.jpg"})
            writeFile(pictures + QLatin1Char('/') + QString::fromLatin1(name), "x");
        QCOMPARE(picturesOf(pictures, QStringLiteral("WORD")),
                 (QStringList{QStringLiteral("Word 2007.gif"), QStringLiteral("Word.JPG"), QStringLiteral("Word_A.bmp"),
                              QStringLiteral("word_b.jpg")}));
        QCOMPARE(existingName(pictures, QStringLiteral("word.jpg")), QStringLiteral("Word.JPG"));
        QCOMPARE(existingName(pictures, QStringLiteral("Word.gif")), QString());
    }

    // A folder an older installation filled, or an earlier version of this one.
    void picturesAreFoundUnderEveryFormTheyWereStoredIn_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("pictures");
        QTest::newRow("percent") << QStringLiteral("100% Orange Juice")
                                 << QStringList{QStringLiteral("100% Orange Juice.jpg"),
                                                QStringLiteral("100%25 Orange Juice_2.jpg"),
                                                QStringLiteral("100 Orange Juice.jpg")}
                                 << QStringList{QStringLiteral("100% Orange Juice.jpg"),
                                                QStringLiteral("100%25 Orange Juice_2.jpg")};
        QTest::newRow("hidden file") << QStringLiteral(".kkrieger")
                                     << QStringList{QStringLiteral(".kkrieger.jpg"),
                                                    QStringLiteral("%2Ekkrieger_2.gif"), QStringLiteral("kkrieger.jpg")}
                                     << QStringList{QStringLiteral("%2Ekkrieger_2.gif"),
                                                    QStringLiteral(".kkrieger.jpg")};
        QTest::newRow("brackets and semicolon")
            << QStringLiteral("[x];y") << QStringList{QStringLiteral("[x];y.bmp"), QStringLiteral("%5Bx%5D%3By_2.bmp")}
            << QStringList{QStringLiteral("%5Bx%5D%3By_2.bmp"), QStringLiteral("[x];y.bmp")};
        QTest::newRow("a copy in progress is no picture")
            << QStringLiteral(".zv") << QStringList{QStringLiteral(".zv-copy-AbC123")} << QStringList{};
    }

    void picturesAreFoundUnderEveryFormTheyWereStoredIn()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, files);
        QFETCH(QStringList, pictures);
        zvtest::TempHome home;
        const QString folder = home.file(QStringLiteral("ScreenShots"));
        for (const QString &file : files)
            writeFile(folder + QLatin1Char('/') + file, "x");
        QCOMPARE(picturesOf(folder, entry), pictures);
        QCOMPARE(hasPictures(folder, entry), !pictures.isEmpty());
    }

    void copyReplacesWholeOrNotAtAll()
    {
        zvtest::TempHome home;
        const QString pictures = home.file(QStringLiteral("ScreenShots"));
        const QString first = home.file(QStringLiteral("first.jpg"));
        const QString second = home.file(QStringLiteral("second.jpg"));
        writeFile(first, QByteArray(3 << 20, 'a')); // more than one chunk
        writeFile(second, "second");
        QCOMPARE(copyInto(first, pictures, QStringLiteral("Doom_2.jpg")), QString());
        QCOMPARE(readFile(pictures + QStringLiteral("/Doom_2.jpg")), QByteArray(3 << 20, 'a'));
        // An ordinary file others may read, not a private temporary one.
        QVERIFY(QFileInfo(pictures + QStringLiteral("/Doom_2.jpg")).permissions().testFlag(QFile::ReadOther));
        // The same name again replaces the picture; one in other letter case may be another
        // entry's and stays ("STRASSE" and "Straße" are one name ignoring case).
        writeFile(pictures + QStringLiteral("/DOOM_2.JPG"), "old");
        writeFile(pictures + QStringLiteral("/STRASSE_2.JPG"), "old");
        QCOMPARE(copyInto(second, pictures, QStringLiteral("Doom_2.jpg")), QString());
        QCOMPARE(copyInto(second, pictures, QStringLiteral("Straße_2.jpg")), QString());
        QCOMPARE(allEntries(pictures), (QStringList{QStringLiteral("DOOM_2.JPG"), QStringLiteral("Doom_2.jpg"),
                                                    QStringLiteral("STRASSE_2.JPG"), QStringLiteral("Straße_2.jpg")}));
        QCOMPARE(readFile(pictures + QStringLiteral("/Doom_2.jpg")), QByteArray("second"));
        QCOMPARE(readFile(pictures + QStringLiteral("/STRASSE_2.JPG")), QByteArray("old"));
        for (const char *other : {"DOOM_2.JPG", "STRASSE_2.JPG", "Straße_2.jpg"})
            QFile::remove(pictures + QLatin1Char('/') + QString::fromUtf8(other));

        // A source that cannot be read leaves the old picture and no temporary file behind.
        const QString failure =
            copyInto(home.file(QStringLiteral("missing.jpg")), pictures, QStringLiteral("Doom_2.jpg"));
        QVERIFY(failure.startsWith(QStringLiteral("Не удалось прочитать файл")));
        QCOMPARE(allEntries(pictures), QStringList{QStringLiteral("Doom_2.jpg")});
        QCOMPARE(readFile(pictures + QStringLiteral("/Doom_2.jpg")), QByteArray("second"));
        // A folder as the source (read fails half way, as a cut copy would) changes nothing either.
        QVERIFY(!copyInto(home.path(), pictures, QStringLiteral("Doom_2.jpg")).isEmpty());
        QCOMPARE(allEntries(pictures), QStringList{QStringLiteral("Doom_2.jpg")});
        QCOMPARE(readFile(pictures + QStringLiteral("/Doom_2.jpg")), QByteArray("second"));

        // A pipe is not read at all: it would keep the copy waiting for a writer.
        const zvtest::PipeWatch pipe(home.file(QStringLiteral("pipe.jpg")));
        QVERIFY(pipe.made());
        QVERIFY(copyInto(pipe.path(), pictures, QStringLiteral("Doom_2.jpg")).contains(QStringLiteral("канал")));
        QVERIFY(!pipe.wasRead());
        QCOMPARE(readFile(pictures + QStringLiteral("/Doom_2.jpg")), QByteArray("second"));

        // Names that would leave the folder are refused, whoever built them.
        for (const QString &bad :
             {QStringLiteral("../x.jpg"), QStringLiteral(".."), QStringLiteral("."), QStringLiteral("")})
            QVERIFY2(!copyInto(second, pictures, bad).isEmpty(), qPrintable(bad));
        QVERIFY(!QFile::exists(home.file(QStringLiteral("x.jpg"))));
    }

    void missingFolderIsCreatedAndAPlainFileInItsPlaceIsReported()
    {
        zvtest::TempHome home;
        const QString source = home.file(QStringLiteral("shot.gif"));
        writeFile(source, "GIF89a");
        QCOMPARE(copyInto(source, home.file(QStringLiteral("deep/ScreenShots")), QStringLiteral("Doom.gif")),
                 QString());
        QVERIFY(QFile::exists(home.file(QStringLiteral("deep/ScreenShots/Doom.gif"))));
        writeFile(home.file(QStringLiteral("ScreenShots")), "not a folder");
        QVERIFY(copyInto(source, home.file(QStringLiteral("ScreenShots")), QStringLiteral("Doom.gif"))
                    .startsWith(QStringLiteral("Не удалось создать папку")));
        QCOMPARE(folder(), home.file(QStringLiteral("ScreenShots")));
    }

    void removeDeletesOnlyInsideTheFolder()
    {
        zvtest::TempHome home;
        const QString pictures = home.file(QStringLiteral("ScreenShots"));
        QDir().mkpath(pictures);
        writeFile(pictures + QStringLiteral("/Doom.jpg"), "x");
        writeFile(home.file(QStringLiteral("keep.jpg")), "x");
        QCOMPARE(remove(pictures, QStringLiteral("Doom.jpg")), QString());
        QVERIFY(!QFile::exists(pictures + QStringLiteral("/Doom.jpg")));
        QVERIFY(remove(pictures, QStringLiteral("Doom.jpg")).startsWith(QStringLiteral("Не удалось удалить файл")));
        writeFile(pictures + QStringLiteral("/.kkrieger.jpg"), "x");
        QCOMPARE(remove(pictures, QStringLiteral(".kkrieger.jpg")), QString());
        QVERIFY(!QFile::exists(pictures + QStringLiteral("/.kkrieger.jpg")));
        QVERIFY(!remove(pictures, QStringLiteral("../keep.jpg")).isEmpty());
        QVERIFY(QFile::exists(home.file(QStringLiteral("keep.jpg"))));
    }
};

QTEST_GUILESS_MAIN(TestScreenshots)
#include "tst_screenshots.moc"

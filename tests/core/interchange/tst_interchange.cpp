#include "TempHome.h"
#include "core/interchange/Csv.h"
#include "core/interchange/Exporter.h"
#include "core/interchange/ImportPlan.h"
#include "core/interchange/Json.h"
#include "core/screenshots/ScreenshotStore.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

using namespace zv::interchange;

namespace {

const QString kGames = QStringLiteral("Games");

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray png()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestInterchange : public QObject
{
    Q_OBJECT

    // A program folder with a catalogue of `entries` (name, text) in Games.
    struct Folder
    {
        zvtest::TempHome home;
        QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
        explicit Folder(const std::vector<std::pair<QString, QString>> &entries)
        {
            CreateCatalogue(catalogue);
            for (const auto &[name, text] : entries)
                AddEntry(OpenCatalogue(catalogue), kGames, name, text);
        }
        ExportRequest request(Format format, const QString &target) const
        {
            ExportRequest r;
            r.cataloguePath = catalogue;
            r.pictureFolder = zv::screenshots::folder();
            r.format = format;
            r.target = home.file(target);
            return r;
        }
    };

private slots:
    void csvFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << QStringLiteral("Doom") << QByteArray("Doom");
        QTest::newRow("comma") << QStringLiteral("a,b") << QByteArray("\"a,b\"");
        QTest::newRow("quotes") << QStringLiteral("say \"idkfa\"") << QByteArray("\"say \"\"idkfa\"\"\"");
        QTest::newRow("CR LF inside") << QStringLiteral("one\r\ntwo") << QByteArray("\"one\r\ntwo\"");
        QTest::newRow("LF inside") << QStringLiteral("one\ntwo") << QByteArray("\"one\ntwo\"");
        QTest::newRow("edge space") << QStringLiteral(" x ") << QByteArray("\" x \"");
        QTest::newRow("Cyrillic") << QStringLiteral("Ёлка, ель") << QStringLiteral("\"Ёлка, ель\"").toUtf8();
        QTest::newRow("empty") << QString() << QByteArray();
    }

    // Each field is written as RFC 4180 wants it and read back as it was.
    void csvFields()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, written);
        QByteArray row;
        appendCsvRow(row, {field, QStringLiteral("end")});
        QCOMPARE(row, written + ",end\r\n");
        const CsvRows parsed = parseCsv(csvHeader() + row);
        QVERIFY2(parsed.failure.isEmpty(), qPrintable(parsed.failure));
        QCOMPARE(parsed.rows.size(), size_t(2));
        QCOMPARE(parsed.rows[1], (QStringList{field, QStringLiteral("end")}));
    }

    // What a spreadsheet writes: LF endings, no byte-order mark, the empty last column left out,
    // categories by display name or table name.
    void csvFromASpreadsheet()
    {
        const ReadResult read = entriesFromCsv(QStringLiteral("category,name,text,pictures\n"
                                                              "Игры,Doom,\"iddqd\n\"\"god\"\"\"\n"
                                                              "Movie,Матрица,text\n")
                                                   .toUtf8());
        QVERIFY2(read.ok(), qPrintable(read.failure));
        QCOMPARE(read.entries.size(), size_t(2));
        QCOMPARE(read.entries[0].table, kGames);
        QCOMPARE(read.entries[0].text, QStringLiteral("iddqd\n\"god\""));
        QCOMPARE(read.entries[1].table, QStringLiteral("Movie"));
        QCOMPARE(read.entries[1].name, QStringLiteral("Матрица"));
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("picture"); // a file to put into pictures/, "link:" for a link
        QTest::addColumn<QString>("refusal");
        const QByteArray header = "category,name,text,pictures\r\n";
        const QByteArray json = "{\"format\": \"zorvanell-entries\", \"version\": 1, \"entries\": [";
        QTest::newRow("open quote") << "x.csv" << header + "Игры,Doom,\"iddqd\r\n" << QString() << "не правильный CSV";
        QTest::newRow("quote inside a field") << "x.csv" << header + "Игры,Do\"om,t\r\n"
                                              << QString() << "не правильный CSV";
        QTest::newRow("broken JSON") << "x.json" << json + "{]}" << QString() << "не правильный JSON";
        QTest::newRow("foreign JSON") << "x.json" << QByteArray("{\"entries\": []}") << QString() << "не файл записей";
        QTest::newRow("Windows-1251") << "x.csv" << header + "\xc8\xe3\xf0\xfb,Doom,t\r\n" << QString() << "UTF-8";
        QTest::newRow("cut character") << "x.csv" << header + "Игры,Doom,t\xd0" << QString() << "UTF-8";
        QTest::newRow("JSON in Windows-1251")
            << "x.json" << json + "{\"category\": \"Games\", \"name\": \"\xc8\", \"text\": \"t\"}]}" << QString()
            << "UTF-8";
        QTest::newRow("field of 50 MB") << "x.csv" << header + "Игры,Doom," + QByteArray(50 << 20, 'a') + "\r\n"
                                        << QString() << "слишком длинное поле";
        QTest::newRow("text of 50 MB in JSON")
            << "x.json"
            << json + "{\"category\": \"Games\", \"name\": \"Doom\", \"text\": \"" + QByteArray(50 << 20, 'a') + "\"}]}"
            << QString() << "слишком длинное поле";
        QTest::newRow("a million rows") << "x.csv" << header + QByteArray("Игры,a,b\n").repeated(1000000) << QString()
                                        << "слишком много строк";
        QTest::newRow("unknown category") << "x.csv" << header + "Пиво,Doom,t\r\n" << QString() << "неизвестный раздел";
        QTest::newRow("twice") << "x.csv" << header + "Игры,Doom,a\r\nGames,DOOM,b\r\n" << QString() << "дважды";
        QTest::newRow("dot dot") << "x.csv" << header + "Игры,Doom,t,Doom/../../x.png\r\n" << QString() << "это путь";
        QTest::newRow("parent")
            << "x.json"
            << json + "{\"category\": \"Games\", \"name\": \"..\", \"text\": \"t\", \"pictures\": [\"../x\"]}]}"
            << QString() << "это путь";
        QTest::newRow("slash") << "x.csv" << header + "Игры,Doom,t,Doom/x.png\r\n" << QString() << "это путь";
        QTest::newRow("device") << "x.csv" << header + "Игры,Con,t,CON.png\r\n" << QString() << "имя устройства";
        QTest::newRow("another entry's") << "x.csv" << header + "Игры,Doom,t,Quake.png\r\n"
                                         << QString() << "не начинается с названия записи";
        QTest::newRow("link") << "x.csv" << header + "Игры,Doom,t,Doom.png\r\n"
                              << "link:Doom.png"
                              << "ссылка";
        QTest::newRow("missing picture") << "x.csv" << header + "Игры,Doom,t,Doom.png\r\n"
                                         << QString() << "нет в папке";
        QTest::newRow("not a picture") << "x.csv" << header + "Игры,Doom,t,Doom.png\r\n"
                                       << "Doom.png"
                                       << "не изображение";
        QTest::newRow("other extension") << "x.txt" << QByteArray() << QString() << "JSON и CSV";
    }

    // Refused with a message that says why; nothing of it is offered for import.
    void badInput()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, picture);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        writeFile(dir.filePath(file), bytes);
        if (picture.startsWith(QLatin1String("link:"))) {
            writeFile(dir.filePath(QStringLiteral("elsewhere.png")), png());
            QDir().mkpath(dir.filePath(kPictureFolder));
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere.png")),
                                dir.filePath(kPictureFolder + QLatin1Char('/') + picture.mid(5))));
        } else if (!picture.isEmpty()) {
            writeFile(dir.filePath(kPictureFolder + QLatin1Char('/') + picture), "just text");
        }
        const ReadResult read = readImportFile(dir.filePath(file));
        QVERIFY2(read.failure.contains(refusal), qPrintable(read.failure));
        QVERIFY(read.entries.empty());
    }

    void jsonKeepsEveryCharacter()
    {
        const Entry entry{kGames,
                          QStringLiteral("\"Doom\" \\ 2"),
                          QStringLiteral("a\tb\nc\u0001d Ёж \U0001F600"),
                          {QStringLiteral("\"Doom\" \\ 2.png")}};
        QByteArray bytes = jsonOpening();
        appendJsonEntry(bytes, entry, true);
        appendJsonEntry(bytes, entry, false);
        bytes += jsonClosing();
        const ReadResult read = entriesFromJson(bytes);
        QVERIFY2(read.ok(), qPrintable(read.failure));
        QCOMPARE(read.entries.size(), size_t(2));
        QCOMPARE(read.entries[1].name, entry.name);
        QCOMPARE(read.entries[1].text, entry.text);
        QCOMPARE(read.entries[1].pictures, entry.pictures);
    }

    // A big file of ours is read in two halves at once: the same entries in the same order, a
    // refusal numbered as in the whole file, a file that would be cut inside a string read whole.
    void bigFileReadInHalves_data()
    {
        QTest::addColumn<QByteArray>("find");    // the first of it after the file's middle...
        QTest::addColumn<QByteArray>("replace"); // ...becomes this
        QTest::addColumn<QString>("refusal");    // empty: read
        QTest::newRow("as written") << QByteArray() << QByteArray() << QString();
        QTest::newRow("raw line break at the cut")
            << QByteArray("IDDQD") << QByteArray(",\n{\"category\": \"Games\", IDDQD") << QString();
        QTest::newRow("broken after the middle") << QByteArray("IDDQD") << QByteArray("\"}]") << "не правильный JSON";
        QTest::newRow("refused after the middle") << QByteArray("\"Games\", \"name\": \"Пасхалка 7000\"")
                                                  << QByteArray("\"Пиво\", \"name\": \"x\"") << "записи 7001 ";
    }

    void bigFileReadInHalves()
    {
        QFETCH(QByteArray, find);
        QFETCH(QByteArray, replace);
        QFETCH(QString, refusal);
        const int count = 12000;
        // Every text holds what the file is cut at, as our writer writes it: escaped.
        auto text = [](int i) { return QStringLiteral("Наберите IDDQD,\n{\"category\": %1. ").arg(i).repeated(8); };
        QByteArray bytes = jsonOpening();
        for (int i = 0; i < count; ++i)
            appendJsonEntry(bytes, {kGames, QStringLiteral("Пасхалка %1").arg(i), text(i), {}}, i == 0);
        bytes += jsonClosing();
        QVERIFY(bytes.size() > 4 * 1024 * 1024);
        if (!find.isEmpty()) {
            const qsizetype at = bytes.indexOf(find, bytes.size() / 2);
            QVERIFY(at > 0);
            bytes.replace(at, find.size(), replace);
        }
        const ReadResult read = entriesFromJson(bytes);
        // The same bytes read whole, as a file not of ours is: its opening differs, not its length.
        const ReadResult whole = entriesFromJson(QByteArray(bytes).replace("\"version\": 1", "\"version\": 0"));
        QCOMPARE(read.failure, whole.failure);
        QVERIFY2(read.failure.contains(refusal), qPrintable(read.failure));
        QCOMPARE(read.entries.size(), refusal.isEmpty() && find.isEmpty() ? size_t(count) : whole.entries.size());
        for (const size_t i :
             {size_t(0), read.entries.size() / 2, read.entries.size() / 2 + 1, read.entries.size() - 1}) {
            if (i >= read.entries.size())
                continue;
            QCOMPARE(read.entries[i].name, whole.entries[i].name);
            QCOMPARE(read.entries[i].text, whole.entries[i].text);
        }
        if (find.isEmpty())
            QCOMPARE(read.entries[size_t(count) - 1].text, text(count - 1));
    }

    // Nothing of the catalogue is ever markup: the text is on the pages as text.
    void pagesEscapeTheCatalogue_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("escapedName");
        QTest::addColumn<QString>("escapedText");
        QTest::addColumn<QString>("markup"); // what the catalogue's text must not become
        QTest::newRow("web pages") << int(Format::WebPages) << QStringLiteral("&lt;b&gt;Doom&lt;/b&gt;")
                                   << QStringLiteral("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp;amp;")
                                   << QStringLiteral("<script|<b>");
        QTest::newRow("Markdown") << int(Format::Markdown) << QStringLiteral("\\<b\\>Doom\\<")
                                  << QStringLiteral("\\<script\\>alert\\(\\\"x\\\"\\)\\<")
                                  << QStringLiteral("(?<!\\\\)[<>&]");
    }

    void pagesEscapeTheCatalogue()
    {
        QFETCH(int, format);
        QFETCH(QString, escapedName);
        QFETCH(QString, escapedText);
        QFETCH(QString, markup);
        Folder f({{QStringLiteral("<b>Doom</b>"), QStringLiteral("<script>alert(\"x\")</script> &amp;")}});
        const ExportResult result = runExport(f.request(Format(format), QStringLiteral("out")), {}, nullptr);
        QCOMPARE(result.outcome, ExportOutcome::Written);
        QString all;
        for (const QString &file : filesUnder(f.home.file(QStringLiteral("out"))))
            all += QString::fromUtf8(bytesOf(f.home.file(QStringLiteral("out/") + file)));
        QVERIFY2(all.contains(escapedName), qPrintable(all));
        QVERIFY2(all.contains(escapedText), qPrintable(all));
        QVERIFY2(!all.contains(QRegularExpression(markup)), qPrintable(all));
    }

    // Only the entry's own pictures go with it: "Doom II.png" is another entry's.
    void entryExportTakesItsOwnPictures()
    {
        Folder f({{QStringLiteral("Doom"), QStringLiteral("d")}, {QStringLiteral("Doom II"), QStringLiteral("d2")}});
        for (const QString &name :
             {QStringLiteral("Doom.png"), QStringLiteral("Doom_map.png"), QStringLiteral("Doom II.png")})
            writeFile(zv::screenshots::folder() + QLatin1Char('/') + name, png());
        ExportRequest request = f.request(Format::Csv, QStringLiteral("out"));
        request.scope = ExportRequest::Scope::Entry;
        request.table = kGames;
        request.rowId = ListNameRows(OpenCatalogue(f.catalogue), kGames).rowIdAt(0);
        QCOMPARE(runExport(request, {}, nullptr).entries, 1);
        QCOMPARE(filesUnder(f.home.file(QStringLiteral("out"))),
                 (QStringList{kCsvFile, kPictureFolder, QStringLiteral("pictures/Doom.png"),
                              QStringLiteral("pictures/Doom_map.png")}));
        const ReadResult read = readImportFile(f.home.file(QStringLiteral("out/") + kCsvFile));
        QVERIFY2(read.ok(), qPrintable(read.failure));
        QCOMPARE(read.entries.front().pictures,
                 (QStringList{QStringLiteral("Doom.png"), QStringLiteral("Doom_map.png")}));
    }

    // A cancelled export and one that cannot be written leave nothing beside the target.
    void unfinishedExportLeavesNothing()
    {
        Folder f({{QStringLiteral("Doom"), QStringLiteral("d")}, {QStringLiteral("Quake"), QStringLiteral("q")}});
        const QStringList before = filesUnder(f.home.path());
        std::atomic_bool cancel = false;
        int calls = 0;
        const ExportResult cancelled = runExport(
            f.request(Format::WebPages, QStringLiteral("out")),
            [&](int, int) {
                ++calls;
                cancel = true;
            },
            &cancel);
        QCOMPARE(cancelled.outcome, ExportOutcome::Cancelled);
        QCOMPARE(calls, 1);
        QCOMPARE(filesUnder(f.home.path()), before);

        writeFile(f.home.file(QStringLiteral("taken")), "mine");
        const ExportResult refused = runExport(f.request(Format::Json, QStringLiteral("taken")), {}, nullptr);
        QCOMPARE(refused.outcome, ExportOutcome::Failed);
        QVERIFY(refused.failure.contains(QStringLiteral("уже есть")));
        QCOMPARE(bytesOf(f.home.file(QStringLiteral("taken"))), QByteArray("mine"));
    }
};

QTEST_GUILESS_MAIN(TestInterchange)
#include "tst_interchange.moc"

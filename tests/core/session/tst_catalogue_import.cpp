#include "TempHome.h"
#include "core/interchange/Exporter.h"
#include "core/interchange/ImportPlan.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/CatalogueSession.h"
#include "core/store/Category.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

#include <map>

using namespace zv::interchange;

namespace {

using Stored = std::map<QString, QString>; // table/name -> text

Stored entriesOf(const QString &catalogue)
{
    Stored entries;
    for (const QString &table : zv::tableCreationOrder())
        ListEntries(OpenCatalogue(catalogue), table,
                    [&](const QString &name, const QString &text) { entries[table + QLatin1Char('/') + name] = text; });
    return entries;
}

// Every file of the screenshot folder with its bytes.
std::map<QString, QByteArray> picturesIn(const QString &folder)
{
    std::map<QString, QByteArray> pictures;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::ReadOnly))
            pictures[name] = file.readAll();
    }
    return pictures;
}

void writePicture(const QString &name, QColor colour)
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(colour);
    QDir().mkpath(zv::screenshots::folder());
    QVERIFY(image.save(zv::screenshots::folder() + QLatin1Char('/') + name));
}

ExportRequest jsonExport(const QString &catalogue, const QString &target)
{
    ExportRequest request;
    request.cataloguePath = catalogue;
    request.pictureFolder = zv::screenshots::folder();
    request.format = Format::Json;
    request.target = target;
    return request;
}

// Plans the file into the session's catalogue, with `choice` for every entry that differs, and writes it.
int importInto(zv::CatalogueSession &session, const QString &path, const QString &catalogue, Choice choice)
{
    ReadResult read = readImportFile(path);
    if (!read.ok())
        qWarning() << read.failure;
    ImportPlan plan = planImport(OpenCatalogue(catalogue), std::move(read));
    for (PlannedEntry &entry : plan.entries)
        entry.choice = choice;
    zv::ImportBatch batch = session.beginImport(std::move(plan));
    if (!batch.run())
        return -1;
    const int written = batch.written();
    session.finishImport(std::move(batch));
    return written;
}

} // namespace

class TestCatalogueImport : public QObject
{
    Q_OBJECT

    zvtest::TempHome m_source;
    QString m_exported = m_source.file(QStringLiteral("export"));

private slots:
    // The starter catalogue with pictures (one of them "Doom II"'s beside "Doom"'s), exported.
    void initTestCase()
    {
        QVERIFY(QFile::copy(QStringLiteral(ZV_STARTER_CATALOGUE), m_source.file(QStringLiteral("Zorvanell.dat"))));
        QFile::setPermissions(m_source.file(QStringLiteral("Zorvanell.dat")), QFile::ReadOwner | QFile::WriteOwner);
        writePicture(QStringLiteral("Doom.png"), Qt::red);
        writePicture(
            zv::screenshots::furtherPictureName(QStringLiteral("Doom"), QStringLiteral("карта"), QStringLiteral("jpg")),
            Qt::blue);
        writePicture(QStringLiteral("Doom II.bmp"), Qt::green);
        writePicture(QStringLiteral("Google Chrome.jpeg"), Qt::yellow);
        const ExportResult result =
            runExport(jsonExport(m_source.file(QStringLiteral("Zorvanell.dat")), m_exported), {}, nullptr);
        QCOMPARE(result.outcome, ExportOutcome::Written);
        QVERIFY(result.entries > 90);
    }

    // Into an empty program folder: the same entries, texts and picture files, byte for byte;
    // one undo takes all of it back.
    void roundTripAndUndo()
    {
        const Stored exported = entriesOf(m_source.file(QStringLiteral("Zorvanell.dat")));
        const auto pictures = picturesIn(zv::screenshots::folder());
        zvtest::TempHome empty;
        const QString catalogue = empty.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(catalogue);
        zv::CatalogueSession session(catalogue);
        session.showCategory(QStringLiteral("Games"));
        QCOMPARE(importInto(session, m_exported + QLatin1Char('/') + kJsonFile, catalogue, Choice::KeepMine),
                 int(exported.size()));
        QCOMPARE(entriesOf(catalogue), exported);
        QCOMPARE(picturesIn(zv::screenshots::folder()), pictures);
        QCOMPARE(session.count(), int(ListNames(OpenCatalogue(catalogue), QStringLiteral("Games")).size()));

        QVERIFY(session.canUndo());
        QCOMPARE(session.undo(), QString());
        QVERIFY(entriesOf(catalogue).empty());
        QVERIFY(picturesIn(zv::screenshots::folder()).empty());
        QCOMPARE(session.count(), 0);
        QVERIFY(!session.canUndo());
        QCOMPARE(session.redo(), QString());
        QCOMPARE(entriesOf(catalogue), exported);
        QCOMPARE(picturesIn(zv::screenshots::folder()), pictures);
    }

    void choices_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("games"); // name=text after the import
        QTest::addColumn<QStringList>("pictures");
        QTest::newRow("keep mine") << int(Choice::KeepMine)
                                   << QStringList{QStringLiteral("Doom=mine"), QStringLiteral("Quake=q")}
                                   << QStringList{QStringLiteral("Doom.png")};
        QTest::newRow("take theirs") << int(Choice::TakeTheirs)
                                     << QStringList{QStringLiteral("DOOM=theirs"), QStringLiteral("Quake=q")}
                                     << QStringList{QStringLiteral("DOOM.png"), QStringLiteral("Doom.png")};
        QTest::newRow("keep both") << int(Choice::KeepBoth)
                                   << QStringList{QStringLiteral("DOOM (2)=theirs"), QStringLiteral("Doom=mine"),
                                                  QStringLiteral("Quake=q")}
                                   << QStringList{QStringLiteral("DOOM (2).png"), QStringLiteral("Doom.png")};
    }

    // An entry of the same name with another text: kept, replaced, or both kept under another
    // name with its pictures; an entry with the same text is left alone. Undone whole.
    void choices()
    {
        QFETCH(int, choice);
        QFETCH(QStringList, games);
        QFETCH(QStringList, pictures);
        zvtest::TempHome theirs;
        const QString file = theirs.file(QStringLiteral("in/") + kCsvFile);
        QDir().mkpath(theirs.file(QStringLiteral("in/pictures")));
        QImage image(3, 3, QImage::Format_RGB32);
        image.fill(Qt::cyan);
        QVERIFY(image.save(theirs.file(QStringLiteral("in/pictures/DOOM.png"))));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(QStringLiteral("category,name,text,pictures\r\nИгры,DOOM,theirs,DOOM.png\r\nИгры,Quake,q,\r\n"
                                 "Игры,Same,same,\r\n")
                      .toUtf8());
        csv.close();

        zvtest::TempHome mine;
        const QString catalogue = mine.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(catalogue);
        AddEntry(OpenCatalogue(catalogue), QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("mine"));
        AddEntry(OpenCatalogue(catalogue), QStringLiteral("Games"), QStringLiteral("Same"), QStringLiteral("same"));
        writePicture(QStringLiteral("Doom.png"), Qt::red);
        const Stored before = entriesOf(catalogue);
        const auto picturesBefore = picturesIn(zv::screenshots::folder());
        zv::CatalogueSession session(catalogue);
        session.showCategory(QStringLiteral("Games"));
        importInto(session, file, catalogue, Choice(choice));

        QStringList got;
        ListEntries(OpenCatalogue(catalogue), QStringLiteral("Games"),
                    [&](const QString &name, const QString &text) { got << name + QLatin1Char('=') + text; });
        got.removeAll(QStringLiteral("Same=same"));
        got.sort();
        QCOMPARE(got, games);
        QStringList present;
        for (const auto &[name, bytes] : picturesIn(zv::screenshots::folder()))
            present << name;
        QCOMPARE(present, pictures);
        QCOMPARE(session.count(), games.size() + 1);

        QCOMPARE(session.undo(), QString());
        QCOMPARE(entriesOf(catalogue), before);
        QCOMPARE(picturesIn(zv::screenshots::folder()), picturesBefore);
        QCOMPARE(session.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCatalogueImport)
#include "tst_catalogue_import.moc"

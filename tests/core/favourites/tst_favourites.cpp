#include "TempHome.h"
#include "TestFiles.h"
#include "core/favourites/Favourites.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"

#include <QDir>
#include <QTest>

namespace {

const QString kGames = QStringLiteral("Games");
const QString kOther = QStringLiteral("Other");

struct Fixture
{
    zvtest::TempHome home;
    QString path = home.file(QStringLiteral("Zorvanell.dat"));
    std::unique_ptr<zv::CatalogueSession> session;

    Fixture()
    {
        CreateCatalogue(path);
        for (const char *name : {"Doom", "Quake"})
            AddEntry(OpenCatalogue(path), kGames, QLatin1String(name), QStringLiteral("text"));
        session = std::make_unique<zv::CatalogueSession>(path);
        session->showCategory(kGames);
    }

    // Selects `name` in whichever category holds it.
    void select(const QString &name)
    {
        for (const QString &table : {kGames, kOther}) {
            session->showCategory(table);
            const int row = int(session->names().names().indexOf(name));
            if (row >= 0) {
                session->selectRow(row);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no entry ") + name));
    }
};

// "Games/Doom;Other/Quake"
QString shown(zv::Favourites &favourites)
{
    QStringList list;
    for (const zv::Favourite &favourite : favourites.present())
        list << favourite.table + QLatin1Char('/') + favourite.name;
    return list.join(QLatin1Char(';'));
}

} // namespace

class TestFavourites : public QObject
{
    Q_OBJECT

private slots:
    // Each step is "verb argument": mark, edit (old>new), move (name>table), delete, undo, redo,
    // add (through the session), outside (added by another program, taking the next row id).
    void followsItsEntry_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected");
        const auto steps = [](const char *text) { return QString::fromUtf8(text).split(QLatin1Char(';')); };
        QTest::newRow("renamed") << steps("mark Doom;edit Doom>Doom II") << QStringLiteral("Games/Doom II");
        QTest::newRow("rename undone") << steps("mark Doom;edit Doom>Doom II;undo") << QStringLiteral("Games/Doom");
        QTest::newRow("moved") << steps("mark Doom;move Doom>Other") << QStringLiteral("Other/Doom");
        QTest::newRow("move undone") << steps("mark Doom;move Doom>Other;undo") << QStringLiteral("Games/Doom");
        QTest::newRow("move redone") << steps("mark Doom;move Doom>Other;undo;redo") << QStringLiteral("Other/Doom");
        QTest::newRow("deleted") << steps("mark Doom;delete Doom") << QStringLiteral("");
        QTest::newRow("delete undone") << steps("mark Doom;delete Doom;undo") << QStringLiteral("Games/Doom");
        QTest::newRow("delete redone") << steps("mark Doom;delete Doom;undo;redo") << QStringLiteral("");
        QTest::newRow("unmarked") << steps("mark Doom;mark Quake;mark Doom") << QStringLiteral("Games/Quake");
        // Quake has the highest row id: a new entry takes it once Quake is deleted.
        QTest::newRow("row id taken by a new entry")
            << steps("mark Quake;delete Quake;add Quake II") << QStringLiteral("");
        QTest::newRow("new entry undone, delete undone")
            << steps("mark Quake;delete Quake;add Quake II;undo;undo") << QStringLiteral("Games/Quake");
        QTest::newRow("back under a new row id")
            << steps("mark Quake;delete Quake;outside Quake III;undo") << QStringLiteral("Games/Quake");
        QTest::newRow("back under a new row id, moved on")
            << steps("mark Quake;delete Quake;outside Quake III;undo;move Quake>Other;undo;redo")
            << QStringLiteral("Other/Quake");
    }

    void followsItsEntry()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, expected);
        Fixture f;
        zv::Favourites favourites(*f.session, f.path);
        for (const QString &step : std::as_const(steps)) {
            const QString verb = step.section(QLatin1Char(' '), 0, 0);
            const QString argument = step.section(QLatin1Char(' '), 1);
            const QString first = argument.section(QLatin1Char('>'), 0, 0);
            const QString second = argument.section(QLatin1Char('>'), 1);
            if (verb == QLatin1String("mark")) {
                f.select(argument);
                favourites.toggle(f.session->CurrentTable(), f.session->selectedRowId(), argument);
            } else if (verb == QLatin1String("edit")) {
                f.select(first);
                f.session->editEntry(f.session->selectedRowId(), first, QStringLiteral("text"), second,
                                     QStringLiteral("text"));
            } else if (verb == QLatin1String("move")) {
                f.select(first);
                f.session->moveCurrent(second, first, QStringLiteral("text"));
            } else if (verb == QLatin1String("delete")) {
                f.select(argument);
                f.session->deleteCurrent();
            } else if (verb == QLatin1String("add")) {
                f.session->showCategory(kGames);
                f.session->addEntry(argument, QStringLiteral("text"));
            } else if (verb == QLatin1String("outside")) {
                AddEntry(OpenCatalogue(f.path), kGames, argument, QStringLiteral("text"));
            } else {
                QVERIFY2(verb == QLatin1String("undo") ? f.session->canUndo() : f.session->canRedo(), qPrintable(step));
                QVERIFY(verb == QLatin1String("undo") ? f.session->undo().isEmpty() : f.session->redo().isEmpty());
            }
        }
        QCOMPARE(shown(favourites), expected);
        QVERIFY(favourites.note().isEmpty());
        // What the next start reads is what was shown.
        zv::Favourites again(*f.session, f.path);
        QCOMPARE(shown(again), expected);
    }

    void aDamagedFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not JSON") << QByteArray("\x00\x01 favourites", 13);
        QTest::newRow("another kind") << QByteArray(
            R"({"kind":"x","format":1,"catalogue":"Zorvanell.dat","favourites":[]})");
        QTest::newRow("newer format") << QByteArray(
            R"({"kind":"zorvanell-favourites","format":2,"catalogue":"Zorvanell.dat","favourites":[]})");
        QTest::newRow("another catalogue")
            << QByteArray(R"({"kind":"zorvanell-favourites","format":1,"catalogue":"Other.dat","favourites":[]})");
        QTest::newRow("unknown category")
            << QByteArray(R"({"kind":"zorvanell-favourites","format":1,"catalogue":"Zorvanell.dat",)"
                          R"("favourites":[{"category":"sqlite_master","row":1,"name":"Doom"}]})");
        QTest::newRow("row not whole") << QByteArray(
            R"({"kind":"zorvanell-favourites","format":1,"catalogue":"Zorvanell.dat",)"
            R"("favourites":[{"category":"Games","row":1.5,"name":"Doom"}]})");
        QTest::newRow("a folder in its place") << QByteArray();
    }

    void aDamagedFileIsSetAside()
    {
        QFETCH(QByteArray, bytes);
        Fixture f;
        const QString file = f.path + QStringLiteral(".favourites");
        if (bytes.isEmpty())
            QVERIFY(QDir().mkpath(file + QStringLiteral("/inside")));
        else
            zvtest::writeFile(file, bytes);
        zv::Favourites favourites(*f.session, f.path);
        QVERIFY2(favourites.note().contains(QStringLiteral("отложен")), qPrintable(favourites.note()));
        QVERIFY(favourites.present().empty());
        const QStringList aside =
            QDir(f.home.path()).entryList({QStringLiteral("Zorvanell.dat.favourites.damaged-*")}, QDir::AllEntries);
        QCOMPARE(aside.size(), 1);
        if (!bytes.isEmpty())
            QCOMPARE(zvtest::readFile(f.home.file(aside.constFirst())), bytes);
        // The catalogue goes on, and a new file is started.
        f.select(QStringLiteral("Doom"));
        QVERIFY(favourites.toggle(kGames, f.session->selectedRowId(), QStringLiteral("Doom")));
        QCOMPARE(shown(favourites), QStringLiteral("Games/Doom"));
        QVERIFY(zv::Favourites(*f.session, f.path).note().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFavourites)
#include "tst_favourites.moc"

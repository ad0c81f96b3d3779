#include "TempHome.h"
#include "core/history/HistoryFile.h"
#include "core/history/Journal.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/search/SearchIndex.h"
#include "core/search/SessionIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/NameListModel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>

namespace {

const QString kGames = QStringLiteral("Games");
const QString kOther = QStringLiteral("Other");

// Every text carries this word, so a search for it lists what the index holds.
QString textOf(const QString &what)
{
    return QStringLiteral("пасхалка ") + what;
}

struct Fixture
{
    zvtest::TempHome home;
    QString path = home.file(QStringLiteral("Zorvanell.dat"));
    QString pictures = home.file(QStringLiteral("ScreenShots"));
    std::unique_ptr<zv::CatalogueSession> session;
    zv::search::SearchIndex *index = nullptr;

    Fixture()
    {
        CreateCatalogue(path);
        for (const char *name : {"Doom", "Quake", "Word", "Word 2007"})
            AddEntry(OpenCatalogue(path), kGames, QLatin1String(name), textOf(QLatin1String(name)));
        QDir().mkpath(pictures);
        picture(QStringLiteral("Word.jpg"), "word one");
        picture(QStringLiteral("Word_2.jpg"), "word two");
        picture(QStringLiteral("Word 2007.jpg"), "word 2007");
        open();
    }
    void open()
    {
        session = std::make_unique<zv::CatalogueSession>(path);
        index = zv::search::attachSearchIndex(*session, path);
        session->showCategory(kGames);
    }
    void picture(const QString &name, const QByteArray &bytes) const
    {
        QFile file(pictures + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void select(const QString &name)
    {
        const int row = session->names().names().indexOf(name);
        QVERIFY2(row >= 0, qPrintable(name));
        session->selectRow(row);
        QVERIFY(session->findCurrentRecord());
    }
    // The catalogue, the pictures and the index, as one comparable text.
    QStringList state() const
    {
        QStringList lines;
        const zv::CatalogueConnection db = OpenCatalogue(path);
        for (const QString &table : {kGames, kOther}) {
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db->handle(), qPrintable(QStringLiteral("SELECT rowid, Name, Ref FROM ") + table), -1,
                               &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW)
                lines << QStringLiteral("%1 %2 %3 %4")
                             .arg(table)
                             .arg(sqlite3_column_int64(st, 0))
                             .arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))),
                                  QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 2))));
            sqlite3_finalize(st);
        }
        for (const QString &file : QDir(pictures).entryList(QDir::Files | QDir::Hidden))
            lines << QStringLiteral("picture %1 %2")
                         .arg(file, QString::fromLatin1(readAll(pictures + QLatin1Char('/') + file)));
        index->waitForIdle(30000);
        for (const zv::search::SearchHit &hit : index->search(QStringLiteral("пасхалка"), QString(), 1000).hits)
            lines << QStringLiteral("indexed %1 %2 %3").arg(hit.table).arg(hit.rowId).arg(hit.name);
        lines.sort();
        return lines;
    }
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString storedText(const QString &table, const QString &name) const
    {
        return FindEntry(OpenCatalogue(path), table, name).ref;
    }
};

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of change, undone and redone: the state before and after comes back exactly.
    void eachChangeUndoneAndRedone_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *row : {"add", "edit", "rename", "delete", "move", "update", "picture", "replace picture"})
            QTest::newRow(row) << QString::fromLatin1(row);
    }
    void eachChangeUndoneAndRedone()
    {
        QFETCH(QString, change);
        Fixture f;
        const QString source = f.home.file(QStringLiteral("shot.jpg"));
        QFile shot(source);
        QVERIFY(shot.open(QIODevice::WriteOnly));
        shot.write("new picture");
        shot.close();
        const QStringList before = f.state();
        QSignalSpy recorded(f.session.get(), &zv::CatalogueSession::historyChanged);

        if (change == QLatin1String("add")) {
            f.session->addEntry(QStringLiteral("Arcanum"), textOf(QStringLiteral("arcanum")));
        } else if (change == QLatin1String("edit") || change == QLatin1String("rename")) {
            f.select(QStringLiteral("Word"));
            f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Word"), textOf(QStringLiteral("Word")),
                                 change == QLatin1String("edit") ? QStringLiteral("Word") : QStringLiteral("Excel"),
                                 textOf(QStringLiteral("changed")));
        } else if (change == QLatin1String("delete")) {
            f.select(QStringLiteral("Word"));
            f.session->deleteCurrent();
        } else if (change == QLatin1String("move")) {
            f.select(QStringLiteral("Doom"));
            f.session->moveCurrent(kOther, QStringLiteral("Doom"), textOf(QStringLiteral("Doom")));
        } else if (change == QLatin1String("update")) {
            const QString folder = f.home.file(QStringLiteral("base"));
            QDir().mkpath(folder);
            for (const char *name : {"Heretic", "Hexen", "Doom"}) {
                QFile entry(folder + QLatin1Char('/') + QLatin1String(name));
                QVERIFY(entry.open(QIODevice::WriteOnly));
                entry.write("пасхалка update");
            }
            zv::UpdateBatch batch = f.session->beginUpdateBatch();
            QVERIFY(batch.run(folder, {QStringLiteral("Heretic"), QStringLiteral("Hexen"), QStringLiteral("Doom")}, {},
                              nullptr));
            QCOMPARE(batch.added(), 2);
            f.session->finishUpdateBatch(std::move(batch));
        } else {
            f.select(QStringLiteral("Doom"));
            const QString name =
                change == QLatin1String("picture") ? QStringLiteral("Doom.jpg") : QStringLiteral("Word_2.jpg");
            QCOMPARE(f.session->attachPicture(source, name), QString());
        }
        QVERIFY2(recorded.size() == 1, qPrintable(f.session->historyNote()));
        const QStringList after = f.state();
        QVERIFY(after != before);
        QVERIFY(f.session->canUndo());
        QVERIFY(!f.session->canRedo());

        QCOMPARE(f.session->undo(), QString());
        QCOMPARE(f.state(), before);
        QVERIFY(f.session->canRedo());
        // Redo makes the change again, not another undo.
        QCOMPARE(f.session->redo(), QString());
        QCOMPARE(f.state(), after);
        QCOMPARE(f.session->undo(), QString());
        QCOMPARE(f.state(), before);
    }

    void undoneStepsGoBackInOrderAndAcrossARestart()
    {
        Fixture f;
        const QStringList first = f.state();
        f.session->addEntry(QStringLiteral("A"), textOf(QStringLiteral("a")));
        const QStringList second = f.state();
        f.select(QStringLiteral("Quake"));
        f.session->deleteCurrent();
        const QStringList third = f.state();

        // The program closes and starts again: the history is the file's.
        f.session.reset();
        f.open();
        QVERIFY(f.session->canUndo());
        f.session->undo();
        QCOMPARE(f.state(), second);
        f.session->undo();
        QCOMPARE(f.state(), first);
        QVERIFY(!f.session->canUndo());
        QCOMPARE(f.session->undo(), QString());
        f.session->redo();
        QCOMPARE(f.state(), second);
        // A new change: what was undone can no longer be redone.
        f.session->addEntry(QStringLiteral("B"), textOf(QStringLiteral("b")));
        QVERIFY(!f.session->canRedo());
        QCOMPARE(f.session->historyList().size(), size_t(3));
        QCOMPARE(int(f.session->historyList().at(1).state), int(zv::history::ChangeState::Passed));
        Q_UNUSED(third);
    }

    // A program stopped between the history's commit and the catalogue's: the next opening
    // settles the change by what the catalogue holds. An edit, so both sides must be told apart.
    void aChangeLeftWaitingIsSettled_data()
    {
        QTest::addColumn<bool>("undone");    // the edit was undone before the stop
        QTest::addColumn<bool>("committed"); // the catalogue's commit landed
        QTest::addColumn<int>("waiting");
        QTest::addColumn<int>("settled"); // -1: forgotten
        using S = zv::history::ChangeState;
        QTest::newRow("new, landed") << false << true << int(S::Waiting) << int(S::Done);
        QTest::newRow("new, not landed") << false << false << int(S::Waiting) << -1;
        QTest::newRow("undo, landed") << true << true << int(S::UndoWaiting) << int(S::Undone);
        QTest::newRow("undo, not landed") << false << false << int(S::UndoWaiting) << int(S::Done);
        QTest::newRow("redo, landed") << false << true << int(S::RedoWaiting) << int(S::Done);
        QTest::newRow("redo, not landed") << true << false << int(S::RedoWaiting) << int(S::Undone);
    }
    void aChangeLeftWaitingIsSettled()
    {
        QFETCH(bool, undone);
        QFETCH(bool, committed);
        QFETCH(int, waiting);
        QFETCH(int, settled);
        Fixture f;
        f.select(QStringLiteral("Doom"));
        f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Doom"), textOf(QStringLiteral("Doom")),
                             QStringLiteral("Doom"), textOf(QStringLiteral("mine")));
        if (undone)
            f.session->undo();
        f.session.reset();
        {
            // The new change's, or the step's, catalogue commit that did not land.
            const zv::CatalogueConnection db = OpenCatalogue(f.path);
            if (!committed && waiting == int(zv::history::ChangeState::Waiting)) {
                zv::FindResult doom = FindEntry(db, kGames, QStringLiteral("Doom"));
                UpdateEntry(doom, QStringLiteral("Doom"), textOf(QStringLiteral("Doom")));
            }
            zv::history::attachCheckedHistory(db->handle(), f.path);
            QCOMPARE(sqlite3_exec(db->handle(),
                                  qPrintable(QStringLiteral("UPDATE history.changes SET state = %1").arg(waiting)),
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
        }
        const QString text = f.storedText(kGames, QStringLiteral("Doom"));
        f.open();
        const auto changes = f.session->historyList();
        QCOMPARE(changes.empty() ? -1 : int(changes.front().state), settled);
        // The one settled is undone or made again as any other.
        if (settled == int(zv::history::ChangeState::Done)) {
            f.session->undo();
            QCOMPARE(f.storedText(kGames, QStringLiteral("Doom")), textOf(QStringLiteral("Doom")));
        } else if (settled == int(zv::history::ChangeState::Undone)) {
            f.session->redo();
            QCOMPARE(f.storedText(kGames, QStringLiteral("Doom")), textOf(QStringLiteral("mine")));
        } else {
            QCOMPARE(text, textOf(QStringLiteral("Doom")));
            QVERIFY(!f.session->canUndo());
        }
    }

    // Another program changed the entry since: the undo says so and changes nothing.
    void undoRefusedOverAChangeMadeElsewhere_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("text") << "UPDATE Games SET Ref = 'theirs' WHERE Name = 'Doom'";
        QTest::newRow("name") << "UPDATE Games SET Name = 'DOOM' WHERE Name = 'Doom'";
        QTest::newRow("deleted") << "DELETE FROM Games WHERE Name = 'Doom'";
    }
    void undoRefusedOverAChangeMadeElsewhere()
    {
        QFETCH(QString, sql);
        Fixture f;
        f.select(QStringLiteral("Doom"));
        f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Doom"), textOf(QStringLiteral("Doom")),
                             QStringLiteral("Doom"), textOf(QStringLiteral("mine")));
        const zv::CatalogueConnection other = OpenCatalogue(f.path);
        QCOMPARE(sqlite3_exec(other->handle(), sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        const QStringList before = f.state();
        QVERIFY_THROWS_EXCEPTION(zv::history::ChangedSince, f.session->undo());
        QCOMPARE(f.state(), before);
        QVERIFY(f.session->canUndo());
    }

    void picturesFollowTheirEntry()
    {
        Fixture f;
        // Renamed: its own pictures take the new name; those of "Word 2007" stay.
        f.select(QStringLiteral("Word"));
        f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Word"), textOf(QStringLiteral("Word")),
                             QStringLiteral("Excel"), textOf(QStringLiteral("Word")));
        QCOMPARE(
            QDir(f.pictures).entryList(QDir::Files),
            (QStringList{QStringLiteral("Excel.jpg"), QStringLiteral("Excel_2.jpg"), QStringLiteral("Word 2007.jpg")}));
        // Deleted: they go with it, and come back with the restore.
        f.select(QStringLiteral("Excel"));
        f.session->deleteCurrent();
        QCOMPARE(QDir(f.pictures).entryList(QDir::Files), QStringList{QStringLiteral("Word 2007.jpg")});
        const auto deleted = f.session->historyList(true);
        QCOMPARE(deleted.size(), size_t(1));
        QVERIFY(zv::CatalogueSession::canRestore(deleted.front()));
        QCOMPARE(f.session->restoreFromHistory(deleted.front().id), QString());
        QCOMPARE(f.storedText(kGames, QStringLiteral("Excel")), textOf(QStringLiteral("Word")));
        QCOMPARE(Fixture::readAll(f.pictures + QStringLiteral("/Excel_2.jpg")), QByteArray("word two"));
        QCOMPARE(f.session->CurrentEntry(), QStringLiteral("Excel"));
        // A second restore would double the entry.
        QVERIFY_THROWS_EXCEPTION(zv::CatalogueError, f.session->restoreFromHistory(deleted.front().id));
        // The restore is a change of its own: undone, the entry and its pictures go again.
        f.session->undo();
        QVERIFY(!FindEntry(OpenCatalogue(f.path), kGames, QStringLiteral("Excel")).found());
        QCOMPARE(QDir(f.pictures).entryList(QDir::Files), QStringList{QStringLiteral("Word 2007.jpg")});
        // Undoing the delete and the rename brings "Word" back with its own pictures.
        f.session->undo();
        f.session->undo();
        QCOMPARE(
            QDir(f.pictures).entryList(QDir::Files),
            (QStringList{QStringLiteral("Word 2007.jpg"), QStringLiteral("Word.jpg"), QStringLiteral("Word_2.jpg")}));
    }

    void anEarlierTextIsRestored()
    {
        Fixture f;
        f.select(QStringLiteral("Quake"));
        f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Quake"), textOf(QStringLiteral("Quake")),
                             QStringLiteral("Quake"), textOf(QStringLiteral("second")));
        const qint64 edit = f.session->historyList().front().id;
        f.select(QStringLiteral("Quake"));
        f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Quake"), textOf(QStringLiteral("second")),
                             QStringLiteral("Quake"), textOf(QStringLiteral("third")));
        f.session->restoreFromHistory(edit);
        QCOMPARE(f.storedText(kGames, QStringLiteral("Quake")), textOf(QStringLiteral("Quake")));
        f.session->undo();
        QCOMPARE(f.storedText(kGames, QStringLiteral("Quake")), textOf(QStringLiteral("third")));
    }

    // A catalogue file put in place of the open one (a backup restored): the list and the
    // full-text index follow it.
    void aReplacedCatalogueIsTakenIn()
    {
        Fixture f;
        const QString other = f.home.file(QStringLiteral("other.dat"));
        CreateCatalogue(other);
        AddEntry(OpenCatalogue(other), kGames, QStringLiteral("Arcanum"), textOf(QStringLiteral("arcanum")));
        f.index->waitForIdle(30000);
        QCOMPARE(f.session->replaceCatalogue([&] {
            QFile::remove(f.path);
            return QFile::copy(other, f.path) ? QString() : QStringLiteral("copy failed");
        }),
                 QString());
        QCOMPARE(f.session->names().names(), QStringList{QStringLiteral("Arcanum")});
        auto indexed = [&] {
            QStringList names;
            for (const zv::search::SearchHit &hit : f.index->search(QStringLiteral("пасхалка"), QString(), 100).hits)
                names << hit.name;
            return names;
        };
        // Searched once the index is idle: a search meeting a commit asks to be repeated.
        QTRY_VERIFY_WITH_TIMEOUT(f.index->waitForIdle(100) && indexed() == QStringList{QStringLiteral("Arcanum")},
                                 30000);
    }

    // Past its size, the history loses its oldest changes, but never the newest ones kept by
    // count nor those younger than the days kept.
    void pruningKeepsTheNewestAndTheRecent()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(path);
        const zv::CatalogueConnection db = OpenCatalogue(path);
        zv::history::attachHistory(db->handle(), path);
        zv::history::Journal journal(db->handle());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < 30; ++i) {
            zv::history::Change change;
            change.table = kGames;
            change.name = QString::number(i);
            change.records.push_back({kGames, {}, zv::history::sideOf(i + 1, change.name, QString(), false)});
            journal.append(change);
            // Changes 0 to 19 are a year old, the rest from today.
            const qint64 at = (i < 20 ? now.addDays(-365) : now).toMSecsSinceEpoch();
            QCOMPARE(sqlite3_exec(
                         db->handle(),
                         qPrintable(
                             QStringLiteral("UPDATE history.changes SET at = %1 WHERE id = %2").arg(at).arg(change.id)),
                         nullptr, nullptr, nullptr),
                     SQLITE_OK);
        }
        // Under its size nothing goes.
        QVERIFY(journal.prune(1LL << 40, 0, 5, 90, now).empty());
        // Over it: the old ones go, oldest first, down to the newest 15 by count.
        QCOMPARE(journal.prune(0, 0, 15, 90, now).size(), size_t(15));
        QStringList left;
        for (const auto &change : journal.list())
            left.prepend(change.name);
        QCOMPARE(left.constFirst(), QStringLiteral("15"));
        QCOMPARE(left.size(), 15);
        // The recent ones stay whatever the count says.
        QCOMPARE(journal.prune(0, 0, 1, 90, now).size(), size_t(5));
        QCOMPARE(journal.list().size(), size_t(10));
    }

    void aDamagedHistoryIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage") << QByteArray(5000, 'x');
        QTest::newRow("another SQLite file") << QByteArray("sqlite");
    }
    void aDamagedHistoryIsSetAside()
    {
        QFETCH(QByteArray, content);
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(path);
        const QString history = zv::history::historyPath(path);
        if (content == "sqlite") {
            sqlite3 *db = nullptr;
            sqlite3_open(history.toUtf8().constData(), &db);
            sqlite3_exec(db, "CREATE TABLE notes (x)", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        } else {
            QFile file(history);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        zv::CatalogueSession session(path);
        session.showCategory(kGames);
        session.addEntry(QStringLiteral("Doom"), QStringLiteral("x"));
        QVERIFY2(session.historyOn(), qPrintable(session.historyNote()));
        QVERIFY(session.historyNote().contains(QStringLiteral("отложен")));
        QCOMPARE(QDir(home.path()).entryList({QStringLiteral("Zorvanell.dat.history.damaged-*")}).size(), 1);
        QVERIFY(session.canUndo());
        session.undo();
        QCOMPARE(ListNames(OpenCatalogue(path), kGames), QStringList());
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"

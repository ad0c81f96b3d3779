// A catalogue update and a series of moves, each killed with SIGKILL at 20 random moments: the
// catalogue must open afterwards, pass SQLite's integrity check, hold all or none of the update's
// entries, and hold every moved entry exactly once with its text. The full-text index, killed
// while it is built and while it follows edits, must give the catalogue's answers at the next start.
#include "TempHome.h"
#include "core/TextCodec.h"
#include "core/history/Change.h"
#include "core/history/HistoryFile.h"
#include "core/search/SearchIndex.h"
#include "core/store/CatalogueStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <sqlite3.h>

namespace {

constexpr int kKills = 20;
constexpr int kUpdateEntries = 2000;
constexpr int kOldEntries = 50;
constexpr int kMovedEntries = 200;
constexpr int kMoves = 150;
constexpr int kIndexKills = 10;
constexpr int kIndexedEntries = 3000;
constexpr int kEditedEntries = 300;
constexpr int kIndexEdits = 40;
constexpr int kMarkers = 10;
constexpr int kHistoryEntries = 100;
constexpr int kHistoryChanges = 60;

struct Outcome
{
    bool killed = false;   // the kill came before the worker had finished
    bool finished = false; // the worker did all its work and ended normally
    qint64 workMs = 0;     // from "ready" to the end (or the kill)
    int writes = 0;        // its writes to the catalogue file, when it finished
};

// Starts the worker; with `killAfterMs` >= 0 it gets SIGKILL that long after it said "ready",
// with `dieAfterWrites` > 0 it ends itself right after that write to the catalogue file.
Outcome runWorker(const QStringList &arguments, qint64 killAfterMs, int dieAfterWrites = 0)
{
    Outcome outcome;
    QProcess worker;
    worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (dieAfterWrites > 0)
        environment.insert(QStringLiteral("ZV_DIE_AFTER_WRITES"), QString::number(dieAfterWrites));
    worker.setProcessEnvironment(environment);
    worker.start(QStringLiteral(ZV_CRASH_WORKER), arguments);
    if (!worker.waitForStarted())
        qFatal("crash_worker did not start");
    QByteArray said;
    while (!said.contains('\n')) {
        if (!worker.waitForReadyRead(60000))
            break; // it may die before it is ready
        said += worker.readAllStandardOutput();
    }
    QElapsedTimer clock;
    clock.start();
    // A worker that has ended already has no pid left to kill: kill(0) would end this test's own group.
    if (killAfterMs >= 0 && !worker.waitForFinished(int(killAfterMs)) && worker.processId() > 0) {
        ::kill(pid_t(worker.processId()), SIGKILL);
        outcome.killed = true;
    }
    worker.waitForFinished(120000);
    outcome.workMs = clock.elapsed();
    said += worker.readAllStandardOutput();
    const QByteArray last = said.trimmed().split('\n').constLast();
    outcome.finished = !outcome.killed && worker.exitStatus() == QProcess::NormalExit && worker.exitCode() == 0 &&
                       last.startsWith("done writes=");
    if (outcome.finished)
        outcome.writes = last.mid(int(qstrlen("done writes="))).toInt();
    return outcome;
}

// One text column of a query, through the program's own connection.
QStringList column(const QString &path, const char *sql)
{
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    sqlite3_stmt *statement = nullptr;
    QStringList values;
    if (sqlite3_prepare_v2(catalogue->handle(), sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            values << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    } else {
        values << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(catalogue->handle()));
    }
    sqlite3_finalize(statement);
    return values;
}

// The state the program finds at its next start: its own open must succeed (a journal left by
// the killed worker is rolled back then), and SQLite must find the file sound.
void checkSound(const QString &path)
{
    try {
        const zv::CatalogueConnection catalogue = OpenCatalogue(path);
        ListNames(catalogue, QStringLiteral("Games"));
    } catch (const zv::CatalogueError &error) {
        QFAIL(qPrintable(QStringLiteral("the program cannot open the catalogue: ") + error.message()));
    }
    QCOMPARE(column(path, "PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
}

QString movedText(int i)
{
    return QStringLiteral("Описание %1\r\nвторая строка, «кавычки» и 'апостроф'").arg(i);
}

QString movedName(int i)
{
    return QStringLiteral("Запись %1").arg(i, 3, 10, QLatin1Char('0'));
}

// The state the next start finds: the index, once it has looked at the catalogue, finds for every
// marker word (see crash_worker's markedText) exactly the entries whose text holds it.
void checkIndexMatches(const QString &path)
{
    zv::search::SearchIndex index(path);
    QVERIFY(index.waitForIdle(120000));
    QCOMPARE(index.state(), zv::search::SearchIndex::State::Ready);
    QList<QStringList> expected(kMarkers);
    ListEntries(OpenCatalogue(path), QStringLiteral("Games"), [&](const QString &name, const QString &text) {
        const qsizetype at = text.indexOf(QStringLiteral("метка"));
        if (at >= 0)
            expected[text.mid(at + 5, 1).toInt()] << name;
    });
    for (int k = 0; k < kMarkers; ++k) {
        const zv::search::SearchResults results = index.search(QStringLiteral("метка%1").arg(k), QString(), 100000);
        QStringList found;
        for (const auto &hit : results.hits)
            found << hit.name;
        found.sort();
        expected[k].sort();
        QCOMPARE(found, expected[k]);
    }
}

QString indexedCatalogue(const zvtest::TempHome &home, int entries)
{
    const QString path = home.file(QStringLiteral("Zorvanell.dat"));
    CreateCatalogue(path);
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    zv::Catalogue::Transaction transaction(*catalogue);
    for (int i = 0; i < entries; ++i)
        AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("Запись %1").arg(i),
                 QStringLiteral("Текст с меткой метка%1 и словами: секрет, уровень, код %2.").arg(i % kMarkers).arg(i));
    transaction.commit();
    return path;
}

} // namespace

// A catalogue with entries of its own, the downloaded files of an update of 2,000 entries, and
// the catalogue as it was before the update.
struct UpdateSetup
{
    zvtest::TempHome home;
    const QString pristine = home.file(QStringLiteral("pristine.dat"));
    const QString path = home.file(QStringLiteral("Zorvanell.dat"));
    const QString folder = home.file(QStringLiteral("tmp/base"));
    const QStringList arguments{QStringLiteral("update"), path, QStringLiteral("Games"), folder};

    UpdateSetup()
    {
        CreateCatalogue(pristine);
        const zv::CatalogueConnection catalogue = OpenCatalogue(pristine);
        for (int i = 0; i < kOldEntries; ++i)
            AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("Old %1").arg(i), QStringLiteral("old"));
        QDir().mkpath(folder);
        for (int i = 0; i < kUpdateEntries; ++i) {
            QFile file(folder + QStringLiteral("/Новая %1").arg(i, 4, 10, QLatin1Char('0')));
            if (file.open(QIODevice::WriteOnly))
                file.write(zv::toCp1251(QStringLiteral("Текст записи %1\r\n").arg(i).repeated(8)));
        }
    }

    void reset() const
    {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        QVERIFY(QFile::copy(pristine, path));
    }

    // The catalogue opens and is sound, its own entries are untouched, and it holds none or all
    // of the update's entries; `added` says which.
    void check(int *added) const
    {
        checkSound(path);
        if (QTest::currentTestFailed())
            return;
        const QString count = column(path, "SELECT count(*) FROM Games WHERE Name LIKE 'Новая %'").value(0);
        QVERIFY2(count == QLatin1String("0") || count == QString::number(kUpdateEntries),
                 qPrintable(count + QStringLiteral(" of the update's entries")));
        *added = count.toInt();
        QCOMPARE(column(path, "SELECT count(*) FROM Games WHERE Name LIKE 'Old %' AND Ref = 'old'"),
                 QStringList{QString::number(kOldEntries)});
    }
};

// Every record of Programs and Other: "table|rowid" to "name|hash of the text".
QMap<QString, QString> catalogueRows(const QString &path)
{
    QMap<QString, QString> rows;
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    for (const char *table : {"Programs", "Other"}) {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QByteArray("SELECT rowid, Name, Ref FROM ") + table;
        sqlite3_prepare_v2(catalogue->handle(), sql.constData(), -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const QString text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 2)));
            rows.insert(QStringLiteral("%1|%2").arg(QLatin1String(table)).arg(sqlite3_column_int64(st, 0)),
                        QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))) +
                            QLatin1Char('|') + QString::number(zv::history::textHash(text)));
        }
        sqlite3_finalize(st);
    }
    return rows;
}

// The history file must be sound, and the catalogue must be exactly the first state with every
// change the history holds as done applied in order: nothing done is missing, nothing shown is
// unrecorded.
void checkHistoryAgrees(const QString &path, QMap<QString, QString> expected)
{
    // Opened as the program opens it at its next start: a journal the kill left is rolled back then.
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    sqlite3 *db = catalogue->handle();
    QCOMPARE(zv::history::attachHistory(db, path).setAsideAs, QString());
    sqlite3_stmt *st = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "PRAGMA history.integrity_check", -1, &st, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(st), SQLITE_ROW);
    QCOMPARE(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))), QStringLiteral("ok"));
    sqlite3_finalize(st);
    QCOMPARE(sqlite3_prepare_v2(db,
                                "SELECT r.category, r.before_row, r.after_row, r.after_name, r.after_hash "
                                "FROM history.changes c JOIN history.records r ON r.change = c.id "
                                "WHERE c.state = 0 ORDER BY c.id, r.id",
                                -1, &st, nullptr),
             SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString table = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        if (sqlite3_column_type(st, 1) != SQLITE_NULL)
            expected.remove(QStringLiteral("%1|%2").arg(table).arg(sqlite3_column_int64(st, 1)));
        if (sqlite3_column_type(st, 2) != SQLITE_NULL)
            expected.insert(QStringLiteral("%1|%2").arg(table).arg(sqlite3_column_int64(st, 2)),
                            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 3))) +
                                QLatin1Char('|') + QString::number(sqlite3_column_int64(st, 4)));
    }
    sqlite3_finalize(st);
    QCOMPARE(catalogueRows(path), expected);
}

class TestCrash : public QObject
{
    Q_OBJECT

    quint32 m_seed = 0;
    QRandomGenerator m_random;

private slots:
    void initTestCase()
    {
        bool fixed = false;
        m_seed = qEnvironmentVariableIntValue("ZV_CRASH_SEED", &fixed);
        if (!fixed)
            m_seed = QRandomGenerator::system()->generate();
        m_random.seed(m_seed);
        qInfo("crash test seed %u (ZV_CRASH_SEED=%u repeats this run)", m_seed, m_seed);
    }

    void catalogueSyncsEveryCommit()
    {
        // Rollback journal, synced at every commit and once more after the journal is gone: a
        // committed change survives even a power cut right after it.
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(path);
        const zv::CatalogueConnection catalogue = OpenCatalogue(path);
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(catalogue->handle(), "PRAGMA synchronous", -1, &statement, nullptr);
        QCOMPARE(sqlite3_step(statement), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(statement, 0), 3); // EXTRA
        sqlite3_finalize(statement);
        QCOMPARE(column(path, "PRAGMA journal_mode"), QStringList{QStringLiteral("delete")});
    }

    void catalogueLeftInTheMiddleOfAChangeOpens()
    {
        // What a program killed in the middle of a big change leaves behind: the file with part of
        // the change already written (SQLite writes pages early when its cache fills) and the
        // journal that undoes it. The program must open it, and SQLite rolls the change back.
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        const QString left = home.file(QStringLiteral("left/Zorvanell.dat"));
        QDir().mkpath(home.file(QStringLiteral("left")));
        CreateCatalogue(path);
        const zv::CatalogueConnection catalogue = OpenCatalogue(path);
        QStringList before;
        {
            zv::Catalogue::Transaction transaction(*catalogue);
            for (int i = 0; i < 300; ++i) {
                before << QStringLiteral("Old %1").arg(i);
                AddEntry(catalogue, QStringLiteral("Games"), before.constLast(), QString(400, QLatin1Char('o')));
            }
            transaction.commit();
        }
        sqlite3 *handle = catalogue->handle();
        QCOMPARE(sqlite3_exec(handle, "PRAGMA cache_size = 8", nullptr, nullptr, nullptr), SQLITE_OK);
        {
            zv::Catalogue::Transaction transaction(*catalogue);
            // Freed pages touch the file's first page; the new rows make the file grow.
            QCOMPARE(sqlite3_exec(handle, "DELETE FROM Games WHERE rowid % 2 = 0", nullptr, nullptr, nullptr),
                     SQLITE_OK);
            for (int i = 0; i < 3000; ++i)
                AddEntry(catalogue, QStringLiteral("Games"), QStringLiteral("New %1").arg(i),
                         QString(300, QLatin1Char('n')));
            QVERIFY(QFile::exists(path + QStringLiteral("-journal")));
            QVERIFY(QFile::copy(path, left));
            QVERIFY(QFile::copy(path + QStringLiteral("-journal"), left + QStringLiteral("-journal")));
        }
        checkSound(left);
        QCOMPARE(ListNames(OpenCatalogue(left), QStringLiteral("Games")), before);
        QVERIFY(!QFile::exists(left + QStringLiteral("-journal")));
    }

    void updateLandsWholeOrNotAtAll()
    {
        UpdateSetup update;
        // One whole run shows how long the work takes and that it all lands.
        update.reset();
        const Outcome whole = runWorker(update.arguments, -1);
        QVERIFY(whole.finished);
        int added = 0;
        update.check(&added);
        QCOMPARE(added, kUpdateEntries);

        int killedDuring = 0, none = 0, all = 0;
        for (int round = 0; round < kKills; ++round) {
            update.reset();
            const qint64 at = m_random.bounded(qint64(whole.workMs) + 1);
            const Outcome run = runWorker(update.arguments, at);
            killedDuring += run.killed;
            update.check(&added);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("after the kill %1 ms into round %2").arg(at).arg(round)));
            (added == 0 ? none : all) += 1;
        }
        qInfo("update of %d entries, whole run %lld ms: %d kills, %d during the work; %d left none, %d all",
              kUpdateEntries, whole.workMs, kKills, killedDuring, none, all);
        QVERIFY2(killedDuring > 0, "no kill came while the update was running");
    }

    void updateSurvivesAnEndBetweenAnyTwoWrites()
    {
        UpdateSetup update;
        update.reset();
        const Outcome whole = runWorker(update.arguments, -1);
        QVERIFY(whole.finished);
        QVERIFY(whole.writes > 3);
        // The first writes of the commit put the file's first page, which counts the file's pages,
        // before the pages it counts; then points spread over the rest, the last write included.
        QList<int> points{1, 2, 3};
        for (int k = 1; k <= kKills - 3; ++k)
            points << 3 + k * (whole.writes - 3) / (kKills - 3);
        int none = 0, all = 0;
        for (int point : std::as_const(points)) {
            update.reset();
            const Outcome run = runWorker(update.arguments, -1, point);
            QVERIFY(!run.finished);
            int added = 0;
            update.check(&added);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("after the end at write %1 of %2").arg(point).arg(whole.writes)));
            (added == 0 ? none : all) += 1;
        }
        qInfo("update of %d entries, %d writes to the catalogue file: ended after %lld of them; %d left none, %d all",
              kUpdateEntries, whole.writes, qint64(points.size()), none, all);
    }

    void movesNeverLoseNorDoubleAnEntry()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(path);
        {
            const zv::CatalogueConnection catalogue = OpenCatalogue(path);
            zv::Catalogue::Transaction transaction(*catalogue);
            for (int i = 0; i < kMovedEntries; ++i)
                AddEntry(catalogue, QStringLiteral("Programs"), movedName(i), movedText(i));
            transaction.commit();
        }
        // Every name with its text, once, whichever category it is in now.
        QStringList expected;
        for (int i = 0; i < kMovedEntries; ++i)
            expected << movedName(i) + QLatin1Char('|') + movedText(i);
        expected.sort();
        const QByteArray everything = "SELECT Name || '|' || Ref FROM (SELECT Name, Ref FROM Games UNION ALL "
                                      "SELECT Name, Ref FROM MobileGames UNION ALL SELECT Name, Ref FROM MobilePhones "
                                      "UNION ALL SELECT Name, Ref FROM OS UNION ALL SELECT Name, Ref FROM Programs "
                                      "UNION ALL SELECT Name, Ref FROM Tech UNION ALL SELECT Name, Ref FROM WebSites "
                                      "UNION ALL SELECT Name, Ref FROM Movie UNION ALL SELECT Name, Ref FROM Other) "
                                      "ORDER BY 1";
        auto entries = [&] {
            QStringList found = column(path, everything.constData());
            found.sort();
            return found;
        };

        const Outcome whole =
            runWorker({QStringLiteral("moves"), path, QString::number(m_seed), QString::number(kMoves)}, -1);
        QVERIFY(whole.finished);
        QCOMPARE(entries(), expected);

        // The killed runs would go on moving for much longer, so every kill lands among the moves.
        for (int round = 0; round < kKills; ++round) {
            const qint64 at = m_random.bounded(qint64(whole.workMs) + 1);
            const Outcome run = runWorker(
                {QStringLiteral("moves"), path, QString::number(m_seed + 1 + round), QStringLiteral("1000000")}, at);
            QVERIFY(run.killed);
            checkSound(path);
            QCOMPARE(entries(), expected);
        }
        qInfo("%d moves took %lld ms; %d kills among the moves, every entry once with its text after each", kMoves,
              whole.workMs, kKills);
    }

    void historyAndCatalogueAgreeAfterAnyKill()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(path);
        {
            const zv::CatalogueConnection catalogue = OpenCatalogue(path);
            zv::Catalogue::Transaction transaction(*catalogue);
            for (int i = 0; i < kHistoryEntries; ++i)
                AddEntry(catalogue, QStringLiteral("Programs"), movedName(i), movedText(i));
            transaction.commit();
        }
        const QMap<QString, QString> first = catalogueRows(path);
        auto arguments = [&](quint32 seed, int count) {
            return QStringList{QStringLiteral("history"), path, QString::number(seed), QString::number(count)};
        };
        const Outcome whole = runWorker(arguments(m_seed, kHistoryChanges), -1);
        QVERIFY(whole.finished);
        checkHistoryAgrees(path, first);
        // Half the kills at a random moment, half right after a chosen write to either file.
        for (int round = 0; round < kKills; ++round) {
            const bool timed = round % 2 == 0;
            const qint64 at = m_random.bounded(qint64(whole.workMs) + 1);
            const int write = 1 + int(m_random.bounded(quint32(qMax(1, whole.writes))));
            if (timed)
                runWorker(arguments(m_seed + 1 + round, 1000000), at);
            else
                runWorker(arguments(m_seed + 1 + round, kHistoryChanges), -1, write);
            checkSound(path);
            checkHistoryAgrees(path, first);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(timed ? QStringLiteral("after the kill %1 ms into round %2").arg(at).arg(round)
                                       : QStringLiteral("after write %1 in round %2").arg(write).arg(round)));
        }
        qInfo("%d changes, undos and redos took %lld ms (%d writes); %d kills among them", kHistoryChanges,
              whole.workMs, whole.writes, kKills);
    }

    void indexBuildKilledAnywhere()
    {
        zvtest::TempHome home;
        const QString path = indexedCatalogue(home, kIndexedEntries);
        const Outcome whole = runWorker({QStringLiteral("index"), path}, -1);
        QVERIFY(whole.finished);
        checkIndexMatches(path);
        int killedDuring = 0;
        for (int round = 0; round < kIndexKills; ++round) {
            // Every other build starts from nothing; the others go on from what the last kill left.
            if (round % 2 == 0)
                QVERIFY(QDir(zv::search::SearchIndex::indexPathFor(path)).removeRecursively());
            const qint64 at = m_random.bounded(qint64(whole.workMs) + 1);
            killedDuring += runWorker({QStringLiteral("index"), path}, at).killed;
            checkIndexMatches(path);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("after the kill %1 ms into round %2").arg(at).arg(round)));
        }
        qInfo("index of %d entries built in %lld ms: %d kills, %d during the build", kIndexedEntries, whole.workMs,
              kIndexKills, killedDuring);
        QVERIFY2(killedDuring > 0, "no kill came while the index was built");
    }

    void indexFollowingEditsKilledAnywhere()
    {
        zvtest::TempHome home;
        const QString path = indexedCatalogue(home, kEditedEntries);
        const Outcome whole =
            runWorker({QStringLiteral("index-edits"), path, QString::number(m_seed), QString::number(kIndexEdits)}, -1);
        QVERIFY(whole.finished);
        checkIndexMatches(path);
        for (int round = 0; round < kIndexKills; ++round) {
            const qint64 at = m_random.bounded(qint64(whole.workMs) + 1);
            const Outcome run = runWorker(
                {QStringLiteral("index-edits"), path, QString::number(m_seed + 1 + round), QStringLiteral("1000000")},
                at);
            QVERIFY(run.killed);
            checkIndexMatches(path);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("after the kill %1 ms into round %2").arg(at).arg(round)));
        }
        qInfo("%d edits with the index took %lld ms; %d kills among them", kIndexEdits, whole.workMs, kIndexKills);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"

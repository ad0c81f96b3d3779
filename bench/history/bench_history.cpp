// What the history of changes costs, each figure against the same work with the history off,
// measured in the same run:
// - an add, an edit, a delete and a move through the catalogue session, in a category of 1,000
//   and of 1,000,000 entries (goal: at most 1.2 x);
// - a 10,000-entry update into a category of 1,000,000 (goal: at most 1.2 x), and undoing it
//   (goal: at most 1 x the update's own time), with the longest stall of the event loop while it runs;
// - the history's size for that update against the entries' text (goal: at most 1.2 x).
// Usage: bench_history [--quick]   (--quick: small sizes, once, so that it is known to run)
#include "TempHome.h"
#include "core/history/HistoryFile.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

bool g_quick = false;
const QString kTable = QStringLiteral("Games");

QString entryName(int i)
{
    return QStringLiteral("Пасхалка №%1 (игра)").arg(i, 7, 10, QLatin1Char('0'));
}

QString entryText(int i)
{
    return QStringLiteral("Запустите игру, в главном меню наберите IDDQD и нажмите Enter. Номер %1.\r\n")
        .arg(i)
        .repeated(3);
}

// A catalogue whose Games hold `count` entries, written straight through SQLite.
void fill(const QString &path, int count)
{
    CreateCatalogue(path);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Games (Name, Ref) VALUES (?1, ?2)", -1, &insert, nullptr);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = entryName(i).toUtf8();
        const QByteArray text = entryText(i).toUtf8();
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The catalogues just written go to the disk before anything is timed: their writeback would
// otherwise weigh on whichever session happens to sync while it runs.
void settleDisk()
{
    ::sync();
}

struct OpTimes
{
    double add = 0, edit = 0, remove = 0, move = 0; // ms per operation
};

double median(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The same changes through a session with the history off and one with it on, a round of each in
// turn (which goes first alternating), so that whatever else the machine does weighs on both alike.
std::pair<OpTimes, OpTimes> operations(const QString &without, const QString &with)
{
    const int rounds = g_quick ? 3 : 25;
    zv::CatalogueSession off(without);
    zv::CatalogueSession on(with);
    off.setRecordingHistory(false);
    on.setRecordingHistory(true);
    for (zv::CatalogueSession *session : {&off, &on})
        session->showCategory(kTable);
    auto timed = [&](auto work) {
        std::vector<double> offMs, onMs;
        for (int i = 0; i < rounds; ++i) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool history = (turn + i) % 2 == 1;
                QElapsedTimer clock;
                clock.start();
                work(history ? on : off, history, i);
                (history ? onMs : offMs).push_back(clock.nsecsElapsed() / 1e6);
            }
        }
        return std::make_pair(median(offMs), median(onMs));
    };
    auto selected = [](zv::CatalogueSession &session, int row) {
        session.selectRow(row % session.count());
        session.findCurrentRecord();
        return session.CurrentRecord();
    };
    OpTimes a, b;
    std::tie(a.add, b.add) = timed([](zv::CatalogueSession &session, bool history, int i) {
        session.addEntry(QStringLiteral("Новая %1 %2").arg(history).arg(i), entryText(i));
    });
    std::tie(a.edit, b.edit) = timed([&](zv::CatalogueSession &session, bool, int i) {
        const zv::FindResult record = selected(session, i * 7);
        session.editEntry(record.rowId, record.name, record.ref, record.name, entryText(i + 1));
    });
    std::tie(a.remove, b.remove) = timed([&](zv::CatalogueSession &session, bool, int i) {
        selected(session, i * 11);
        session.deleteCurrent();
    });
    std::tie(a.move, b.move) = timed([&](zv::CatalogueSession &session, bool, int i) {
        const zv::FindResult record = selected(session, i * 13);
        session.moveCurrent(QStringLiteral("Other"), record.name, record.ref);
    });
    return {a, b};
}

struct UpdateTimes
{
    qint64 updateMs = 0;
    qint64 undoMs = 0;
    qint64 undoStallMs = 0;
    qint64 historyBytes = 0;
    qint64 textBytes = 0;
};

// The history's size as SQLite counts it: what the WAL file holds is in it, as after a checkpoint.
qint64 historySize(const QString &cataloguePath)
{
    sqlite3 *db = nullptr;
    qint64 pages = 0, pageSize = 0;
    if (sqlite3_open_v2(QFile::encodeName(zv::history::historyPath(cataloguePath)).constData(), &db,
                        SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        for (auto [pragma, value] :
             {std::pair{"PRAGMA page_count", &pages}, std::pair{"PRAGMA page_size", &pageSize}}) {
            sqlite3_stmt *statement = nullptr;
            sqlite3_prepare_v2(db, pragma, -1, &statement, nullptr);
            if (sqlite3_step(statement) == SQLITE_ROW)
                *value = sqlite3_column_int64(statement, 0);
            sqlite3_finalize(statement);
        }
    }
    sqlite3_close(db);
    return pages * pageSize;
}

UpdateTimes update(const QString &path, const QString &folder, const QStringList &files, bool history)
{
    zv::CatalogueSession session(path);
    session.setRecordingHistory(history);
    session.showCategory(kTable);
    UpdateTimes t;
    const qint64 historyBefore = historySize(path);
    QElapsedTimer clock;
    clock.start();
    zv::UpdateBatch batch = session.beginUpdateBatch();
    batch.run(folder, files, {}, nullptr);
    session.finishUpdateBatch(std::move(batch));
    t.updateMs = clock.elapsed();
    t.historyBytes = historySize(path) - historyBefore;
    if (history) {
        // As the window starts it: the event loop runs meanwhile, and its longest pause is the stall.
        QEventLoop loop;
        QObject::connect(&session, &zv::CatalogueSession::historyStepFinished, &loop, &QEventLoop::quit);
        QElapsedTimer tick;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [&] { t.undoStallMs = std::max(t.undoStallMs, tick.restart()); });
        clock.restart();
        tick.start();
        ticker.start();
        session.startHistoryStep(zv::history::Direction::Undo);
        if (session.historyStepRunning())
            loop.exec();
        t.undoStallMs = std::max(t.undoStallMs, tick.elapsed());
        t.undoMs = clock.elapsed();
    }
    return t;
}

void sizeRow(int entries)
{
    zvtest::TempHome home;
    const QString with = home.file(QStringLiteral("with.dat"));
    const QString without = home.file(QStringLiteral("without.dat"));
    fill(with, entries);
    QFile::copy(with, without);
    settleDisk();
    const auto [off, on] = operations(without, with);
    std::printf("%9d entries, ms per change (history off / on, ratio): add %.2f / %.2f (%.2fx), edit %.2f / %.2f "
                "(%.2fx), delete %.2f / %.2f (%.2fx), move %.2f / %.2f (%.2fx)\n",
                entries, off.add, on.add, on.add / off.add, off.edit, on.edit, on.edit / off.edit, off.remove,
                on.remove, on.remove / off.remove, off.move, on.move, on.move / off.move);
    std::fflush(stdout);
}

void updateRow(int entries, int added)
{
    zvtest::TempHome home;
    const QString with = home.file(QStringLiteral("with.dat"));
    const QString without = home.file(QStringLiteral("without.dat"));
    fill(with, entries);
    QFile::copy(with, without);
    const QString folder = home.file(QStringLiteral("base"));
    QDir().mkpath(folder);
    QStringList files;
    qint64 textBytes = 0;
    for (int i = 0; i < added; ++i) {
        const QString name = QStringLiteral("Новая пасхалка %1").arg(i);
        QFile file(folder + QLatin1Char('/') + name);
        file.open(QIODevice::WriteOnly);
        const QByteArray text = entryText(i).toUtf8();
        file.write(text);
        textBytes += text.size();
        files << name;
    }
    // Rounds of the same update, the two sessions taking turns: the one with the history takes
    // its update back by the undo timed, the other by SQL, untimed.
    std::vector<double> offMs, onMs, undoMs;
    UpdateTimes first;
    qint64 stallMs = 0;
    for (int round = 0; round < (g_quick ? 1 : 3); ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool history = (turn + round) % 2 == 1;
            settleDisk();
            const UpdateTimes t = update(history ? with : without, folder, files, history);
            (history ? onMs : offMs).push_back(double(t.updateMs));
            if (history) {
                undoMs.push_back(double(t.undoMs));
                stallMs = std::max(stallMs, t.undoStallMs);
                if (round == 0)
                    first = t;
            } else {
                sqlite3 *db = nullptr;
                sqlite3_open(QFile::encodeName(without).constData(), &db);
                sqlite3_exec(db, "DELETE FROM Games WHERE Name LIKE 'Новая пасхалка %'", nullptr, nullptr, nullptr);
                sqlite3_close(db);
            }
        }
    }
    const double off = median(offMs), on = median(onMs), undo = median(undoMs);
    std::printf("update of %d entries into %d, median of %zu: history off %.0f ms, on %.0f ms (%.2fx); undo %.0f ms "
                "(%.2fx the update), longest event-loop stall %lld ms; history grew %lld bytes for %lld bytes of text "
                "(%.2fx)\n",
                added, entries, onMs.size(), off, on, on / std::max(1.0, off), undo, undo / std::max(1.0, on), stallMs,
                first.historyBytes, textBytes, double(first.historyBytes) / qMax<qint64>(1, textBytes));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    g_quick = app.arguments().contains(QStringLiteral("--quick"));
    for (const int entries : g_quick ? std::vector<int>{1000, 10000} : std::vector<int>{1000, 1000000})
        sizeRow(entries);
    if (g_quick)
        updateRow(10000, 1000);
    else
        updateRow(1000000, 10000);
    return 0;
}

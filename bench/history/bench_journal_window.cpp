// The journal window opening (made, filled and painted) over a history of 10,000 changes, against
// the same window over an empty history measured in the same run; the goal is 100 ms at most.
// Usage: bench_journal_window [--quick | number of changes, default 10000]   (quick: 1,000, once)
#include "SilentSeam.h"
#include "core/SharedState.h"
#include "core/history/HistoryFile.h"
#include "core/history/Journal.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/history/frmHistory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace {

using zvtest::SilentSeam;
using namespace zv::history;

constexpr double kGoalMs = 100;

// `count` changes of the kinds an editing user makes, written straight into the history in one
// transaction: going through the session would take minutes and time nothing of the window.
void writeChanges(const QString &cataloguePath, int count)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(cataloguePath).constData(), &db);
    attachHistory(db, cataloguePath);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    Journal journal(db);
    const ChangeKind kinds[] = {ChangeKind::Added, ChangeKind::Edited, ChangeKind::Edited, ChangeKind::Deleted,
                                ChangeKind::Moved};
    for (int i = 0; i < count; ++i) {
        Change change;
        change.kind = kinds[i % 5];
        change.table = QStringLiteral("Programs");
        change.name = QStringLiteral("Программа %1").arg(i % 3000);
        if (change.kind == ChangeKind::Moved)
            change.target = QStringLiteral("Games");
        const QString text = QStringLiteral("Нажмите F%1 и держите, пока не появится окно %2.").arg(i % 12).arg(i);
        RecordSide before = sideOf(i, change.name, text, true);
        RecordSide after = sideOf(i, change.name, text + QStringLiteral(" Работает."), false);
        if (change.kind == ChangeKind::Added)
            before = {};
        if (change.kind == ChangeKind::Deleted)
            after = {};
        change.records.push_back({change.table, before, after});
        journal.append(change);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Median time in ms of opening the journal window of a fresh owner until it is painted.
double openTime(zv::CatalogueSession &session, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QWidget owner;
        QElapsedTimer timer;
        timer.start();
        frmHistory *window = openJournalWindow(&owner, session);
        window->repaint();
        QCoreApplication::processEvents();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

// Median time in ms of reading the list alone, the part of the opening that is the history's.
double listTime(zv::CatalogueSession &session, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        session.historyList();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SilentSeam seam;
    zv::setSeam(&seam);
    zv::initVersionValues();
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int count = quick ? 1000 : argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = quick ? 1 : 7;

    QTemporaryDir empty;
    QTemporaryDir full;
    const QString emptyPath = empty.filePath(QStringLiteral("Zorvanell.dat"));
    const QString fullPath = full.filePath(QStringLiteral("Zorvanell.dat"));
    CreateCatalogue(emptyPath);
    CreateCatalogue(fullPath);
    writeChanges(fullPath, count);

    zv::CatalogueSession emptySession(emptyPath);
    zv::CatalogueSession fullSession(fullPath);
    // Both connections are opened before timing: the window, not the file's opening, is measured.
    emptySession.historyList();
    const std::size_t listed = fullSession.historyList().size();

    const double baseline = openTime(emptySession, runs);
    const double opened = openTime(fullSession, runs);
    const double list = listTime(fullSession, runs);
    std::printf("journal window open, median of %d: empty history %.1f ms; %zu changes %.1f ms (of which reading "
                "the list %.1f ms), %.1f ms over the empty one; goal %.0f ms: %s\n",
                runs, baseline, listed, opened, list, opened - baseline, kGoalMs, opened <= kGoalMs ? "met" : "MISSED");
    return listed == std::size_t(count) ? 0 : 1;
}

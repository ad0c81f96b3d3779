// What a backup of the catalogue costs, each figure against a baseline measured in the same run:
// - the copy of a 1,000,000-entry catalogue with its history against the sqlite3 shell's
//   `.backup` of the same file (goal: at most 1.2 x);
// - its verification against `PRAGMA integrity_check` run alone (goal: at most 1.1 x);
// - the longest the event loop waited while the backup ran on its thread (goal: at most 100 ms);
// - a restore against copying the backup's file over the catalogue and syncing it (goal: at most 1.2 x).
// Usage: bench_backup [--quick]   (--quick: small sizes, once, so that it is known to run)
#include "TempHome.h"
#include "core/backup/BackupRunner.h"
#include "core/backup/Backups.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// About the length of a real entry's text.
QString entryText(int i)
{
    return QStringLiteral("Секрет №%1: ").arg(i) + QString(220, QChar(u'ж'));
}

// A catalogue whose Games hold `count` entries, with a few changes in its history.
void fill(const QString &path, int count)
{
    CreateCatalogue(path);
    {
        const zv::CatalogueConnection db = OpenCatalogue(path);
        zv::Catalogue::Transaction transaction(*db);
        zv::EntryAppender append(db, QStringLiteral("Games"));
        for (int i = 0; i < count; ++i)
            append.add(QStringLiteral("Пасхалка №%1").arg(i, 7, 10, QLatin1Char('0')), entryText(i));
        transaction.commit();
    }
    zv::CatalogueSession session(path);
    session.showCategory(QStringLiteral("Other"));
    for (int i = 0; i < 10; ++i)
        session.addEntry(QStringLiteral("Новая %1").arg(i), entryText(i));
}

void syncFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        ::fsync(file.handle());
}

qint64 shellBackupMs(const QString &path, const QString &target)
{
    QElapsedTimer clock;
    clock.start();
    QProcess::execute(QStringLiteral("sqlite3"), {path, QStringLiteral(".backup '%1'").arg(target)});
    return clock.elapsed();
}

qint64 integrityCheckMs(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA integrity_check", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return clock.elapsed();
}

qint64 median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void row(int entries, int rounds)
{
    zvtest::TempHome home;
    const QString path = home.file(QStringLiteral("Zorvanell.dat"));
    fill(path, entries);
    const qint64 bytes = QFile(path).size();
    integrityCheckMs(path); // the file in the page cache for all that follows

    std::vector<qint64> shell, check, copied, verified, finishing, copies, restores;
    QDateTime now = QDateTime::currentDateTime();
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(home.file(QStringLiteral("shell.dat")));
        shell.push_back(shellBackupMs(path, home.file(QStringLiteral("shell.dat"))));
        check.push_back(integrityCheckMs(path));

        zv::backup::Request request;
        request.cataloguePath = path;
        request.backupsFolder = zv::backup::backupsFolder(path);
        request.now = now = now.addSecs(1);
        QElapsedTimer clock;
        qint64 copiedMs = 0;
        qint64 verifiedMs = 0;
        request.progress = [&](int percent) {
            if (percent >= 92 && copiedMs == 0)
                copiedMs = clock.elapsed();
            if (percent >= 96 && verifiedMs == 0)
                verifiedMs = clock.elapsed();
        };
        clock.start();
        const zv::backup::Outcome outcome = zv::backup::takeBackup(request);
        if (!outcome.backup) {
            std::printf("backup failed: %s\n", qPrintable(outcome.message));
            return;
        }
        copied.push_back(copiedMs);
        verified.push_back(verifiedMs - copiedMs);
        finishing.push_back(clock.elapsed() - verifiedMs);

        // The restore by hand: the backup's file copied over a catalogue of the same size, and synced.
        const QString copyTarget = home.file(QStringLiteral("copied.dat"));
        QFile::remove(copyTarget);
        QFile::copy(path, copyTarget);
        syncFile(copyTarget);
        clock.restart();
        QFile::remove(copyTarget);
        QFile::copy(outcome.backup->cataloguePath(), copyTarget);
        syncFile(copyTarget);
        copies.push_back(clock.elapsed());
        clock.restart();
        if (!zv::backup::restoreBackup(*outcome.backup, path).isEmpty()) {
            std::printf("restore failed\n");
            return;
        }
        restores.push_back(clock.elapsed());
    }

    // A backup on its thread, while an event loop ticks every 5 ms.
    zv::backup::Request request;
    request.cataloguePath = path;
    request.backupsFolder = zv::backup::backupsFolder(path);
    request.now = now.addSecs(1);
    zv::backup::BackupRunner runner(request);
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QEventLoop loop;
    QObject::connect(&runner, &zv::backup::BackupRunner::finished, &loop, &QEventLoop::quit);
    ticker.start(5);
    sinceTick.start();
    runner.start();
    loop.exec();

    const auto ratio = [](qint64 a, qint64 b) { return double(a) / double(std::max<qint64>(1, b)); };
    std::printf("%8d entries (%lld MB), medians of %d: backup %lld ms vs sqlite3 .backup %lld ms (%.2fx); "
                "verification %lld ms vs integrity_check %lld ms (%.2fx); naming and rotation %lld ms; longest "
                "event-loop wait %lld ms; restore %lld ms vs copy %lld ms (%.2fx)\n",
                entries, bytes >> 20, rounds, median(copied), median(shell), ratio(median(copied), median(shell)),
                median(verified), median(check), ratio(median(verified), median(check)), median(finishing), longestGap,
                median(restores), median(copies), ratio(median(restores), median(copies)));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    for (const int entries : quick ? std::vector<int>{10000} : std::vector<int>{100000, 1000000})
        row(entries, quick ? 1 : 5);
    return 0;
}

// Export and import of many entries, against baselines measured in the same run.
// Export: a catalogue of N entries (1,000,000; 20,000 with --quick) to CSV and to JSON, beside
// the sqlite3 shell writing the same tables as CSV (`sqlite3 -csv`), medians of three rounds.
// Import: M entries (100,000; 5,000 with --quick) of a JSON file into a category that holds N,
// beside a catalogue update of the same entries (their texts already downloaded), with the
// longest time the event loop did not run while each was written.
// Usage: bench_interchange [--quick]
#include "TempHome.h"
#include "core/TextCodec.h"
#include "core/interchange/Exporter.h"
#include "core/interchange/ImportPlan.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/store/NameListModel.h"
#include "core/update/EntryImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

const QString kTable = QStringLiteral("Programs");

QString entryName(int i)
{
    return QStringLiteral("Программа %1 v2").arg(i, 8, 10, QLatin1Char('0'));
}

QString entryText(int i)
{
    return QStringLiteral("Откройте «Справку», зажмите Ctrl+Shift и щёлкните по логотипу: покажутся "
                          "имена разработчиков, \"номер\" %1.\nВторая строка описания.")
        .arg(i);
}

void fill(const QString &path, int from, int count)
{
    CreateCatalogue(path);
    const zv::CatalogueConnection catalogue = OpenCatalogue(path);
    zv::Catalogue::Transaction transaction(*catalogue);
    zv::EntryAppender appender(catalogue, kTable);
    for (int i = from; i < from + count; ++i)
        appender.add(entryName(i), entryText(i));
    transaction.commit();
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

qint64 timeExport(const QString &catalogue, zv::interchange::Format format, const QString &target)
{
    zv::interchange::ExportRequest request;
    request.cataloguePath = catalogue;
    request.format = format;
    request.withPictures = false;
    request.target = target;
    QElapsedTimer clock;
    clock.start();
    const auto result = zv::interchange::runExport(request, {}, nullptr);
    const qint64 ms = clock.elapsed();
    QDir(target).removeRecursively();
    return result.outcome == zv::interchange::ExportOutcome::Written ? ms : -1;
}

qint64 timeSqliteShell(const QString &catalogue, const QString &out)
{
    QProcess shell;
    shell.setStandardOutputFile(out);
    QElapsedTimer clock;
    clock.start();
    shell.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-csv"), catalogue,
                 QStringLiteral("SELECT 'Программы', Name, Ref, '' FROM Programs WHERE Name IS NOT NULL")});
    shell.waitForFinished(-1);
    const qint64 ms = clock.elapsed();
    QFile::remove(out);
    return shell.exitCode() == 0 ? ms : -1;
}

void exportPart(int entries)
{
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(QStringLiteral("Zorvanell.dat"));
    fill(catalogue, 0, entries);
    QList<qint64> csv, json, shell;
    for (int round = 0; round < 3; ++round) {
        shell << timeSqliteShell(catalogue, dir.filePath(QStringLiteral("shell.csv")));
        csv << timeExport(catalogue, zv::interchange::Format::Csv, dir.filePath(QStringLiteral("csv")));
        json << timeExport(catalogue, zv::interchange::Format::Json, dir.filePath(QStringLiteral("json")));
    }
    const double base = double(median(shell));
    std::printf("\nexport of %d entries, median of 3 (ms)\n", entries);
    std::printf("%-28s %8lld\n", "sqlite3 -csv (baseline)", median(shell));
    std::printf("%-28s %8lld %6.2f x   goal <= 1.50 x\n", "CSV export", median(csv), double(median(csv)) / base);
    std::printf("%-28s %8lld %6.2f x   goal <= 2.00 x\n", "JSON export", median(json), double(median(json)) / base);
    std::fflush(stdout);
}

// Runs `write` on a thread, then `finish` on this one, with the event loop ticking meanwhile:
// the time taken and the longest gap between two ticks.
std::pair<qint64, qint64> timeOnThread(const std::function<void()> &write, const std::function<void()> &finish)
{
    QElapsedTimer clock, sinceTick;
    qint64 stall = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { stall = std::max(stall, sinceTick.restart()); });
    QEventLoop loop;
    clock.start();
    sinceTick.start();
    ticker.start();
    std::thread worker([&] {
        write();
        QMetaObject::invokeMethod(&loop, [&] {
            finish();
            stall = std::max(stall, sinceTick.restart());
            loop.quit();
        });
    });
    loop.exec();
    worker.join();
    return {clock.elapsed(), stall};
}

void importPart(int present, int added)
{
    QTemporaryDir dir;
    const QString full = dir.filePath(QStringLiteral("present.dat"));
    fill(full, 0, present);
    // The new entries, exported as JSON from a catalogue of their own.
    const QString source = dir.filePath(QStringLiteral("source.dat"));
    fill(source, present, added);
    zv::interchange::ExportRequest request;
    request.cataloguePath = source;
    request.withPictures = false;
    request.target = dir.filePath(QStringLiteral("json"));
    zv::interchange::runExport(request, {}, nullptr);
    const QString file = request.target + QLatin1Char('/') + zv::interchange::kJsonFile;

    QList<qint64> importMs, readMs, previewMs, updateMs, importStall, updateStall;
    for (int round = 0; round < 3; ++round) {
        {
            zvtest::TempHome home;
            QFile::copy(full, home.file(QStringLiteral("Zorvanell.dat")));
            zv::CatalogueSession session(home.file(QStringLiteral("Zorvanell.dat")));
            session.showCategory(kTable);
            QElapsedTimer clock;
            clock.start();
            zv::interchange::ReadResult read = zv::interchange::readImportFile(file);
            readMs << clock.elapsed();
            zv::interchange::ImportPlan plan = zv::interchange::planImport(session.readingConnection(), std::move(read),
                                                                           {kTable, session.model()->snapshot()});
            previewMs << clock.elapsed();
            zv::ImportBatch batch = session.beginImport(std::move(plan));
            const auto [ms, stall] =
                timeOnThread([&] { batch.run(); }, [&] { session.finishImport(std::move(batch)); });
            importMs << previewMs.last() + ms;
            importStall << stall;
            if (session.count() != present + added)
                importMs.last() = -1;
        }
        {
            zvtest::TempHome home;
            QFile::copy(full, home.file(QStringLiteral("Zorvanell.dat")));
            zv::CatalogueSession session(home.file(QStringLiteral("Zorvanell.dat")));
            session.showCategory(kTable);
            zv::update::ArrivedTexts texts(qsizetype(1) << 30);
            QStringList files;
            for (int i = present; i < present + added; ++i) {
                files << entryName(i);
                texts.keep(entryName(i), zv::toCp1251(entryText(i)));
            }
            zv::UpdateBatch batch = session.beginUpdateBatch();
            const auto [ms, stall] = timeOnThread([&] { batch.run(dir.path(), files, {}, &texts); },
                                                  [&] { session.finishUpdateBatch(std::move(batch)); });
            updateMs << ms;
            updateStall << stall;
            if (session.count() != present + added)
                updateMs.last() = -1;
        }
    }
    std::printf("\nimport of %d entries from JSON into a category of %d, median of 3 (ms)\n", added, present);
    std::printf("%-34s %8lld   longest stall %lld ms\n", "catalogue update (baseline)", median(updateMs),
                *std::max_element(updateStall.begin(), updateStall.end()));
    std::printf("%-34s %8lld %6.2f x   goal <= 1.50 x\n", "import: read, compare, write", median(importMs),
                double(median(importMs)) / double(median(updateMs)));
    std::printf("%-34s %8lld   (on a thread of its own)\n", "  of which read and compare", median(previewMs));
    std::printf("%-34s %8lld\n", "    of which read", median(readMs));
    std::printf("%-34s %8lld ms   goal <= 100 ms\n", "  longest stall while written",
                *std::max_element(importStall.begin(), importStall.end()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    exportPart(quick ? 20000 : 1000000);
    importPart(quick ? 20000 : 1000000, quick ? 5000 : 100000);
    return 0;
}

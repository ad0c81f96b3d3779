// The catalogue update through the real main window and its list, in two parts.
// Transport: from the click on "Обновить базу" to "База обновлена!" against nginx on loopback,
// compared with a baseline measured in the same run: one curl process fetching the same entry
// files with six parallel transfers, plus a plain SQLite insert of the same entries in one
// transaction.
// Size: 10,000 new entries from a published folder (file://) into a category that already
// holds 0, 100,000 and 1,000,000 entries, from "Yes" on the offer to "База обновлена!", with
// the longest time the event loop did not run meanwhile; and into 1,000,000 once more on a
// program folder opened for the first time, with the first full-text build running behind it.
// Usage: bench_update [--quick] [--transport | --sizes]
//   --quick: small sizes, once, so that the benchmark is known to run; --transport or --sizes: that part only
#include "NginxServer.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/SharedState.h"
#include "core/TextCodec.h"
#include "core/search/SessionIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/update/Publisher.h"
#include "gui/catalogue/frmMain.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sqlite3.h>

namespace {

bool g_quick = false;

struct Row
{
    int entries = 0;
    qint64 updateMs = -1;
    qint64 curlMs = -1;
    qint64 sqliteMs = -1;
};

QString entryName(int i)
{
    return QStringLiteral("Пасхалка №%1 (игра)").arg(i, 5, 10, QLatin1Char('0'));
}

QString entryText(int i)
{
    return QStringLiteral("Запустите игру, в главном меню наберите IDDQD и нажмите Enter.\r\n"
                          "Появится скрытое меню разработчиков, номер %1.\r\n")
        .arg(i)
        .repeated(3);
}

qint64 sqliteInsert(const QString &path, int count)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "CREATE TABLE Games (Name TEXT, Ref TEXT)", nullptr, nullptr, nullptr);
    QElapsedTimer clock;
    clock.start();
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
    const qint64 ms = clock.elapsed();
    sqlite3_close(db);
    return ms;
}

qint64 curlFetch(const QString &server, const QString &outDir, int count)
{
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty())
        return -1;
    QFile config(outDir + QStringLiteral("/curl.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return -1;
    for (int i = 0; i < count; ++i) {
        const QByteArray name = entryName(i).toUtf8();
        config.write("url = \"" + server.toUtf8() + "zv_upd/Games/base/" + name.toPercentEncoding() + "\"\n");
        config.write("output = \"" + QFile::encodeName(outDir) + "/e" + QByteArray::number(i) + "\"\n");
    }
    config.close();
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(curl, {QStringLiteral("--parallel"), QStringLiteral("--parallel-max"), QStringLiteral("6"),
                         QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-K"), config.fileName()});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return -1;
    return clock.elapsed();
}

// What one update through the main window took.
struct UpdateRun
{
    qint64 totalMs = -1;   // from the click on "Обновить базу" to "База обновлена!"
    qint64 fromYesMs = -1; // from "Yes" on the offer to "База обновлена!"
    // The longest times the event loop did not run: before the offer, from "Yes" to "База обновлена!",
    // and from then until the update manager has closed and the window has settled.
    qint64 stallBeforeOfferMs = 0;
    qint64 stallAfterYesMs = 0;
    qint64 stallClosingMs = 0;
    int listCount = -1;
};

// Opens the update manager from the main window of the program folder set up by the caller,
// as a user would, and updates the category `displayName` from `server`, answering "Yes".
// `fullText`: the session's full-text index is attached as at a start of the program.
UpdateRun updateThroughMainWindow(const QString &server, const QString &displayName, bool fullText = false)
{
    zvtest::ScriptedSeam seam;
    seam.messageAnswers << zv::MessageAnswer::Yes;
    zv::CatalogueSession session(zv::cataloguePath());
    if (fullText)
        zv::search::attachSearchIndex(session, zv::cataloguePath());
    frmMain window(session);
    window.show();
    window.findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(displayName);
    // The list's search index is in place before the update starts, as it is once a user typed.
    auto *search = window.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
    search->setText(QStringLiteral("x"));
    search->clear();
    QCoreApplication::processEvents();

    UpdateRun run;
    QElapsedTimer clock;
    qint64 yesAt = -1;
    enum class Phase { BeforeOffer, AfterYes, Closing } phase = Phase::BeforeOffer;
    // A timer that should fire every 5 ms: the longest gap between two firings is the longest
    // time the window could not react.
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        qint64 &longest = phase == Phase::BeforeOffer ? run.stallBeforeOfferMs
                          : phase == Phase::AfterYes  ? run.stallAfterYesMs
                                                      : run.stallClosingMs;
        longest = std::max(longest, gap);
    });
    seam.onMessage = [&](const zvtest::ScriptedSeam::Message &message) {
        if (message.text.startsWith(QStringLiteral("Новых записей "))) {
            run.stallBeforeOfferMs = std::max(run.stallBeforeOfferMs, sinceTick.restart());
            yesAt = clock.elapsed();
            phase = Phase::AfterYes;
        } else if (message.text == QStringLiteral("База обновлена!")) {
            run.stallAfterYesMs = std::max(run.stallAfterYesMs, sinceTick.restart());
            run.totalMs = clock.elapsed();
            run.fromYesMs = yesAt < 0 ? -1 : run.totalMs - yesAt;
            phase = Phase::Closing;
        } else if (!message.text.startsWith(QStringLiteral("Читать что нового"))) {
            std::fprintf(stderr, "bench_update: %s\n", qPrintable(message.text));
            if (QWidget *updater = window.findChild<frmUpdate *>())
                QTimer::singleShot(0, updater, &QWidget::close);
        }
    };
    QTimer::singleShot(0, &window, [&] {
        auto *updater = window.findChild<frmUpdate *>();
        if (!updater)
            return;
        updater->findChild<QComboBox *>(QStringLiteral("cmbServer"))->setCurrentText(server);
        clock.start();
        sinceTick.start();
        ticker.start();
        emit updater->findChild<VistaButton *>(QStringLiteral("Command1"))->Click();
    });
    // The update manager is modal: this returns when it has closed.
    emit window.findChild<VistaButton *>(QStringLiteral("cmdUpdate"))->Click();
    // What closing left for the event loop (the list laid out anew) still counts.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    run.stallClosingMs = std::max(run.stallClosingMs, sinceTick.elapsed());
    ticker.stop();
    run.listCount = window.listCount();
    return run;
}

// The whole catalogue update of `count` new entries from nginx into an empty category.
qint64 timeUpdate(const QString &server, int count)
{
    zvtest::TempHome home;
    CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
    const UpdateRun run = updateThroughMainWindow(server, QStringLiteral("Игры"));
    if (run.listCount != count ||
        ListNames(OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat"))), QStringLiteral("Games")).size() != count)
        return -1;
    return run.totalMs;
}

Row run(int count)
{
    Row row;
    row.entries = count;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.dat"));
    CreateCatalogue(source);
    {
        auto catalogue = OpenCatalogue(source);
        zv::Catalogue::Transaction transaction(*catalogue);
        for (int i = 0; i < count; ++i)
            AddEntry(catalogue, QStringLiteral("Games"), entryName(i), entryText(i));
        transaction.commit();
    }
    zv::update::PublishOptions options;
    options.catalogue = source;
    options.outDir = dir.filePath(QStringLiteral("www"));
    if (!zv::update::publish(options).ok)
        return row;

    zvtest::NginxServer nginx(options.outDir);
    QString error;
    if (!nginx.start(&error)) {
        std::fprintf(stderr, "bench_update: %s\n", qPrintable(error));
        return row;
    }

    // Each side runs five times, taking turns at going first, so that neither always meets
    // the file system right after the other has filled it; the medians are compared (on a
    // small shared machine single runs of either side vary by a third).
    auto median = [](QList<qint64> values) {
        std::sort(values.begin(), values.end());
        return values.contains(-1) ? qint64(-1) : values.at(values.size() / 2);
    };
    QList<qint64> updates, curls, inserts;
    for (int round = 0; round < (g_quick ? 1 : 5); ++round) {
        auto updateOnce = [&] { updates << timeUpdate(nginx.rootAddress(), count); };
        auto curlOnce = [&] {
            QTemporaryDir out;
            curls << curlFetch(nginx.rootAddress(), out.path(), count);
        };
        if (round % 2 == 0) {
            updateOnce();
            curlOnce();
        } else {
            curlOnce();
            updateOnce();
        }
        inserts << sqliteInsert(dir.filePath(QStringLiteral("plain%1.sqlite").arg(round)), count);
    }
    row.updateMs = median(updates);
    row.curlMs = median(curls);
    row.sqliteMs = median(inserts);
    return row;
}

bool transportPart()
{
    if (zvtest::NginxServer::binary().isEmpty()) {
        std::fprintf(stderr, "bench_update: nginx is not installed\n");
        return false;
    }
    QList<Row> rows;
    for (const int count : g_quick ? QList<int>{100} : QList<int>{100, 10000})
        rows << run(count);

    std::printf("%8s %12s %10s %11s %13s %7s\n", "entries", "update ms", "curl ms", "sqlite ms", "baseline ms",
                "ratio");
    bool ok = true;
    for (const Row &row : rows) {
        const qint64 baseline = row.curlMs < 0 ? -1 : row.curlMs + row.sqliteMs;
        const double ratio = (row.updateMs < 0 || baseline <= 0) ? -1.0 : double(row.updateMs) / double(baseline);
        std::printf("%8d %12lld %10lld %11lld %13lld %7.2f\n", row.entries, row.updateMs, row.curlMs, row.sqliteMs,
                    baseline, ratio);
        ok = ok && row.updateMs >= 0 && baseline > 0;
    }
    std::printf("goal: ratio at most 1.10 at 10000 entries\n");
    std::fflush(stdout);
    return ok;
}

// Names of about twenty characters; the existing ones take even numbers, the new ones odd
// numbers spread over the same range, so that the new names land all over the list.
const QStringList kWords = {QStringLiteral("Doom"),        QStringLiteral("Excel"),     QStringLiteral("Winamp"),
                            QStringLiteral("Quake"),       QStringLiteral("Office"),    QStringLiteral("Paint"),
                            QStringLiteral("Player"),      QStringLiteral("Studio"),    QStringLiteral("zip"),
                            QStringLiteral("Блокнот"),     QStringLiteral("Пасьянс"),   QStringLiteral("ёлка"),
                            QStringLiteral("Калькулятор"), QStringLiteral("Проводник"), QStringLiteral("Сапёр"),
                            QStringLiteral("редактор"),    QStringLiteral("Архиватор"), QStringLiteral("Яндекс")};

QString sizedName(int number)
{
    return kWords.at(number % kWords.size()) + QStringLiteral(" %1 v2").arg(number, 8, 10, QLatin1Char('0'));
}

void fillPrograms(const QString &path, int count, const std::function<QString(int)> &name)
{
    CreateCatalogue(path);
    auto catalogue = OpenCatalogue(path);
    zv::Catalogue::Transaction transaction(*catalogue);
    for (int i = 0; i < count; ++i)
        AddEntry(catalogue, QStringLiteral("Programs"), name(i), QStringLiteral("Описание записи %1.\r\n").arg(i));
    transaction.commit();
}

bool sizePart()
{
    const int added = g_quick ? 100 : 10000;
    const QList<int> sizes = g_quick ? QList<int>{0, 1000} : QList<int>{0, 100000, 1000000};
    const int rounds = g_quick ? 1 : 3;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.dat"));
    const int spread = 1000000 / added;
    fillPrograms(source, added, [&](int i) { return sizedName(2 * i * spread + 1); });
    zv::update::PublishOptions options;
    options.catalogue = source;
    options.outDir = dir.filePath(QStringLiteral("www"));
    if (!zv::update::publish(options).ok)
        return false;
    const QString server = QUrl::fromLocalFile(options.outDir).toString() + QLatin1Char('/');
    for (const int size : sizes)
        fillPrograms(dir.filePath(QStringLiteral("present%1.dat").arg(size)), size,
                     [](int i) { return sizedName(2 * i); });

    // Rounds go through the sizes in turn, each round starting with another size; the last
    // "size" is the largest again with the first full-text build running (a new program folder).
    const int building = -1;
    QList<int> order = sizes;
    order << building;
    QMap<int, QList<UpdateRun>> runs;
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < order.size(); ++k) {
            const int key = order.at((k + round) % order.size());
            const int size = key == building ? sizes.last() : key;
            zvtest::TempHome home;
            QFile::copy(dir.filePath(QStringLiteral("present%1.dat").arg(size)),
                        home.file(QStringLiteral("Zorvanell.dat")));
            UpdateRun run = updateThroughMainWindow(server, QStringLiteral("Программы"), key == building);
            if (run.listCount != size + added)
                run.fromYesMs = -1;
            runs[key] << run;
        }
    }
    auto median = [](QList<qint64> values) {
        std::sort(values.begin(), values.end());
        return values.contains(-1) ? qint64(-1) : values.at(values.size() / 2);
    };
    std::printf("\n%d new entries from a published folder into \"Программы\"\n", added);
    std::printf("%10s %12s %8s %26s %19s %18s\n", "existing", "from Yes ms", "x empty", "longest stall ms, Yes..end",
                "before offer ms", "closing ms");
    bool ok = true;
    qint64 empty = -1;
    for (const int size : order) {
        QList<qint64> fromYes, stall, before, closing;
        for (const UpdateRun &run : runs.value(size)) {
            fromYes << run.fromYesMs;
            stall << run.stallAfterYesMs;
            before << run.stallBeforeOfferMs;
            closing << run.stallClosingMs;
        }
        const qint64 ms = median(fromYes);
        if (size == 0)
            empty = ms;
        const QString label = size == building ? QStringLiteral("%1 +build").arg(sizes.last()) : QString::number(size);
        std::printf("%10s %12lld %8.2f %26lld %19lld %18lld\n", qPrintable(label), ms,
                    empty > 0 && ms >= 0 ? double(ms) / empty : -1.0, *std::max_element(stall.begin(), stall.end()),
                    *std::max_element(before.begin(), before.end()), *std::max_element(closing.begin(), closing.end()));
        ok = ok && ms >= 0;
    }
    std::printf("goal: at most 1.50 x empty at %d, with and without the first full-text build running (+build), no "
                "stall over 100 ms from Yes to the end\n",
                sizes.last());
    std::fflush(stdout);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Both sides create ten thousand files right after the other side deleted as many; on an
    // ext4 disk without a journal every new file then searches past the recently deleted inodes,
    // which swamps what is being compared. Unless TMPDIR says otherwise, the files go to a tmpfs.
    if (qEnvironmentVariableIsEmpty("TMPDIR") && QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    g_quick = arguments.contains(QStringLiteral("--quick"));
    const bool onlyTransport = arguments.contains(QStringLiteral("--transport"));
    const bool onlySizes = arguments.contains(QStringLiteral("--sizes"));
    zv::initVersionValues();
    std::printf("files in %s\n", qPrintable(QDir::tempPath()));
    const bool transport = onlySizes || transportPart();
    const bool sizes = onlyTransport || sizePart();
    return transport && sizes ? 0 : 1;
}

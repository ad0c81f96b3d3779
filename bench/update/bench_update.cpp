// Times the catalogue update from the click on "Обновить базу" to "База обновлена!" against
// nginx on loopback, and compares it with a baseline measured in the same run: one curl
// process fetching the same entry files with six parallel transfers, plus a plain SQLite
// insert of the same entries in one transaction.
#include "FakeListView.h"
#include "NginxServer.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/TextCodec.h"
#include "core/store/CatalogueStore.h"
#include "core/update/Publisher.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <sqlite3.h>

namespace {

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

// The whole catalogue update of `count` new entries, from the click to "База обновлена!".
qint64 timeUpdate(const QString &server, int count)
{
    zvtest::TempHome home;
    zvtest::ScriptedSeam seam;
    CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
    zvtest::FakeListView view;
    frmUpdate window(&view, QStringLiteral("Games"));
    window.show();
    window.findChild<QComboBox *>(QStringLiteral("cmbServer"))->setCurrentText(server);
    seam.messageAnswers << zv::MessageAnswer::Yes;
    qint64 elapsed = -1;
    QElapsedTimer clock;
    seam.onMessage = [&](const zvtest::ScriptedSeam::Message &message) {
        if (message.text == QStringLiteral("База обновлена!"))
            elapsed = clock.elapsed();
    };
    clock.start();
    emit window.findChild<VistaButton *>(QStringLiteral("Command1"))->Click();
    if (ListNames(OpenCatalogue(home.file(QStringLiteral("Zorvanell.dat"))), QStringLiteral("Games")).size() != count)
        return -1;
    return elapsed;
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

    // Each side runs three times, taking turns at going first, so that neither always meets
    // the file system right after the other has filled it; the medians are compared.
    auto median = [](QList<qint64> values) {
        std::sort(values.begin(), values.end());
        return values.contains(-1) ? qint64(-1) : values.at(values.size() / 2);
    };
    QList<qint64> updates, curls, inserts;
    for (int round = 0; round < 3; ++round) {
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
    std::printf("files in %s\n", qPrintable(QDir::tempPath()));
    if (zvtest::NginxServer::binary().isEmpty()) {
        std::fprintf(stderr, "bench_update: nginx is not installed\n");
        return 1;
    }
    QList<Row> rows;
    for (const int count : {100, 10000})
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
    return ok ? 0 : 1;
}

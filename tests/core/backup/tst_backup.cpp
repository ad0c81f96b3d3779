#include "InChild.h"
#include "SmallDisk.h"
#include "TempHome.h"
#include "core/backup/BackupRunner.h"
#include "core/backup/BackupScheduler.h"
#include "core/backup/Backups.h"
#include "core/history/HistoryFile.h"
#include "core/session/CatalogueSession.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <sqlite3.h>

using zv::backup::Reason;

namespace {

qint64 countOf(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    qint64 n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return n;
}

// The changes in the history of the catalogue at `path` as the program finds them on opening it:
// a change a copy caught written ahead but not yet in its catalogue is settled first (see
// history/JointCommit.h).
qint64 settledChanges(const QString &path)
{
    const zv::CatalogueConnection db = OpenCatalogue(path);
    zv::history::attachHistory(db->handle(), path);
    sqlite3_stmt *stmt = nullptr;
    qint64 n = -1;
    if (sqlite3_prepare_v2(db->handle(), "SELECT count(*) FROM history.changes", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

// A catalogue of `count` entries in Games, each added through the session, so the history holds them.
void fillThroughSession(const QString &path, int count, int first = 0)
{
    if (!QFile::exists(path))
        CreateCatalogue(path);
    zv::CatalogueSession session(path);
    session.showCategory(QStringLiteral("Games"));
    for (int i = first; i < first + count; ++i)
        session.addEntry(QStringLiteral("Игра %1").arg(i), QStringLiteral("Текст %1").arg(i));
}

// A catalogue of `count` entries written at once, for size.
void fillInBulk(const QString &path, int count)
{
    CreateCatalogue(path);
    const zv::CatalogueConnection db = OpenCatalogue(path);
    zv::Catalogue::Transaction transaction(*db);
    zv::EntryAppender add(db, QStringLiteral("Games"));
    const QString text(2000, QLatin1Char('x'));
    for (int i = 0; i < count; ++i)
        add.add(QStringLiteral("Entry %1").arg(i), text);
    transaction.commit();
}

zv::backup::Request requestFor(const zvtest::TempHome &home, Reason reason = Reason::Manual)
{
    zv::backup::Request request;
    request.cataloguePath = home.file(QStringLiteral("Zorvanell.dat"));
    request.optionsPath = home.file(QStringLiteral("Options.ini"));
    request.backupsFolder = zv::backup::backupsFolder(request.cataloguePath);
    request.reason = reason;
    return request;
}

QStringList leftIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void rotation_data();
    void rotation();
    void takenVerifiedAndRestored();
    void consistentWhileEntriesAreWritten();
    void dailyBackupOncePerDayWhenChanged();
    void killedMidWayLeavesNothingListed_data();
    void killedMidWayLeavesNothingListed();
    void fullDiskSkips_data();
    void fullDiskSkips();
};

// Rows: backups newest first as "yyyy-MM-ddTHH:mm reason", and which are kept ('k') or removed.
// 2026-12-10 is a Thursday of ISO week 50.
void TestBackup::rotation_data()
{
    QTest::addColumn<QByteArrayList>("backups");
    QTest::addColumn<QByteArray>("expected");
    const auto days = [](int from, int to) {
        QByteArrayList list;
        for (int d = from; d >= to; --d)
            list << "2026-12-" + QByteArray::number(d).rightJustified(2, '0') + "T12:00 daily";
        return list;
    };
    QTest::newRow("the later of one day")
        << QByteArrayList{"2026-12-10T18:00 daily", "2026-12-10T09:00 daily"} << QByteArray("k-");
    QTest::newRow("ten days: the last seven") << days(10, 1) << QByteArray("kkkkkkk---");
    QTest::newRow("seven days, then the newest of each week up to four")
        << days(10, 3) + QByteArrayList{"2026-11-26T12:00 daily", "2026-11-19T12:00 daily", "2026-11-12T12:00 daily"}
        << QByteArray("kkkkkkk-kk-");
    QTest::newRow("a gap of weeks: the seven last days that have one")
        << QByteArrayList{"2026-12-10T12:00 daily", "2026-12-03T12:00 daily", "2026-11-26T12:00 daily",
                          "2026-11-19T12:00 daily", "2026-11-12T12:00 daily", "2026-11-05T12:00 daily",
                          "2026-10-29T12:00 daily", "2026-10-22T12:00 daily", "2026-10-15T12:00 daily"}
        << QByteArray("kkkkkkk--");
    QTest::newRow("the last three before updates outlive the rotation")
        << days(10, 4) + QByteArrayList{"2026-12-03T12:00 before-update", "2026-12-02T12:00 before-program-update",
                                        "2026-12-01T12:00 before-update", "2026-11-30T12:00 before-update"}
        << QByteArray("kkkkkkkkkk-");
    QTest::newRow("the last three before restores, and made by hand")
        << QByteArrayList{"2026-12-10T15:00 before-restore", "2026-12-10T14:00 before-restore",
                          "2026-12-10T13:00 manual",         "2026-12-10T12:00 before-restore",
                          "2026-12-10T11:00 before-restore", "2026-12-10T10:00 manual",
                          "2026-12-10T09:00 manual",         "2026-12-10T08:00 manual",
                          "2026-12-10T07:00 daily"}
        << QByteArray("kkkk-kk--");
}

void TestBackup::rotation()
{
    QFETCH(QByteArrayList, backups);
    QFETCH(QByteArray, expected);
    const QHash<QByteArray, Reason> reasons{{"daily", Reason::Daily},
                                            {"manual", Reason::Manual},
                                            {"before-update", Reason::BeforeUpdate},
                                            {"before-program-update", Reason::BeforeProgramUpdate},
                                            {"before-restore", Reason::BeforeRestore}};
    std::vector<zv::backup::Backup> list;
    for (const QByteArray &row : backups) {
        const QByteArrayList parts = row.split(' ');
        zv::backup::Backup backup;
        backup.at = QDateTime::fromString(QString::fromLatin1(parts[0]), Qt::ISODate);
        QVERIFY(backup.at.isValid() && reasons.contains(parts[1]));
        backup.reason = reasons.value(parts[1]);
        list.push_back(backup);
    }
    QByteArray got;
    for (bool keep : zv::backup::kept(list))
        got += keep ? 'k' : '-';
    QCOMPARE(got, expected);
}

void TestBackup::takenVerifiedAndRestored()
{
    zvtest::TempHome home;
    const QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
    home.write(QStringLiteral("Options.ini"), "[Main]\r\nOnTop=1\r\n");
    fillThroughSession(catalogue, 5);

    const zv::backup::Outcome outcome = zv::backup::takeBackup(requestFor(home, Reason::BeforeUpdate));
    QVERIFY2(outcome.backup, qPrintable(outcome.message));
    const auto listed = zv::backup::listBackups(zv::backup::backupsFolder(catalogue));
    QCOMPARE(listed.size(), size_t(1));
    const zv::backup::Backup &backup = listed.front();
    QCOMPARE(backup.reason, Reason::BeforeUpdate);
    QCOMPARE(backup.entries(), qint64(5));
    QVERIFY(backup.perTable.contains({QStringLiteral("Games"), 5}));
    QCOMPARE(countOf(zv::history::historyPath(backup.cataloguePath()), "SELECT count(*) FROM changes"), qint64(5));
    QFile options(backup.folder + QStringLiteral("/Options.ini"));
    QVERIFY(options.open(QIODevice::ReadOnly));
    QCOMPARE(options.readAll(), home.read(QStringLiteral("Options.ini")));
    QVERIFY(!zv::backup::changedSince(listed, catalogue));

    // Later changes are taken back by the restore, the history with them.
    fillThroughSession(catalogue, 3, 100);
    QVERIFY(zv::backup::changedSince(listed, catalogue));
    QVERIFY(!zv::backup::dailyDue(listed, catalogue, backup.at));
    QVERIFY(zv::backup::dailyDue(listed, catalogue, backup.at.addDays(1)));
    QCOMPARE(zv::backup::restoreBackup(backup, catalogue), QString());
    QCOMPARE(countOf(catalogue, "SELECT count(*) FROM Games"), qint64(5));
    QCOMPARE(countOf(zv::history::historyPath(catalogue), "SELECT count(*) FROM changes"), qint64(5));
    QCOMPARE(zv::backup::catalogueDamage(catalogue), QString());
}

// Each entry is one change of the history, written ahead of the catalogue's commit: a backup that
// holds n entries holds n changes once opened, however the writes fall around it.
void TestBackup::consistentWhileEntriesAreWritten()
{
    zvtest::TempHome home;
    const QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
    fillThroughSession(catalogue, 1);
    zv::CatalogueSession session(catalogue);
    session.showCategory(QStringLiteral("Games"));
    int added = 0;
    for (int round = 0; round < 5; ++round) {
        zv::backup::Request request = requestFor(home);
        request.now = request.now.addSecs(round); // backups are named by the second
        zv::backup::BackupRunner runner(request);
        QSignalSpy done(&runner, &zv::backup::BackupRunner::finished);
        runner.start();
        while (done.isEmpty()) {
            session.addEntry(QStringLiteral("Новая %1").arg(added++), QStringLiteral("текст"));
            QCoreApplication::processEvents();
        }
        const auto outcome = qvariant_cast<zv::backup::Outcome>(done.first().first());
        const auto &backup = outcome.backup;
        QVERIFY2(backup, qPrintable(outcome.message));
        const qint64 entries = countOf(backup->cataloguePath(), "SELECT count(*) FROM Games");
        QCOMPARE(backup->entries(), entries);
        QCOMPARE(settledChanges(backup->cataloguePath()), entries);
    }
    QVERIFY(added > 5);
}

void TestBackup::dailyBackupOncePerDayWhenChanged()
{
    zvtest::TempHome home;
    const QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
    fillThroughSession(catalogue, 2);
    zv::backup::BackupScheduler scheduler(catalogue);
    QCOMPARE(zv::backup::BackupScheduler::instance(), &scheduler);
    QSignalSpy finished(&scheduler, &zv::backup::BackupScheduler::backupFinished);
    scheduler.check();
    QVERIFY(finished.wait(10000));
    const auto taken = zv::backup::listBackups(zv::backup::backupsFolder(catalogue));
    QCOMPARE(taken.size(), size_t(1));
    QCOMPARE(taken.front().reason, Reason::Daily);
    QCOMPARE(scheduler.note(), QString());
    // The same day, changed or not, nothing more.
    fillThroughSession(catalogue, 1, 10);
    scheduler.check();
    QVERIFY(!finished.wait(300));
    QCOMPARE(zv::backup::listBackups(zv::backup::backupsFolder(catalogue)).size(), size_t(1));
}

void TestBackup::killedMidWayLeavesNothingListed_data()
{
    QTest::addColumn<int>("killAt");
    QTest::newRow("after the first pages") << 1;
    QTest::newRow("half-way") << 50;
    QTest::newRow("while verifying") << 92;
}

void TestBackup::killedMidWayLeavesNothingListed()
{
    QFETCH(int, killAt);
    zvtest::TempHome home;
    fillInBulk(home.file(QStringLiteral("Zorvanell.dat")), 20000);
    zv::backup::Request request = requestFor(home);
    request.progress = [killAt](int percent) {
        if (percent >= killAt)
            ::raise(SIGKILL);
    };
    QVERIFY(
        !zvtest::inChild(zvtest::Privileges::Same, [&] { return !zv::backup::takeBackup(request).message.isEmpty(); }));
    QVERIFY(!leftIn(request.backupsFolder).isEmpty()); // it was cut short indeed
    QVERIFY(zv::backup::listBackups(request.backupsFolder).empty());
    QVERIFY(!zv::backup::newestGoodBackup(request.backupsFolder));

    // The next backup clears what was left.
    request.progress = nullptr;
    QVERIFY(zv::backup::takeBackup(request).backup);
    QCOMPARE(leftIn(request.backupsFolder).size(), qsizetype(1));
}

void TestBackup::fullDiskSkips_data()
{
    QTest::addColumn<double>("diskPerCatalogue");
    QTest::newRow("no room at all") << 0.5;
    QTest::newRow("room, but not above the last tenth") << 1.05;
}

void TestBackup::fullDiskSkips()
{
    QFETCH(double, diskPerCatalogue);
    zvtest::TempHome home;
    const QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
    fillInBulk(catalogue, 20000);
    const QByteArray before = home.read(QStringLiteral("Zorvanell.dat"));
    zvtest::SmallDisk disk(int(before.size() * diskPerCatalogue / (1 << 20)) + 1);
    if (!disk.error().isEmpty())
        QSKIP(qPrintable(disk.error()));
    zv::backup::Request request = requestFor(home);
    request.backupsFolder = disk.file(QStringLiteral("Backups"));

    const zv::backup::Outcome outcome = zv::backup::takeBackup(request);
    QVERIFY(!outcome.backup);
    QVERIFY(outcome.message.startsWith(QStringLiteral("Резервная копия не сделана")));
    QVERIFY(leftIn(request.backupsFolder).isEmpty());
    QVERIFY(home.read(QStringLiteral("Zorvanell.dat")) == before);
}

int main(int argc, char *argv[])
{
    // Before any thread starts: the small disks the tests mount go with this process.
    zvtest::privateMounts();
    QCoreApplication app(argc, argv);
    qRegisterMetaType<zv::backup::Outcome>();
    TestBackup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_backup.moc"

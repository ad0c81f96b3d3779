#include "core/backup/Backups.h"

#include "core/history/HistoryFile.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <unistd.h>

namespace zv::backup {

namespace {

const QString kManifest = QStringLiteral("backup.ini");
const QString kCatalogueName = QStringLiteral("Zorvanell.dat");
const QString kOptionsName = QStringLiteral("Options.ini");
const QString kStampFormat = QStringLiteral("yyyy-MM-dd_HHmmss");
const QString kDamagedStampFormat = QStringLiteral("yyyyMMdd-HHmmss");
constexpr int kPagesPerStep = 1024; // 4 MiB at the usual page size: progress a few times a second
constexpr int kReadAttempts = 10;
// One backup or restore at a time: each clears what a killed one left in the folder.
std::mutex g_oneAtATime;

struct ReasonName
{
    Reason reason;
    const char *token;
    const char *text;
};

const ReasonName kReasons[] = {
    {Reason::Daily, "daily", "ежедневная"},
    {Reason::Manual, "manual", "сделана вручную"},
    {Reason::BeforeUpdate, "before-update", "перед обновлением базы"},
    {Reason::BeforeProgramUpdate, "before-program-update", "перед обновлением программы"},
    {Reason::BeforeRestore, "before-restore", "перед восстановлением"},
};

QString tokenOf(Reason reason)
{
    for (const ReasonName &r : kReasons)
        if (r.reason == reason)
            return QLatin1String(r.token);
    return QString();
}

std::optional<Reason> reasonOf(const QString &token)
{
    for (const ReasonName &r : kReasons)
        if (token == QLatin1String(r.token))
            return r.reason;
    return std::nullopt;
}

// A connection that closes itself.
struct Db
{
    sqlite3 *db = nullptr;
    ~Db() { sqlite3_close_v2(db); }
    int open(const QString &path, int flags)
    {
        return sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    }
};

int execSql(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// The first text of the first row of `sql`, or an empty text when it fails.
QString firstText(sqlite3 *db, const QString &sql)
{
    sqlite3_stmt *stmt = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return result;
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

bool fileHeader(const QString &path, quint32 *counter)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(100);
    if (head.size() < 100)
        return false;
    *counter = qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(head.constData()) + 24);
    return true;
}

void syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

qint64 folderBytes(const QString &folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
    }
    return bytes;
}

// Copies the schema `schema` of `source` into a new file `target`; the reason on failure.
QString copyDatabase(sqlite3 *source, const char *schema, const QString &target, int pagesBefore, int pagesAll,
                     const std::function<void(int)> &progress)
{
    Db dest;
    if (dest.open(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) != SQLITE_OK)
        return QStringLiteral("не удаётся создать файл копии");
    // The copy is synced once, whole, after the last page: a copy cut short is never listed.
    execSql(dest.db, "PRAGMA journal_mode = OFF");
    execSql(dest.db, "PRAGMA synchronous = OFF");
    sqlite3_backup *backup = sqlite3_backup_init(dest.db, "main", source, schema);
    if (!backup)
        return QString::fromUtf8(sqlite3_errmsg(dest.db));
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (progress && pagesAll > 0) {
            const int done = sqlite3_backup_pagecount(backup) - sqlite3_backup_remaining(backup);
            progress(int(qint64(pagesBefore + done) * 90 / pagesAll));
        }
    } while (rc == SQLITE_OK);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        if ((rc & 0xff) == SQLITE_FULL || (sqlite3_errcode(dest.db) & 0xff) == SQLITE_FULL)
            return QStringLiteral("диск заполнен");
        return QString::fromUtf8(sqlite3_errstr(rc));
    }
    return QString();
}

// Category table names are fixed words: they go into the query as they are.
bool hasTable(sqlite3 *db, const QString &table)
{
    return firstText(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '") +
                             table + QStringLiteral("' COLLATE NOCASE")) == QLatin1String("1");
}

int pageCount(sqlite3 *db, const QString &schema)
{
    return firstText(db, QStringLiteral("PRAGMA ") + schema + QStringLiteral(".page_count")).toInt();
}

// Opens the copy read-only and checks it.
QString verifyCopy(const QString &folder)
{
    Db db;
    if (db.open(folder + QLatin1Char('/') + kCatalogueName, SQLITE_OPEN_READONLY) != SQLITE_OK)
        return QStringLiteral("копия не открывается");
    // The check reads every page once: mapped, they are read without a copy each.
    execSql(db.db, "PRAGMA mmap_size = 4294967296");
    if (firstText(db.db, QStringLiteral("PRAGMA integrity_check(1)")) != QLatin1String("ok"))
        return QStringLiteral("копия каталога не прошла проверку целостности");
    const QString history = history::historyPath(folder + QLatin1Char('/') + kCatalogueName);
    if (QFileInfo::exists(history)) {
        Db h;
        if (h.open(history, SQLITE_OPEN_READONLY) != SQLITE_OK ||
            firstText(h.db, QStringLiteral("PRAGMA integrity_check(1)")) != QLatin1String("ok"))
            return QStringLiteral("копия журнала изменений не прошла проверку целостности");
    }
    return QString();
}

bool writeManifest(const QString &folder, const Backup &backup)
{
    QSaveFile file(folder + QLatin1Char('/') + kManifest);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QString text = QStringLiteral("at=%1\nreason=%2\ncounter=%3\nsize=%4\nmodified=%5\n")
                       .arg(backup.at.toString(Qt::ISODate), tokenOf(backup.reason))
                       .arg(backup.changeCounter)
                       .arg(backup.catalogueSize)
                       .arg(backup.catalogueModified);
    for (const auto &[table, count] : backup.perTable)
        text += QStringLiteral("entries.%1=%2\n").arg(table).arg(count);
    file.write(text.toUtf8());
    return file.commit();
}

std::optional<Backup> readManifest(const QString &folder)
{
    QFile file(folder + QLatin1Char('/') + kManifest);
    if (!file.open(QIODevice::ReadOnly) || !QFileInfo(folder + QLatin1Char('/') + kCatalogueName).isFile())
        return std::nullopt;
    Backup backup;
    backup.folder = folder;
    std::optional<Reason> reason;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QString key = QString::fromUtf8(line.left(eq));
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == QLatin1String("at"))
            backup.at = QDateTime::fromString(value, Qt::ISODate);
        else if (key == QLatin1String("reason"))
            reason = reasonOf(value);
        else if (key == QLatin1String("counter"))
            backup.changeCounter = value.toUInt();
        else if (key == QLatin1String("size"))
            backup.catalogueSize = value.toLongLong();
        else if (key == QLatin1String("modified"))
            backup.catalogueModified = value.toLongLong();
        else if (key.startsWith(QLatin1String("entries.")))
            backup.perTable.append({key.mid(8), value.toLongLong()});
    }
    if (!backup.at.isValid() || !reason)
        return std::nullopt;
    backup.reason = *reason;
    backup.bytes = folderBytes(folder);
    return backup;
}

// A removed backup first loses its name, so that a kill half-way through never leaves half of
// one listed.
void removeBackupFolder(const QString &folder)
{
    const QFileInfo info(folder);
    const QString doomed = info.absolutePath() + QStringLiteral("/.removing-") + info.fileName();
    if (QDir().rename(folder, doomed))
        QDir(doomed).removeRecursively();
}

// What a kill left: copies cut short and removals not finished.
void clearLeftovers(const QString &folder)
{
    const QStringList names = QDir(folder).entryList({QStringLiteral(".partial-*"), QStringLiteral(".removing-*")},
                                                     QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        QDir(folder + QLatin1Char('/') + name).removeRecursively();
}

// The kept pictures are named by their content and never rewritten: a link is a copy that
// takes no room.
void linkPictures(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isDir())
        return;
    QDir().mkpath(to);
    const QStringList files = QDir(from).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : files) {
        const QByteArray source = QFile::encodeName(from + QLatin1Char('/') + name);
        const QByteArray target = QFile::encodeName(to + QLatin1Char('/') + name);
        if (::link(source.constData(), target.constData()) != 0)
            QFile::copy(QString::fromLocal8Bit(source), QString::fromLocal8Bit(target));
    }
}

QString damagedName(const QString &path)
{
    const QString stem =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(kDamagedStampFormat);
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    return aside;
}

// Copies `from` to `to` under a temporary name, synced, then renamed over it.
QString putInPlace(const QString &from, const QString &to)
{
    const QString temporary = to + QStringLiteral(".restoring");
    QFile::remove(temporary);
    if (!QFile::copy(from, temporary))
        return QStringLiteral("не удалось скопировать «") + from + QStringLiteral("»");
    QFile(temporary).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ReadOther);
    syncFile(temporary);
    // Journals left by the file replaced would be played back into the restored one.
    for (const QLatin1String suffix : {QLatin1String("-journal"), QLatin1String("-wal"), QLatin1String("-shm")})
        QFile::remove(to + suffix);
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(to).constData()) != 0) {
        QFile::remove(temporary);
        return QStringLiteral("не удалось заменить «") + to + QStringLiteral("»");
    }
    return QString();
}

} // namespace

QString reasonText(Reason reason)
{
    for (const ReasonName &r : kReasons)
        if (r.reason == reason)
            return QString::fromUtf8(r.text);
    return QString();
}

qint64 Backup::entries() const
{
    qint64 total = 0;
    for (const auto &[table, count] : perTable)
        total += count;
    return total;
}

QString Backup::cataloguePath() const
{
    return folder + QLatin1Char('/') + kCatalogueName;
}

QString backupsFolder(const QString &cataloguePath)
{
    return QFileInfo(cataloguePath).absolutePath() + QStringLiteral("/Backups");
}

std::vector<Backup> listBackups(const QString &folder)
{
    std::vector<Backup> backups;
    const QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (auto backup = readManifest(folder + QLatin1Char('/') + name))
            backups.push_back(std::move(*backup));
    }
    std::sort(backups.begin(), backups.end(),
              [](const Backup &a, const Backup &b) { return a.at != b.at ? a.at > b.at : a.folder > b.folder; });
    return backups;
}

std::optional<Backup> newestGoodBackup(const QString &folder)
{
    for (Backup &backup : listBackups(folder)) {
        Db db;
        if (db.open(backup.cataloguePath(), SQLITE_OPEN_READONLY) == SQLITE_OK &&
            firstText(db.db, QStringLiteral("PRAGMA quick_check(1)")) == QLatin1String("ok"))
            return std::move(backup);
    }
    return std::nullopt;
}

std::vector<bool> kept(const std::vector<Backup> &backups)
{
    std::vector<bool> keep(backups.size(), false);
    std::set<QDate> days;
    std::set<std::pair<int, int>> weeks;
    int updates = 0;
    int restores = 0;
    int manual = 0;
    for (size_t i = 0; i < backups.size(); ++i) {
        const QDate day = backups[i].at.date();
        if (days.size() < 7 && days.insert(day).second)
            keep[i] = true;
        int weekYear = 0;
        const int week = day.weekNumber(&weekYear);
        if (weeks.size() < 4 && weeks.insert({weekYear, week}).second)
            keep[i] = true;
        const Reason reason = backups[i].reason;
        if ((reason == Reason::BeforeUpdate || reason == Reason::BeforeProgramUpdate) && updates++ < 3)
            keep[i] = true;
        if (reason == Reason::BeforeRestore && restores++ < 3)
            keep[i] = true;
        if (reason == Reason::Manual && manual++ < 3)
            keep[i] = true;
    }
    return keep;
}

bool changedSince(const std::vector<Backup> &backups, const QString &cataloguePath)
{
    if (backups.empty())
        return true;
    quint32 counter = 0;
    if (!fileHeader(cataloguePath, &counter))
        return true;
    const QFileInfo info(cataloguePath);
    const Backup &last = backups.front();
    // A catalogue in WAL mode keeps no counter: its time stamp tells instead.
    return counter != last.changeCounter || info.size() != last.catalogueSize ||
           info.lastModified().toMSecsSinceEpoch() != last.catalogueModified;
}

bool dailyDue(const std::vector<Backup> &backups, const QString &cataloguePath, const QDateTime &now)
{
    for (const Backup &backup : backups)
        if (backup.at.date() == now.date())
            return false;
    return changedSince(backups, cataloguePath);
}

Outcome takeBackup(const Request &request)
{
    const std::lock_guard lock(g_oneAtATime);
    Outcome outcome;
    const auto skipped = [&](const QString &why) {
        outcome.message = QStringLiteral("Резервная копия не сделана: ") + why + QLatin1Char('.');
        return outcome;
    };
    const QString historyFile = history::historyPath(request.cataloguePath);
    if (!QDir().mkpath(request.backupsFolder))
        return skipped(QStringLiteral("не удаётся создать папку ") + request.backupsFolder);
    clearLeftovers(request.backupsFolder);

    const qint64 needed =
        QFileInfo(request.cataloguePath).size() + QFileInfo(historyFile).size() + QFileInfo(request.optionsPath).size();
    const QStorageInfo disk(request.backupsFolder);
    if (disk.isValid() && disk.bytesAvailable() - needed < disk.bytesTotal() / 10)
        return skipped(QStringLiteral("на диске осталось бы меньше 10 % свободного места"));

    Db source;
    if (source.open(request.cataloguePath, SQLITE_OPEN_READONLY) != SQLITE_OK)
        return skipped(QStringLiteral("каталог не открывается"));
    sqlite3_busy_timeout(source.db, 100);
    const bool withHistory = QFileInfo(historyFile).isFile();
    // One read of both files: a change is in both copies or in neither, or in the history alone,
    // waiting, which the next opening settles as not made (see history/JointCommit.h). A writer
    // may be waiting for the catalogue this read holds: the read then lets go and tries again.
    bool attached = !withHistory;
    for (int attempt = 1;; ++attempt) {
        if (!attached) {
            sqlite3_stmt *attach = nullptr;
            sqlite3_prepare_v2(source.db, "ATTACH DATABASE ?1 AS history", -1, &attach, nullptr);
            const QByteArray path = historyFile.toUtf8();
            sqlite3_bind_text(attach, 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
            attached = sqlite3_step(attach) == SQLITE_DONE;
            sqlite3_finalize(attach);
        }
        if (attached) {
            execSql(source.db, "BEGIN");
            if (!firstText(source.db, QStringLiteral("SELECT count(*) FROM main.sqlite_master")).isEmpty() &&
                (!withHistory ||
                 !firstText(source.db, QStringLiteral("SELECT count(*) FROM history.sqlite_master")).isEmpty()))
                break;
            execSql(source.db, "ROLLBACK");
        }
        if (attempt == kReadAttempts)
            return skipped(attached ? QStringLiteral("каталог занят или не читается")
                                    : QStringLiteral("журнал изменений не открывается"));
        QThread::msleep(attempt * 10);
    }

    Backup backup;
    backup.at = request.now;
    backup.reason = request.reason;
    fileHeader(request.cataloguePath, &backup.changeCounter);
    const QFileInfo copied(request.cataloguePath);
    backup.catalogueSize = copied.size();
    backup.catalogueModified = copied.lastModified().toMSecsSinceEpoch();

    const QString stamp = request.now.toString(kStampFormat) + QLatin1Char('_') + tokenOf(request.reason);
    const QString partial = request.backupsFolder + QStringLiteral("/.partial-") + stamp;
    QDir(partial).removeRecursively();
    if (!QDir().mkpath(partial))
        return skipped(QStringLiteral("не удаётся создать папку копии"));
    const auto failed = [&](const QString &why) {
        QDir(partial).removeRecursively();
        return skipped(why);
    };

    // Counted within the same read as the copy, page for page the same: what the copy holds.
    for (const QString &table : tableCreationOrder()) {
        if (hasTable(source.db, table))
            backup.perTable.append(
                {table,
                 firstText(source.db, QStringLiteral("SELECT count(*) FROM main.") + quoted(table)).toLongLong()});
    }
    const int mainPages = pageCount(source.db, QStringLiteral("main"));
    const int allPages = mainPages + (withHistory ? pageCount(source.db, QStringLiteral("history")) : 0);
    const QString catalogueCopy = partial + QLatin1Char('/') + kCatalogueName;
    if (const QString why = copyDatabase(source.db, "main", catalogueCopy, 0, allPages, request.progress);
        !why.isEmpty())
        return failed(why);
    if (withHistory) {
        if (const QString why = copyDatabase(source.db, "history", history::historyPath(catalogueCopy), mainPages,
                                             allPages, request.progress);
            !why.isEmpty())
            return failed(why);
    }
    linkPictures(history::keptPicturesFolder(request.cataloguePath), history::keptPicturesFolder(catalogueCopy));
    execSql(source.db, "COMMIT");

    if (QFileInfo(request.optionsPath).isFile() &&
        !QFile::copy(request.optionsPath, partial + QLatin1Char('/') + kOptionsName))
        return failed(QStringLiteral("не удалось скопировать Options.ini"));
    syncFile(catalogueCopy);
    syncFile(history::historyPath(catalogueCopy));

    if (request.progress)
        request.progress(92);
    if (const QString why = verifyCopy(partial); !why.isEmpty())
        return failed(why);
    if (request.progress)
        request.progress(96);
    if (!writeManifest(partial, backup))
        return failed(QStringLiteral("диск заполнен"));

    QString final = request.backupsFolder + QLatin1Char('/') + stamp;
    for (int n = 2; QFileInfo::exists(final); ++n)
        final = request.backupsFolder + QLatin1Char('/') + stamp + QLatin1Char('-') + QString::number(n);
    if (!QDir().rename(partial, final))
        return failed(QStringLiteral("не удалось переименовать папку копии"));
    syncFile(request.backupsFolder);
    backup.folder = final;
    backup.bytes = folderBytes(final);

    // Older backups go only once this one has been checked.
    const std::vector<Backup> all = listBackups(request.backupsFolder);
    const std::vector<bool> keep = kept(all);
    for (size_t i = 0; i < all.size(); ++i)
        if (!keep[i] && all[i].folder != final)
            removeBackupFolder(all[i].folder);
    if (request.progress)
        request.progress(100);
    outcome.backup = std::move(backup);
    return outcome;
}

QString restoreBackup(const Backup &backup, const QString &cataloguePath, QString *keepOldAs)
{
    const std::lock_guard lock(g_oneAtATime);
    const QFileInfo old(cataloguePath);
    if (keepOldAs && (old.exists() || old.isSymLink())) {
        const QString aside = damagedName(cataloguePath);
        if (::rename(QFile::encodeName(cataloguePath).constData(), QFile::encodeName(aside).constData()) != 0)
            return QStringLiteral("не удалось переименовать повреждённый каталог");
        // SQLite's journal of the damaged file belongs to it.
        const QString journal = cataloguePath + QStringLiteral("-journal");
        if (QFileInfo::exists(journal))
            QFile::rename(journal, aside + QStringLiteral("-journal"));
        *keepOldAs = aside;
    }
    if (const QString why = putInPlace(backup.cataloguePath(), cataloguePath); !why.isEmpty())
        return why;
    const QString historyCopy = history::historyPath(backup.cataloguePath());
    if (QFileInfo(historyCopy).isFile()) {
        if (const QString why = putInPlace(historyCopy, history::historyPath(cataloguePath)); !why.isEmpty())
            return why;
    } else {
        // A history that does not belong to the restored catalogue would undo changes it never had.
        for (const QLatin1String suffix :
             {QLatin1String(""), QLatin1String("-journal"), QLatin1String("-wal"), QLatin1String("-shm")})
            QFile::remove(history::historyPath(cataloguePath) + suffix);
    }
    const QString pictures = history::keptPicturesFolder(backup.cataloguePath());
    const QString target = history::keptPicturesFolder(cataloguePath);
    if (QFileInfo(pictures).isDir()) {
        QDir().mkpath(target);
        for (const QString &name : QDir(pictures).entryList(QDir::Files | QDir::Hidden))
            if (!QFileInfo::exists(target + QLatin1Char('/') + name))
                QFile::copy(pictures + QLatin1Char('/') + name, target + QLatin1Char('/') + name);
    }
    syncFile(old.absolutePath());
    return QString();
}

QString catalogueDamage(const QString &path)
{
    if (const QString problem = catalogueFileProblem(path); !problem.isEmpty())
        return problem;
    Db db;
    if (db.open(path, SQLITE_OPEN_READONLY) != SQLITE_OK)
        return QStringLiteral("файл не открывается");
    if (firstText(db.db, QStringLiteral("PRAGMA quick_check(1)")) != QLatin1String("ok"))
        return QStringLiteral("файл повреждён");
    for (const QString &table : tableCreationOrder()) {
        if (!hasTable(db.db, table))
            return QStringLiteral("в каталоге нет таблицы ") + table;
    }
    return QString();
}

} // namespace zv::backup

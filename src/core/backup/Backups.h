#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace zv::backup {

// Why a backup was taken; written into its folder's name and its manifest.
enum class Reason { Daily, Manual, BeforeUpdate, BeforeProgramUpdate, BeforeRestore };

QString reasonText(Reason reason); // in Russian, for the window and the questions

// A finished, verified backup: a folder of `Backups/` holding the catalogue, its history, the
// pictures the history keeps, Options.ini and the manifest `backup.ini`.
struct Backup
{
    QString folder;
    QDateTime at;
    Reason reason = Reason::Manual;
    // Entries per category table, as counted in the verified copy.
    QList<QPair<QString, qint64>> perTable;
    // The catalogue file's change counter and size when it was copied: tells whether it changed since.
    quint32 changeCounter = 0;
    qint64 catalogueSize = 0;
    qint64 catalogueModified = 0; // ms since the epoch
    qint64 bytes = 0;             // what the folder takes on the disk

    qint64 entries() const;
    QString cataloguePath() const;
};

// `Backups/` of the program folder the catalogue lies in.
QString backupsFolder(const QString &cataloguePath);

// The finished backups of `folder`, newest first. A folder without a readable manifest (a backup
// cut short) is not one.
std::vector<Backup> listBackups(const QString &folder);

// The newest backup whose catalogue still passes SQLite's quick check, if any.
std::optional<Backup> newestGoodBackup(const QString &folder);

struct Request
{
    QString cataloguePath;
    QString optionsPath;
    QString backupsFolder;
    Reason reason = Reason::Manual;
    QDateTime now = QDateTime::currentDateTime();
    // Called with 0..100 on the thread that runs the backup.
    std::function<void(int)> progress;
};

struct Outcome
{
    std::optional<Backup> backup; // set when taken
    QString message;              // why not, in Russian
};

// Copies the catalogue and its history from one read of both (other connections wait to write
// meanwhile) into a folder under a temporary name, verifies the copy and only then gives it its
// name and removes backups the rotation no longer keeps. Nothing of the catalogue is written. A
// backup that would leave less than a tenth of the disk free is not taken.
Outcome takeBackup(const Request &request);

// Which of `backups` (newest first) the rotation keeps: the newest of each of the last 7 days
// that have one, of each of the last 4 weeks, and the last 3 taken before an update, the last 3
// before a restore and the last 3 made by hand. True per backup, in the same order.
std::vector<bool> kept(const std::vector<Backup> &backups);

// True when the catalogue file is not the one the newest backup copied, or there is none.
bool changedSince(const std::vector<Backup> &backups, const QString &cataloguePath);
// A daily backup is due: none taken on the day of `now`, and the catalogue changed since the last.
bool dailyDue(const std::vector<Backup> &backups, const QString &cataloguePath, const QDateTime &now);

// Puts the backup's catalogue and history in place of those at `cataloguePath` (each copied
// under a temporary name, then renamed over), and brings back the kept pictures it has that are
// missing. With `keepOldAs`, whatever stands at `cataloguePath` (a damaged file, a folder) is
// renamed to `Zorvanell.dat.damaged-<date>-<time>` first and that name is returned there.
// Every connection to the catalogue must be closed. The reason in Russian on failure.
QString restoreBackup(const Backup &backup, const QString &cataloguePath, QString *keepOldAs = nullptr);

// Why the catalogue at `path` should be restored from a backup, or an empty text when it opens,
// passes SQLite's quick check and has every category table.
QString catalogueDamage(const QString &path);

} // namespace zv::backup

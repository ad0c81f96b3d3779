#include "core/search/CatalogueFingerprint.h"

#include <QFile>

#include <sqlite3.h>
#include <sys/stat.h>

namespace zv::search {

CatalogueFingerprint readFingerprint(sqlite3 *db, const QString &path)
{
    CatalogueFingerprint fingerprint;
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        fingerprint.identity =
            QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino));
    const bool inTransaction = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    // The first read takes the shared lock (and rolls back a change a killed writer left).
    sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(100);
    const qint64 size = file.size();
    if (inTransaction)
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    // Bytes 18 and 19 are 1 in rollback-journal mode; in WAL mode the counter is not kept up.
    if (head.size() == 100 && head.at(18) == 1 && head.at(19) == 1)
        fingerprint.state = head.mid(24, 8).toHex() + '.' + head.mid(40, 4).toHex() + '.' + head.mid(92, 4).toHex() +
                            '.' + QByteArray::number(size);
    return fingerprint;
}

} // namespace zv::search

#include "core/Files.h"
#include "core/store/CatalogueStore.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace zv {

namespace {

constexpr int kSqliteHeaderSize = 100;

} // namespace

QString catalogueFileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QStringLiteral("файл не найден");
    if (const QString odd = irregularFileReason(path); !odd.isEmpty())
        return odd;
    QFile file(path);
    if (!openRegularFile(file))
        return QStringLiteral("нет прав на чтение файла");
    const qint64 size = file.size();
    if (size == 0)
        return QStringLiteral("файл пуст");
    const QByteArray head = file.read(kSqliteHeaderSize);
    // The Windows version of the program kept its catalogue in a Microsoft Jet database.
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        return QStringLiteral("это каталог старой версии программы для Windows (база данных Microsoft Jet), "
                              "эта версия его не читает");
    if (!head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return QStringLiteral("файл не является каталогом Zorvanell (неизвестный формат)");
    if (head.size() < kSqliteHeaderSize)
        return QStringLiteral("файл обрезан");
    const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
    qint64 pageSize = qFromBigEndian<quint16>(bytes + 16);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 pageCount = qFromBigEndian<quint32>(bytes + 28);
    const quint32 changeCounter = qFromBigEndian<quint32>(bytes + 24);
    const quint32 validFor = qFromBigEndian<quint32>(bytes + 92);
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return QStringLiteral("файл повреждён");
    // A journal beside the file is a change cut short (the program was killed while writing): the
    // first page may already count pages not yet written. SQLite undoes the change when it opens the file.
    const bool changeCutShort =
        QFileInfo(path + QStringLiteral("-journal")).size() > 0 || QFileInfo(path + QStringLiteral("-wal")).size() > 0;
    if (size % pageSize != 0 ||
        (!changeCutShort && changeCounter == validFor && pageCount > 0 && size < qint64(pageCount) * pageSize))
        return QStringLiteral("файл обрезан");
    return QString();
}

} // namespace zv

#include "core/entryfile/EntrySending.h"

#include "core/Files.h"
#include "core/export/TextExport.h"
#include "core/session/EntryPictures.h"

#include <QFile>

namespace zv::entryfile {

Entry entryToSend(const CatalogueConnection &db, const QString &folder, const QString &table, qint64 rowId,
                  const QString &name, const QString &text, QStringList *leftOut)
{
    Entry entry{table, name, text, {}};
    qint64 total = 0;
    for (const QString &fileName : ownPictures(db, folder, table, rowId, name)) {
        QFile file(folder + QLatin1Char('/') + fileName);
        const QByteArray bytes = openRegularFile(file) ? file.read(kMaxUnpackedBytes + 1) : QByteArray();
        // What the publisher's check would refuse stays behind, and the whole file stays within its limits.
        if (!pictureProblem(name, fileName, bytes).isEmpty() || int(entry.pictures.size()) == kMaxPictures ||
            total + bytes.size() > kMaxUnpackedBytes - kMaxManifestBytes) {
            *leftOut << fileName;
            continue;
        }
        total += bytes.size();
        entry.pictures.push_back({fileName, bytes});
    }
    return entry;
}

QString writeEntryFile(const QString &path, const Entry &entry)
{
    const QByteArray bytes = entryFileBytes(entry);
    if (bytes.isEmpty())
        return QStringLiteral("Запись «") + entry.name +
               QStringLiteral("» слишком велика для файла записи. Файл не записан.");
    return exporting::writeFile(path, bytes);
}

} // namespace zv::entryfile

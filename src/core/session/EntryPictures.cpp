#include "core/session/EntryPictures.h"

#include "core/LetterCase.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/screenshots/ScreenshotStore.h"

namespace zv {

QStringList ownPictures(const CatalogueConnection &catalogue, const QString &folder, const QString &table, qint64 rowId,
                        const QString &name)
{
    QStringList pictures = screenshots::picturesOf(folder, name);
    if (pictures.isEmpty())
        return pictures;
    for (const NamedRecord &other : RecordsNamedFrom(catalogue, name)) {
        if (other.table == table && other.rowId == rowId)
            continue;
        pictures.removeIf([&](const QString &picture) { return screenshots::belongsTo(picture, other.name); });
    }
    return pictures;
}

QString renamedPicture(const QString &fileName, const QString &from, const QString &to)
{
    for (const QString &form : screenshots::pictureForms(from)) {
        if (equalsIgnoringCase(QStringView(fileName).left(form.size()), form))
            return screenshots::fileNameForm(to) + fileName.mid(form.size());
    }
    return QString();
}

} // namespace zv

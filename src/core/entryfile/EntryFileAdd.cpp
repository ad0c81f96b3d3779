#include "core/entryfile/EntryFileAdd.h"

#include "core/LetterCase.h"
#include "core/entryfile/EntryFile.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/store/CatalogueStore.h"
#include "core/update/Publisher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

namespace zv::entryfile {

namespace {

QString quoted(const QString &name)
{
    return QStringLiteral("\"") + name + QStringLiteral("\"");
}

struct Arrived
{
    QString file;
    Entry entry;
};

// A picture written under a temporary name, waiting for the commit.
struct Waiting
{
    QString temporary;
    QString fileName;
};

void removeAll(const std::vector<Waiting> &waiting)
{
    for (const Waiting &picture : waiting)
        QFile::remove(picture.temporary);
}

// Why `entry` is left out of the catalogue `db` with pictures in `folder` (its name is held, one of
// its pictures' file names is taken), or an empty text when it goes in. `taken` holds the picture
// names of the entries going in before it.
QString leftOutBecause(const CatalogueConnection &db, const QString &folder, const Entry &entry,
                       const QSet<QString> &taken)
{
    const FindResult held = FindEntry(db, entry.table, entry.name);
    if (held.found())
        return held.ref == entry.text ? QStringLiteral("already there with the same text, skipped")
                                      : QStringLiteral("the catalogue holds this name with another text, left out");
    const std::vector<NamedRecord> longer = RecordsNamedFrom(db, entry.name);
    for (const Picture &picture : entry.pictures) {
        if (!screenshots::existingName(folder, picture.fileName).isEmpty() ||
            taken.contains(foldCase(picture.fileName)))
            return QStringLiteral("the picture file ") + quoted(picture.fileName) +
                   QStringLiteral(" exists already, left out");
        for (const NamedRecord &other : longer) {
            if (!equalsIgnoringCase(other.name, entry.name) && screenshots::belongsTo(picture.fileName, other.name))
                return QStringLiteral("the picture ") + quoted(picture.fileName) +
                       QStringLiteral(" would be the entry ") + quoted(other.name) + QStringLiteral("'s, left out");
        }
    }
    return QString();
}

} // namespace

AddResult addEntryFiles(const QString &cataloguePath, const QStringList &files)
{
    AddResult result;
    std::vector<Arrived> arrived;
    for (const QString &file : files) {
        QString why;
        std::optional<Entry> entry = loadEntryFile(file, &why);
        if (entry && !update::unpublishableName(entry->name).isEmpty())
            why = QStringLiteral("the entry ") + quoted(entry->name) + QStringLiteral(": ") +
                  update::unpublishableName(entry->name);
        if (!why.isEmpty()) {
            result.error = file + QStringLiteral(": refused, ") + why + QStringLiteral("; nothing was added");
            return result;
        }
        arrived.push_back({file, std::move(*entry)});
    }

    const QString folder = QFileInfo(cataloguePath).absolutePath() + QStringLiteral("/ScreenShots");
    std::vector<Waiting> waiting;
    try {
        const CatalogueConnection db = OpenCatalogue(cataloguePath);
        std::vector<const Arrived *> going;
        QSet<QString> names; // category and folded name of the entries going in
        QSet<QString> taken; // folded picture names of the entries going in
        for (const Arrived &one : arrived) {
            const Entry &entry = one.entry;
            const QString where = one.file + QStringLiteral(": ") + entry.table + QStringLiteral(": ") +
                                  quoted(entry.name) + QStringLiteral(": ");
            if (!db->hasTable(entry.table)) {
                result.reports << where + QStringLiteral("the catalogue has no such category, left out");
                continue;
            }
            QString why = leftOutBecause(db, folder, entry, taken);
            if (why.isEmpty() && names.contains(entry.table + QLatin1Char('/') + foldCase(entry.name)))
                why = QStringLiteral("an earlier file brings this entry already, left out");
            if (!why.isEmpty()) {
                result.reports << where + why;
                continue;
            }
            names.insert(entry.table + QLatin1Char('/') + foldCase(entry.name));
            for (const Picture &picture : entry.pictures)
                taken.insert(foldCase(picture.fileName));
            going.push_back(&one);
        }
        if (going.empty()) {
            result.ok = true;
            return result;
        }
        if (!QDir().mkpath(folder))
            throw CatalogueError(QStringLiteral("cannot create ") + folder);
        // Hidden, so that no entry owns them by name meanwhile.
        for (const Arrived *one : going) {
            for (const Picture &picture : one->entry.pictures) {
                const QString temporary = folder + QStringLiteral("/.zvadd-") +
                                          QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".part");
                QFile file(temporary);
                waiting.push_back({temporary, picture.fileName});
                if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                    file.write(picture.bytes) != picture.bytes.size() || !file.flush())
                    throw CatalogueError(QStringLiteral("cannot write ") + temporary);
            }
        }
        Catalogue::Transaction transaction(*db);
        for (const Arrived *one : going)
            AddEntry(db, one->entry.table, one->entry.name, one->entry.text);
        transaction.commit();
        result.added = int(going.size());
    } catch (const CatalogueError &error) {
        removeAll(waiting);
        result.error = error.message() + QStringLiteral("; nothing was added");
        return result;
    }
    for (const Waiting &picture : waiting) {
        if (!QFile::rename(picture.temporary, folder + QLatin1Char('/') + picture.fileName)) {
            QFile::remove(picture.temporary);
            result.reports << QStringLiteral("the picture ") + quoted(picture.fileName) +
                                  QStringLiteral(" could not be put in place; its entry was added without it");
        }
    }
    result.ok = true;
    return result;
}

} // namespace zv::entryfile

#include "core/update/EntryImport.h"

#include "core/LetterCase.h"
#include "core/TextCodec.h"
#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace zv::update {

QStringList entryFilesIn(const QString &folder)
{
    // Links are left out: only what the download itself wrote counts. Names may begin with a
    // dot; unfinished downloads lie in a folder of their own.
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    files.removeIf([](const QString &name) { return !isPlainFileName(name); });
    return files;
}

NameRows importEntries(const CatalogueConnection &catalogue, const QString &table, const QString &folder,
                       const QStringList &files, const std::function<bool(const QString &)> &isPresent,
                       const std::function<void(const QString &)> &beforeEach)
{
    QSet<QString> addedFolded;
    NameRows added;
    Catalogue::Transaction transaction(*catalogue);
    for (const QString &name : files) {
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = fromCp1251(file.readAll());
        if (beforeEach)
            beforeEach(name);
        const QString folded = foldCase(name);
        if (addedFolded.contains(folded) || (isPresent && isPresent(name)))
            continue;
        added.append(name, AddEntry(catalogue, table, name, text));
        addedFolded.insert(folded);
    }
    transaction.commit();
    return added;
}

} // namespace zv::update

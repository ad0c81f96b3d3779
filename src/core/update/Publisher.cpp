#include "core/update/Publisher.h"

#include "core/LetterCase.h"
#include "core/TextCodec.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace zv::update {

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

bool representable(const QString &text)
{
    return fromCp1251(toCp1251(text)) == text;
}

} // namespace

PublishResult publish(const PublishOptions &options)
{
    PublishResult result;
    CatalogueConnection catalogue;
    try {
        catalogue = OpenCatalogue(options.catalogue);
    } catch (const CatalogueError &e) {
        result.error = e.message();
        return result;
    }
    const QString root = options.outDir + QLatin1Char('/');
    const auto makeFolder = [&](const QString &folder) {
        if (QDir().mkpath(root + folder))
            return true;
        result.error = QStringLiteral("cannot create ") + root + folder;
        return false;
    };
    const auto write = [&](const QString &file, const QByteArray &bytes) {
        if (!makeFolder(QFileInfo(file).path()))
            return false;
        if (writeFile(root + file, bytes))
            return true;
        result.error = QStringLiteral("cannot write ") + root + file;
        return false;
    };
    const auto copy = [&](const QString &from, const QString &file) {
        QFile source(from);
        if (source.open(QIODevice::ReadOnly))
            return write(file, source.readAll());
        result.error = QStringLiteral("cannot read ") + from;
        return false;
    };

    try {
        for (const QString &table : tableCreationOrder()) {
            if (!catalogue->hasTable(table))
                continue;
            const QString base = published::entryFolder(table);
            if (!makeFolder(base))
                return result;
            QStringList names;
            QSet<QString> seen;
            bool written = true;
            ListEntries(catalogue, table, [&](const QString &name, const QString &text) {
                if (!written)
                    return;
                const QString where = table + QStringLiteral(": «") + name + QStringLiteral("»: ");
                if (!isPlainFileName(name)) {
                    result.warnings << where + QStringLiteral("skipped, the name cannot be a file name");
                    return;
                }
                if (!representable(name)) {
                    result.warnings << where + QStringLiteral("skipped, the name cannot be written in Windows-1251");
                    return;
                }
                const QString folded = foldCase(name);
                if (seen.contains(folded)) {
                    result.warnings << where + QStringLiteral("skipped, the same name (ignoring case) came earlier");
                    return;
                }
                if (!representable(text))
                    result.warnings << where + QStringLiteral("characters outside Windows-1251 written as '?'");
                written = write(base + name, toCp1251(text));
                if (!written)
                    return;
                seen.insert(folded);
                names << name;
                ++result.entries;
            });
            if (!written || !write(published::listFile(table), toCp1251(names.join(QLatin1String(crlf)))))
                return result;
        }
    } catch (const CatalogueError &e) {
        result.error = e.message();
        return result;
    }

    if (options.intVersion) {
        const QByteArray ini = QByteArrayLiteral("[Update]\r\nIntVer=") + QByteArray::number(*options.intVersion) +
                               QByteArrayLiteral("\r\nTxtVer=") + toCp1251(options.textVersion) +
                               QByteArrayLiteral("\r\n");
        if (!write(published::versionFile(), ini))
            return result;
    }
    if (!options.archive.isEmpty() && !copy(options.archive, published::archiveFile()))
        return result;
    if (!options.whatsNew.isEmpty() && !copy(options.whatsNew, published::whatsNewFile()))
        return result;
    result.ok = true;
    return result;
}

} // namespace zv::update

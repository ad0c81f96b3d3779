#include "Publisher.h"

#include "UpdateLayout.h"
#include "catalogue/CatalogueStore.h"
#include "catalogue/Category.h"
#include "catalogue/SqlStatement.h"
#include "core/LetterCase.h"
#include "core/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace zv::update {

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.flush();
}

bool copyFile(const QString &from, const QString &to, QString &error)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read ") + from;
        return false;
    }
    if (!writeFile(to, source.readAll())) {
        error = QStringLiteral("cannot write ") + to;
        return false;
    }
    return true;
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
    const QString root = options.outDir + QStringLiteral("/zv_upd");
    if (!QDir().mkpath(root)) {
        result.error = QStringLiteral("cannot create ") + root;
        return result;
    }

    try {
        for (const QString &table : tableCreationOrder()) {
            if (!catalogue->hasTable(table))
                continue;
            const QString base = root + QLatin1Char('/') + table + QStringLiteral("/base");
            if (!QDir().mkpath(base)) {
                result.error = QStringLiteral("cannot create ") + base;
                return result;
            }
            QStringList names;
            QSet<QString> seen;
            SqlStatement select(catalogue->handle(), QStringLiteral("SELECT Name, Ref FROM ") + quotedName(table) +
                                                         QStringLiteral(" WHERE Name IS NOT NULL ORDER BY rowid"));
            while (select.step()) {
                const QString name = select.text(0);
                const QString where = table + QStringLiteral(": «") + name + QStringLiteral("»: ");
                if (!isPlainFileName(name)) {
                    result.warnings << where + QStringLiteral("skipped, the name cannot be a file name");
                    continue;
                }
                if (!representable(name)) {
                    result.warnings << where + QStringLiteral("skipped, the name cannot be written in Windows-1251");
                    continue;
                }
                const QString folded = foldCase(name);
                if (seen.contains(folded)) {
                    result.warnings << where + QStringLiteral("skipped, the same name (ignoring case) came earlier");
                    continue;
                }
                const QString text = select.text(1);
                if (!representable(text))
                    result.warnings << where + QStringLiteral("characters outside Windows-1251 written as '?'");
                if (!writeFile(base + QLatin1Char('/') + name, toCp1251(text))) {
                    result.error = QStringLiteral("cannot write ") + base + QLatin1Char('/') + name;
                    return result;
                }
                seen.insert(folded);
                names << name;
                ++result.entries;
            }
            const QString list = root + QLatin1Char('/') + table + QStringLiteral("/spisok.txt");
            if (!writeFile(list, toCp1251(names.join(QLatin1String(crlf))))) {
                result.error = QStringLiteral("cannot write ") + list;
                return result;
            }
        }
    } catch (const CatalogueError &e) {
        result.error = e.message();
        return result;
    }

    if (options.intVersion) {
        const QByteArray ini = QByteArrayLiteral("[Update]\r\nIntVer=") + QByteArray::number(*options.intVersion) +
                               QByteArrayLiteral("\r\nTxtVer=") + toCp1251(options.textVersion) +
                               QByteArrayLiteral("\r\n");
        if (!writeFile(root + QStringLiteral("/ProgVer.ini"), ini)) {
            result.error = QStringLiteral("cannot write ") + root + QStringLiteral("/ProgVer.ini");
            return result;
        }
    }
    if (!options.archive.isEmpty() && !copyFile(options.archive, root + QStringLiteral("/update.rar"), result.error))
        return result;
    if (!options.whatsNew.isEmpty() &&
        !copyFile(options.whatsNew, root + QStringLiteral("/whatsnew.txt"), result.error))
        return result;
    result.ok = true;
    return result;
}

} // namespace zv::update

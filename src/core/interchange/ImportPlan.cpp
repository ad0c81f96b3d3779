#include "core/interchange/ImportPlan.h"

#include "core/LetterCase.h"
#include "core/interchange/Csv.h"
#include "core/interchange/ImportChecks.h"
#include "core/interchange/Json.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <map>

namespace zv::interchange {

ReadResult readImportFile(const QString &path)
{
    ReadResult result;
    const QFileInfo info(path);
    QFile file(path);
    if (info.isSymLink() || !info.isFile() || !file.open(QIODevice::ReadOnly)) {
        result.failure = QStringLiteral("Не удалось открыть файл «") + info.fileName() + QStringLiteral("».");
        return result;
    }
    if (file.size() > kMaxFileBytes) {
        result.failure = QStringLiteral("Файл «") + info.fileName() + QStringLiteral("» слишком большой.");
        return result;
    }
    const QByteArray bytes = file.readAll();
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("json")) {
        result = entriesFromJson(bytes);
    } else if (suffix == QLatin1String("csv")) {
        result = entriesFromCsv(bytes);
    } else {
        result.failure = QStringLiteral("Импортировать можно файлы JSON и CSV.");
        return result;
    }
    result.pictureFolder = info.absolutePath() + QLatin1Char('/') + kPictureFolder;
    checkEntries(result, result.pictureFolder);
    if (!result.ok())
        result.entries.clear();
    return result;
}

int ImportPlan::count(Match match) const
{
    return int(std::count_if(entries.cbegin(), entries.cend(),
                             [match](const PlannedEntry &entry) { return entry.match == match; }));
}

ImportPlan planImport(const CatalogueConnection &catalogue, ReadResult read)
{
    ImportPlan plan;
    plan.pictureFolder = read.pictureFolder;
    // The names of each category the file touches, read once.
    std::map<QString, QHash<QString, qint64>> present;
    // The name an entry kept both takes is none the file brings either.
    QSet<QString> inFile;
    for (const Entry &entry : read.entries)
        inFile.insert(entry.table + QLatin1Char('/') + foldCase(entry.name));
    plan.entries.reserve(read.entries.size());
    for (Entry &entry : read.entries) {
        auto names = present.find(entry.table);
        if (names == present.end()) {
            QHash<QString, qint64> folded;
            const NameRows rows = ListNameRows(catalogue, entry.table);
            folded.reserve(rows.size());
            for (qsizetype i = 0; i < rows.size(); ++i)
                folded.insert(foldCase(rows.at(i)), rows.rowIdAt(i));
            names = present.emplace(entry.table, std::move(folded)).first;
        }
        PlannedEntry planned;
        const auto found = names->second.constFind(foldCase(entry.name));
        if (found != names->second.cend()) {
            const FindResult mine = FindRecord(catalogue, entry.table, found.value(), entry.name);
            if (mine.found()) {
                planned.mineRowId = mine.rowId;
                planned.mineName = mine.name;
                planned.mineText = mine.ref;
                planned.match = mine.ref == entry.text ? Match::Same : Match::Differs;
            }
        }
        if (planned.match == Match::Differs)
            planned.bothName = freeName(entry.name, [&](const QString &name) {
                return names->second.contains(foldCase(name)) ||
                       inFile.contains(entry.table + QLatin1Char('/') + foldCase(name));
            });
        planned.theirs = std::move(entry);
        plan.entries.push_back(std::move(planned));
    }
    return plan;
}

QString freeName(const QString &name, const std::function<bool(const QString &)> &taken)
{
    for (int n = 2;; ++n) {
        const QString candidate = name + QStringLiteral(" (%1)").arg(n);
        if (!taken(candidate))
            return candidate;
    }
}

} // namespace zv::interchange

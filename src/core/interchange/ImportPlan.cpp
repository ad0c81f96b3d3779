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

namespace {

// The catalogue's records of the names a file brings, in one category: the file's names are
// few beside the category's, so each stored name is folded into a buffer and looked up by hash,
// and only a hit is made into a string.
class PresentNames
{
public:
    PresentNames(const CatalogueConnection &catalogue, const QString &table, const QSet<QString> &wanted)
    {
        QSet<size_t> hashes;
        for (const QString &name : wanted)
            hashes.insert(qHash(QStringView(name)));
        const NameRows rows = ListNameRows(catalogue, table);
        FoldBuffer folded;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            foldCaseInto(rows.at(i), folded);
            const QStringView view(folded.constData(), folded.size());
            // A name freeName could make ("Doom (2)") ends so; such names are few.
            if (view.endsWith(QLatin1Char(')')) && view.contains(QLatin1String(" (")))
                m_numbered.insert(view.toString());
            if (!hashes.contains(qHash(view)))
                continue;
            const QString key = view.toString();
            if (wanted.contains(key) && !m_rows.contains(key))
                m_rows.insert(key, rows.rowIdAt(i));
        }
    }
    // Whether the category holds a name of the form freeName makes, folded.
    bool holdsNumbered(const QString &folded) const { return m_numbered.contains(folded); }
    std::optional<qint64> find(const QString &folded) const
    {
        const auto found = m_rows.constFind(folded);
        return found == m_rows.cend() ? std::nullopt : std::optional<qint64>(found.value());
    }

private:
    QHash<QString, qint64> m_rows;
    QSet<QString> m_numbered;
};

} // namespace

ImportPlan planImport(const CatalogueConnection &catalogue, ReadResult read, const ShownNames &shown)
{
    ImportPlan plan;
    plan.pictureFolder = read.pictureFolder;
    // The names the file brings, folded, per category; for an entry kept both, the names it may
    // not take are among these or the catalogue's.
    std::map<QString, QSet<QString>> inFile;
    std::vector<QString> folded;
    folded.reserve(read.entries.size());
    for (const Entry &entry : read.entries) {
        folded.push_back(foldCase(entry.name));
        inFile[entry.table].insert(folded.back());
    }
    // The category the list shows has its names at hand; the others are read.
    std::map<QString, PresentNames> present;
    for (const auto &[table, names] : inFile) {
        if (!shown.names || table != shown.table)
            present.emplace(table, PresentNames(catalogue, table, names));
    }
    const auto find = [&](const Entry &entry, const QString &key) -> std::optional<qint64> {
        if (shown.names && entry.table == shown.table) {
            const std::vector<qint64> rows = shown.names->rowIdsOf(entry.name);
            return rows.empty() ? std::nullopt : std::optional<qint64>(*std::min_element(rows.cbegin(), rows.cend()));
        }
        return present.at(entry.table).find(key);
    };
    const auto taken = [&](const Entry &entry, const QString &name) {
        const QString key = foldCase(name);
        if (inFile.at(entry.table).contains(key))
            return true;
        if (shown.names && entry.table == shown.table)
            return shown.names->containsIgnoringCase(name);
        return present.at(entry.table).holdsNumbered(key);
    };

    plan.entries.reserve(read.entries.size());
    for (size_t i = 0; i < read.entries.size(); ++i) {
        Entry &entry = read.entries[i];
        PlannedEntry planned;
        if (const std::optional<qint64> rowId = find(entry, folded[i])) {
            const FindResult mine = FindRecord(catalogue, entry.table, *rowId, entry.name);
            if (mine.found()) {
                planned.mineRowId = mine.rowId;
                planned.mineName = mine.name;
                planned.mineText = mine.ref;
                planned.match = mine.ref == entry.text ? Match::Same : Match::Differs;
            }
        }
        if (planned.match == Match::Differs)
            planned.bothName = freeName(entry.name, [&](const QString &name) { return taken(entry, name); });
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

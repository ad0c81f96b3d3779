#include "core/update/EntryImport.h"

#include "core/Files.h"
#include "core/LetterCase.h"
#include "core/TextCodec.h"
#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <optional>

namespace zv::update {

QStringList entryFilesIn(const QString &folder)
{
    // Links are left out: only what the download itself wrote counts. Names may begin with a
    // dot; unfinished downloads lie in a folder of their own.
    QStringList files;
    QDirIterator found(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    while (found.hasNext()) {
        found.next();
        if (isPlainFileName(found.fileName()))
            files << found.fileName();
    }
    // The order of QDir::Name (UTF-16 code units), for less than half of QDir's cost.
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

std::optional<QString> readEntryFile(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return std::nullopt;
    return fromCp1251(file.readAll());
}

} // namespace

void ArrivedTexts::keep(const QString &name, const QByteArray &bytes)
{
    if (const auto old = m_texts.constFind(name); old != m_texts.cend()) {
        m_size -= old->size();
        m_texts.erase(old);
    }
    if (m_size >= m_budget)
        return;
    QString text = fromCp1251(bytes);
    m_size += text.size();
    m_texts.insert(name, std::move(text));
}

const QString *ArrivedTexts::find(const QString &name) const
{
    const auto found = m_texts.constFind(name);
    return found == m_texts.cend() ? nullptr : &*found;
}

void ArrivedTexts::clear()
{
    m_texts.clear();
    m_size = 0;
}

std::optional<NameRows> importEntries(const CatalogueConnection &catalogue, const QString &table, const QString &folder,
                                      const QStringList &files, const std::function<bool(const QString &)> &isPresent,
                                      const std::function<void(const QString &)> &beforeEach,
                                      const ArrivedTexts *arrived, const std::atomic_bool *cancel,
                                      const std::function<void(qint64, const QString &, const QString &)> &added)
{
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    QSet<QString> addedFolded;
    NameRows names;
    Catalogue::Transaction transaction(*catalogue);
    EntryAppender appender(catalogue, table);
    for (const QString &name : files) {
        // The transaction, not yet committed, takes back what was written so far.
        if (cancelled())
            return std::nullopt;
        const QString *known = arrived ? arrived->find(name) : nullptr;
        const std::optional<QString> read = known ? std::nullopt : readEntryFile(folder + QLatin1Char('/') + name);
        if (!known && !read)
            continue;
        const QString &text = known ? *known : *read;
        if (beforeEach)
            beforeEach(name);
        const QString folded = foldCase(name);
        if (addedFolded.contains(folded) || (isPresent && isPresent(name)))
            continue;
        const qint64 rowId = appender.add(name, text);
        names.append(name, rowId);
        addedFolded.insert(folded);
        if (added)
            added(rowId, name, text);
    }
    if (cancelled())
        return std::nullopt;
    transaction.commit();
    return names;
}

} // namespace zv::update

// The catalogue session's imports: entries of a file written as one change of the history.
#include "core/LetterCase.h"
#include "core/history/HistoryFile.h"
#include "core/history/JointCommit.h"
#include "core/interchange/ImportPlan.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/CatalogueSession.h"
#include "core/session/EntryPictures.h"
#include "core/store/NameListModel.h"

#include <QFileInfo>
#include <QScopedValueRollback>

namespace zv {

namespace {

using interchange::Choice;
using interchange::Match;
using interchange::PlannedEntry;

// A picture of the file to copy into the screenshot folder under `name`.
struct PictureCopy
{
    QString source;
    QString name;
};

// Whether the entry is written, and under which name.
std::optional<QString> nameWritten(const PlannedEntry &entry)
{
    if (entry.match == Match::New)
        return entry.theirs.name;
    if (entry.match == Match::Differs && entry.choice == Choice::TakeTheirs)
        return entry.theirs.name;
    if (entry.match == Match::Differs && entry.choice == Choice::KeepBoth)
        return entry.bothName;
    return std::nullopt;
}

} // namespace

bool ImportBatch::run(const std::atomic_bool *cancel)
{
    const CatalogueConnection catalogue = OpenCatalogue(m_cataloguePath);
    const CatalogueConnection historyDb = m_recordHistory ? history::workerConnection(m_cataloguePath) : nullptr;
    const bool recorded = historyDb != nullptr;
    const QString folder = screenshots::folder();
    history::Change change;
    change.kind = history::ChangeKind::Import;
    change.table = m_currentTable;

    // The pictures first go into the history, so that the import can be taken back with them.
    std::vector<PictureCopy> copies;
    for (const PlannedEntry &entry : m_plan->entries) {
        const std::optional<QString> name = nameWritten(entry);
        if (!name)
            continue;
        for (const QString &picture : entry.theirs.pictures) {
            const QString target =
                *name == entry.theirs.name ? picture : renamedPicture(picture, entry.theirs.name, *name);
            copies.push_back({m_plan->pictureFolder + QLatin1Char('/') + picture, target});
        }
    }
    if (recorded) {
        history::KeptPictures kept(m_keptFolder);
        for (const PictureCopy &copy : copies) {
            QString failure;
            QString before;
            const QString existing = folder + QLatin1Char('/') + copy.name;
            if (QFileInfo::exists(existing) && (before = kept.keep(existing, &failure)).isEmpty())
                throw CatalogueError(failure);
            const QString after = kept.keep(copy.source, &failure);
            if (after.isEmpty())
                throw CatalogueError(failure);
            change.pictures.push_back({copy.name, before, after});
        }
    }

    history::JointCommit commit(recorded ? historyDb->handle() : nullptr);
    Catalogue::Transaction transaction(*catalogue);
    std::map<QString, std::unique_ptr<EntryAppender>> appenders;
    NameRows shown;
    int seen = 0;
    for (const PlannedEntry &entry : m_plan->entries) {
        if (cancel && ++seen % 1000 == 0 && *cancel)
            return false;
        const std::optional<QString> name = nameWritten(entry);
        if (!name)
            continue;
        const QString &table = entry.theirs.table;
        qint64 rowId = -1;
        if (entry.match == Match::Differs && entry.choice == Choice::TakeTheirs) {
            FindResult mine = FindRecord(catalogue, table, entry.mineRowId, entry.mineName);
            if (!mine.found())
                throw CatalogueError(QStringLiteral("Записи «") + entry.mineName +
                                         QStringLiteral("» больше нет в каталоге; импорт отменён."),
                                     0, CatalogueError::Kind::RecordGone);
            mine.ref = entry.mineText;
            UpdateEntry(mine, *name, entry.theirs.text);
            rowId = mine.rowId;
            change.records.push_back({table, history::sideOf(rowId, entry.mineName, entry.mineText, true),
                                      history::sideOf(rowId, *name, entry.theirs.text, false)});
            if (table == m_currentTable && *name != entry.mineName)
                m_reload = true;
        } else {
            auto &appender = appenders[table];
            if (!appender)
                appender = std::make_unique<EntryAppender>(catalogue, table);
            rowId = appender->add(*name, entry.theirs.text);
            if (recorded)
                change.records.push_back({table, {}, history::sideOf(rowId, *name, entry.theirs.text, false)});
            if (table == m_currentTable)
                shown.append(*name, rowId);
        }
        m_changed[table] << rowId;
        ++m_written;
    }
    if (recorded && m_written > 0) {
        change.count = m_written;
        commit.commitNew(transaction, change);
    } else {
        transaction.commit();
    }

    for (const PictureCopy &copy : copies) {
        if (const QString failure = screenshots::copyInto(copy.source, folder, copy.name); !failure.isEmpty())
            m_pictureFailure = failure;
    }
    if (!shown.isEmpty() && !m_reload)
        m_merge = m_names->prepareInsert(std::move(shown));
    // What the session's thread would otherwise free at once: the file's entries, the list's copy.
    m_plan.reset();
    m_names.reset();
    return true;
}

ImportBatch CatalogueSession::beginImport(interchange::ImportPlan plan)
{
    ImportBatch batch;
    batch.m_cataloguePath = m_cataloguePath;
    batch.m_keptFolder = history::keptPicturesFolder(m_cataloguePath);
    batch.m_currentTable = m_currentTable;
    batch.m_names = m_model->snapshot();
    batch.m_plan = std::make_shared<const interchange::ImportPlan>(std::move(plan));
    batch.m_recordHistory = historyOn();
    return batch;
}

void CatalogueSession::finishImport(ImportBatch batch)
{
    if (batch.m_written == 0)
        return;
    // The list shows another category only if it changed meanwhile; the entries are stored all the same.
    if (batch.m_currentTable == m_currentTable) {
        if (batch.m_reload) {
            LoadDB();
        } else if (batch.m_merge) {
            const QScopedValueRollback adding(m_addingNames, true);
            m_model->insert(std::move(*batch.m_merge));
        }
    }
    for (const auto &[table, rowIds] : batch.m_changed)
        emit recordsChanged(table, rowIds);
    emit countChanged(count(), CountForm::Entries);
    changeRecorded();
}

} // namespace zv

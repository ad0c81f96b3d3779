#include "core/session/CatalogueSession.h"

#include "core/BackgroundGate.h"
#include "core/LetterCase.h"
#include "core/history/HistoryFile.h"
#include "core/history/JointCommit.h"
#include "core/history/Journal.h"
#include "core/lists/SortedLists.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/EntryPictures.h"
#include "core/store/EntryMove.h"
#include "core/store/NameListModel.h"
#include "core/store/SqlStatement.h"
#include "core/update/EntryImport.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QScopedValueRollback>

namespace zv {

namespace {

} // namespace

bool UpdateBatch::run(const QString &folder, const QStringList &files,
                      const std::function<void(const QString &)> &beforeEach, const update::ArrivedTexts *arrived,
                      const std::atomic_bool *cancel)
{
    const CatalogueConnection catalogue = OpenCatalogue(m_cataloguePath);
    const CatalogueConnection historyDb = m_recordHistory ? history::workerConnection(m_cataloguePath) : nullptr;
    const bool recorded = historyDb != nullptr;
    history::Change change;
    change.kind = history::ChangeKind::Update;
    change.table = m_table;
    history::JointCommit commit(recorded ? historyDb->handle() : nullptr);
    Catalogue::Transaction transaction(*catalogue);
    std::optional<NameRows> added = update::importEntries(
        catalogue, m_table, folder, files, [this](const QString &name) { return m_names->containsIgnoringCase(name); },
        beforeEach, arrived, cancel,
        [&](qint64 rowId, const QString &name, const QString &text) {
            if (recorded)
                change.records.push_back({m_table, {}, history::sideOf(rowId, name, text, false)});
        });
    if (!added)
        return false;
    if (recorded && !change.records.empty()) {
        change.count = int(change.records.size());
        commit.commitNew(transaction, change);
    } else {
        transaction.commit();
    }
    m_merge = m_names->prepareInsert(std::move(*added));
    return true;
}

int UpdateBatch::added() const
{
    return m_merge ? int(m_merge->batch().size()) : 0;
}

CatalogueSession::CatalogueSession(QString cataloguePath, QObject *parent)
    : QObject(parent)
    , m_cataloguePath(std::move(cataloguePath))
    , m_backgroundGate(std::make_shared<BackgroundGate>())
    , m_model(new NameListModel(this))
    , m_selection(new QItemSelectionModel(m_model, this))
    , m_lists(std::make_unique<lists::SortedLists>(m_cataloguePath))
{
    followOwnChanges();
    // The entry step follows the selection, whether the mouse, the keyboard or the search made it.
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, [this] {
        // Names added around the selection leave it on the same entry; nothing to show anew.
        if (!m_addingNames)
            selectAgain();
    });
}

CatalogueSession::~CatalogueSession()
{
    // What it writes lands whole or not at all; its report back dies with this object.
    if (m_stepThread.joinable())
        m_stepThread.join();
}

const NameList &CatalogueSession::names() const
{
    return m_model->names();
}

int CatalogueSession::count() const
{
    return m_model->rowCount();
}

bool CatalogueSession::containsName(const QString &name) const
{
    return names().containsIgnoringCase(name);
}

int CatalogueSession::selectedRow() const
{
    const QModelIndexList selected = m_selection->selectedRows();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

QString CatalogueSession::selectedName() const
{
    const int row = selectedRow();
    return row >= 0 ? m_model->nameAt(row) : QString();
}

qint64 CatalogueSession::selectedRowId() const
{
    const int row = selectedRow();
    return row >= 0 ? names().rowIdAt(row) : -1;
}

void CatalogueSession::selectRow(int row)
{
    m_selection->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
}

CatalogueConnection CatalogueSession::connection()
{
    if (!m_db)
        m_db = OpenCatalogue(m_cataloguePath);
    return m_db;
}

void CatalogueSession::showCategory(const QString &table)
{
    m_currentTable = table;
    LoadDB();
}

bool CatalogueSession::showEntry(const QString &table, qint64 rowId)
{
    if (table != m_currentTable)
        showCategory(table);
    const NameList &list = names();
    for (int row = 0; row < list.size(); ++row) {
        if (list.rowIdAt(row) == rowId) {
            if (row == selectedRow())
                selectAgain();
            else
                selectRow(row);
            return true;
        }
    }
    return false;
}

void CatalogueSession::LoadDB()
{
    m_selection->clear();
    m_model->assign({});
    m_currentRecord = {};
    QString failure;
    try {
        m_db = OpenCatalogue(m_cataloguePath);
        m_lists->load(m_db, m_currentTable, *m_model);
    } catch (const CatalogueError &error) {
        failure = error.message();
    }
    emit categoryLoaded(failure);
}

void CatalogueSession::closeCatalogue()
{
    m_currentRecord = {};
    m_db.reset();
    m_writer.reset();
    m_history.reset();
}

QString CatalogueSession::replaceCatalogue(const std::function<QString()> &replace)
{
    closeCatalogue();
    m_historyOn = false;
    const QString failure = replace();
    LoadDB();
    emit catalogueReplaced();
    emit historyChanged();
    return failure;
}

void CatalogueSession::selectAgain()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString name = m_model->nameAt(row);
    try {
        m_currentRecord = FindRecord(connection(), m_currentTable, names().rowIdAt(row), name);
    } catch (const CatalogueError &) {
        // What the window shows stays; the rest of the step still runs.
        m_currentRecord = {};
    }
    m_currentEntry = name;
    emit entrySelected();
}

qint64 CatalogueSession::addEntry(const QString &name, const QString &text)
{
    const CatalogueConnection db = writer();
    history::JointCommit commit(historyWriter());
    Catalogue::Transaction transaction(*db);
    const qint64 rowId = AddEntry(db, m_currentTable, name, text);
    history::Change change;
    change.kind = history::ChangeKind::Added;
    change.table = m_currentTable;
    change.name = name;
    change.records.push_back({m_currentTable, {}, history::sideOf(rowId, name, text, false)});
    commit.commitNew(transaction, change);
    {
        const QScopedValueRollback adding(m_addingNames, true);
        m_model->insert(name, rowId);
    }
    emit recordsChanged(m_currentTable, {rowId});
    emit countChanged(count(), CountForm::AddedInEditor);
    changeRecorded();
    return rowId;
}

void CatalogueSession::editEntry(qint64 rowId, const QString &selected, const QString &loadedText, const QString &name,
                                 const QString &text)
{
    // Two entries of one name could no longer be told apart; a change of letter case only is
    // the entry's own name.
    if (!equalsIgnoringCase(name, selected) && containsName(name))
        throw CatalogueError(QStringLiteral("Такая запись уже существует!"), 0, CatalogueError::Kind::NameTaken);
    const CatalogueConnection db = writer();
    FindResult record = FindRecord(db, m_currentTable, rowId, selected);
    // What the editor started from must still be what is stored.
    record.ref = loadedText;

    // The entry's own pictures take its new name, unless a file already has it.
    const QString folder = screenshots::folder();
    std::vector<std::pair<QString, QString>> renames;
    history::Change change;
    if (record.found() && name != record.name) {
        for (const QString &picture : ownPictures(db, folder, m_currentTable, record.rowId, record.name)) {
            const QString renamed = renamedPicture(picture, record.name, name);
            if (!renamed.isEmpty() && renamed != picture &&
                (screenshots::existingName(folder, renamed).isEmpty() || equalsIgnoringCase(renamed, picture)))
                renames.emplace_back(picture, renamed);
        }
        QStringList moving;
        for (const auto &rename : renames)
            moving << rename.first;
        if (const QString failure = keepPictures(moving, folder, change.pictures, true); !failure.isEmpty())
            throw CatalogueError(failure);
        for (size_t i = 0; i < renames.size() && i < change.pictures.size(); ++i)
            change.pictures.push_back({renames[i].second, QString(), change.pictures[i].before});
    }

    history::JointCommit commit(historyWriter());
    Catalogue::Transaction transaction(*db);
    const history::RecordSide before = history::sideOf(record.rowId, record.name, loadedText, true);
    UpdateEntry(record, name, text);
    change.kind = history::ChangeKind::Edited;
    change.table = m_currentTable;
    change.name = name;
    change.records.push_back({m_currentTable, before, history::sideOf(record.rowId, name, text, false)});
    commit.commitNew(transaction, change);
    for (const auto &[from, to] : renames)
        QFile::rename(folder + QLatin1Char('/') + from, folder + QLatin1Char('/') + to);
    emit recordsChanged(m_currentTable, {record.rowId});
    emit recordMoved(m_currentTable, record.rowId, m_currentTable, record.rowId, name);
    LoadDB();
    emit entryEdited(name);
    changeRecorded();
}

bool CatalogueSession::findCurrentRecord()
{
    if (m_currentRecord.found())
        return true;
    m_currentRecord = FindRecord(connection(), m_currentTable, selectedRowId(), selectedName());
    return m_currentRecord.found();
}

void CatalogueSession::deleteCurrent()
{
    const int row = selectedRow();
    const CatalogueConnection db = writer();
    FindResult record = m_currentRecord;
    record.catalogue = db;
    history::Change change;
    change.kind = history::ChangeKind::Deleted;
    change.table = m_currentTable;
    change.name = record.name;
    // Its own pictures go with it, into the history, and come back with it.
    const QString folder = screenshots::folder();
    QStringList pictures;
    if (record.found() && m_historyOn) {
        pictures = ownPictures(db, folder, m_currentTable, record.rowId, record.name);
        if (const QString failure = keepPictures(pictures, folder, change.pictures, true); !failure.isEmpty())
            throw CatalogueError(failure);
    }
    history::JointCommit commit(historyWriter());
    Catalogue::Transaction transaction(*db);
    const qint64 rowId = record.rowId;
    // The text kept is the one deleted, whoever stored it.
    const history::RecordSide before = history::sideOf(rowId, record.name, textStored(db, rowId), true);
    DeleteEntry(record);
    change.records.push_back({m_currentTable, before, {}});
    commit.commitNew(transaction, change);
    m_currentRecord = {};
    for (const QString &picture : std::as_const(pictures))
        screenshots::remove(folder, picture);
    emit recordsRemoved(m_currentTable, {rowId});
    removeSelectedRow(row);
    changeRecorded();
}

void CatalogueSession::moveCurrent(const QString &targetTable, const QString &name, const QString &text,
                                   const std::optional<QString> &storedText)
{
    const int row = selectedRow();
    FindResult record = m_currentRecord;
    const CatalogueConnection db = writer();
    if (record.catalogue)
        record.catalogue = db;
    if (storedText)
        record.ref = *storedText;
    const qint64 oldId = record.rowId;
    history::JointCommit commit(historyWriter());
    Catalogue::Transaction transaction(*db);
    // The text that leaves may be one another program stored meanwhile.
    const QString storedNow = textStored(db, record.rowId);
    const QString movedName = record.name;
    const qint64 newId = moveEntry(record, targetTable, name, text);
    history::Change change;
    change.kind = history::ChangeKind::Moved;
    change.table = m_currentTable;
    change.name = name;
    change.target = targetTable;
    change.records.push_back({m_currentTable, history::sideOf(oldId, movedName, storedNow, true), {}});
    change.records.push_back(
        {targetTable, {}, history::sideOf(newId, name, textStored(db, newId, targetTable), false)});
    commit.commitNew(transaction, change);
    m_currentRecord = {};
    emit recordsRemoved(m_currentTable, {oldId});
    emit recordsChanged(targetTable, {newId});
    emit recordMoved(m_currentTable, oldId, targetTable, newId, name);
    removeSelectedRow(row);
    changeRecorded();
}

QString CatalogueSession::attachPicture(const QString &source, const QString &fileName)
{
    writer();
    const QString folder = screenshots::folder();
    history::Change change;
    change.kind = history::ChangeKind::Picture;
    change.table = m_currentTable;
    change.name = m_currentEntry;
    if (m_historyOn) {
        history::KeptPictures kept = keptPictures();
        // A picture it replaces is kept first, so the replacement can be taken back.
        QString before;
        const QString existing = folder + QLatin1Char('/') + fileName;
        if (QFileInfo::exists(existing)) {
            QString failure;
            before = kept.keep(existing, &failure);
            if (before.isEmpty())
                return failure;
        }
        QString failure;
        const QString after = kept.keep(source, &failure);
        if (after.isEmpty())
            return failure;
        change.pictures.push_back({fileName, before, after});
    }
    if (const QString failure = screenshots::copyInto(source, folder, fileName); !failure.isEmpty())
        return failure;
    if (m_historyOn) {
        try {
            // Nothing of the catalogue changes: the record is written alone.
            const history::JointCommit oneAtATime(historyWriter());
            history::HistoryTransaction transaction(historyWriter(), true);
            history::Journal(historyWriter()).append(change);
            transaction.commit();
        } catch (const CatalogueError &) {
            // The picture is in place; only the way back is missing.
        }
        changeRecorded();
    }
    return QString();
}

QString CatalogueSession::textStored(const CatalogueConnection &db, qint64 rowId, const QString &table) const
{
    if (rowId < 0)
        return QString();
    SqlStatement select(db->handle(), QStringLiteral("SELECT Ref FROM ") +
                                          quotedName(table.isEmpty() ? m_currentTable : table) +
                                          QStringLiteral(" WHERE rowid = ?1"));
    select.bind(1, rowId);
    return select.step() ? select.text(0) : QString();
}

void CatalogueSession::removeSelectedRow(int row)
{
    // Nothing stays selected: the removed row's neighbour must not become the current entry.
    m_selection->clear();
    m_model->removeAt(row);
    emit entryRemoved();
}

std::shared_ptr<void> CatalogueSession::holdBackgroundWork()
{
    return m_backgroundGate->hold();
}

UpdateBatch CatalogueSession::beginUpdateBatch()
{
    UpdateBatch batch;
    batch.m_backgroundHold = holdBackgroundWork();
    batch.m_cataloguePath = m_cataloguePath;
    batch.m_table = m_currentTable;
    batch.m_names = m_model->snapshot();
    batch.m_recordHistory = historyOn();
    return batch;
}

void CatalogueSession::finishUpdateBatch(UpdateBatch batch)
{
    if (!batch.m_merge)
        return;
    QList<qint64> rowIds;
    const NameRows &added = batch.m_merge->batch();
    rowIds.reserve(added.size());
    for (qsizetype i = 0; i < added.size(); ++i)
        rowIds << added.rowIdAt(i);
    // A list still shared with the batch's snapshot would be copied whole before the names go in.
    batch.m_names.reset();
    // The list shows another category only if it changed meanwhile; the entries are stored all the same.
    if (batch.m_table == m_currentTable) {
        const QScopedValueRollback adding(m_addingNames, true);
        m_model->insert(std::move(*batch.m_merge));
    }
    emit recordsChanged(batch.m_table, rowIds);
    changeRecorded();
}

void CatalogueSession::announceUpdatedCount()
{
    emit countChanged(count(), CountForm::AfterUpdate);
}

void CatalogueSession::chooseScreenshot(const QString &path, bool several)
{
    m_screenShotPath = path;
    m_severalScreenShots = several;
}

} // namespace zv

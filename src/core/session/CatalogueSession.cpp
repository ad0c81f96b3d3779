#include "core/session/CatalogueSession.h"

#include "core/LetterCase.h"
#include "core/history/HistoryFile.h"
#include "core/history/Journal.h"
#include "core/history/Reversal.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/EntryPictures.h"
#include "core/store/EntryMove.h"
#include "core/store/NameListModel.h"
#include "core/store/SqlStatement.h"
#include "core/update/EntryImport.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QScopedValueRollback>

#include <sqlite3.h>

namespace zv {

namespace {

// Attaches the history to a connection of a worker; false when it cannot be (the session has
// said why already), and the entries are written without it.
bool attachHistoryTo(Catalogue &catalogue)
{
    try {
        history::attachHistory(catalogue.handle(), catalogue.path());
        return true;
    } catch (const CatalogueError &) {
        return false;
    }
}

} // namespace

bool UpdateBatch::run(const QString &folder, const QStringList &files,
                      const std::function<void(const QString &)> &beforeEach, const update::ArrivedTexts *arrived,
                      const std::atomic_bool *cancel)
{
    const CatalogueConnection catalogue = OpenCatalogue(m_cataloguePath);
    const bool recorded = m_recordHistory && attachHistoryTo(*catalogue);
    history::Change change;
    change.kind = history::ChangeKind::Update;
    change.table = m_table;
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
        history::Journal(catalogue->handle()).append(change);
    }
    transaction.commit();
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
    , m_model(new NameListModel(this))
    , m_selection(new QItemSelectionModel(m_model, this))
{
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
        m_model->assign(ListNameRows(m_db, m_currentTable));
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

CatalogueConnection CatalogueSession::writer()
{
    if (m_writer)
        return m_writer;
    m_writer = OpenCatalogue(m_cataloguePath);
    if (!m_recordingHistory)
        return m_writer;
    try {
        const history::Attached attached = history::attachHistory(m_writer->handle(), m_cataloguePath);
        m_historyOn = true;
        if (!attached.setAsideAs.isEmpty())
            m_historyNote = QStringLiteral("Журнал изменений был повреждён или чужой; он отложен как «") +
                            attached.setAsideAs + QStringLiteral("», начат новый.");
        pruneHistory();
    } catch (const CatalogueError &error) {
        m_historyOn = false;
        m_historyNote = QStringLiteral("Журнал изменений не ведётся: ") + error.message();
    }
    return m_writer;
}

bool CatalogueSession::historyOn()
{
    try {
        writer();
    } catch (const CatalogueError &) {
        // The catalogue cannot be opened now (another program holds it): no history either.
        return false;
    }
    return m_historyOn;
}

const QString &CatalogueSession::historyNote()
{
    historyOn();
    return m_historyNote;
}

history::KeptPictures CatalogueSession::keptPictures() const
{
    return history::KeptPictures(history::keptPicturesFolder(m_cataloguePath));
}

void CatalogueSession::recordChange(const CatalogueConnection &db, history::Change &change)
{
    if (m_historyOn)
        history::Journal(db->handle()).append(change);
}

void CatalogueSession::changeRecorded()
{
    if (m_historyOn)
        emit historyChanged();
}

void CatalogueSession::pruneHistory()
try {
    const history::KeptPictures kept = keptPictures();
    history::Journal journal(m_writer->handle());
    Catalogue::Transaction transaction(*m_writer);
    const std::vector<qint64> removed =
        journal.prune(history::kHistoryMaxBytes, kept.bytes(), history::kHistoryKeepCount, history::kHistoryKeepDays,
                      QDateTime::currentDateTimeUtc());
    transaction.commit();
    if (removed.empty())
        return;
    kept.removeAllBut(journal.pictureKeysInUse());
    sqlite3_exec(m_writer->handle(), "PRAGMA history.incremental_vacuum", nullptr, nullptr, nullptr);
} catch (const CatalogueError &) {
    // An old change kept a while longer costs only room; the next start tries again.
}

qint64 CatalogueSession::addEntry(const QString &name, const QString &text)
{
    const CatalogueConnection db = writer();
    Catalogue::Transaction transaction(*db);
    const qint64 rowId = AddEntry(db, m_currentTable, name, text);
    history::Change change;
    change.kind = history::ChangeKind::Added;
    change.table = m_currentTable;
    change.name = name;
    change.records.push_back({m_currentTable, {}, history::sideOf(rowId, name, text, false)});
    recordChange(db, change);
    transaction.commit();
    {
        const QScopedValueRollback adding(m_addingNames, true);
        m_model->insert(name, rowId);
    }
    emit recordsChanged(m_currentTable, {rowId});
    emit countChanged(count(), CountForm::AddedInEditor);
    changeRecorded();
    return rowId;
}

QString CatalogueSession::keepPictures(const QStringList &pictures, const QString &folder,
                                       std::vector<history::PictureStep> &steps, bool gone)
{
    if (!m_historyOn)
        return QString();
    history::KeptPictures kept = keptPictures();
    for (const QString &picture : pictures) {
        QString failure;
        const QString key = kept.keep(folder + QLatin1Char('/') + picture, &failure);
        if (key.isEmpty())
            return failure;
        steps.push_back({picture, key, gone ? QString() : key});
    }
    return QString();
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

    Catalogue::Transaction transaction(*db);
    const history::RecordSide before = history::sideOf(record.rowId, record.name, loadedText, true);
    UpdateEntry(record, name, text);
    change.kind = history::ChangeKind::Edited;
    change.table = m_currentTable;
    change.name = name;
    change.records.push_back({m_currentTable, before, history::sideOf(record.rowId, name, text, false)});
    recordChange(db, change);
    transaction.commit();
    for (const auto &[from, to] : renames)
        QFile::rename(folder + QLatin1Char('/') + from, folder + QLatin1Char('/') + to);
    emit recordsChanged(m_currentTable, {record.rowId});
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
    Catalogue::Transaction transaction(*db);
    const qint64 rowId = record.rowId;
    // The text kept is the one deleted, whoever stored it.
    const history::RecordSide before = history::sideOf(rowId, record.name, textStored(db, rowId), true);
    DeleteEntry(record);
    change.records.push_back({m_currentTable, before, {}});
    recordChange(db, change);
    transaction.commit();
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
    recordChange(db, change);
    transaction.commit();
    m_currentRecord = {};
    emit recordsRemoved(m_currentTable, {oldId});
    emit recordsChanged(targetTable, {newId});
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
            Catalogue::Transaction transaction(*m_writer);
            recordChange(m_writer, change);
            transaction.commit();
        } catch (const CatalogueError &) {
            // The picture is in place; only the way back is missing.
        }
        changeRecorded();
    }
    return QString();
}

bool CatalogueSession::canUndo()
{
    return historyOn() && history::Journal(m_writer->handle()).hasUndo();
}

bool CatalogueSession::canRedo()
{
    return historyOn() && history::Journal(m_writer->handle()).hasRedo();
}

QString CatalogueSession::undo()
{
    return stepThroughHistory(history::Direction::Undo);
}

QString CatalogueSession::redo()
{
    return stepThroughHistory(history::Direction::Redo);
}

namespace {

// The part of an undo or redo that writes the catalogue and the history, in one transaction on
// `db`: any thread may run it on a connection of its own. No change to take: nothing.
std::optional<HistoryStep> writeHistoryStep(const CatalogueConnection &db, history::Direction direction)
{
    history::Journal journal(db->handle());
    HistoryStep step;
    Catalogue::Transaction transaction(*db);
    std::optional<history::Change> change =
        direction == history::Direction::Undo ? journal.nextUndo() : journal.nextRedo();
    if (!change)
        return std::nullopt;
    step.change = std::move(*change);
    history::checkPictures(step.change, direction, screenshots::folder());
    step.effects = history::applyRecords(db->handle(), step.change, direction);
    journal.updateRecords(step.change);
    journal.setState(step.change.id,
                     direction == history::Direction::Undo ? history::ChangeState::Undone : history::ChangeState::Done);
    transaction.commit();
    step.direction = direction;
    return step;
}

} // namespace

QString CatalogueSession::stepThroughHistory(history::Direction direction)
{
    if (!historyOn())
        return m_historyNote;
    std::optional<HistoryStep> step = writeHistoryStep(m_writer, direction);
    return step ? finishHistoryStep(*step) : QString();
}

QString CatalogueSession::finishHistoryStep(const HistoryStep &step)
{
    const QString failure = history::applyPictures(step.change, step.direction, screenshots::folder(), keptPictures());
    showEffects(step.change, step.effects);
    emit historyChanged();
    return failure;
}

void CatalogueSession::startHistoryStep(history::Direction direction)
{
    if (m_stepRunning)
        return;
    if (!historyOn()) {
        emit historyStepFinished(m_historyNote);
        return;
    }
    // A big change (an update of thousands of entries) is taken back on a thread of its own, so
    // that the window keeps reacting; a small one at once.
    const std::optional<history::ChangeSummary> next = history::Journal(m_writer->handle()).next(direction);
    if (!next) {
        emit historyStepFinished(QString());
        return;
    }
    if (next->count < kBackgroundStepRecords) {
        QString outcome;
        try {
            outcome = stepThroughHistory(direction);
        } catch (const history::ChangedSince &refusal) {
            outcome = refusal.message();
        } catch (const CatalogueError &error) {
            outcome = stepFailure(direction, error.message());
        }
        emit historyStepFinished(outcome);
        return;
    }
    m_stepRunning = true;
    if (m_stepThread.joinable())
        m_stepThread.join();
    m_stepThread = std::thread([this, direction, path = m_cataloguePath] {
        std::optional<HistoryStep> step;
        QString outcome;
        try {
            const CatalogueConnection db = OpenCatalogue(path);
            history::attachHistory(db->handle(), path);
            step = writeHistoryStep(db, direction);
        } catch (const history::ChangedSince &refusal) {
            outcome = refusal.message();
        } catch (const CatalogueError &error) {
            outcome = stepFailure(direction, error.message());
        }
        QMetaObject::invokeMethod(
            this,
            [this, step = std::move(step), outcome] {
                m_stepRunning = false;
                emit historyStepFinished(step ? finishHistoryStep(*step) : outcome);
            },
            Qt::QueuedConnection);
    });
}

QString CatalogueSession::stepFailure(history::Direction direction, const QString &why)
{
    return (direction == history::Direction::Undo ? QStringLiteral("Не удалось отменить изменение.\n")
                                                  : QStringLiteral("Не удалось повторить изменение.\n")) +
           why;
}

void CatalogueSession::showEffects(const history::Change &change, const std::vector<history::TableEffect> &effects)
{
    qint64 shownRow = -1;
    QString shownTable = change.table;
    for (const history::TableEffect &effect : effects) {
        QList<qint64> present;
        for (const auto &[rowId, name] : effect.present)
            present << rowId;
        if (!effect.removed.isEmpty())
            emit recordsRemoved(effect.table, effect.removed);
        if (!present.isEmpty())
            emit recordsChanged(effect.table, present);
        if (!effect.present.empty() && change.kind != history::ChangeKind::Update) {
            shownTable = effect.table;
            shownRow = effect.present.front().first;
        }
    }
    // The window shows what changed: the entry selected in its category, or the category.
    if (shownTable != m_currentTable) {
        showCategory(shownTable);
    } else {
        m_selection->clear();
        m_currentRecord = {};
        for (const history::TableEffect &effect : effects) {
            if (effect.table != m_currentTable)
                continue;
            // One pass over the list however many records changed: an update may have added thousands.
            m_model->removeRowIds(effect.removed);
            NameRows present;
            for (const auto &[rowId, name] : effect.present)
                present.append(name, rowId);
            if (!present.isEmpty())
                m_model->insert(m_model->names().prepareInsert(std::move(present)));
        }
        emit categoryLoaded(QString());
    }
    emit countChanged(count(), CountForm::Entries);
    if (shownRow >= 0)
        showEntry(shownTable, shownRow);
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

bool CatalogueSession::canRestore(const history::ChangeSummary &change)
{
    // A deletion undone has its entry back already.
    return (change.kind == history::ChangeKind::Deleted || change.kind == history::ChangeKind::Edited) &&
           change.state == history::ChangeState::Done;
}

QString CatalogueSession::restoreFromHistory(qint64 id)
{
    if (!historyOn())
        return m_historyNote;
    const CatalogueConnection db = m_writer;
    const std::optional<history::Change> earlier = history::Journal(db->handle()).load(id);
    if (!earlier || earlier->records.empty())
        throw CatalogueError(QStringLiteral("Этого изменения больше нет в журнале."));
    const history::RecordStep &was = earlier->records.front();
    history::Change change;
    change.kind = history::ChangeKind::Restored;
    change.table = was.table;
    if (earlier->kind == history::ChangeKind::Deleted) {
        // Back into its category as a new record, with the pictures that went with it.
        change.name = was.before.name;
        for (const NamedRecord &other : RecordsNamedFrom(db, was.before.name)) {
            if (other.table == was.table && equalsIgnoringCase(other.name, was.before.name))
                throw CatalogueError(QStringLiteral("Запись «") + other.name +
                                         QStringLiteral("» уже есть в этом разделе; восстанавливать нечего."),
                                     0, CatalogueError::Kind::NameTaken);
        }
        // Under its old row id when that is free (see history::applyRecords).
        change.records.push_back({was.table, {}, was.before});
        const QString folder = screenshots::folder();
        for (const history::PictureStep &picture : earlier->pictures) {
            if (!picture.before.isEmpty() && screenshots::existingName(folder, picture.fileName).isEmpty())
                change.pictures.push_back({picture.fileName, QString(), picture.before});
        }
    } else if (earlier->kind == history::ChangeKind::Edited) {
        // The earlier text becomes the entry's text again; its name stays as it is now.
        FindResult now = FindRecord(db, was.table, was.after.rowId, was.after.name);
        if (!now.found()) {
            SqlStatement select(db->handle(), QStringLiteral("SELECT Name, Ref FROM ") + quotedName(was.table) +
                                                  QStringLiteral(" WHERE rowid = ?1"));
            select.bind(1, was.after.rowId);
            if (!select.step())
                throw CatalogueError(QStringLiteral("Записи «") + was.after.name +
                                         QStringLiteral("» больше нет в каталоге."),
                                     0, CatalogueError::Kind::RecordGone);
            now.rowId = was.after.rowId;
            now.name = select.text(0);
            now.ref = select.text(1);
        }
        change.name = now.name;
        change.records.push_back({was.table, history::sideOf(now.rowId, now.name, now.ref, true),
                                  history::sideOf(now.rowId, now.name, was.before.text, true)});
    } else {
        throw CatalogueError(QStringLiteral("Это изменение восстановить нельзя."));
    }
    std::vector<history::TableEffect> effects;
    {
        Catalogue::Transaction transaction(*db);
        history::checkPictures(change, history::Direction::Redo, screenshots::folder());
        effects = history::applyRecords(db->handle(), change, history::Direction::Redo);
        history::Journal(db->handle()).append(change);
        transaction.commit();
    }
    const QString failure =
        history::applyPictures(change, history::Direction::Redo, screenshots::folder(), keptPictures());
    showEffects(change, effects);
    emit historyChanged();
    return failure;
}

std::vector<history::ChangeSummary> CatalogueSession::historyList(bool deletedOnly, const QString &nameFilter)
{
    if (!historyOn())
        return {};
    return history::Journal(m_writer->handle()).list(deletedOnly, nameFilter);
}

std::optional<history::Change> CatalogueSession::historyChange(qint64 id)
{
    if (!historyOn())
        return std::nullopt;
    return history::Journal(m_writer->handle()).load(id);
}

void CatalogueSession::removeSelectedRow(int row)
{
    // Nothing stays selected: the removed row's neighbour must not become the current entry.
    m_selection->clear();
    m_model->removeAt(row);
    emit entryRemoved();
}

UpdateBatch CatalogueSession::beginUpdateBatch()
{
    UpdateBatch batch;
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

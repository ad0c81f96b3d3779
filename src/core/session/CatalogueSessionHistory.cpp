// The catalogue session's history of changes: the connection it is written through, undo and
// redo (of a big change on a thread of its own), the window shown what changed, restores.
#include "core/LetterCase.h"
#include "core/history/HistoryFile.h"
#include "core/history/JointCommit.h"
#include "core/history/Journal.h"
#include "core/history/Reversal.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/CatalogueSession.h"
#include "core/store/NameListModel.h"
#include "core/store/SqlStatement.h"

#include <QItemSelectionModel>

#include <sqlite3.h>

namespace zv {

CatalogueConnection CatalogueSession::writer()
{
    if (m_writer)
        return m_writer;
    m_writer = OpenCatalogue(m_cataloguePath);
    m_history.reset();
    m_historyOn = false;
    if (!m_recordingHistory)
        return m_writer;
    try {
        m_history = OpenCatalogue(m_cataloguePath);
        const history::Attached attached = history::attachHistory(m_history->handle(), m_cataloguePath);
        m_historyOn = true;
        if (!attached.setAsideAs.isEmpty())
            m_historyNote = QStringLiteral("Журнал изменений был повреждён или чужой; он отложен как «") +
                            attached.setAsideAs + QStringLiteral("», начат новый.");
        pruneHistory();
    } catch (const CatalogueError &error) {
        m_history.reset();
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

void CatalogueSession::changeRecorded()
{
    if (m_historyOn)
        emit historyChanged();
}

void CatalogueSession::pruneHistory()
try {
    const history::KeptPictures kept = keptPictures();
    history::Journal journal(m_history->handle());
    history::HistoryTransaction transaction(m_history->handle(), true);
    const std::vector<qint64> removed =
        journal.prune(history::kHistoryMaxBytes, kept.bytes(), history::kHistoryKeepCount, history::kHistoryKeepDays,
                      QDateTime::currentDateTimeUtc());
    transaction.commit();
    if (removed.empty())
        return;
    kept.removeAllBut(journal.pictureKeysInUse());
    sqlite3_exec(m_history->handle(), "PRAGMA history.incremental_vacuum", nullptr, nullptr, nullptr);
} catch (const CatalogueError &) {
    // An old change kept a while longer costs only room; the next start tries again.
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

bool CatalogueSession::canUndo()
{
    return historyOn() && history::Journal(m_history->handle()).hasUndo();
}

bool CatalogueSession::canRedo()
{
    return historyOn() && history::Journal(m_history->handle()).hasRedo();
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

// The part of an undo or redo that writes the catalogue (through `db`) and the history (through
// `historyDb`): any thread may run it on connections of its own. No change to take: nothing.
std::optional<HistoryStep> writeHistoryStep(const CatalogueConnection &db, sqlite3 *historyDb,
                                            history::Direction direction)
{
    history::JointCommit commit(historyDb);
    history::Journal journal(historyDb);
    HistoryStep step;
    Catalogue::Transaction transaction(*db);
    std::optional<history::Change> change =
        direction == history::Direction::Undo ? journal.nextUndo() : journal.nextRedo();
    if (!change)
        return std::nullopt;
    step.change = std::move(*change);
    history::checkPictures(step.change, direction, screenshots::folder());
    step.effects = history::applyRecords(db->handle(), step.change, direction);
    commit.commitStep(transaction, step.change, direction);
    step.direction = direction;
    return step;
}

} // namespace

QString CatalogueSession::stepThroughHistory(history::Direction direction)
{
    if (!historyOn())
        return m_historyNote;
    std::optional<HistoryStep> step = writeHistoryStep(m_writer, m_history->handle(), direction);
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
    const std::optional<history::ChangeSummary> next = history::Journal(m_history->handle()).next(direction);
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
            const CatalogueConnection historyDb = history::openWithCheckedHistory(path);
            step = writeHistoryStep(db, historyDb->handle(), direction);
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
        if (!effect.present.empty() && change.kind != history::ChangeKind::Update &&
            change.kind != history::ChangeKind::Import) {
            shownTable = effect.table;
            shownRow = effect.present.front().first;
        }
    }
    for (const history::RecordMove &move : history::recordMoves(change, effects))
        emit recordMoved(move.fromTable, move.fromRowId, move.toTable, move.toRowId, move.name);
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
    const std::optional<history::Change> earlier = history::Journal(m_history->handle()).load(id);
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
        history::JointCommit commit(m_history->handle());
        Catalogue::Transaction transaction(*db);
        history::checkPictures(change, history::Direction::Redo, screenshots::folder());
        effects = history::applyRecords(db->handle(), change, history::Direction::Redo);
        commit.commitNew(transaction, change);
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
    return history::Journal(m_history->handle()).list(deletedOnly, nameFilter);
}

std::optional<history::Change> CatalogueSession::historyChange(qint64 id)
{
    if (!historyOn())
        return std::nullopt;
    return history::Journal(m_history->handle()).load(id);
}

} // namespace zv

#pragma once

#include "core/history/Journal.h"
#include "core/history/KeptPictures.h"
#include "core/history/Reversal.h"
#include "core/store/CatalogueStore.h"
#include "core/store/NameList.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

class NameListModel;

namespace zv {
class BackgroundGate;
}
class QItemSelectionModel;
struct sqlite3;

namespace zv {

namespace update {
class ArrivedTexts;
}
namespace interchange {
struct ImportPlan;
}
namespace lists {
class SortedLists;
}

// How the main window's counter reads after a change: "Записей: " after a load, a delete or a
// move, "Количество: " after an entry added in the editor, "Количество записей: " after a
// catalogue update.
enum class CountForm { Entries, AddedInEditor, AfterUpdate };

class CatalogueSession;

// An undo or redo written to the catalogue and its history, for the session to show.
struct HistoryStep
{
    history::Change change;
    std::vector<history::TableEffect> effects;
    history::Direction direction = history::Direction::Undo;
};

// The entries of a catalogue update: made on the session's thread, run on a worker thread
// (which reads only the batch's own snapshot of the list's names), then handed back to the
// session, which puts the names into the list.
class UpdateBatch
{
public:
    // Appends the entry files `files` of `folder` to the category table in one transaction,
    // skipping names the list holds (see update::importEntries). Returns false when `cancel` was
    // set meanwhile: nothing is written then. Throws CatalogueError; the catalogue is then as it was.
    bool run(const QString &folder, const QStringList &files, const std::function<void(const QString &)> &beforeEach,
             const update::ArrivedTexts *arrived, const std::atomic_bool *cancel = nullptr);
    // How many entries run() added.
    int added() const;
    const QString &cataloguePath() const { return m_cataloguePath; }

private:
    friend class CatalogueSession;
    QString m_cataloguePath;
    QString m_table;
    std::shared_ptr<const NameList> m_names;
    std::optional<NameList::Merge> m_merge;
    bool m_recordHistory = false;
    std::shared_ptr<void> m_backgroundHold; // until the batch is shown or given up
};

// The entries of an import as the user chose them (see interchange::planImport): made on the
// session's thread, written on a worker thread as one change of the history, then handed back
// to the session, which shows them in the list.
class ImportBatch
{
public:
    // Writes the new entries, the texts taken and the entries kept both, with their pictures, in
    // one transaction. Returns false when `cancel` was set meanwhile: nothing is written then.
    // Throws CatalogueError (TextChanged: an entry changed since the preview); the catalogue is
    // then as it was.
    bool run(const std::atomic_bool *cancel = nullptr);
    // How many entries run() wrote.
    int written() const { return m_written; }
    // What failed with the pictures, in Russian, or an empty text.
    const QString &pictureFailure() const { return m_pictureFailure; }

private:
    friend class CatalogueSession;
    QString m_cataloguePath;
    QString m_keptFolder;
    QString m_currentTable;
    std::shared_ptr<const NameList> m_names;
    std::shared_ptr<const interchange::ImportPlan> m_plan;
    bool m_recordHistory = false;
    int m_written = 0;
    QString m_pictureFailure;
    std::optional<NameList::Merge> m_merge;
    bool m_reload = false;
    std::map<QString, QList<qint64>> m_changed;
};

// The catalogue as the windows share it: the open connection, the category shown
// (CurrentTable), its list of names with the selection (CurrentEntry, CurrentRecord), the
// screenshot chosen for the viewer (ScreenShotPath, SeveralScreenShots), and every change the
// windows make to the catalogue. Windows act on it and listen to its signals; none reaches into
// another. Each shared value is written here only.
class CatalogueSession : public QObject
{
    Q_OBJECT

public:
    explicit CatalogueSession(QString cataloguePath, QObject *parent = nullptr);
    ~CatalogueSession() override;

    const QString &CurrentTable() const { return m_currentTable; }
    // The name selected last in the list.
    const QString &CurrentEntry() const { return m_currentEntry; }
    // The record of the name selected last; none after a load, a delete or a move.
    const FindResult &CurrentRecord() const { return m_currentRecord; }
    const QString &ScreenShotPath() const { return m_screenShotPath; }
    bool SeveralScreenShots() const { return m_severalScreenShots; }

    // The list of the category shown, in alphabetical order, and its selection.
    NameListModel *model() const { return m_model; }
    QItemSelectionModel *selection() const { return m_selection; }
    const NameList &names() const;
    int count() const;
    // True when the list holds `name`, ignoring letter case.
    bool containsName(const QString &name) const;
    // The selected row, or -1; its name, or an empty text; its record id, or -1.
    int selectedRow() const;
    QString selectedName() const;
    qint64 selectedRowId() const;
    void selectRow(int row);
    // Runs the entry step again for the selected entry: its record is read anew.
    void selectAgain();

    // CurrentTable becomes `table` and its list is loaded.
    void showCategory(const QString &table);
    // Shows the record `rowId` of `table` as if the user had chosen its category and clicked
    // it: the category is loaded when another one is shown, then its row selected. False when
    // the list has no such record (the entry is gone).
    bool showEntry(const QString &table, qint64 rowId);
    // Loads the list of CurrentTable again; nothing is selected afterwards.
    void LoadDB();
    // Closes the connection the list was loaded through.
    void closeCatalogue();
    // The sorted lists kept beside the catalogue, which the list is loaded from.
    lists::SortedLists &sortedLists() { return *m_lists; }
    // That connection, for a window that reads records through the store (opened when closed).
    CatalogueConnection readingConnection() { return connection(); }
    // Puts another catalogue file in place (a backup restored): the session's connections are
    // closed, `replace` runs, and the list is loaded anew. What `replace` returns (the reason it
    // failed, or empty). catalogueReplaced() then tells whatever derives from the catalogue.
    QString replaceCatalogue(const std::function<QString()> &replace);

    // The store operations on the category shown. Each throws CatalogueError (of kind
    // RecordGone when another program removed the record meanwhile); the catalogue and the
    // list are then as they were.
    qint64 addEntry(const QString &name, const QString &text);
    // Changes the record `rowId`, listed as `selected`, whose text was `loadedText` when the
    // editor took it, and loads the list again. Throws NameTaken when `name` is another entry's
    // (ignoring letter case), TextChanged when another program changed the text meanwhile.
    void editEntry(qint64 rowId, const QString &selected, const QString &loadedText, const QString &name,
                   const QString &text);
    // The selected entry's record, looked up again when the selection found none; false when
    // there is none any more.
    bool findCurrentRecord();
    void deleteCurrent();
    // Moves the selected entry, stored as `name` with `text`; a text another program changed
    // since the entry was selected moves unless the user changed it too (then TextChanged).
    // `storedText`, when given, is the text the user chose to move over the stored one.
    void moveCurrent(const QString &targetTable, const QString &name, const QString &text,
                     const std::optional<QString> &storedText = std::nullopt);

    // Work the program does for itself in the background (the full-text build) waits while
    // the user's work holds this gate; an update batch holds it from its start to its end.
    const std::shared_ptr<BackgroundGate> &backgroundGate() const { return m_backgroundGate; }
    std::shared_ptr<void> holdBackgroundWork();

    UpdateBatch beginUpdateBatch();
    void finishUpdateBatch(UpdateBatch batch);
    // The counter after an update, once the user has been told ("Количество записей: ").
    void announceUpdatedCount();

    // An import written as one change of the history, undone whole by one undo.
    ImportBatch beginImport(interchange::ImportPlan plan);
    void finishImport(ImportBatch batch);

    // The picture the viewer shows first, and whether it was reached through the picker.
    void chooseScreenshot(const QString &path, bool several);
    // Copies the picture `source` into the screenshot folder as `fileName` for the selected
    // entry, keeping a picture it replaces in the history. The reason in Russian on failure.
    QString attachPicture(const QString &source, const QString &fileName);

    // The history of changes (core/history), kept beside the catalogue: every change above is
    // recorded so that the change and its record land together or not at all. Off, with historyNote() saying why,
    // when the history cannot be written; the catalogue works on all the same.
    bool historyOn();
    // Changes are recorded unless this is set false before the first one (what the history
    // costs is measured so).
    void setRecordingHistory(bool record) { m_recordingHistory = record; }
    // What the user should know of the history: set aside as damaged, or off. Usually empty.
    const QString &historyNote();
    bool canUndo();
    bool canRedo();
    // Takes back the last change, or makes the last one taken back again; the window is shown
    // what changed (its category, the entry selected). Throws history::ChangedSince, writing
    // nothing, when the catalogue no longer holds what the change left, and CatalogueError.
    // Returns what failed with the pictures, in Russian, or an empty text.
    QString undo();
    QString redo();
    // The same as the windows start it: a change of many records is taken back or made again
    // on a thread of its own while the window keeps reacting; historyStepFinished() tells the
    // outcome (what failed, why it was refused, or an empty text). While one runs, another
    // start is ignored.
    void startHistoryStep(history::Direction direction);
    bool historyStepRunning() const { return m_stepRunning; }
    // From how many records a step runs on its own thread.
    static constexpr int kBackgroundStepRecords = 1000;
    // The changes, newest first (see history::Journal::list), and one with its records.
    std::vector<history::ChangeSummary> historyList(bool deletedOnly = false, const QString &nameFilter = QString());
    std::optional<history::Change> historyChange(qint64 id);
    // Whether the journal may restore from the change: a deleted entry, an earlier text.
    static bool canRestore(const history::ChangeSummary &change);
    // Brings back the entry the deletion `id` removed, with its pictures, or makes the text an
    // edit `id` replaced the entry's text again. A change of its own, shown as undo shows one.
    // Throws CatalogueError (NameTaken: the name is back already; RecordGone) or ChangedSince;
    // returns what failed with the pictures.
    QString restoreFromHistory(qint64 id);

signals:
    // A list was loaded; `failure` says why it could not be read, or is empty.
    void categoryLoaded(const QString &failure);
    // An entry was selected: CurrentEntry and CurrentRecord are its.
    void entrySelected();
    // An entry was edited and the list loaded again.
    void entryEdited(const QString &name);
    // The selected entry was deleted or moved away; nothing is selected.
    void entryRemoved();
    void countChanged(int count, zv::CountForm form);
    // Records of `table` added or changed, or removed: whatever derives from the catalogue follows.
    void recordsChanged(const QString &table, const QList<qint64> &rowIds);
    void recordsRemoved(const QString &table, const QList<qint64> &rowIds);
    // A change was recorded, undone or redone.
    void historyChanged();
    void historyStepFinished(const QString &outcome);
    // Another catalogue file was put in place: whatever derives from it catches up.
    void catalogueReplaced();
    // The entry that was the record `fromRowId` of `fromTable` is now `toRowId` of `toTable`, named
    // `name`: moved, renamed, or put back by an undo, a redo or a restore (then possibly under a new
    // row id). What keeps entries by their record (the favourites) follows it.
    void recordMoved(const QString &fromTable, qint64 fromRowId, const QString &toTable, qint64 toRowId,
                     const QString &name);

private:
    void removeSelectedRow(int row);
    // The sorted lists' files follow this program's own changes once each change is done.
    void followOwnChanges();
    CatalogueConnection connection();
    // The connection every change is written through, with the history attached when it can be.
    CatalogueConnection writer();
    // The connection the history is written through (the catalogue with the history attached),
    // or null when no history is kept; see history::JointCommit.
    sqlite3 *historyWriter() const { return m_historyOn ? m_history->handle() : nullptr; }
    history::KeptPictures keptPictures() const;
    void changeRecorded();
    void pruneHistory();
    // Keeps `pictures` of `folder` in the history and adds their steps (gone: the files go).
    QString keepPictures(const QStringList &pictures, const QString &folder, std::vector<history::PictureStep> &steps,
                         bool gone);
    QString stepThroughHistory(history::Direction direction);
    QString finishHistoryStep(const HistoryStep &step);
    static QString stepFailure(history::Direction direction, const QString &why);
    void showEffects(const history::Change &change, const std::vector<history::TableEffect> &effects);
    QString textStored(const CatalogueConnection &db, qint64 rowId, const QString &table = QString()) const;

    QString m_cataloguePath;
    std::shared_ptr<BackgroundGate> m_backgroundGate;
    CatalogueConnection m_db;
    CatalogueConnection m_writer;
    CatalogueConnection m_history;
    bool m_historyOn = false;
    bool m_recordingHistory = true;
    bool m_stepRunning = false;
    std::thread m_stepThread;
    QString m_historyNote;
    QString m_currentTable;
    QString m_currentEntry;
    FindResult m_currentRecord;
    QString m_screenShotPath;
    bool m_severalScreenShots = false;
    NameListModel *m_model;
    QItemSelectionModel *m_selection;
    std::unique_ptr<lists::SortedLists> m_lists;
    bool m_addingNames = false; // names are being added around the selection
};

} // namespace zv

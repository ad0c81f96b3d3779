#include "core/session/CatalogueSession.h"

#include "core/store/EntryMove.h"
#include "core/store/NameListModel.h"
#include "core/update/EntryImport.h"

#include <QItemSelectionModel>
#include <QScopedValueRollback>

namespace zv {

bool UpdateBatch::run(const QString &folder, const QStringList &files,
                      const std::function<void(const QString &)> &beforeEach, const update::ArrivedTexts *arrived,
                      const std::atomic_bool *cancel)
{
    const CatalogueConnection catalogue = OpenCatalogue(m_cataloguePath);
    std::optional<NameRows> added = update::importEntries(
        catalogue, m_table, folder, files, [this](const QString &name) { return m_names->containsIgnoringCase(name); },
        beforeEach, arrived, cancel);
    if (!added)
        return false;
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

CatalogueSession::~CatalogueSession() = default;

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
}

void CatalogueSession::selectAgain()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString name = m_model->nameAt(row);
    try {
        m_currentRecord = FindEntry(connection(), m_currentTable, name, names().rowIdsOf(name));
    } catch (const CatalogueError &) {
        // What the window shows stays; the rest of the step still runs.
        m_currentRecord = {};
    }
    m_currentEntry = name;
    emit entrySelected();
}

qint64 CatalogueSession::addEntry(const QString &name, const QString &text)
{
    const qint64 rowId = AddEntry(OpenCatalogue(m_cataloguePath), m_currentTable, name, text);
    {
        const QScopedValueRollback adding(m_addingNames, true);
        m_model->insert(name, rowId);
    }
    emit recordsChanged(m_currentTable, {rowId});
    emit countChanged(count(), CountForm::AddedInEditor);
    return rowId;
}

void CatalogueSession::editEntry(const QString &selected, const QString &loadedText, const QString &name,
                                 const QString &text)
{
    FindResult record = FindEntry(OpenCatalogue(m_cataloguePath), m_currentTable, selected, names().rowIdsOf(selected));
    // What the editor started from must still be what is stored.
    record.ref = loadedText;
    UpdateEntry(record, name, text);
    emit recordsChanged(m_currentTable, {record.rowId});
    LoadDB();
    emit entryEdited(name);
}

bool CatalogueSession::findCurrentRecord()
{
    if (m_currentRecord.found())
        return true;
    const QString name = selectedName();
    m_currentRecord = FindEntry(connection(), m_currentTable, name, names().rowIdsOf(name));
    return m_currentRecord.found();
}

void CatalogueSession::deleteCurrent()
{
    const int row = selectedRow();
    const qint64 rowId = m_currentRecord.rowId;
    DeleteEntry(m_currentRecord);
    emit recordsRemoved(m_currentTable, {rowId});
    removeSelectedRow(row);
}

void CatalogueSession::moveCurrent(const QString &targetTable, const QString &name, const QString &text,
                                   const std::optional<QString> &storedText)
{
    const int row = selectedRow();
    FindResult record = m_currentRecord;
    if (storedText)
        record.ref = *storedText;
    const qint64 oldId = record.rowId;
    const qint64 newId = moveEntry(record, targetTable, name, text);
    m_currentRecord = {};
    // The connection of the move is the list's from now on.
    m_db = record.catalogue;
    emit recordsRemoved(m_currentTable, {oldId});
    emit recordsChanged(targetTable, {newId});
    removeSelectedRow(row);
}

void CatalogueSession::removeSelectedRow(int row)
{
    // Nothing stays selected: the removed row's neighbour must not become the current entry.
    m_selection->clear();
    m_model->removeAt(row);
    emit entryRemoved();
}

UpdateBatch CatalogueSession::beginUpdateBatch() const
{
    UpdateBatch batch;
    batch.m_cataloguePath = m_cataloguePath;
    batch.m_table = m_currentTable;
    batch.m_names = m_model->snapshot();
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

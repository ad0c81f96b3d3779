// The main window's list: category step, list load, entry step, search and hidden
// commands, delete and move.
#include "core/Addresses.h"
#include "core/INI.h"
#include "core/ProgramFolder.h"
#include "core/Seam.h"
#include "core/SharedState.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/store/Category.h"
#include "core/store/EntryMove.h"
#include "gui/APIandFunc.h"
#include "gui/catalogue/EditorWindow.h"
#include "gui/catalogue/NameListModel.h"
#include "gui/catalogue/frmAddNewField.h"
#include "gui/catalogue/frmEditItem.h"
#include "gui/catalogue/frmMain.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmLogo2.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScopedValueRollback>

namespace {

const QString kWelcome = QStringLiteral("Приветствуем в программе Zorvanell");

// One window of each hidden kind: a command word typed again shows the same one again.
template <typename Window> void showHiddenWindow(QPointer<QWidget> &window)
{
    if (!window)
        window = new Window;
    window->show();
    window->raise();
}

} // namespace

void frmMain::Combo1_Click()
{
    const auto category = zv::categoryByDisplayName(Combo1->currentText());
    CurrentTable = category ? category->table : QString();
    m_loadedComboIndex = Combo1->currentIndex();
    AllMenu();
    if (QAction *own = m_moveActions.value(CurrentTable))
        own->setVisible(false);
    LoadDB();
}

void frmMain::AllMenu()
{
    for (QAction *action : std::as_const(m_moveActions))
        action->setVisible(true);
}

void frmMain::LoadDB()
{
    List1->selectionModel()->clear();
    m_model->assign({});
    m_currentRecord = {};
    EditButton->setEnabled(false);
    cmdViewScreen->setEnabled(false);
    try {
        m_db = OpenCatalogue(zv::cataloguePath());
        m_model->assign(ListNameRows(m_db, CurrentTable));
    } catch (const zv::CatalogueError &error) {
        storeFailed(QStringLiteral("Не удалось загрузить список записей."), error);
    }
    txtText->setPlainText(kWelcome);
    txtSearch->clear();
    lblCount->setText(QStringLiteral("Записей: ") + QString::number(m_model->rowCount()));
}

zv::CatalogueConnection frmMain::connection()
{
    if (!m_db)
        m_db = OpenCatalogue(zv::cataloguePath());
    return m_db;
}

void frmMain::List1_Click()
{
    // Names added around the selection leave it on the same entry; nothing to show anew.
    if (m_addingNames)
        return;
    const QString name = selectedName();
    if (selectedRow() < 0)
        return;
    try {
        m_currentRecord = FindEntry(connection(), CurrentTable, name, m_model->names().rowIdsOf(name));
        if (m_currentRecord.found())
            txtText->setPlainText(m_currentRecord.ref);
    } catch (const zv::CatalogueError &) {
        // The text box keeps its text; the rest of the step still runs.
        m_currentRecord = {};
    }
    const bool hasScreenshot = zv::screenshots::hasPictures(zv::screenshots::folder(), name);
    cmdViewScreen->setEnabled(hasScreenshot);
    mnuScrShot->setEnabled(hasScreenshot);
    CurrentEntry = name;
    if (name == QLatin1String("Google Earth"))
        lblCount->setText(QStringLiteral("Секреты Google Earth"));
    else if (name == QLatin1String("Windows 7"))
        lblCount->setText(QStringLiteral("Windows 7"));
    Print_cmd->setEnabled(true);
    EditButton->setEnabled(true);
}

void frmMain::List1_DblClick()
{
    if (selectedRow() >= 0)
        txtSearch->setText(selectedName() + QLatin1Char(' '));
}

void frmMain::List1_MouseDown(const QPoint &position)
{
    if (selectedRow() >= 0)
        lstMenu->popup(List1->viewport()->mapToGlobal(position));
}

void frmMain::txtSearch_Change()
{
    const QString text = txtSearch->text();
    if (text == QLatin1String("small_tool") || text == QStringLiteral("іьфдд_ещщд") ||
        text == QStringLiteral("ыьфдд_ещщд"))
        showHiddenWindow<Form1>(m_smallTool);
    if (text == zv::addresses::kPartnerDomain) {
        zv::showMessage(this, QStringLiteral("Добро пожаловать на сайт"));
        OpenWithShell(QStringLiteral("http://") + zv::addresses::kPartnerDomain + QLatin1Char('/'), 2, this);
    }
    if (text == QLatin1String("logo"))
        showHiddenWindow<frmLogo2>(m_logo);
    if (text == QStringLiteral("падонак"))
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
    SearchInList();
}

void frmMain::SearchInList()
{
    const int row = m_model->names().firstWithPrefix(txtSearch->text());
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row);
    List1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    List1->scrollTo(index);
}

QString frmMain::selectedName() const
{
    const int row = selectedRow();
    return row >= 0 ? m_model->nameAt(row) : QString();
}

int frmMain::selectedRow() const
{
    const QModelIndexList selected = List1->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void frmMain::dropSelectedRow()
{
    const int row = selectedRow();
    // Nothing stays selected: the removed row's neighbour must not become the current entry.
    List1->selectionModel()->clear();
    m_model->removeAt(row);
    txtSearch->clear();
    lblCount->setText(QStringLiteral("Записей: ") + QString::number(m_model->rowCount()));
    txtText->clear();
}

bool frmMain::selectedRecordPresent()
{
    if (m_currentRecord.found())
        return true;
    const QString name = selectedName();
    try {
        m_currentRecord = FindEntry(connection(), CurrentTable, name, m_model->names().rowIdsOf(name));
    } catch (const zv::CatalogueError &error) {
        storeFailed(QStringLiteral("Не удалось найти запись ") + name + QLatin1Char('.'), error);
        return false;
    }
    if (m_currentRecord.found())
        return true;
    recordGone(name);
    return false;
}

void frmMain::recordGone(const QString &name)
{
    LoadDB();
    zv::reportRecordGone(this, name);
}

void frmMain::DeleteSelected()
{
    // Only an entry selected now is deleted, never one an earlier delete or move handled.
    if (selectedRow() < 0 || !selectedRecordPresent())
        return;
    const QString name = selectedName();
    if (zv::showMessage(this, QStringLiteral("Вы действительно хотите удалить запись ") + name + QStringLiteral(" ?"),
                        zv::MessageForm::YesNoQuestion) != zv::MessageAnswer::Yes)
        return;
    try {
        DeleteEntry(m_currentRecord);
    } catch (const zv::CatalogueError &error) {
        if (error.kind() == zv::CatalogueError::Kind::RecordGone)
            recordGone(name);
        else
            storeFailed(QStringLiteral("Не удалось удалить запись ") + name + QLatin1Char('.'), error);
        return;
    }
    dropSelectedRow();
}

void frmMain::MoveItem(const QString &sText, const QString &sName, const QString &Kuda)
{
    if (selectedRow() < 0 || !selectedRecordPresent())
        return;
    try {
        zv::FindResult record = m_currentRecord;
        zv::moveEntry(record, Kuda, sName, sText);
        m_currentRecord = {};
        m_db = record.catalogue;
    } catch (const zv::CatalogueError &error) {
        if (error.kind() == zv::CatalogueError::Kind::RecordGone) {
            recordGone(sName);
            return;
        }
        const auto target = zv::categoryByTable(Kuda);
        storeFailed(QStringLiteral("Не удалось перенести запись ") + sName + QStringLiteral(" в раздел «") +
                        (target ? target->displayName : Kuda) + QStringLiteral("». Запись осталась на месте."),
                    error);
        return;
    }
    dropSelectedRow();
}

void frmMain::storeFailed(const QString &what, const zv::CatalogueError &error)
{
    zv::showMessage(this, what + QLatin1Char('\n') + error.message(), zv::MessageForm::OkExclamation);
}

void frmMain::cmdAddItem_Click()
{
    frmAddNewField editor(this);
    editor.exec();
}

void frmMain::EditButton_Click()
{
    if (selectedRow() < 0)
        return;
    frmEditItem editor(this);
    editor.txtName->setText(selectedName());
    editor.txtText->setPlainText(txtText->toPlainText());
    editor.exec();
}

void frmMain::cmdUpdate_Click()
{
    frmUpdate updater(this, CurrentTable, this);
    updater.exec();
}

QString frmMain::categoryDisplayName() const
{
    return Combo1->currentText();
}

QStringList frmMain::listNames() const
{
    return m_model->names().names();
}

const zv::NameList &frmMain::nameList() const
{
    return m_model->names();
}

int frmMain::listCount() const
{
    return m_model->rowCount();
}

bool frmMain::listContainsName(const QString &name) const
{
    return m_model->names().containsIgnoringCase(name);
}

void frmMain::addListName(const QString &name, qint64 rowId)
{
    const QScopedValueRollback adding(m_addingNames, true);
    m_model->insert(name, rowId);
}

void frmMain::addListNames(zv::NameList::Merge merge)
{
    const QScopedValueRollback adding(m_addingNames, true);
    m_model->insert(std::move(merge));
}

void frmMain::setCountText(const QString &text)
{
    lblCount->setText(text);
}

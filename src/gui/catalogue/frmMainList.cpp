// The main window's list: category step, list load, entry step, search and hidden
// commands, delete and move.
#include "core/Addresses.h"
#include "core/Seam.h"
#include "core/Settings.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/store/Category.h"
#include "core/store/NameListModel.h"
#include "gui/APIandFunc.h"
#include "gui/catalogue/EditorWindow.h"
#include "gui/catalogue/frmAddNewField.h"
#include "gui/catalogue/frmEditItem.h"
#include "gui/catalogue/frmMain.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"
#include "gui/windows/Form1.h"
#include "gui/windows/SingleWindow.h"
#include "gui/windows/frmLogo2.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {

const QString kWelcome = QStringLiteral("Приветствуем в программе Zorvanell");

} // namespace

void frmMain::Combo1_Click()
{
    const auto category = zv::categoryByDisplayName(Combo1->currentText());
    const QString table = category ? category->table : QString();
    AllMenu();
    if (QAction *own = m_moveActions.value(table))
        own->setVisible(false);
    m_session.showCategory(table);
}

void frmMain::AllMenu()
{
    for (QAction *action : std::as_const(m_moveActions))
        action->setVisible(true);
}

void frmMain::LoadDB()
{
    m_session.LoadDB();
}

void frmMain::listLoaded(const QString &failure)
{
    // A click would print nothing until an entry is selected.
    Print_cmd->setEnabled(false);
    EditButton->setEnabled(false);
    cmdViewScreen->setEnabled(false);
    if (!failure.isEmpty())
        zv::showMessage(this, QStringLiteral("Не удалось загрузить список записей.\n") + failure,
                        zv::MessageForm::OkExclamation);
    showEntryText(kWelcome);
    txtSearch->clear();
    showCount(m_session.count(), zv::CountForm::Entries);
}

void frmMain::showCount(int count, zv::CountForm form)
{
    const QString words = form == zv::CountForm::AddedInEditor ? QStringLiteral("Количество: ")
                          : form == zv::CountForm::AfterUpdate ? QStringLiteral("Количество записей: ")
                                                               : QStringLiteral("Записей: ");
    lblCount->setText(words + QString::number(count));
}

void frmMain::List1_Click()
{
    const QString name = m_session.CurrentEntry();
    if (m_session.CurrentRecord().found())
        showEntryText(m_session.CurrentRecord().ref);
    const bool hasScreenshot = zv::screenshots::hasPictures(zv::screenshots::folder(), name);
    // Each keystroke of the search comes here; a styled button set to the state it has would
    // only draw itself again.
    if (cmdViewScreen->isEnabled() != hasScreenshot)
        cmdViewScreen->setEnabled(hasScreenshot);
    mnuScrShot->setEnabled(hasScreenshot);
    if (name == QLatin1String("Google Earth"))
        lblCount->setText(QStringLiteral("Секреты Google Earth"));
    else if (name == QLatin1String("Windows 7"))
        lblCount->setText(QStringLiteral("Windows 7"));
    if (!Print_cmd->isEnabled())
        Print_cmd->setEnabled(true);
    if (!EditButton->isEnabled())
        EditButton->setEnabled(true);
}

void frmMain::showEntryText(const QString &text)
{
    QTextDocument *document = txtText->document();
    document->setPlainText(text);
    document->setModified(false);
    txtText->moveCursor(QTextCursor::Start);
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
        zv::showSingle<Form1>();
    if (text == zv::addresses::kPartnerDomain) {
        zv::showMessage(this, QStringLiteral("Добро пожаловать на сайт"));
        OpenWithShell(QStringLiteral("http://") + zv::addresses::kPartnerDomain + QLatin1Char('/'), 2, this);
    }
    if (text == QLatin1String("logo"))
        zv::showSingle<frmLogo2>();
    if (text == zv::kLangAlternative)
        zv::writeOption(zv::Option::Lang, zv::kLangAlternative);
    SearchInList();
}

void frmMain::SearchInList()
{
    const int row = m_session.names().firstWithPrefix(txtSearch->text());
    if (row < 0)
        return;
    m_session.selectRow(row);
    List1->scrollTo(m_session.model()->index(row));
}

QString frmMain::selectedName() const
{
    return m_session.selectedName();
}

int frmMain::selectedRow() const
{
    return m_session.selectedRow();
}

void frmMain::selectedRowRemoved()
{
    Print_cmd->setEnabled(false);
    txtSearch->clear();
    showCount(m_session.count(), zv::CountForm::Entries);
    txtText->clear();
}

bool frmMain::selectedRecordPresent()
{
    const QString name = selectedName();
    try {
        if (m_session.findCurrentRecord())
            return true;
    } catch (const zv::CatalogueError &error) {
        storeFailed(QStringLiteral("Не удалось найти запись ") + name + QLatin1Char('.'), error);
        return false;
    }
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
        m_session.deleteCurrent();
    } catch (const zv::CatalogueError &error) {
        if (error.kind() == zv::CatalogueError::Kind::RecordGone)
            recordGone(name);
        else
            storeFailed(QStringLiteral("Не удалось удалить запись ") + name + QLatin1Char('.'), error);
    }
}

void frmMain::MoveItem(const QString &sText, const QString &sName, const QString &Kuda)
{
    if (selectedRow() < 0 || !selectedRecordPresent())
        return;
    try {
        try {
            m_session.moveCurrent(Kuda, sName, sText);
        } catch (const zv::CatalogueError &error) {
            if (error.kind() != zv::CatalogueError::Kind::TextChanged)
                throw;
            // Both the user and another program changed the text: the user says which moves.
            const QString stored = error.storedText();
            m_session.moveCurrent(Kuda, sName, zv::askKeepOwnText(this, sName) ? sText : stored, stored);
        }
    } catch (const zv::CatalogueError &error) {
        if (error.kind() == zv::CatalogueError::Kind::RecordGone) {
            recordGone(sName);
            return;
        }
        const auto target = zv::categoryByTable(Kuda);
        storeFailed(QStringLiteral("Не удалось перенести запись ") + sName + QStringLiteral(" в раздел «") +
                        (target ? target->displayName : Kuda) + QStringLiteral("». Запись осталась на месте."),
                    error);
    }
}

void frmMain::storeFailed(const QString &what, const zv::CatalogueError &error)
{
    zv::showMessage(this, what + QLatin1Char('\n') + error.message(), zv::MessageForm::OkExclamation);
}

void frmMain::cmdAddItem_Click()
{
    frmAddNewField editor(this, m_session);
    editor.exec();
}

void frmMain::EditButton_Click()
{
    if (selectedRow() < 0)
        return;
    frmEditItem editor(this, m_session);
    editor.txtName->setText(selectedName());
    editor.txtText->setPlainText(txtText->toPlainText());
    editor.exec();
}

void frmMain::cmdUpdate_Click()
{
    frmUpdate updater(m_session, this);
    updater.exec();
}

QStringList frmMain::listNames() const
{
    return m_session.names().names();
}

int frmMain::listCount() const
{
    return m_session.count();
}

#pragma once

#include "core/Settings.h"
#include "core/session/CatalogueSession.h"
#include "gui/Language.h"

#include <QHash>
#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPlainTextEdit;
class VistaButton;

namespace zv {
class Favourites;
}

// The main window: the category selector, the list of entry names, the selected entry's
// text, the search box with its hidden commands, the button column and the list's menu.
// What it shows follows the catalogue session; the windows it opens act on the session too.
class frmMain
    : public QWidget
    , public LanguageAware
{
    Q_OBJECT

public:
    explicit frmMain(zv::CatalogueSession &session, QWidget *parent = nullptr);
    ~frmMain() override;

    zv::CatalogueSession &session() const { return m_session; }

    // Reloads the list from CurrentTable.
    void LoadDB();
    void GetSettingsMain();
    // Makes all nine move-to items visible.
    void AllMenu();
    void SearchInList();
    void MoveItem(const QString &sText, const QString &sName, const QString &Kuda);
    // The confirmed delete of the selected entry.
    void DeleteSelected();
    void setCompactLayout(bool compact);
    bool isCompactLayout() const { return m_compact; }

    // The name selected in List1, or an empty text.
    QString selectedName() const;
    // The text a move or a save of the selected entry takes: what the user typed into the text
    // box since it was filled; otherwise the entry's stored text, since the box may then show
    // the welcome text, a report of the last edit or nothing at all.
    QString selectedEntryText() const;
    int selectedRow() const;
    const zv::FindResult &CurrentRecord() const { return m_session.CurrentRecord(); }
    QPlainTextEdit *entryText() const { return txtText; }
    QLineEdit *searchBox() const { return txtSearch; }
    QLabel *countLabel() const { return lblCount; }
    QMenu *listMenu() const { return lstMenu; }
    QAction *moveAction(const QString &table) const { return m_moveActions.value(table); }
    zv::Favourites &favourites() const { return *m_favourites; }

    // All names of the list, in list order (a copy).
    QStringList listNames() const;
    int listCount() const;

    // LanguageAware
    QList<Caption> languageCaptions() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createListMenu();
    void createHistoryActions();
    // The list menu's items after the move-to menu (favourites, sending an entry), with their keys.
    void createListMenuAdditions();
    void mnuFavourite_Click();
    // Writes the selected entry with its pictures into one entry file for the publisher.
    void mnuSuggest_Click();
    // The favourite item says what it would do with the selected entry.
    void showFavouriteState();
    // Undo (true) or redo of the last change to the catalogue, with a message when refused.
    void stepThroughHistory(bool undo);
    void historyStepFinished(const QString &outcome);
    // True when Ctrl+Z or Ctrl+Y in a text box has no typing of its own to take back or make again.
    bool textBoxTakesUndo(QObject *watched, QEvent *event) const;
    void Form_Load();
    bool windowKey(QKeyEvent *event);

    void Combo1_Click();
    // The session's list was loaded (the rest of LoadDB).
    void listLoaded(const QString &failure);
    void List1_Click();
    void List1_DblClick();
    void List1_MouseDown(const QPoint &position);
    void txtSearch_Change();
    void chkOnTop_Click();
    // Another window wrote a setting this window's look follows (opacity, stacking, run counter).
    void followSetting(zv::Option option, const QString &value);
    void lblCount_Click();
    void cmdAddItem_Click();
    void EditButton_Click();
    void cmdUpdate_Click();
    void cmdConfig_Click();
    void cmdAbout_Click();
    void Print_cmd_Click();
    void cmdViewScreen_Click();
    void mnuSaveItem_Click();
    void mnuSaveList_Click();
    void mnuAddScreenShot_Click();
    // The selected row left the list: the search box, counter and text box are reset.
    void selectedRowRemoved();
    void showCount(int count, zv::CountForm form);
    // Puts `text` into txtText as setPlainText() would, at a fraction of its cost: a new
    // document is laid out once instead of the old one being selected, cut and laid out again.
    void showEntryText(const QString &text);
    // Shows a store failure; the window goes on.
    void storeFailed(const QString &what, const zv::CatalogueError &error);
    // The record of the selected entry, looked up again when the selection found none; false
    // (with the user told why) when it cannot be had.
    bool selectedRecordPresent();
    // Another program removed or renamed the entry: the category is loaded again and the user told.
    void recordGone(const QString &name);

    QWidget *Frame2 = nullptr;
    QLabel *Label3 = nullptr;
    VistaButton *Print_cmd = nullptr;
    VistaButton *cmdViewScreen = nullptr;
    VistaButton *cmdAddItem = nullptr;
    VistaButton *EditButton = nullptr;
    VistaButton *DeleteButton = nullptr;
    VistaButton *VistaButton3 = nullptr;
    VistaButton *cmdConfig = nullptr;
    VistaButton *cmdUpdate = nullptr;
    VistaButton *cmdAbout = nullptr;
    QCheckBox *chkOnTop = nullptr;
    QLabel *lblCount = nullptr;
    QLineEdit *txtSearch = nullptr;
    QListView *List1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPlainTextEdit *txtText = nullptr;
    QLabel *Label1 = nullptr;
    VistaButton *FullButton = nullptr;
    QMenu *lstMenu = nullptr;
    QAction *mnuScrShot = nullptr;
    QAction *mnuFavourite = nullptr;
    zv::Favourites *m_favourites = nullptr;
    QHash<QString, QAction *> m_moveActions; // by table

    zv::CatalogueSession &m_session;
    bool m_choiceLoaded = false; // the selector's change just now was loaded (see createControls)
    bool m_compact = false;
    bool m_shownOnce = false;
};

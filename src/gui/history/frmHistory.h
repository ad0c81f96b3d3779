#pragma once

#include <QWidget>

class JournalModel;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTextEdit;

namespace zv {
class CatalogueSession;
}

// "Журнал изменений": every change to the catalogue, newest first, with the texts before and
// after, and the way back to a deleted entry or an earlier text. It follows the session's
// historyChanged signal, so changes made anywhere (undo and redo included) show at once.
class frmHistory : public QWidget
{
    Q_OBJECT

public:
    frmHistory(zv::CatalogueSession &session, QWidget *owner);

    // Reads the list again under the filters, keeping the selected change selected.
    void refresh();
    // Restores from the selected change; what goes wrong is told in a message.
    void cmdRestore_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showDetails();
    void showStatus();
    qint64 selectedId() const;

    zv::CatalogueSession &m_session;
    JournalModel *m_model;
    bool m_stale = true; // changes arrived while the window was hidden

    QLineEdit *txtFilter;
    QCheckBox *chkDeleted;
    QTableView *lstChanges;
    QLabel *lblBefore;
    QTextEdit *txtBefore;
    QLabel *lblAfter;
    QTextEdit *txtAfter;
    QPushButton *cmdRestore;
    QLabel *lblStatus;
};

// The action that opens the journal: Ctrl+H, with a small clock for the search box.
QAction *journalWindowAction(QWidget *owner);
// Opens the journal window of `owner` (one per owner), or brings it to the front.
frmHistory *openJournalWindow(QWidget *owner, zv::CatalogueSession &session);

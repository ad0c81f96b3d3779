#pragma once

#include "core/search/SearchIndex.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace zv {
class CatalogueSession;
}

// The full-text search: a query over every entry's name and text, the matches ranked with
// snippets, the selected one's text with the matched words marked, and the index's state.
// Enter or a double click shows the entry in the main window, through the session.
class frmSearch : public QWidget
{
    Q_OBJECT

public:
    frmSearch(zv::CatalogueSession &session, zv::search::SearchIndex &index, QWidget *owner = nullptr);

    // Asks at once for what the query box holds; the answer comes from the index's thread and
    // replaces the list (an answer to an older question is dropped).
    void runSearch();
    // Shows the selected result in the main window.
    void showSelected();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showResults(quint64 ticket, const zv::search::SearchResults &results);
    void showPreview();
    void showStatus();

    zv::CatalogueSession &m_session;
    zv::search::SearchIndex &m_index;
    zv::search::ParsedQuery m_query;
    quint64 m_ticket = 0; // the question whose answer the list waits for
    bool m_lastIncomplete = false;
    bool m_catalogueChanged = false; // since the answer shown
    // The entry selected when the list is asked for again after a change, to select it anew.
    QString m_keepTable;
    qint64 m_keepRowId = -1;
    QTimer m_typing;   // searches once the user pauses
    QTimer m_progress; // searches again while the index grows

    QLineEdit *txtQuery;
    QComboBox *cmbScope;
    QLabel *lblFound;
    QTreeWidget *lstResults;
    QTextEdit *txtPreview;
    QLabel *lblStatus;
};

class QAction;

// Ctrl+F with a small magnifier, for `owner` to show where it opens the search window.
QAction *searchWindowAction(QWidget *owner);

// Opens the search window of `owner` (one per owner), or brings it to the front. The session's
// index is attached when it has none yet.
frmSearch *openSearchWindow(QWidget *owner, zv::CatalogueSession &session);

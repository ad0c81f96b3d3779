#pragma once

#include <QWidget>

class QAction;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace zv {
class CatalogueSession;
class Favourites;
} // namespace zv

// "Избранное": the entries the user marked, of every category, with their category. Enter or a
// double click shows the entry in the main window, through the session.
class frmFavourites : public QWidget
{
    Q_OBJECT

public:
    frmFavourites(zv::CatalogueSession &session, zv::Favourites &favourites, QWidget *owner = nullptr);

    // Lists the favourites anew, keeping the selected one selected.
    void refresh();
    void cmdShow_Click();
    void cmdRemove_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    zv::CatalogueSession &m_session;
    zv::Favourites &m_favourites;

    QTreeWidget *lstFavourites;
    QLabel *lblStatus;
    QPushButton *cmdShow;
    QPushButton *cmdRemove;
    QPushButton *cmdClose;
};

// Ctrl+Shift+D with a small star, for `owner` to show where it opens the favourites window.
QAction *favouritesWindowAction(QWidget *owner);

// Opens the favourites window of `owner` (one per owner), or brings it to the front.
frmFavourites *openFavouritesWindow(QWidget *owner, zv::CatalogueSession &session, zv::Favourites &favourites);

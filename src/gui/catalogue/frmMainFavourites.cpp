// The main window's additions to the list menu: marking the selected entry as a favourite (Ctrl+D),
// the favourites window (Ctrl+Shift+D, or the star in the search box), and sending an entry.
#include "core/Seam.h"
#include "core/favourites/Favourites.h"
#include "core/store/CatalogueStore.h"
#include "gui/catalogue/frmMain.h"
#include "gui/favourites/frmFavourites.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

namespace {

const QString kMark = QStringLiteral("В избранное");
const QString kUnmark = QStringLiteral("Убрать из избранного");

} // namespace

void frmMain::createListMenuAdditions()
{
    m_favourites = new zv::Favourites(m_session, zv::cataloguePath(), this);
    lstMenu->addSeparator();
    mnuFavourite = lstMenu->addAction(kMark);
    mnuFavourite->setObjectName(QStringLiteral("mnuFavourite"));
    mnuFavourite->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuFavourite->setShortcutContext(Qt::WindowShortcut);
    addAction(mnuFavourite);
    connect(mnuFavourite, &QAction::triggered, this, &frmMain::mnuFavourite_Click);
    connect(lstMenu, &QMenu::aboutToShow, this, &frmMain::showFavouriteState);
    connect(&m_session, &zv::CatalogueSession::entrySelected, this, &frmMain::showFavouriteState);
    connect(m_favourites, &zv::Favourites::changed, this, &frmMain::showFavouriteState);
    QAction *mnuSuggest = lstMenu->addAction(QStringLiteral("Предложить запись..."));
    mnuSuggest->setObjectName(QStringLiteral("mnuSuggest"));
    connect(mnuSuggest, &QAction::triggered, this, &frmMain::mnuSuggest_Click);

    QAction *favourites = favouritesWindowAction(this);
    addAction(favourites);
    txtSearch->addAction(favourites, QLineEdit::TrailingPosition);
    connect(favourites, &QAction::triggered, this, [this] { openFavouritesWindow(this, m_session, *m_favourites); });
}

void frmMain::showFavouriteState()
{
    const bool marked = selectedRow() >= 0 &&
                        m_favourites->contains(m_session.CurrentTable(), m_session.selectedRowId(), selectedName());
    mnuFavourite->setText(marked ? kUnmark : kMark);
}

void frmMain::mnuFavourite_Click()
{
    if (selectedRow() < 0)
        return;
    m_favourites->toggle(m_session.CurrentTable(), m_session.selectedRowId(), selectedName());
    if (!m_favourites->saveFailure().isEmpty())
        zv::showMessage(this, m_favourites->saveFailure(), zv::MessageForm::OkExclamation);
}

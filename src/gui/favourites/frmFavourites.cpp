#include "gui/favourites/frmFavourites.h"

#include "core/Seam.h"
#include "core/favourites/Favourites.h"
#include "core/session/CatalogueSession.h"
#include "core/store/Category.h"
#include "gui/IconMdl.h"
#include "gui/OwnedWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kTableRole = Qt::UserRole;
constexpr int kRowIdRole = Qt::UserRole + 1;

const QString kEmpty = QStringLiteral("В избранном пока ничего нет. Выберите запись в главном окне и нажмите Ctrl+D "
                                      "или выберите «В избранное» в её меню.");

} // namespace

frmFavourites::frmFavourites(zv::CatalogueSession &session, zv::Favourites &favourites, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_session(session)
    , m_favourites(favourites)
{
    zv::dressOwnedWindow(this, QStringLiteral("frmFavourites"), QStringLiteral("Избранное"));
    SetWindowIcon(this);
    resize(520, 400);

    lstFavourites = new QTreeWidget(this);
    lstFavourites->setObjectName(QStringLiteral("lstFavourites"));
    lstFavourites->setHeaderLabels({QStringLiteral("Раздел"), QStringLiteral("Запись")});
    lstFavourites->setRootIsDecorated(false);
    lstFavourites->setUniformRowHeights(true);
    lstFavourites->setAllColumnsShowFocus(true);
    lstFavourites->header()->resizeSection(0, 170);
    lstFavourites->setAccessibleName(QStringLiteral("Избранные записи"));

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);
    cmdShow = new QPushButton(QStringLiteral("Показать"), this);
    cmdShow->setObjectName(QStringLiteral("cmdShow"));
    cmdRemove = new QPushButton(QStringLiteral("Убрать из избранного"), this);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdClose = new QPushButton(QStringLiteral("Закрыть"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdShow);
    buttons->addWidget(cmdRemove);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lstFavourites, 1);
    layout->addWidget(lblStatus);
    layout->addLayout(buttons);
    setTabOrder(lstFavourites, cmdShow);
    setTabOrder(cmdShow, cmdRemove);
    setTabOrder(cmdRemove, cmdClose);

    connect(cmdShow, &QPushButton::clicked, this, &frmFavourites::cmdShow_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmFavourites::cmdRemove_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstFavourites, &QTreeWidget::itemActivated, this, &frmFavourites::cmdShow_Click);
    connect(lstFavourites, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        cmdShow->setEnabled(current);
        cmdRemove->setEnabled(current);
    });
    auto *closeWindow = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeWindow, &QShortcut::activated, this, &QWidget::close);
    lstFavourites->installEventFilter(this);

    // Names and places follow the catalogue, whoever changed it.
    connect(&favourites, &zv::Favourites::changed, this, &frmFavourites::refresh);
    connect(&session, &zv::CatalogueSession::recordsChanged, this, &frmFavourites::refresh);
    connect(&session, &zv::CatalogueSession::recordsRemoved, this, &frmFavourites::refresh);
    connect(&session, &zv::CatalogueSession::catalogueReplaced, this, &frmFavourites::refresh);
    refresh();
    lstFavourites->setFocus();
}

bool frmFavourites::eventFilter(QObject *watched, QEvent *event)
{
    // Delete takes the selected entry out of the favourites (never out of the catalogue).
    if (watched == lstFavourites && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        cmdRemove_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmFavourites::refresh()
{
    const QTreeWidgetItem *was = lstFavourites->currentItem();
    const QString keepTable = was ? was->data(0, kTableRole).toString() : QString();
    const qint64 keepRowId = was ? was->data(0, kRowIdRole).toLongLong() : -1;
    lstFavourites->clear();
    std::vector<zv::Favourite> shown;
    QString failure;
    try {
        shown = m_favourites.present();
    } catch (const zv::CatalogueError &error) {
        failure = QStringLiteral("Не удалось прочитать каталог: ") + error.message();
    }
    QTreeWidgetItem *selected = nullptr;
    for (const zv::Favourite &favourite : shown) {
        const auto category = zv::categoryByTable(favourite.table);
        auto *item =
            new QTreeWidgetItem(lstFavourites, {category ? category->displayName : favourite.table, favourite.name});
        item->setData(0, kTableRole, favourite.table);
        item->setData(0, kRowIdRole, favourite.rowId);
        if (!selected || (favourite.table == keepTable && favourite.rowId == keepRowId))
            selected = item;
    }
    lstFavourites->setCurrentItem(selected);
    cmdShow->setEnabled(selected);
    cmdRemove->setEnabled(selected);
    const QString note = !failure.isEmpty() ? failure : m_favourites.note();
    lblStatus->setText(!note.isEmpty() ? note
                       : shown.empty() ? kEmpty
                                       : QStringLiteral("Записей в избранном: ") + QString::number(shown.size()));
}

void frmFavourites::cmdShow_Click()
{
    const QTreeWidgetItem *item = lstFavourites->currentItem();
    if (!item)
        return;
    const QString table = item->data(0, kTableRole).toString();
    const qint64 rowId = item->data(0, kRowIdRole).toLongLong();
    if (!m_session.showEntry(table, rowId)) {
        zv::showMessage(this, QStringLiteral("Записи «") + item->text(1) + QStringLiteral("» больше нет в каталоге."),
                        zv::MessageForm::OkExclamation);
        refresh();
        return;
    }
    // The main window shows it: the user reads it there.
    if (QWidget *main = parentWidget()) {
        main->raise();
        main->activateWindow();
    }
}

void frmFavourites::cmdRemove_Click()
{
    const QTreeWidgetItem *item = lstFavourites->currentItem();
    if (!item)
        return;
    m_favourites.toggle(item->data(0, kTableRole).toString(), item->data(0, kRowIdRole).toLongLong(), item->text(1));
}

QAction *favouritesWindowAction(QWidget *owner)
{
    // A five-pointed star drawn at the size the search box shows it.
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double radius = i % 2 ? 3.0 : 7.0;
            const double angle = M_PI / 5 * i - M_PI / 2;
            const QPointF point(8 + radius * std::cos(angle), 8.5 + radius * std::sin(angle));
            i ? star.lineTo(point) : star.moveTo(point);
        }
        star.closeSubpath();
        painter.setPen(QPen(QColor(70, 70, 70), 1.2));
        painter.setBrush(QColor(250, 200, 60));
        painter.drawPath(star);
    }
    return zv::ownedWindowAction(owner, picture, QStringLiteral("Избранное (Ctrl+Shift+D)"),
                                 QStringLiteral("actFavourites"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
}

frmFavourites *openFavouritesWindow(QWidget *owner, zv::CatalogueSession &session, zv::Favourites &favourites)
{
    return zv::showOwnedWindow<frmFavourites>(owner, [&] { return new frmFavourites(session, favourites, owner); });
}

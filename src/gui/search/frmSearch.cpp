#include "gui/search/frmSearch.h"

#include "core/search/SessionIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/OwnedWindow.h"
#include "gui/search/MarkedText.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kTableRole = Qt::UserRole;
constexpr int kRowIdRole = Qt::UserRole + 1;
constexpr int kRangesRole = Qt::UserRole + 2;
constexpr int kTypingPauseMs = 200;
constexpr int kRefreshWhileBuildingMs = 1500;

// Draws a cell's plain text with its matched words marked.
class MarkedDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QVariant ranges = index.data(kRangesRole);
        if (!ranges.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        item.widget->style()->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
        QTextDocument document;
        document.setDefaultFont(item.font);
        document.setDocumentMargin(0);
        setMarkedText(document, text, rangesFromVariant(ranges));
        // Placed where the style puts a plain cell's text: its margin, centred in the row.
        const QStyle *style = item.widget->style();
        const QPoint offset(style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1,
                            int(item.rect.height() - document.size().height()) / 2);
        painter->save();
        painter->setClipRect(item.rect);
        painter->translate(item.rect.topLeft() + offset);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = item.palette;
        if (item.state & QStyle::State_Selected)
            context.palette.setColor(QPalette::Text, item.palette.color(QPalette::HighlightedText));
        document.documentLayout()->draw(painter, context);
        painter->restore();
    }
};

QString categoryName(const QString &table)
{
    const auto category = zv::categoryByTable(table);
    return category ? category->displayName : table;
}

} // namespace

frmSearch::frmSearch(zv::CatalogueSession &session, zv::search::SearchIndex &index, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_session(session)
    , m_index(index)
{
    zv::dressOwnedWindow(this, QStringLiteral("frmSearch"), QStringLiteral("Поиск по описаниям"));
    resize(820, 560);

    txtQuery = new QLineEdit(this);
    txtQuery->setObjectName(QStringLiteral("txtQuery"));
    txtQuery->setPlaceholderText(QStringLiteral("Слова из описания; \"точная фраза\"; начало слова*"));
    txtQuery->setClearButtonEnabled(true);
    cmbScope = new QComboBox(this);
    cmbScope->setObjectName(QStringLiteral("cmbScope"));
    cmbScope->addItem(QStringLiteral("Во всех разделах"));
    cmbScope->addItem(QString());
    lblFound = new QLabel(this);
    lblFound->setObjectName(QStringLiteral("lblFound"));
    lblFound->setTextFormat(Qt::PlainText);
    lblFound->setWordWrap(true); // a long reason wraps rather than widening the window

    lstResults = new QTreeWidget(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setHeaderLabels({QStringLiteral("Раздел"), QStringLiteral("Запись"), QStringLiteral("Фрагмент")});
    lstResults->setRootIsDecorated(false);
    lstResults->setUniformRowHeights(true);
    lstResults->setAllColumnsShowFocus(true);
    lstResults->setItemDelegate(new MarkedDelegate(lstResults));
    lstResults->header()->resizeSection(0, 140);
    lstResults->header()->resizeSection(1, 180);

    txtPreview = new QTextEdit(this);
    txtPreview->setObjectName(QStringLiteral("txtPreview"));
    txtPreview->setReadOnly(true);
    txtPreview->setAcceptRichText(false);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);

    // What a screen reader calls the controls that have no label of their own.
    txtQuery->setAccessibleName(QStringLiteral("Слова для поиска"));
    txtQuery->setAccessibleDescription(txtQuery->placeholderText());
    cmbScope->setAccessibleName(QStringLiteral("Где искать"));
    lstResults->setAccessibleName(QStringLiteral("Найденные записи"));
    txtPreview->setAccessibleName(QStringLiteral("Текст найденной записи"));
    // A window of its own, closed from the keyboard as a dialog is.
    auto *closeWindow = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeWindow, &QShortcut::activated, this, &QWidget::close);

    auto *top = new QHBoxLayout;
    top->addWidget(txtQuery, 1);
    top->addWidget(cmbScope);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(lstResults);
    splitter->addWidget(txtPreview);
    splitter->setSizes({300, 200});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblFound);
    layout->addWidget(splitter, 1);
    layout->addWidget(lblStatus);

    m_typing.setSingleShot(true);
    m_typing.setInterval(kTypingPauseMs);
    m_progress.setSingleShot(true);
    m_progress.setInterval(kRefreshWhileBuildingMs);
    connect(&m_typing, &QTimer::timeout, this, &frmSearch::runSearch);
    connect(&m_progress, &QTimer::timeout, this, &frmSearch::runSearch);
    connect(txtQuery, &QLineEdit::textChanged, this, [this] { m_typing.start(); });
    connect(txtQuery, &QLineEdit::returnPressed, this, [this] {
        m_typing.stop();
        runSearch();
        lstResults->setFocus();
    });
    connect(cmbScope, &QComboBox::currentIndexChanged, this, &frmSearch::runSearch);
    connect(lstResults, &QTreeWidget::currentItemChanged, this, &frmSearch::showPreview);
    connect(lstResults, &QTreeWidget::itemDoubleClicked, this, &frmSearch::showSelected);
    lstResults->installEventFilter(this);
    connect(&m_index, &zv::search::SearchIndex::progressChanged, this, &frmSearch::showStatus);
    connect(&m_index, &zv::search::SearchIndex::searched, this, &frmSearch::showResults);
    connect(&m_index, &zv::search::SearchIndex::indexChanged, this, [this] {
        // Answers given from part of the catalogue are renewed as the index grows.
        if (m_lastIncomplete && !m_progress.isActive())
            m_progress.start();
        // An answer from before a change made elsewhere is asked again once the index has it.
        if (m_catalogueChanged && !m_index.changesPending()) {
            m_catalogueChanged = false;
            if (const QTreeWidgetItem *item = lstResults->currentItem()) {
                m_keepTable = item->data(0, kTableRole).toString();
                m_keepRowId = item->data(0, kRowIdRole).toLongLong();
            }
            runSearch();
        }
    });
    auto changed = [this] { m_catalogueChanged = !txtQuery->text().trimmed().isEmpty(); };
    connect(&m_session, &zv::CatalogueSession::recordsChanged, this, changed);
    connect(&m_session, &zv::CatalogueSession::recordsRemoved, this, changed);
    connect(&m_session, &zv::CatalogueSession::categoryLoaded, this, [this] {
        cmbScope->setItemText(1, QStringLiteral("В разделе «") + categoryName(m_session.CurrentTable()) +
                                     QStringLiteral("»"));
        if (cmbScope->currentIndex() == 1)
            runSearch();
    });
    cmbScope->setItemText(1,
                          QStringLiteral("В разделе «") + categoryName(m_session.CurrentTable()) + QStringLiteral("»"));

    SetWindowIcon(this);
    ApplyWindowSettings(this);
    showStatus();
    txtQuery->setFocus();
}

void frmSearch::runSearch()
{
    m_typing.stop();
    m_progress.stop();
    const QString table = cmbScope->currentIndex() == 1 ? m_session.CurrentTable() : QString();
    m_query = zv::search::parseQuery(txtQuery->text());
    if (txtQuery->text().trimmed().isEmpty()) {
        m_index.cancelSearch();
        m_ticket = 0;
        lstResults->clear();
        txtPreview->clear();
        lblFound->clear();
        m_lastIncomplete = false;
        return;
    }
    m_ticket = m_index.searchLater(txtQuery->text(), table);
}

void frmSearch::showResults(quint64 ticket, const zv::search::SearchResults &results)
{
    if (ticket != m_ticket)
        return;
    m_ticket = 0;
    m_lastIncomplete = results.incomplete;
    lstResults->clear();
    txtPreview->clear();
    QList<QTreeWidgetItem *> items;
    QTreeWidgetItem *kept = nullptr;
    for (const auto &hit : results.hits) {
        auto *item = new QTreeWidgetItem({categoryName(hit.table), hit.name, hit.snippet.text});
        item->setData(0, kTableRole, hit.table);
        item->setData(0, kRowIdRole, hit.rowId);
        item->setData(1, kRangesRole, rangesToVariant(hit.nameRanges));
        item->setData(2, kRangesRole, rangesToVariant(hit.snippet.ranges));
        if (hit.table == m_keepTable && hit.rowId == m_keepRowId)
            kept = item;
        items << item;
    }
    m_keepTable.clear();
    m_keepRowId = -1;
    lstResults->addTopLevelItems(items);
    QString found = results.hits.isEmpty() && !results.message.isEmpty()
                        ? results.message
                        : (results.estimated ? QStringLiteral("Найдено примерно: %1") : QStringLiteral("Найдено: %1"))
                              .arg(results.found);
    if (results.found > results.hits.size())
        found += QStringLiteral(", показаны первые %1").arg(results.hits.size());
    if (!results.hits.isEmpty() && !results.message.isEmpty())
        found += QStringLiteral(". ") + results.message;
    if (results.incomplete)
        found += QStringLiteral(" (указатель ещё строится: искали среди %1 из %2 записей)")
                     .arg(m_index.done())
                     .arg(m_index.total());
    lblFound->setText(found);
    if (!items.isEmpty())
        lstResults->setCurrentItem(kept ? kept : items.first());
}

void frmSearch::showPreview()
{
    const QTreeWidgetItem *item = lstResults->currentItem();
    if (!item) {
        txtPreview->clear();
        return;
    }
    const std::optional<zv::search::EntryText> entry =
        m_index.entryText(item->data(0, kTableRole).toString(), item->data(0, kRowIdRole).toLongLong());
    if (!entry) {
        txtPreview->setPlainText(QStringLiteral("Этой записи уже нет в каталоге."));
        return;
    }
    // A long text is shown from its start, as far as the search reads it.
    const QString text =
        entry->cut ? entry->text + QStringLiteral("\n\n[…] Дальше текст не показан: он весь — в главном окне (Enter).")
                   : entry->text;
    setMarkedText(*txtPreview->document(), text, zv::search::matchRanges(entry->text, m_query));
}

void frmSearch::showSelected()
{
    const QTreeWidgetItem *item = lstResults->currentItem();
    if (!item)
        return;
    if (!m_session.showEntry(item->data(0, kTableRole).toString(), item->data(0, kRowIdRole).toLongLong())) {
        lblFound->setText(QStringLiteral("Этой записи уже нет в каталоге."));
        return;
    }
    if (QWidget *main = parentWidget()) {
        main->raise();
        main->activateWindow();
    }
}

void frmSearch::showStatus()
{
    lblStatus->setText(m_index.statusText());
}

bool frmSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstResults && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            showSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QAction *searchWindowAction(QWidget *owner)
{
    // A magnifier drawn at the size the search box shows it.
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(70, 70, 70), 2));
        painter.drawEllipse(QRectF(2, 2, 8.5, 8.5));
        painter.setPen(QPen(QColor(70, 70, 70), 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(10, 10), QPointF(14, 14));
    }
    return zv::ownedWindowAction(owner, picture, QStringLiteral("Поиск по описаниям (Ctrl+F)"),
                                 QStringLiteral("actFullTextSearch"), QKeySequence(Qt::CTRL | Qt::Key_F));
}

frmSearch *openSearchWindow(QWidget *owner, zv::CatalogueSession &session)
{
    return zv::showOwnedWindow<frmSearch>(owner, [&] {
        zv::search::SearchIndex *index = zv::search::searchIndexOf(session);
        if (!index)
            index = zv::search::attachSearchIndex(session, zv::cataloguePath());
        return new frmSearch(session, *index, owner);
    });
}

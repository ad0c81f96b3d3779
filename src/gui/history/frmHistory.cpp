#include "gui/history/frmHistory.h"

#include "core/Seam.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/OwnedWindow.h"
#include "gui/PlainLabel.h"
#include "gui/history/ChangeTexts.h"
#include "gui/history/JournalModel.h"
#include "gui/history/WordDiff.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

using zv::history::ChangeKind;

namespace {

// An update's pane lists the names it added, up to this many.
constexpr int kListedNames = 1000;

enum class Pane { Before, After };

QTextCharFormat noteFormat()
{
    QTextCharFormat format;
    format.setFontItalic(true);
    format.setForeground(QColor(110, 110, 110));
    return format;
}

QTextCharFormat markFormat(DiffPiece::Kind kind)
{
    QTextCharFormat format;
    if (kind == DiffPiece::Removed) {
        format.setForeground(QColor(180, 0, 0));
        format.setFontStrikeOut(true);
        format.setBackground(QColor(255, 228, 228));
    } else if (kind == DiffPiece::Added) {
        format.setForeground(QColor(0, 110, 0));
        format.setBackground(QColor(220, 248, 220));
    }
    return format;
}

// Writes the pieces of one side, the other side's marked where they differ. The texts go in
// as text, never as markup.
void writePieces(QTextCursor &cursor, const std::vector<DiffPiece> &pieces, Pane pane, const QTextCharFormat &base)
{
    const DiffPiece::Kind other = pane == Pane::Before ? DiffPiece::Added : DiffPiece::Removed;
    for (const DiffPiece &piece : pieces) {
        if (piece.kind == other)
            continue;
        QTextCharFormat format = base;
        format.merge(markFormat(piece.kind));
        cursor.insertText(piece.text, format);
    }
}

void writeNote(QTextCursor &cursor, const QString &note)
{
    cursor.insertText(note, noteFormat());
}

QString picturesLine(const zv::history::Change &change, Pane pane)
{
    QStringList names;
    for (const zv::history::PictureStep &picture : change.pictures)
        if (!(pane == Pane::Before ? picture.before : picture.after).isEmpty())
            names << picture.fileName;
    return names.isEmpty() ? QString() : QStringLiteral("Скриншоты: ") + names.join(QStringLiteral(", "));
}

// One pane of an entry's change: its name, then its text, with the differences to the other side
// marked when both are known.
void writeSide(QTextDocument &document, const EntrySide &side, const EntrySide &other, Pane pane,
               const zv::history::Change &change)
{
    document.clear();
    QTextCursor cursor(&document);
    if (!side.exists) {
        if (pane == Pane::Before)
            writeNote(cursor, QStringLiteral("(записи не было)"));
        else
            writeNote(cursor, change.kind == ChangeKind::Deleted ? QStringLiteral("(запись удалена)")
                                                                 : QStringLiteral("(записи нет)"));
        return;
    }
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    if (other.exists)
        writePieces(cursor, pane == Pane::Before ? wordDiff(side.name, other.name) : wordDiff(other.name, side.name),
                    pane, bold);
    else
        cursor.insertText(side.name, bold);
    cursor.insertBlock();
    cursor.insertBlock();
    if (!side.text) {
        writeNote(cursor, QStringLiteral("(текст не сохранён: в каталоге он с тех пор изменён)"));
    } else if (other.exists && other.text) {
        writePieces(cursor,
                    pane == Pane::Before ? wordDiff(*side.text, *other.text) : wordDiff(*other.text, *side.text), pane,
                    QTextCharFormat());
    } else {
        cursor.insertText(*side.text, QTextCharFormat());
    }
    if (const QString pictures = picturesLine(change, pane); !pictures.isEmpty()) {
        cursor.insertBlock();
        cursor.insertBlock();
        writeNote(cursor, pictures);
    }
}

// An update's panes: nothing before it, the names it added after it.
void writeUpdate(QTextDocument &before, QTextDocument &after, const zv::history::Change &change)
{
    before.clear();
    QTextCursor was(&before);
    writeNote(was, QStringLiteral("(этих записей не было)"));
    after.clear();
    QTextCursor now(&after);
    QStringList names;
    for (const zv::history::RecordStep &step : change.records) {
        if (names.size() == kListedNames)
            break;
        if (step.after.exists())
            names << step.after.name;
    }
    now.insertText(names.join(QLatin1Char('\n')), QTextCharFormat());
    if (change.records.size() > std::size_t(names.size())) {
        now.insertBlock();
        writeNote(now, QStringLiteral("… и ещё %1").arg(change.records.size() - std::size_t(names.size())));
    }
}

// A screenshot attached: the entry's name, and whether a picture of that name was there before.
void writePicture(QTextDocument &document, const zv::history::Change &change, Pane pane)
{
    document.clear();
    QTextCursor cursor(&document);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText(change.name, bold);
    cursor.insertBlock();
    cursor.insertBlock();
    const QString pictures = picturesLine(change, pane);
    writeNote(cursor, pictures.isEmpty() ? QStringLiteral("(скриншота не было)") : pictures);
}

} // namespace

frmHistory::frmHistory(zv::CatalogueSession &session, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_session(session)
    , m_model(new JournalModel(this))
{
    zv::dressOwnedWindow(this, QStringLiteral("frmHistory"), QStringLiteral("Журнал изменений"));
    resize(860, 600);

    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("часть названия записи"));
    txtFilter->setClearButtonEnabled(true);
    auto *lblFilter = zv::plainLabel(QStringLiteral("&Запись:"), this);
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    lblFilter->setBuddy(txtFilter);
    chkDeleted = new QCheckBox(QStringLiteral("Только &удалённые"), this);
    chkDeleted->setObjectName(QStringLiteral("chkDeleted"));

    lstChanges = new QTableView(this);
    lstChanges->setObjectName(QStringLiteral("lstChanges"));
    lstChanges->setModel(m_model);
    lstChanges->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstChanges->setSelectionMode(QAbstractItemView::SingleSelection);
    lstChanges->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstChanges->setTabKeyNavigation(false);
    lstChanges->setShowGrid(false);
    lstChanges->setWordWrap(false);
    lstChanges->setAlternatingRowColors(true);
    // Fixed row heights and column widths: nothing measures ten thousand rows.
    lstChanges->verticalHeader()->hide();
    lstChanges->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstChanges->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    lstChanges->horizontalHeader()->setHighlightSections(false);
    lstChanges->horizontalHeader()->resizeSection(JournalModel::When, 150);
    lstChanges->horizontalHeader()->resizeSection(JournalModel::What, 230);
    lstChanges->horizontalHeader()->resizeSection(JournalModel::Category, 170);
    lstChanges->horizontalHeader()->setStretchLastSection(true);

    auto makePane = [this](const char *name) {
        auto *pane = new QTextEdit(this);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setReadOnly(true);
        pane->setAcceptRichText(false);
        pane->setTabChangesFocus(true);
        return pane;
    };
    txtBefore = makePane("txtBefore");
    txtAfter = makePane("txtAfter");
    lblBefore = zv::plainLabel(QStringLiteral("&Было:"), this);
    lblBefore->setObjectName(QStringLiteral("lblBefore"));
    lblBefore->setBuddy(txtBefore);
    lblAfter = zv::plainLabel(QStringLiteral("&Стало:"), this);
    lblAfter->setObjectName(QStringLiteral("lblAfter"));
    lblAfter->setBuddy(txtAfter);

    cmdRestore = new QPushButton(QStringLiteral("&Восстановить"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->setEnabled(false);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);

    // What a screen reader calls the controls.
    txtFilter->setAccessibleName(QStringLiteral("Запись"));
    txtFilter->setAccessibleDescription(QStringLiteral("Показать изменения записей, в названии которых есть это"));
    lstChanges->setAccessibleName(QStringLiteral("Изменения"));
    txtBefore->setAccessibleName(QStringLiteral("Было"));
    txtAfter->setAccessibleName(QStringLiteral("Стало"));
    cmdRestore->setAccessibleDescription(
        QStringLiteral("Вернуть удалённую запись или прежний текст записи из выбранного изменения"));
    // A window of its own, closed from the keyboard as a dialog is.
    auto *closeWindow = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeWindow, &QShortcut::activated, this, &QWidget::close);

    auto *top = new QHBoxLayout;
    top->addWidget(lblFilter);
    top->addWidget(txtFilter, 1);
    top->addSpacing(12);
    top->addWidget(chkDeleted);
    auto *beforeBox = new QWidget(this);
    auto *beforeLayout = new QVBoxLayout(beforeBox);
    beforeLayout->setContentsMargins(0, 0, 0, 0);
    beforeLayout->addWidget(lblBefore);
    beforeLayout->addWidget(txtBefore, 1);
    auto *afterBox = new QWidget(this);
    auto *afterLayout = new QVBoxLayout(afterBox);
    afterLayout->setContentsMargins(0, 0, 0, 0);
    afterLayout->addWidget(lblAfter);
    afterLayout->addWidget(txtAfter, 1);
    auto *texts = new QSplitter(Qt::Horizontal, this);
    texts->addWidget(beforeBox);
    texts->addWidget(afterBox);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(lstChanges);
    splitter->addWidget(texts);
    splitter->setSizes({320, 240});
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(cmdRestore);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
    setTabOrder(txtFilter, chkDeleted);
    setTabOrder(chkDeleted, lstChanges);
    setTabOrder(lstChanges, txtBefore);
    setTabOrder(txtBefore, txtAfter);
    setTabOrder(txtAfter, cmdRestore);

    connect(txtFilter, &QLineEdit::textChanged, this, &frmHistory::refresh);
    connect(chkDeleted, &QCheckBox::toggled, this, &frmHistory::refresh);
    connect(lstChanges->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &frmHistory::showDetails);
    connect(cmdRestore, &QPushButton::clicked, this, &frmHistory::cmdRestore_Click);
    connect(&m_session, &zv::CatalogueSession::historyChanged, this, [this] {
        if (isVisible())
            refresh();
        else
            m_stale = true;
    });

    SetWindowIcon(this);
    ApplyWindowSettings(this);
    lstChanges->setFocus();
}

void frmHistory::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

void frmHistory::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // The keyboard goes back to the window the journal was opened from, also where no window
    // manager hands it on.
    if (QWidget *owner = parentWidget(); owner && owner->isVisible())
        owner->activateWindow();
}

void frmHistory::refresh()
{
    m_stale = false;
    const qint64 selected = selectedId();
    m_model->setChanges(m_session.historyList(chkDeleted->isChecked(), txtFilter->text().trimmed()));
    const int row = selected >= 0 ? std::max(0, m_model->rowOf(selected)) : 0;
    if (m_model->rowCount() > 0)
        lstChanges->setCurrentIndex(m_model->index(row, JournalModel::When));
    else
        showDetails();
    showStatus();
}

qint64 frmHistory::selectedId() const
{
    const QModelIndex current = lstChanges->currentIndex();
    return current.isValid() ? m_model->change(current.row()).id : -1;
}

void frmHistory::showDetails()
{
    const QModelIndex current = lstChanges->currentIndex();
    const std::optional<zv::history::Change> change =
        current.isValid() ? m_session.historyChange(m_model->change(current.row()).id) : std::nullopt;
    cmdRestore->setEnabled(current.isValid() && zv::CatalogueSession::canRestore(m_model->change(current.row())));
    if (!change) {
        txtBefore->clear();
        txtAfter->clear();
        return;
    }
    if (change->kind == ChangeKind::Update || change->kind == ChangeKind::Import) {
        writeUpdate(*txtBefore->document(), *txtAfter->document(), *change);
        return;
    }
    if (change->records.empty()) {
        writePicture(*txtBefore->document(), *change, Pane::Before);
        writePicture(*txtAfter->document(), *change, Pane::After);
        return;
    }
    // Texts the history did not keep are read where they are now.
    zv::CatalogueConnection catalogue;
    try {
        catalogue = m_session.readingConnection();
    } catch (const zv::CatalogueError &) {
        // Without the catalogue those texts show as unknown.
    }
    const ChangeTexts texts = changeTexts(*change, catalogue);
    writeSide(*txtBefore->document(), texts.before, texts.after, Pane::Before, *change);
    writeSide(*txtAfter->document(), texts.after, texts.before, Pane::After, *change);
}

void frmHistory::showStatus()
{
    const QString note = m_session.historyNote();
    if (!note.isEmpty()) {
        lblStatus->setText(note);
        return;
    }
    const bool filtered = chkDeleted->isChecked() || !txtFilter->text().trimmed().isEmpty();
    lblStatus->setText((filtered ? QStringLiteral("Найдено изменений: %1") : QStringLiteral("Изменений: %1"))
                           .arg(m_model->rowCount()));
}

void frmHistory::cmdRestore_Click()
{
    const qint64 id = selectedId();
    if (id < 0 || !cmdRestore->isEnabled())
        return;
    QString failure;
    try {
        failure = m_session.restoreFromHistory(id);
    } catch (const zv::CatalogueError &error) {
        failure = error.message();
    } catch (const zv::history::ChangedSince &error) {
        failure = error.message();
    }
    if (!failure.isEmpty())
        zv::showMessage(this, failure, zv::MessageForm::OkExclamation);
}

QAction *journalWindowAction(QWidget *owner)
{
    // A clock drawn at the size the search box shows it.
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(70, 70, 70), 1.6));
        painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        painter.setPen(QPen(QColor(70, 70, 70), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(8, 8), QPointF(8, 4));
        painter.drawLine(QPointF(8, 8), QPointF(11, 9.5));
    }
    return zv::ownedWindowAction(owner, picture, QStringLiteral("Журнал изменений (Ctrl+H)"),
                                 QStringLiteral("actJournal"), QKeySequence(Qt::CTRL | Qt::Key_H));
}

frmHistory *openJournalWindow(QWidget *owner, zv::CatalogueSession &session)
{
    return zv::showOwnedWindow<frmHistory>(owner, [&] { return new frmHistory(session, owner); });
}

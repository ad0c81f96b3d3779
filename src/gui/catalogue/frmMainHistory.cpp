// The main window's way back: undo and redo of catalogue changes, and the journal of changes.
#include "core/Seam.h"
#include "gui/catalogue/frmMain.h"
#include "gui/history/frmHistory.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

void frmMain::createHistoryActions()
{
    auto *undo = new QAction(QStringLiteral("Отменить изменение"), this);
    undo->setObjectName(QStringLiteral("actUndo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setShortcutContext(Qt::WindowShortcut);
    connect(undo, &QAction::triggered, this, [this] { stepThroughHistory(true); });
    auto *redo = new QAction(QStringLiteral("Повторить изменение"), this);
    redo->setObjectName(QStringLiteral("actRedo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    redo->setShortcutContext(Qt::WindowShortcut);
    connect(redo, &QAction::triggered, this, [this] { stepThroughHistory(false); });
    connect(&m_session, &zv::CatalogueSession::historyStepFinished, this, &frmMain::historyStepFinished);
    addAction(undo);
    addAction(redo);

    // The journal: Ctrl+H, or the clock beside the magnifier in the search box.
    QAction *journal = journalWindowAction(this);
    addAction(journal);
    txtSearch->addAction(journal, QLineEdit::TrailingPosition);
    connect(journal, &QAction::triggered, this, [this] { openJournalWindow(this, m_session); });
}

void frmMain::stepThroughHistory(bool undo)
{
    m_session.startHistoryStep(undo ? zv::history::Direction::Undo : zv::history::Direction::Redo);
}

void frmMain::historyStepFinished(const QString &outcome)
{
    // A refusal, or what failed: the catalogue is as it was, or as the step left it.
    if (!outcome.isEmpty())
        zv::showMessage(this, outcome, zv::MessageForm::OkExclamation);
}

bool frmMain::textBoxTakesUndo(QObject *watched, QEvent *event) const
{
    // Ctrl+Z in a text box takes back its typing first; once there is none, the catalogue's change.
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool undo = key->matches(QKeySequence::Undo);
    const bool redo = key->matches(QKeySequence::Redo) ||
                      key->keyCombination() == QKeyCombination(Qt::CTRL | Qt::Key_Y) ||
                      key->keyCombination() == QKeyCombination(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    if (!undo && !redo)
        return false;
    bool typing = true;
    if (watched == txtSearch)
        typing = undo ? txtSearch->isUndoAvailable() : txtSearch->isRedoAvailable();
    else if (watched == txtText)
        typing = !txtText->isReadOnly() &&
                 (undo ? txtText->document()->isUndoAvailable() : txtText->document()->isRedoAvailable());
    // Left unaccepted, the key goes on to the window's own shortcut.
    return !typing;
}

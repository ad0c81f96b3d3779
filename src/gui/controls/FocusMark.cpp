#include "gui/controls/FocusMark.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

namespace zv {

void FocusMark::focusIn(Qt::FocusReason reason)
{
    switch (reason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        m_keyboard = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        break; // focus comes back as it was
    default:
        m_keyboard = false;
        break;
    }
}

bool FocusMark::shown(const QWidget *control) const
{
    return m_keyboard && control->hasFocus();
}

void FocusMark::paint(QWidget *control) const
{
    if (!shown(control))
        return;
    QPainter painter(control);
    painter.setPen(QPen(QColor(0, 0, 0), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    // Inside the glass border, as the platform buttons draw theirs.
    painter.drawRect(control->rect().adjusted(3, 3, -4, -4));
}

bool isPressKey(const QKeyEvent *event)
{
    // With Ctrl, Alt or Meta held the key means something else to the window.
    if (event->isAutoRepeat() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        return false;
    }
}

} // namespace zv

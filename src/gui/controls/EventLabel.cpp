#include "gui/controls/EventLabel.h"

#include "gui/controls/AccessibleControls.h"

#include <QKeyEvent>
#include <QMouseEvent>

EventLabel::EventLabel(QWidget *parent)
    : QLabel(parent)
{
    zv::installAccessibleControls();
    // Its captions may come from Language.ini: shown as they are.
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
}

void EventLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_leftPressed = true;
    emit MouseDown();
}

void EventLabel::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    emit MouseMove();
}

void EventLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    // A click needs its press here, and the release over the control.
    const bool click =
        event->button() == Qt::LeftButton && m_leftPressed && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_leftPressed = false;
    emit MouseUp();
    if (click)
        emit Click();
}

void EventLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    emit MouseDown();
    if (event->button() != Qt::LeftButton)
        return;
    // The second press of a double click is no click of its own.
    m_leftPressed = false;
    emit DblClick();
}

void EventLabel::setClickable(const QString &name)
{
    m_clickable = true;
    setFocusPolicy(Qt::StrongFocus);
    if (!name.isEmpty())
        setAccessibleName(name);
}

void EventLabel::click()
{
    if (isEnabled())
        emit Click();
}

void EventLabel::keyPressEvent(QKeyEvent *event)
{
    if (m_clickable && zv::isPressKey(event)) {
        event->accept();
        m_focusMark.keyUsed();
        update();
        click();
        return;
    }
    QLabel::keyPressEvent(event);
}

void EventLabel::focusInEvent(QFocusEvent *event)
{
    m_focusMark.focusIn(event->reason());
    update();
    QLabel::focusInEvent(event);
}

void EventLabel::focusOutEvent(QFocusEvent *event)
{
    m_focusMark.focusOut();
    update();
    QLabel::focusOutEvent(event);
}

void EventLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    m_focusMark.paint(this);
}

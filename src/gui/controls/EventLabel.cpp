#include "gui/controls/EventLabel.h"

#include <QMouseEvent>

EventLabel::EventLabel(QWidget *parent)
    : QLabel(parent)
{
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

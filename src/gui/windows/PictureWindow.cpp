#include "gui/windows/PictureWindow.h"

#include "gui/WindowGeometry.h"
#include "gui/controls/AccessibleControls.h"
#include "gui/controls/FocusMark.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

PictureWindow::PictureWindow(const QString &objectName, const QString &picture, int clientWidth, int clientHeight)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_picture(picture)
{
    setObjectName(objectName);
    setWindowTitle(QStringLiteral("Zorvanell"));
    setAttribute(Qt::WA_DeleteOnClose);
    zv::setWindowBackground(this);
    setFixedSize(zv::twips(clientWidth), zv::twips(clientHeight));
    // Without a mouse, Space or Enter does what a click on the picture does.
    setFocusPolicy(Qt::StrongFocus);
    zv::markPressableWindow(this);
}

void PictureWindow::centre()
{
    if (const QScreen *screen = this->screen())
        move(screen->geometry().center() - rect().center());
}

void PictureWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void PictureWindow::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void PictureWindow::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        Form_Click();
}

void PictureWindow::keyPressEvent(QKeyEvent *event)
{
    if (zv::isPressKey(event)) {
        event->accept();
        Form_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

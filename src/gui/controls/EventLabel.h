#pragma once

#include <QLabel>

// A label or picture that reports the pointer the way the designed windows expect: a button
// going down and up, the pointer moving over it (no button needed), a click (press and release
// on it with the left button) and a double click. It keeps every pointer event to itself, so a
// label without handlers does not pass moves on to its window.
class EventLabel : public QLabel
{
    Q_OBJECT

public:
    explicit EventLabel(QWidget *parent = nullptr);

signals:
    void MouseDown();
    void MouseMove();
    void MouseUp();
    void Click();
    void DblClick();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool m_leftPressed = false;
};

#pragma once

#include "gui/controls/FocusMark.h"

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

    // A label whose click does something: the keyboard reaches it with Tab, Space and Enter press
    // it, and a screen reader sees a push button. `name` is what it is called where it shows no text.
    void setClickable(const QString &name = QString());
    bool isClickable() const { return m_clickable; }
    // What a click does, for the keyboard and assistive technology.
    Q_INVOKABLE void click();
    bool showsFocusMark() const { return m_focusMark.shown(this); }

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
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_leftPressed = false;
    bool m_clickable = false;
    zv::FocusMark m_focusMark;
};

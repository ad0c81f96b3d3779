#pragma once

#include <Qt>

class QKeyEvent;
class QWidget;

namespace zv {

// The dotted mark a focused control of our own draws, shown only once the keyboard has been used
// to reach or work it, so that a mouse click leaves the glass face as designed.
class FocusMark
{
public:
    void focusIn(Qt::FocusReason reason);
    void focusOut() { m_keyboard = false; }
    void keyUsed() { m_keyboard = true; }
    bool shown(const QWidget *control) const;
    // Draws the mark inside the control's rectangle; call at the end of its paintEvent.
    void paint(QWidget *control) const;

private:
    bool m_keyboard = false;
};

// Space, Enter and Return, without auto-repeat, Ctrl, Alt or Meta: the keys that press a focused button.
bool isPressKey(const QKeyEvent *event);

} // namespace zv

#pragma once

#include <Qt>

class QKeyEvent;

// Argument values of the classic control events: mouse buttons 1 left, 2 right, 4 middle;
// shift state 1 Shift, 2 Ctrl, 4 Alt; key codes as the platform's virtual-key numbers.
namespace zv::vb {

int buttonCode(Qt::MouseButton button);
int buttonsCode(Qt::MouseButtons buttons);
int shiftCode(Qt::KeyboardModifiers modifiers);
// Virtual-key number of the key (65 for A, 13 for Enter, 112 for F1); 0 for keys without one.
int keyCode(const QKeyEvent *event);
// The typed character in the ANSI code page (Windows-1251), 0 when the key types nothing.
int keyAscii(const QKeyEvent *event);

} // namespace zv::vb

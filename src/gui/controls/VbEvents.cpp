#include "gui/controls/VbEvents.h"

#include "core/TextCodec.h"

#include <QKeyEvent>

namespace zv::vb {

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int buttonsCode(Qt::MouseButtons buttons)
{
    return (buttons.testFlag(Qt::LeftButton) ? 1 : 0) | (buttons.testFlag(Qt::RightButton) ? 2 : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? 4 : 0);
}

int shiftCode(Qt::KeyboardModifiers modifiers)
{
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) | (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

int keyCode(const QKeyEvent *event)
{
    const int key = event->key();
    // Letters and digits share their numbers with the virtual keys.
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Clear:
        return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Print:
        return 44;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Help:
        return 47;
    case Qt::Key_NumLock:
        return 144;
    case Qt::Key_ScrollLock:
        return 145;
    default:
        break;
    }
    // Russian letters report the Latin key at the same place of the standard layout.
    static const QString russian = QStringLiteral("ЙЦУКЕНГШЩЗФЫВАПРОЛДЯЧСМИТЬ");
    static const char latin[] = "QWERTYUIOPASDFGHJKLZXCVBNM";
    if (key > 0 && key <= 0xFFFF) {
        if (const qsizetype at = russian.indexOf(QChar(key)); at >= 0)
            return latin[at];
    }
    switch (key) {
    case 0x0425: // Х
        return 219;
    case 0x042A: // Ъ
        return 221;
    case 0x0416: // Ж
        return 186;
    case 0x042D: // Э
        return 222;
    case 0x0411: // Б
        return 188;
    case 0x042E: // Ю
        return 190;
    case 0x0401: // Ё
        return 192;
    default:
        break;
    }
    return 0;
}

int keyAscii(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return 0;
    const QByteArray bytes = toCp1251(text.left(1));
    return bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes.at(0));
}

} // namespace zv::vb

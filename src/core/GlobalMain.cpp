#include "GlobalMain.h"

#include <QWidget>

namespace {

void setStaysOnTop(QWidget *window, bool on)
{
    if (!window || window->testAttribute(Qt::WA_WState_Created) == false) {
        if (window)
            window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
        return;
    }
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    // Changing the flag re-creates a shown window hidden; show it again where it was.
    const bool visible = window->isVisible();
    const QPoint position = window->pos();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) {
        window->move(position);
        window->show();
    }
}

} // namespace

void SetTopmost(QWidget *window)
{
    setStaysOnTop(window, true);
}

void ClearTopmost(QWidget *window)
{
    setStaysOnTop(window, false);
}

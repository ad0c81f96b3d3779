#include "GlobalMain.h"

#include <QWidget>
#include <QWindow>

namespace {

void setStaysOnTop(QWidget *window, bool on)
{
    if (!window)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == window->windowFlags())
        return;
    // setWindowFlags() would hide and re-create a shown window, which ends a running dialog;
    // the platform window takes the new stacking in place instead.
    window->overrideWindowFlags(flags);
    if (QWindow *handle = window->windowHandle())
        handle->setFlags(flags);
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

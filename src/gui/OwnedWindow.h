#pragma once

#include <QWidget>

namespace zv {

// Shows the window of the kind `Window` that `owner` holds, made by `make` on first use: asking
// again (a shortcut, an icon) brings the same window forward with the keyboard in it.
template <typename Window, typename Make> Window *showOwnedWindow(QWidget *owner, Make make)
{
    auto *window = owner->findChild<Window *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = make();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace zv

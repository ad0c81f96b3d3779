#pragma once

#include <QAction>
#include <QColor>
#include <QIcon>
#include <QKeySequence>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

namespace zv {

// What every such window has alike: its name, its title and the program's pale background.
inline void dressOwnedWindow(QWidget *window, const QString &objectName, const QString &title)
{
    window->setObjectName(objectName);
    window->setWindowTitle(title);
    window->setPalette(QPalette(QColor(240, 238, 224)));
    window->setAutoFillBackground(true);
}

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

// The action that opens such a window from its owner: a shortcut of the owner's window, and
// `icon`, drawn at the size a line edit shows it, for a place in the search box.
inline QAction *ownedWindowAction(QWidget *owner, const QPixmap &icon, const QString &text, const QString &objectName,
                                  const QKeySequence &shortcut)
{
    auto *action = new QAction(QIcon(icon), text, owner);
    action->setObjectName(objectName);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

} // namespace zv

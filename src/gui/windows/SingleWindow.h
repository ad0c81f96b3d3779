#pragma once

#include <QPointer>
#include <QWidget>

namespace zv {

// Shows the one window of the kind `Window`, made on first use and again once the last one has
// closed: whoever asks for it (a command word, the splash's hot spot, a small tool opened anew)
// brings the same window forward, so two of a kind are never open at once.
template <typename Window> Window *showSingle()
{
    static QPointer<Window> window;
    // A closed window waits to be deleted: it is not shown again.
    if (!window || (window->isHidden() && window->testAttribute(Qt::WA_DeleteOnClose)))
        window = new Window;
    window->show();
    window->raise();
    // The keyboard goes on in the window just opened, whatever the desktop's focus rules.
    window->activateWindow();
    return window;
}

} // namespace zv

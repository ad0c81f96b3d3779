#pragma once

class QWidget;

namespace zv {

// Makes the program's painted controls known to assistive technology (screen readers see
// VistaButton and a clickable EventLabel as push buttons with a press action, a picture that only
// decorates not at all). Each of those controls calls it when it is created; once is enough.
void installAccessibleControls();
// A window that is itself clicked (a picture): a press action for assistive technology, which
// calls the window's invokable click().
void markPressableWindow(QWidget *window);
// Hides a picture that only decorates from assistive technology.
void markDecorative(QWidget *picture);

} // namespace zv

#pragma once

#include <QString>

class QPlainTextEdit;
class QWidget;
class VistaButton;

namespace zv {

// Controls that windows of several folders share, placed in twips and named as designed.
VistaButton *styledButton(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width,
                          int height);
// The multi-line entry text box "txtText": vertical scroll bar always on, Tab moves on.
QPlainTextEdit *entryTextBox(QWidget *parent, int left, int top, int width, int height);

} // namespace zv

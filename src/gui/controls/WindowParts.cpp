#include "gui/controls/WindowParts.h"

#include "gui/WindowGeometry.h"
#include "gui/controls/CachedScrollBar.h"
#include "gui/controls/VistaButton.h"

#include <QPlainTextEdit>

namespace zv {

VistaButton *styledButton(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width,
                          int height)
{
    auto *button = placed(new VistaButton(parent), name, left, top, width, height);
    button->setCaption(caption);
    return button;
}

QPlainTextEdit *entryTextBox(QWidget *parent, int left, int top, int width, int height)
{
    auto *box = placed(new QPlainTextEdit(parent), QStringLiteral("txtText"), left, top, width, height);
    box->setVerticalScrollBar(new CachedScrollBar(Qt::Vertical));
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    return box;
}

} // namespace zv

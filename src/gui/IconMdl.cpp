#include "gui/IconMdl.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>

namespace zv {

QIcon iconGroup(const QString &name)
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48})
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
    return icon;
}

} // namespace zv

void SetWindowIcon(QWidget *window, const QString &name, bool alsoOwner)
{
    const QIcon icon = zv::iconGroup(name);
    if (window)
        window->setWindowIcon(icon);
    if (alsoOwner)
        QApplication::setWindowIcon(icon);
}

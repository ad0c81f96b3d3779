#pragma once

#include <QString>

class QIcon;
class QWidget;

// Sets the window's icon from the icon group `name` ("AAA": 16, 24, 32 and 48 pixels);
// with `alsoOwner` the application's icon (what the task bar shows) too.
void SetWindowIcon(QWidget *window, const QString &name = QStringLiteral("AAA"), bool alsoOwner = true);

namespace zv {
QIcon iconGroup(const QString &name);
}

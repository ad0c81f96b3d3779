#include "gui/windows/NotBuiltWindow.h"

#include "gui/IconMdl.h"

#include <QLabel>
#include <QVBoxLayout>

NotBuiltWindow::NotBuiltWindow(const QString &objectName, const QString &title, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(objectName);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("Это окно появится в следующей версии программы."), this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    resize(360, 90);
}

void NotBuiltWindow::mousePressEvent(QMouseEvent *)
{
    close();
}

#include "frmMain.h"

frmMain::frmMain(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
}

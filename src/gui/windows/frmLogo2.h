#pragma once

#include "gui/windows/NotBuiltWindow.h"

// The second logo window; its picture is not drawn yet.
class frmLogo2 : public NotBuiltWindow
{
    Q_OBJECT

public:
    explicit frmLogo2(QWidget *parent = nullptr)
        : NotBuiltWindow(QStringLiteral("frmLogo2"), QStringLiteral("Zorvanell"), parent)
    {
    }
};

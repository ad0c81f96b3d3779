#pragma once

#include "gui/windows/NotBuiltWindow.h"

// The hidden small tool; its command box and process cleaner are not built yet.
class Form1 : public NotBuiltWindow
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr)
        : NotBuiltWindow(QStringLiteral("Form1"), QStringLiteral("Small tool"), parent)
    {
    }
};

#pragma once

#include "gui/windows/PictureWindow.h"

#include <QPointer>

class frmLogo3;

// A picture window reached from the splash's hot spot or the search word "logo"; a click on it
// opens the second picture, frmLogo3.
class frmLogo2 : public PictureWindow
{
    Q_OBJECT

public:
    explicit frmLogo2();

    void Form_Click() override;
    frmLogo3 *secondWindow() const { return m_logo3; }

private:
    QPointer<frmLogo3> m_logo3;
};

// The second picture window; a click on it closes both picture windows.
class frmLogo3 : public PictureWindow
{
    Q_OBJECT

public:
    explicit frmLogo3(frmLogo2 *first);

    void Form_Click() override;

private:
    QPointer<frmLogo2> m_first;
};

#include "gui/windows/frmLogo2.h"

#include "gui/IconMdl.h"

frmLogo2::frmLogo2()
    : PictureWindow(QStringLiteral("frmLogo2"), QStringLiteral(":/pictures/logo-hatched.png"), 7095, 3825)
{
    centre();
}

void frmLogo2::Form_Click()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    if (!m_logo3)
        m_logo3 = new frmLogo3(this);
    m_logo3->show();
    m_logo3->raise();
}

// Placed where the window system puts new windows.
frmLogo3::frmLogo3(frmLogo2 *first)
    : PictureWindow(QStringLiteral("frmLogo3"), QStringLiteral(":/pictures/logo-collection.png"), 7125, 4770)
    , m_first(first)
{
}

void frmLogo3::Form_Click()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    if (m_first)
        m_first->close();
    close();
}

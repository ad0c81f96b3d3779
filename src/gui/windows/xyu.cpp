#include "gui/windows/xyu.h"

#include "gui/IconMdl.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/EventLabel.h"

xyu::xyu()
    : PictureWindow(QStringLiteral("xyu"), QStringLiteral(":/pictures/photo-egg.png"), 2325, 6180)
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    Label1 = zv::placed(new EventLabel(this), QStringLiteral("Label1"), 0, 4560, 2295, 1575);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setText(
        QStringLiteral("Согласно правилам лицензионного соглашения, т.к. запрещается просматривать исходный "
                       "код программы, то этот рисунок никто не сможет увидеть, т.к. нет "
                       "документированной процедуры его вызова."));
    connect(Label1, &EventLabel::Click, this, &xyu::Form_Click);
    Label1->setClickable();
    centre();
}

void xyu::Form_Click()
{
    close();
}
